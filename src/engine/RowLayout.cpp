#include "engine/RowLayout.h"

#include <cstring>

namespace dsengine {

namespace {
// Text and bytes columns are declared at most this long; a record buffer stays of sensible size.
constexpr uint32_t kMaxDeclaredSize = 65535;
constexpr uint64_t kMaxRecordSize = uint64_t(64) << 20;
constexpr int32_t kMillisecondsPerDay = 86400000;

bool isBlob(uint16_t type) { return type == dsfBlob || type == dsfMemo; }
bool isSized(uint16_t type) {
    return type == dsfText || type == dsfFixedText || type == dsfBytes || type == dsfVarBytes;
}
bool isText(uint16_t type) { return type == dsfText || type == dsfFixedText; }
} // namespace

uint32_t RowLayout::TypeWidth(uint16_t type) {
    switch (type) {
    case dsfInt16:
    case dsfUInt16: return 2;
    case dsfInt32:
    case dsfDate:
    case dsfTime: return 4;
    case dsfInt64:
    case dsfFloat64:
    case dsfCurrency:
    case dsfBcd:
    case dsfFmtBcd:
    case dsfTimeStamp: return 8;
    case dsfBoolean: return 1;
    default: return 0;
    }
}

DBResult RowLayout::Assign(const DSFieldDesc* fields, uint32_t count) {
    if (!fields || count == 0 || count > 65535)
        return DBERR_INVALIDFIELDDESC;
    std::vector<Column> columns(count);
    uint32_t bitmap = (count + 7) / 8;
    uint64_t rowOffset = bitmap, recordOffset = count;
    for (uint32_t i = 0; i < count; ++i) {
        Column& c = columns[i];
        c.desc = fields[i];
        size_t nameLength = strnlen(c.desc.name, sizeof c.desc.name);
        if (nameLength == 0 || nameLength > DS_MAX_NAME)
            return DBERR_INVALIDFIELDDESC;
        std::memset(c.desc.name + nameLength, 0, sizeof c.desc.name - nameLength);
        uint16_t type = c.desc.type;
        if (type == dsfUnknown || type > dsfLastType)
            return DBERR_INVALIDFIELDTYPE;
        if ((type == dsfBcd || type == dsfFmtBcd) && (c.desc.scale < 0 || c.desc.scale > 18))
            return DBERR_INVALIDFIELDDESC;
        c.blob = isBlob(type);
        c.width = TypeWidth(type);
        c.rowOffset = uint32_t(rowOffset);
        c.recordOffset = uint32_t(recordOffset);
        if (isSized(type)) {
            if (c.desc.size == 0 || c.desc.size > kMaxDeclaredSize)
                return DBERR_INVALIDFIELDDESC;
            c.desc.valueSize = c.desc.size + (isText(type) ? 1 : 0);
            recordOffset += 4 + uint64_t(c.desc.size) + 1;
        } else if (c.blob) {
            c.desc.size = 0;
            c.desc.valueSize = 0;
            recordOffset += 12;
        } else {
            c.desc.size = c.width;
            c.desc.valueSize = c.width;
            recordOffset += c.width;
            rowOffset += c.width;
        }
        if (recordOffset > kMaxRecordSize)
            return DBERR_INVALIDFIELDDESC;
    }
    std::vector<uint32_t> varColumns;
    for (uint32_t i = 0; i < count; ++i)
        if (columns[i].width == 0)
            varColumns.push_back(i);
    columns_ = std::move(columns);
    varColumns_ = std::move(varColumns);
    bitmapBytes_ = bitmap;
    fixedBytes_ = uint32_t(rowOffset);
    recordSize_ = uint32_t(recordOffset);
    return DBERR_NONE;
}

bool RowLayout::SameFields(const RowLayout& other) const {
    if (Count() != other.Count())
        return false;
    for (uint32_t i = 0; i < Count(); ++i) {
        const DSFieldDesc &a = columns_[i].desc, &b = other.columns_[i].desc;
        if (std::strcmp(a.name, b.name) != 0 || a.type != b.type || a.subType != b.subType || a.size != b.size ||
            a.precision != b.precision || a.scale != b.scale || a.attributes != b.attributes)
            return false;
    }
    return true;
}

DBResult RowLayout::checkTime(const void* value) {
    int32_t ms;
    std::memcpy(&ms, value, sizeof ms);
    return ms < 0 || ms >= kMillisecondsPerDay ? DBERR_INVALIDVALUE : DBERR_NONE;
}

size_t RowLayout::RowLength(const uint8_t* row, size_t available) const {
    if (available < fixedBytes_)
        return 0;
    const uint8_t *p = row + fixedBytes_, *end = row + available;
    for (uint32_t i : varColumns_) {
        const Column& c = columns_[i];
        if (IsNullBit(row, i))
            continue;
        uint32_t length;
        if (!GetVarLength(p, end, length) || length > size_t(end - p) || (!c.blob && length > c.desc.size))
            return 0;
        p += length;
    }
    return size_t(p - row);
}

} // namespace dsengine
