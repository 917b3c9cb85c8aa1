#include "driver/FbClient.h"

#include "core/Library.h"

#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace fb {

namespace {
template <typename F> bool entry(ModuleHandle module, const char* name, F& slot) {
    slot = reinterpret_cast<F>(FindEntry(module, name));
    return slot != nullptr;
}
// Every client library loaded, for the shutdown at process end.
std::vector<const Api*>& loadedApis() {
    static std::vector<const Api*> apis;
    return apis;
}

// The embedded engine runs threads of its own inside the client library; they are stopped before
// the process ends so nothing is still working in the database when the program's memory goes.
void shutdownClients() {
    for (const Api* api : loadedApis())
        if (api->shutdown)
            api->shutdown(3000, fb_shutrsn_app_stopped);
}
} // namespace

const Api* LoadApi(const char* vendorLib) {
    static std::mutex lock;
    static std::map<AnsiString, std::unique_ptr<Api>> loaded;
    AnsiString name = Trim(vendorLib ? vendorLib : "");
    std::lock_guard<std::mutex> guard(lock);
    if (auto it = loaded.find(name); it != loaded.end())
        return it->second.get();
    ModuleHandle module = LoadModule(name);
    if (!module)
        return nullptr;
    auto api = std::make_unique<Api>();
    bool complete = entry(module, "isc_attach_database", api->attach_database) &&
                    entry(module, "isc_detach_database", api->detach_database) &&
                    entry(module, "isc_start_transaction", api->start_transaction) &&
                    entry(module, "isc_commit_transaction", api->commit_transaction) &&
                    entry(module, "isc_commit_retaining", api->commit_retaining) &&
                    entry(module, "isc_rollback_transaction", api->rollback_transaction) &&
                    entry(module, "isc_dsql_allocate_statement", api->dsql_allocate_statement) &&
                    entry(module, "isc_dsql_prepare", api->dsql_prepare) &&
                    entry(module, "isc_dsql_describe", api->dsql_describe) &&
                    entry(module, "isc_dsql_describe_bind", api->dsql_describe_bind) &&
                    entry(module, "isc_dsql_execute", api->dsql_execute) &&
                    entry(module, "isc_dsql_fetch", api->dsql_fetch) &&
                    entry(module, "isc_dsql_free_statement", api->dsql_free_statement) &&
                    entry(module, "isc_dsql_sql_info", api->dsql_sql_info) &&
                    entry(module, "isc_open_blob2", api->open_blob2) &&
                    entry(module, "isc_get_segment", api->get_segment) &&
                    entry(module, "isc_close_blob", api->close_blob) &&
                    entry(module, "isc_blob_info", api->blob_info) &&
                    entry(module, "fb_interpret", api->interpret);
    if (!complete)
        return nullptr;  // some other library of that name: keep it loaded, but never use it
    entry(module, "fb_shutdown", api->shutdown);
    if (loadedApis().empty())
        std::atexit(shutdownClients);
    loadedApis().push_back(api.get());
    return (loaded[name] = std::move(api)).get();
}

AnsiString StatusText(const Api& api, const ISC_STATUS* status) {
    AnsiString text;
    char line[1024];
    const ISC_STATUS* p = status;
    while (api.interpret(line, sizeof line, &p) > 0) {
        if (!text.empty())
            text += "\n";
        text += line;
    }
    return text;
}

int64_t InfoInteger(const unsigned char* p, int length) {
    uint64_t v = 0;
    for (int i = length - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    if (length > 0 && length < 8 && (p[length - 1] & 0x80))
        v |= ~uint64_t(0) << (8 * length);  // sign-extend
    return static_cast<int64_t>(v);
}

SQLResult PutOption(void* buffer, int32_t length, int32_t* outLength, int32_t value) {
    if (!buffer || length <= 0)
        return SQL_INVALID_PARAMETER;
    // A one-byte buffer takes the low byte (a flag or a character); a wider one the whole number.
    int32_t n = std::min<int32_t>(length, static_cast<int32_t>(sizeof value));
    std::memcpy(buffer, &value, n);  // little-endian: the low bytes come first
    if (outLength)
        *outLength = n;
    return SQL_SUCCESS;
}

SQLResult PutOption(void* buffer, int32_t length, int32_t* outLength, const AnsiString& value) {
    if (!buffer || length <= 0)
        return SQL_INVALID_PARAMETER;
    size_t n = std::min<size_t>(value.size(), static_cast<size_t>(length - 1));
    std::memcpy(buffer, value.data(), n);
    static_cast<char*>(buffer)[n] = '\0';
    if (outLength)
        *outLength = static_cast<int32_t>(n);
    return SQL_SUCCESS;
}

// Days from 1 March of year 0 in the proleptic Gregorian calendar, as 400-year eras.
namespace {
constexpr int64_t mjdFromCivilOffset = 678881;  // 1858-11-17 counted from 0000-03-01
}

SQLDate DecodeDate(ISC_DATE date) {
    int64_t z = static_cast<int64_t>(date) + mjdFromCivilOffset;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    int64_t day = doy - (153 * mp + 2) / 5 + 1;
    int64_t month = mp < 10 ? mp + 3 : mp - 9;
    int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    return SQLDate{static_cast<int16_t>(year), static_cast<uint16_t>(month), static_cast<uint16_t>(day)};
}

ISC_DATE EncodeDate(const SQLDate& date) {
    int64_t y = date.year - (date.month <= 2 ? 1 : 0);
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    int64_t yoe = y - era * 400;
    int64_t m = date.month;
    int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + date.day - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<ISC_DATE>(era * 146097 + doe - mjdFromCivilOffset);
}

SQLTime DecodeTime(ISC_TIME time) {
    uint32_t seconds = time / 10000;
    return SQLTime{static_cast<uint16_t>(seconds / 3600), static_cast<uint16_t>(seconds / 60 % 60),
                   static_cast<uint16_t>(seconds % 60), static_cast<uint32_t>(time % 10000)};
}

ISC_TIME EncodeTime(const SQLTime& time) {
    return static_cast<ISC_TIME>((time.hour * 3600u + time.minute * 60u + time.second) * 10000u + time.fraction);
}

} // namespace fb
