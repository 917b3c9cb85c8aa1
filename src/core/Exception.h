#pragma once
// The failure classes of the system. Every failure that leaves a layer is one of these; each
// answers its class name, which the start-up error box and the tests read.
#include "core/AnsiString.h"

#include <cstdint>
#include <exception>

class Exception : public std::exception {
public:
    explicit Exception(AnsiString message) : message_(std::move(message)) {}
    const AnsiString& Message() const { return message_; }
    void SetMessage(AnsiString message) { message_ = std::move(message); }
    virtual const char* ClassName() const { return "Exception"; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    AnsiString message_;
};

#define MORVANE_EXCEPTION(Name, Parent)                                                                     \
    class Name : public Parent {                                                                            \
    public:                                                                                                 \
        using Parent::Parent;                                                                               \
        const char* ClassName() const override { return #Name; }                                            \
    }

// An exception that carries a numeric code beside its message.
class ECodedException : public Exception {
public:
    ECodedException(AnsiString message, int32_t code) : Exception(std::move(message)), code_(code) {}
    int32_t ErrorCode() const { return code_; }
    const char* ClassName() const override { return "ECodedException"; }

private:
    int32_t code_;
};

MORVANE_EXCEPTION(EDatabaseError, Exception);
MORVANE_EXCEPTION(EConvertError, Exception);
MORVANE_EXCEPTION(EStringListError, Exception);
MORVANE_EXCEPTION(EListError, Exception);
MORVANE_EXCEPTION(EInvalidOperation, Exception);
MORVANE_EXCEPTION(EInvalidGridOperation, Exception);
MORVANE_EXCEPTION(EComponentError, Exception);
MORVANE_EXCEPTION(EInOutError, Exception);
MORVANE_EXCEPTION(EInvalidGraphic, Exception);
// A silent exception: it ends the current operation without a message box.
MORVANE_EXCEPTION(EAbort, Exception);
MORVANE_EXCEPTION(ERegistryException, Exception);
// A file could not be made: "Cannot create file \"%s\". %s" (the full name, the system's reason).
MORVANE_EXCEPTION(EFCreateError, EInOutError);
// Failures of the in-memory table engine, with the engine's status code.
MORVANE_EXCEPTION(EDBClient, ECodedException);
// A failure code returned across the provider boundary, with the recorded message.
MORVANE_EXCEPTION(EOleException, ECodedException);

// Ends the current operation silently.
[[noreturn]] void Abort();
