#include "engine/Writer.h"

#include <cstring>

namespace dsengine {

namespace {
void appendBytes(std::vector<uint8_t>& out, const void* bytes, size_t length) {
    size_t at = out.size();
    out.resize(at + length);
    std::memcpy(out.data() + at, bytes, length);
}

template <class T> void append(std::vector<uint8_t>& out, T v) { appendBytes(out, &v, sizeof v); }
} // namespace

DBResult Writer::Begin(const DSFieldDesc* fields, uint32_t fieldCount, uint16_t packetFlags) {
    return Guarded([&] {
        RowLayout layout;
        if (DBResult r = layout.Assign(fields, fieldCount))
            return r;
        packet_.clear();
        appendBytes(packet_, "MVDP", 4);
        append<uint16_t>(packet_, 1);
        append<uint16_t>(packet_, packetFlags);
        append<uint32_t>(packet_, fieldCount);
        append<uint32_t>(packet_, 0);  // row count, set by Finish
        append<uint32_t>(packet_, 0);  // offset of the rows, below
        append<uint32_t>(packet_, 0);
        for (uint32_t i = 0; i < fieldCount; ++i) {
            const DSFieldDesc& d = layout[i].desc;
            size_t nameLength = std::strlen(d.name);
            append<uint8_t>(packet_, uint8_t(nameLength));
            appendBytes(packet_, d.name, nameLength);
            append<uint16_t>(packet_, d.type);
            append<uint16_t>(packet_, d.subType);
            append<uint32_t>(packet_, d.size);
            append<uint16_t>(packet_, d.precision);
            append<int16_t>(packet_, d.scale);
            append<uint8_t>(packet_, d.attributes);
        }
        uint32_t rowsOffset = uint32_t(packet_.size());
        std::memcpy(packet_.data() + 16, &rowsOffset, 4);
        layout_ = std::move(layout);
        begun_ = true;
        column_ = 0;
        rows_ = 0;
        return DBERR_NONE;
    });
}

DBResult Writer::PutValue(const void* value, uint32_t length) {
    if (!begun_)
        return DBERR_NOTINITIALIZED;
    if (DBResult r = layout_.CheckValue(column_, value, length))
        return r;
    return Guarded([&] {
        if (column_ == 0) {
            rowStart_ = packet_.size();
            packet_.resize(rowStart_ + layout_.FixedBytes(), 0);
        }
        const RowLayout::Column& c = layout_[column_];
        uint8_t* row = packet_.data() + rowStart_;
        if (!value) {
            row[column_ / 8] |= uint8_t(1u << (column_ % 8));
        } else if (c.width) {
            std::memcpy(row + c.rowOffset, value, c.width);
            if (c.desc.type == dsfBoolean)
                row[c.rowOffset] = row[c.rowOffset] ? 1 : 0;
        } else {
            size_t at = packet_.size();
            packet_.resize(at + VarLengthSize(length) + length);
            uint8_t* p = PutVarLength(packet_.data() + at, length);
            if (length)
                std::memcpy(p, value, length);
        }
        if (++column_ == layout_.Count()) {
            column_ = 0;
            ++rows_;
        }
        return DBERR_NONE;
    });
}

DBResult Writer::Finish(const uint8_t** packet, uint64_t* length) {
    if (!packet || !length)
        return DBERR_INVALIDPARAM;
    if (!begun_)
        return DBERR_NOTINITIALIZED;
    if (column_ != 0)
        return DBERR_ROWINCOMPLETE;
    std::memcpy(packet_.data() + 12, &rows_, 4);
    *packet = packet_.data();
    *length = packet_.size();
    return DBERR_NONE;
}

DBResult Writer::GetRowCount(uint32_t* rows) {
    if (!rows)
        return DBERR_INVALIDPARAM;
    *rows = rows_;
    return DBERR_NONE;
}

} // namespace dsengine
