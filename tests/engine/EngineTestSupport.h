#pragma once
// Building packets and reading fields in engine tests.
#include "data/DSEngine.h"

#include <cstring>
#include <string>
#include <vector>

inline DSFieldDesc Desc(const char* name, uint16_t type, uint32_t size = 0, uint8_t attributes = 0,
                        uint16_t precision = 0, int16_t scale = 0) {
    DSFieldDesc d{};
    std::strncpy(d.name, name, DS_MAX_NAME);
    d.type = type;
    d.size = size;
    d.attributes = attributes;
    d.precision = precision;
    d.scale = scale;
    return d;
}

// The bytes of a fixed-width value.
template <class T> std::string Bytes(T v) { return std::string(reinterpret_cast<const char*>(&v), sizeof v); }

// A value for PutValue / PutField; `null` puts a null.
struct Value {
    std::string bytes;
    bool null = false;
};
inline Value Null() { return {"", true}; }
inline Value Text(std::string s) { return {std::move(s), false}; }
template <class T> Value Num(T v) { return {Bytes(v), false}; }

inline DBResult Put(IDSWriter* w, const Value& v) {
    return w->PutValue(v.null ? nullptr : v.bytes.data(), uint32_t(v.bytes.size()));
}

// A packet of the given fields and rows; every call must succeed.
std::vector<uint8_t> MakePacket(const std::vector<DSFieldDesc>& fields, const std::vector<std::vector<Value>>& rows,
                                uint16_t flags = 0);

// A table holding the packet, with a cursor on it before the first row.
struct OpenTable {
    DSPtr<IDSBase> table;
    DSPtr<IDSCursor> cursor;
    DSProps props{};
    std::vector<uint8_t> record;

    explicit OpenTable(const std::vector<uint8_t>& packet, bool complete = true);
    // Column `column` of `record` as bytes; "<null>" when null.
    std::string Get(uint32_t column);
    template <class T> T GetNum(uint32_t column) {
        T v{};
        Check(cursor->GetField(record.data(), column, &v, nullptr, nullptr), table.get());
        return v;
    }
    void Set(uint32_t column, const Value& v) {
        Check(cursor->PutField(record.data(), column, v.null ? nullptr : v.bytes.data(), uint32_t(v.bytes.size())),
              table.get());
    }
    // Sequence number of the current row, 0 between rows.
    uint32_t SeqNo();
    std::vector<uint8_t> Bookmark();
};
