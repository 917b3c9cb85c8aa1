#pragma once
// The Firebird driver object: made by the library's entry for one client library, it answers
// connection objects that all use that client library.
#include "driver/FbClient.h"

class TFbDriver : public RefCounted<ISQLDriver> {
public:
    explicit TFbDriver(const fb::Api& api) : api_(api) {}

    SQLResult getSQLConnection(ISQLConnection** connection) override;
    SQLResult setOption(int32_t option, intptr_t value) override;
    SQLResult getOption(int32_t option, void* buffer, int32_t length, int32_t* outLength) override;

private:
    const fb::Api& api_;
};

extern "C" __attribute__((visibility("default"))) SQLResult getSQLDriverFIREBIRD(const char* vendorLib,
                                                                                 const char* errorResourceFile,
                                                                                 ISQLDriver** out);
