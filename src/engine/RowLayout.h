#pragma once
// Where each column's value lies: in a row (the packet's row form, see DSIntf.h) and in a record
// buffer. A record buffer starts with one status byte per column (0 null, 1 a value); then each column
// has a slot at a fixed offset:
//   text, bytes         uint32 length, `size` bytes, one zero byte;
//   blob, memo          uint64 blob reference (Table::ResolveBlob), uint32 length;
//   fixed-width types   the value.
#include "interfaces/DSIntf.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dsengine {

class RowLayout {
public:
    struct Column {
        DSFieldDesc desc;
        uint32_t width;         // bytes in a row's fixed part; 0 for variable-length columns
        uint32_t rowOffset;     // of the fixed slot, from the row's start
        uint32_t recordOffset;  // of the slot, from the record buffer's start
        bool blob;
    };

    // Checks and completes the descriptions (size of fixed-width types, value sizes).
    DBResult Assign(const DSFieldDesc* fields, uint32_t count);
    bool Empty() const { return columns_.empty(); }
    uint32_t Count() const { return uint32_t(columns_.size()); }
    const Column& operator[](uint32_t index) const { return columns_[index]; }
    bool SameFields(const RowLayout& other) const;

    uint32_t BitmapBytes() const { return bitmapBytes_; }
    // Bitmap and fixed part: the shortest a row can be.
    uint32_t FixedBytes() const { return fixedBytes_; }
    uint32_t RecordSize() const { return recordSize_; }

    // Whether `value` of `length` bytes may go into column `index` (0-based); null is always fine.
    // Inline: the writer asks it for every value of every row.
    DBResult CheckValue(uint32_t index, const void* value, uint32_t length) const {
        if (index >= columns_.size())
            return DBERR_INVALIDFIELDNO;
        if (!value)
            return DBERR_NONE;
        const Column& c = columns_[index];
        if (c.blob)
            return DBERR_NONE;
        if (c.width == 0)
            return length > c.desc.size ? DBERR_STRINGTOOLONG : DBERR_NONE;
        if (length != c.width)
            return DBERR_INVALIDVALUE;
        return c.desc.type == dsfTime ? checkTime(value) : DBERR_NONE;
    }
    // The length of the well-formed row at `row`, at most `available` bytes long; 0 when malformed.
    size_t RowLength(const uint8_t* row, size_t available) const;

    static uint32_t TypeWidth(uint16_t type);

private:
    static DBResult checkTime(const void* value);

    std::vector<Column> columns_;
    std::vector<uint32_t> varColumns_;  // the variable-length columns' indexes, in order
    uint32_t bitmapBytes_ = 0;
    uint32_t fixedBytes_ = 0;
    uint32_t recordSize_ = 0;
};

// Lengths in the variable part of a row: unsigned LEB128.
inline size_t VarLengthSize(uint64_t n) {
    size_t bytes = 1;
    while (n >= 0x80) {
        n >>= 7;
        ++bytes;
    }
    return bytes;
}

inline uint8_t* PutVarLength(uint8_t* p, uint64_t n) {
    while (n >= 0x80) {
        *p++ = uint8_t(n | 0x80);
        n >>= 7;
    }
    *p++ = uint8_t(n);
    return p;
}

// Reads a length from [p, end); false when it runs past the end or beyond 32 bits.
inline bool GetVarLength(const uint8_t*& p, const uint8_t* end, uint32_t& n) {
    uint64_t v = 0;
    for (int shift = 0; shift < 35; shift += 7) {
        if (p == end)
            return false;
        uint8_t b = *p++;
        v |= uint64_t(b & 0x7F) << shift;
        if (!(b & 0x80)) {
            if (v > UINT32_MAX)
                return false;
            n = uint32_t(v);
            return true;
        }
    }
    return false;
}

// Reads a length of a row already checked by RowLength (or written by the engine itself).
inline uint32_t ReadVarLength(const uint8_t*& p) {
    uint32_t n = 0;
    for (int shift = 0;; shift += 7) {
        uint8_t b = *p++;
        n |= uint32_t(b & 0x7F) << shift;
        if (!(b & 0x80))
            return n;
    }
}

inline bool IsNullBit(const uint8_t* bitmap, uint32_t index) { return bitmap[index / 8] & (1u << (index % 8)); }

} // namespace dsengine
