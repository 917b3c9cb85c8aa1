#include "driver/FbDriver.h"

#include "driver/FbConnection.h"

#include <new>

SQLResult TFbDriver::getSQLConnection(ISQLConnection** connection) {
    if (!connection)
        return SQL_INVALID_PARAMETER;
    *connection = new (std::nothrow) TFbConnection(api_, this);
    return *connection ? SQL_SUCCESS : SQL_NO_MEMORY;
}

SQLResult TFbDriver::setOption(int32_t, intptr_t) { return SQL_NOT_SUPPORTED; }

SQLResult TFbDriver::getOption(int32_t, void*, int32_t, int32_t*) { return SQL_NOT_SUPPORTED; }

// The error resource file is a thing of other platforms' drivers; Firebird's own texts come from the
// client library, so it is accepted and not used.
SQLResult getSQLDriverFIREBIRD(const char* vendorLib, const char*, ISQLDriver** out) {
    if (!out)
        return SQL_INVALID_PARAMETER;
    *out = nullptr;
    const fb::Api* api = fb::LoadApi(vendorLib);
    if (!api)
        return SQL_DRIVER_INIT_FAILED;
    *out = new (std::nothrow) TFbDriver(*api);
    return *out ? SQL_SUCCESS : SQL_NO_MEMORY;
}
