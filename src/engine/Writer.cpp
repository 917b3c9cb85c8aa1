#include "engine/Writer.h"

#include <cstring>

namespace dsengine {

namespace {
void appendBytes(PacketBuffer& out, const void* bytes, size_t length) { std::memcpy(out.Extend(length), bytes, length); }

template <class T> void append(PacketBuffer& out, T v) { appendBytes(out, &v, sizeof v); }
} // namespace

void Writer::unshare() {
    auto copy = std::make_shared<PacketBuffer>();
    appendBytes(*copy, packet_->Data(), packet_->Size());
    packet_ = std::move(copy);
}

DBResult Writer::Begin(const DSFieldDesc* fields, uint32_t fieldCount, uint16_t packetFlags) {
    return Guarded([&] {
        RowLayout layout;
        if (DBResult r = layout.Assign(fields, fieldCount))
            return r;
        // A fresh block: a table may still share the old one.
        auto packet = std::make_shared<PacketBuffer>();
        PacketBuffer& p = *packet;
        appendBytes(p, "MVDP", 4);
        append<uint16_t>(p, 1);
        append<uint16_t>(p, packetFlags);
        append<uint32_t>(p, fieldCount);
        append<uint32_t>(p, 0);  // row count, set by Finish
        append<uint32_t>(p, 0);  // offset of the rows, below
        append<uint32_t>(p, 0);
        for (uint32_t i = 0; i < fieldCount; ++i) {
            const DSFieldDesc& d = layout[i].desc;
            size_t nameLength = std::strlen(d.name);
            append<uint8_t>(p, uint8_t(nameLength));
            appendBytes(p, d.name, nameLength);
            append<uint16_t>(p, d.type);
            append<uint16_t>(p, d.subType);
            append<uint32_t>(p, d.size);
            append<uint16_t>(p, d.precision);
            append<int16_t>(p, d.scale);
            append<uint8_t>(p, d.attributes);
        }
        uint32_t rowsOffset = uint32_t(p.Size());
        std::memcpy(p.Data() + 16, &rowsOffset, 4);
        packet_ = std::move(packet);
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
        PacketBuffer& p = writable();
        if (column_ == 0) {
            rowStart_ = p.Size();
            std::memset(p.Extend(layout_.FixedBytes()), 0, layout_.FixedBytes());
        }
        const RowLayout::Column& c = layout_[column_];
        if (!value) {
            p.Data()[rowStart_ + column_ / 8] |= uint8_t(1u << (column_ % 8));
        } else if (c.width) {
            uint8_t* slot = p.Data() + rowStart_ + c.rowOffset;
            // Widths the compiler knows copy without a call.
            switch (c.width) {
            case 8: std::memcpy(slot, value, 8); break;
            case 4: std::memcpy(slot, value, 4); break;
            case 2: std::memcpy(slot, value, 2); break;
            default: slot[0] = *static_cast<const uint8_t*>(value) ? 1 : 0;  // the one-byte type: a boolean
            }
        } else {
            uint8_t* at = PutVarLength(p.Extend(VarLengthSize(length) + length), length);
            if (length)
                std::memcpy(at, value, length);
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
    // A shared block is the packet as last finished: no row has come since, or it would be a copy.
    if (packet_.use_count() == 1) {
        std::memcpy(packet_->Data() + 12, &rows_, 4);
        packet_->ShrinkToFit();
        packet_->Publish();
    }
    *packet = packet_->Data();
    *length = packet_->Size();
    return DBERR_NONE;
}

DBResult Writer::GetRowCount(uint32_t* rows) {
    if (!rows)
        return DBERR_INVALIDPARAM;
    *rows = rows_;
    return DBERR_NONE;
}

} // namespace dsengine
