#pragma once
// The Firebird client library as the driver reaches it: its C entries looked up by name in the library
// that VendorLib names, never linked. Also the small pieces every driver object shares: reference
// counting, the error text an object answers about its last failure, and the guard of an open blob.
#include "core/AnsiString.h"
#include "interfaces/SQLDriver.h"
#include "interfaces/SQLPtr.h"

#include <ibase.h>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace fb {

struct Api {
    decltype(&::isc_attach_database) attach_database;
    decltype(&::isc_detach_database) detach_database;
    decltype(&::isc_start_transaction) start_transaction;
    decltype(&::isc_commit_transaction) commit_transaction;
    decltype(&::isc_commit_retaining) commit_retaining;
    decltype(&::isc_rollback_transaction) rollback_transaction;
    decltype(&::isc_dsql_allocate_statement) dsql_allocate_statement;
    decltype(&::isc_dsql_prepare) dsql_prepare;
    decltype(&::isc_dsql_describe) dsql_describe;
    decltype(&::isc_dsql_describe_bind) dsql_describe_bind;
    decltype(&::isc_dsql_execute) dsql_execute;
    decltype(&::isc_dsql_fetch) dsql_fetch;
    decltype(&::isc_dsql_free_statement) dsql_free_statement;
    decltype(&::isc_dsql_sql_info) dsql_sql_info;
    decltype(&::isc_open_blob2) open_blob2;
    decltype(&::isc_get_segment) get_segment;
    decltype(&::isc_close_blob) close_blob;
    decltype(&::isc_blob_info) blob_info;
    decltype(&::fb_interpret) interpret;
    decltype(&::fb_shutdown) shutdown;  // may be absent in an old client
};

// The entries of the client library `vendorLib`; null when it cannot be loaded or lacks an entry.
// A client library, once loaded, stays loaded: the embedded engine keeps threads of its own in it.
const Api* LoadApi(const char* vendorLib);

// Firebird's own text for a failed call's status, its lines joined with "\n".
AnsiString StatusText(const Api& api, const ISC_STATUS* status);

// An open blob, closed when the holder goes, whichever way the reading ends; the calls take Handle().
class BlobHandle {
public:
    explicit BlobHandle(const Api& api) : api_(api) {}
    ~BlobHandle() { Close(); }
    BlobHandle(const BlobHandle&) = delete;
    BlobHandle& operator=(const BlobHandle&) = delete;

    isc_blob_handle* Handle() { return &handle_; }
    // Closes it now (nothing when it is not open). A blob the client cannot close is forgotten: it
    // goes with its transaction.
    void Close() {
        if (!handle_)
            return;
        ISC_STATUS_ARRAY status;
        api_.close_blob(status, &handle_);
        handle_ = 0;
    }

private:
    const Api& api_;
    isc_blob_handle handle_ = 0;
};

// Reads a little-endian number of `length` bytes from an information buffer.
int64_t InfoInteger(const unsigned char* p, int length);

// Copies a number into an option buffer of `length` bytes.
SQLResult PutOption(void* buffer, int32_t length, int32_t* outLength, int32_t value);
// Copies text, zero-terminated and cut to fit, into an option buffer.
SQLResult PutOption(void* buffer, int32_t length, int32_t* outLength, const AnsiString& value);

// Firebird's dates count days from 17 November 1858; its times count ten-thousandths of a second.
SQLDate DecodeDate(ISC_DATE date);
ISC_DATE EncodeDate(const SQLDate& date);
SQLTime DecodeTime(ISC_TIME time);
ISC_TIME EncodeTime(const SQLTime& time);

} // namespace fb

// Reference counting for the driver's objects: born with one reference, freed with the last.
template <class I> class RefCounted : public I {
public:
    uint32_t addRef() override { return ++refs_; }
    uint32_t release() override {
        uint32_t left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }

private:
    std::atomic<uint32_t> refs_{1};
};

// The text of an object's last failure, as getErrorMessageLen / getErrorMessage answer it.
class ErrorText {
public:
    // Records the failure (an empty text when there is no server text) and answers its code.
    SQLResult Fail(SQLResult code, AnsiString text) {
        text_ = std::move(text);
        return code;
    }
    SQLResult Length(uint16_t* length) const {
        if (!length)
            return SQL_INVALID_PARAMETER;
        *length = static_cast<uint16_t>(std::min<size_t>(text_.size(), 0xFFFE));
        return SQL_SUCCESS;
    }
    // The buffer holds Length() + 1 bytes.
    SQLResult Copy(char* buffer) const {
        if (!buffer)
            return SQL_INVALID_PARAMETER;
        size_t n = std::min<size_t>(text_.size(), 0xFFFE);
        std::memcpy(buffer, text_.data(), n);
        buffer[n] = '\0';
        return SQL_SUCCESS;
    }
    const AnsiString& Text() const { return text_; }

private:
    AnsiString text_;
};
