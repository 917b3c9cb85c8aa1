#include "engine/Table.h"

#include "engine/PacketBuffer.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstdio>
#include <cstring>

namespace dsengine {

namespace {
constexpr size_t kHeaderSize = 24;

template <class T> T load(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Makes room for one more element without giving up the vector's geometric growth, so that the
// push_back or insert that follows cannot fail half-way through a change.
template <class T> void reserveOne(std::vector<T>& v) {
    if (v.size() == v.capacity())
        v.reserve(v.capacity() ? v.capacity() * 2 : 16);
}

std::atomic<uint32_t> nextTag{1};

const char* errorText(DBResult code) {
    switch (code) {
    case DBERR_NONE: return "No error";
    case DBERR_BOF: return "At beginning of table";
    case DBERR_EOF: return "At end of table";
    case DBERR_NOCURRREC: return "No current record";
    case DBERR_OUTOFRANGE: return "Record number out of range";
    case DBERR_INVALIDBOOKMARK: return "Invalid bookmark";
    case DBERR_INVALIDFIELDNO: return "Invalid field number";
    case DBERR_INVALIDFIELDTYPE: return "Invalid field type";
    case DBERR_INVALIDFIELDDESC: return "Invalid field description";
    case DBERR_STRINGTOOLONG: return "Value is longer than the field's size";
    case DBERR_INVALIDVALUE: return "Invalid value for the field's type";
    case DBERR_INVALIDBLOB: return "Invalid blob reference";
    case DBERR_INVALIDPACKET: return "Corrupt data packet";
    case DBERR_PACKETMISMATCH: return "Data packet does not match the table's fields";
    case DBERR_READONLY: return "Table is read only";
    case DBERR_NOTINITIALIZED: return "Object is not initialized";
    case DBERR_ROWINCOMPLETE: return "Data packet row is incomplete";
    case DBERR_INVALIDPARAM: return "Invalid parameter";
    case DBERR_NOMEMORY: return "Insufficient memory for this operation";
    case DS_E_NOINTERFACE: return "Interface not supported";
    case DS_E_POINTER: return "Invalid pointer";
    case DS_E_NOAGGREGATION: return "Class does not support aggregation";
    case DS_E_CLASSNOTAVAILABLE: return "Class not available";
    default: return nullptr;
    }
}
} // namespace

Table::Table() : tag_(nextTag++) {}

DBResult Table::AppendData(const uint8_t* packet, uint64_t length, bool complete) {
    if (!packet || length < kHeaderSize || std::memcmp(packet, "MVDP", 4) != 0 || load<uint16_t>(packet + 4) != 1)
        return DBERR_INVALIDPACKET;
    uint16_t flags = load<uint16_t>(packet + 6);
    uint32_t fieldCount = load<uint32_t>(packet + 8);
    uint32_t rowCount = load<uint32_t>(packet + 12);
    uint64_t rowsOffset = load<uint32_t>(packet + 16);
    if (rowsOffset < kHeaderSize || rowsOffset > length || fieldCount == 0 || fieldCount > 65535)
        return DBERR_INVALIDPACKET;
    return Guarded([&] {
        std::vector<DSFieldDesc> descs(fieldCount);
        const uint8_t *p = packet + kHeaderSize, *end = packet + rowsOffset;
        for (DSFieldDesc& d : descs) {
            if (p == end || *p == 0 || *p > DS_MAX_NAME || size_t(end - p) < size_t(1 + *p + 13))
                return DBERR_INVALIDPACKET;
            std::memset(&d, 0, sizeof d);
            std::memcpy(d.name, p + 1, *p);
            p += 1 + *p;
            d.type = load<uint16_t>(p);
            d.subType = load<uint16_t>(p + 2);
            d.size = load<uint32_t>(p + 4);
            d.precision = load<uint16_t>(p + 8);
            d.scale = load<int16_t>(p + 10);
            d.attributes = p[12];
            p += 13;
        }
        if (p != end)
            return DBERR_INVALIDPACKET;
        RowLayout layout;
        if (DBResult r = layout.Assign(descs.data(), fieldCount))
            return r;
        if (!layout_.Empty() && !layout.SameFields(layout_))
            return DBERR_PACKETMISMATCH;

        // Every row is at least its fixed part long: a row count beyond that is a lie, not a reason
        // to reserve gigabytes.
        uint64_t block = length - rowsOffset;
        if ((rowCount == 0) != (block == 0) || rowCount > block / layout.FixedBytes() ||
            rows_.size() + rowCount > UINT32_MAX - 1)
            return DBERR_INVALIDPACKET;
        size_t oldRows = rows_.size(), needed = oldRows + rowCount;
        // Room first, so that nothing below can fail half-way through the rows.
        rows_.Reserve(needed);
        if (ordered_) {
            order_.Reserve(order_.size() + rowCount);
            if (!positionsStale_)
                positions_.Reserve(needed);
        }
        if (rowCount > 0) {
            // A packet our own writer built and still holds is kept as it is; any other is copied.
            Arena::Ref base;
            const uint8_t* rows = packet + rowsOffset;
            if (std::shared_ptr<const PacketBuffer> built = PacketBuffer::Find(packet, length)) {
                arena_.AdoptChunk(std::move(built), rows, block, length, base);
            } else {
                uint8_t* copy = arena_.AllocateChunk(block, base);
                std::memcpy(copy, rows, block);
                rows = copy;
            }
            uint64_t offset = 0;
            for (uint32_t i = 0; i < rowCount; ++i) {
                size_t rowLength = layout.RowLength(rows + offset, block - offset);
                if (rowLength == 0)
                    break;
                rows_.push_back(base + offset);
                offset += rowLength;
            }
            if (rows_.size() != needed || offset != block) {
                rows_.Truncate(oldRows);
                arena_.DropLastChunk();
                return DBERR_INVALIDPACKET;
            }
            if (ordered_) {
                // The new rows follow the last live one: their positions extend what is known.
                for (size_t row = oldRows; row < needed; ++row) {
                    if (!positionsStale_)
                        positions_.push_back(uint32_t(order_.size()));
                    order_.push_back(uint32_t(row));
                }
            }
        }
        if (layout_.Empty()) {
            layout_ = std::move(layout);
            packetFlags_ = flags;
            readOnly_ = readOnly_ || (flags & dspfReadOnly);
        }
        complete_ = complete;
        ++generation_;
        return DBERR_NONE;
    });
}

DBResult Table::GetProps(DSProps* props) {
    if (!props)
        return DBERR_INVALIDPARAM;
    *props = DSProps{};
    props->fieldCount = layout_.Count();
    props->recordSize = layout_.RecordSize();
    props->bookmarkSize = kBookmarkSize;
    props->recordCount = RecordCount();
    props->changeCount = uint32_t(changes_.size());
    props->packetFlags = packetFlags_;
    props->readOnly = readOnly_;
    props->isDelta = false;
    props->complete = complete_;
    props->trimStrings = trimStrings_;
    uint64_t bytes = arena_.HeldBytes() + rows_.HeldBytes() + order_.HeldBytes() + positions_.HeldBytes() +
                     changes_.capacity() * sizeof(Change);
    for (const std::string& b : blobs_)
        bytes += b.capacity();
    props->arenaBytes = bytes;
    return DBERR_NONE;
}

DBResult Table::GetFieldDescs(DSFieldDesc* fields) {
    if (!fields)
        return DBERR_INVALIDPARAM;
    if (layout_.Empty())
        return DBERR_NOTINITIALIZED;
    for (uint32_t i = 0; i < layout_.Count(); ++i)
        fields[i] = layout_[i].desc;
    return DBERR_NONE;
}

DBResult Table::SetProp(uint32_t prop, int64_t value) {
    switch (prop) {
    case dspropTrimStrings: trimStrings_ = value != 0; return DBERR_NONE;
    case dspropReadOnly: readOnly_ = value != 0; return DBERR_NONE;
    default: return DBERR_INVALIDPARAM;
    }
}

DBResult Table::GetErrorString(DBResult code, char* text) {
    if (!text)
        return DBERR_INVALIDPARAM;
    if (const char* known = errorText(code))
        std::snprintf(text, DS_MAX_ERROR_STRING, "%s", known);
    else
        std::snprintf(text, DS_MAX_ERROR_STRING, "Engine error %d", int(code));
    return DBERR_NONE;
}

DBResult Table::GetChange(uint32_t index, uint8_t* kind, void* bookmark) {
    if (index >= changes_.size())
        return DBERR_OUTOFRANGE;
    if (kind)
        *kind = changes_[index].kind;
    if (bookmark)
        MakeBookmark(changes_[index].row, bookmark);
    return DBERR_NONE;
}

uint32_t Table::PositionOf(uint32_t row) {
    if (!ordered_)
        return row;
    if (positionsStale_) {
        positions_.clear();
        positions_.Reserve(rows_.size());
        for (size_t row = 0; row < rows_.size(); ++row)
            positions_.push_back(UINT32_MAX);
        for (uint32_t pos = 0; pos < order_.size(); ++pos)
            positions_[order_[pos]] = pos;
        positionsStale_ = false;
    }
    assert(positions_.size() == rows_.size());
    return positions_[row];
}

void Table::materializeOrder() {
    if (ordered_)
        return;
    order_.clear();
    order_.Reserve(rows_.size());
    for (size_t row = 0; row < rows_.size(); ++row)
        order_.push_back(uint32_t(row));
    ordered_ = true;
    positionsStale_ = true;
}

void Table::DecodeRow(uint32_t row, uint8_t* record) const {
    Arena::Ref ref = rows_[row];
    const uint8_t* r = arena_.At(ref);
    const uint8_t* var = r + layout_.FixedBytes();
    for (uint32_t i = 0; i < layout_.Count(); ++i) {
        const RowLayout::Column& c = layout_[i];
        uint8_t* slot = record + c.recordOffset;
        bool null = IsNullBit(r, i);
        record[i] = null ? 0 : 1;
        if (c.width) {
            std::memcpy(slot, r + c.rowOffset, c.width);
            continue;
        }
        uint32_t length = null ? 0 : ReadVarLength(var);
        if (c.blob) {
            uint64_t blobRef = ref + uint64_t(var - r);
            std::memcpy(slot, &blobRef, 8);
            std::memcpy(slot + 8, &length, 4);
        } else {
            std::memcpy(slot, &length, 4);
            std::memcpy(slot + 4, var, length);
            slot[4 + length] = 0;
        }
        var += length;
    }
}

DBResult Table::ResolveBlob(uint64_t ref, uint32_t length, const uint8_t*& bytes) const {
    if (ref & kPendingBlob) {
        uint64_t index = ref & ~kPendingBlob;
        if (index >= blobs_.size() || blobs_[index].size() != length)
            return DBERR_INVALIDBLOB;
        bytes = reinterpret_cast<const uint8_t*>(blobs_[index].data());
        return DBERR_NONE;
    }
    if (!arena_.Contains(ref, length))
        return DBERR_INVALIDBLOB;
    bytes = arena_.At(ref);
    return DBERR_NONE;
}

uint64_t Table::StoreBlob(const void* bytes, uint32_t length) {
    blobs_.emplace_back(static_cast<const char*>(bytes), length);
    return kPendingBlob | (blobs_.size() - 1);
}

DBResult Table::encode(const uint8_t* record, Arena::Ref& ref) {
    uint64_t length = layout_.FixedBytes();
    for (uint32_t i = 0; i < layout_.Count(); ++i) {
        const RowLayout::Column& c = layout_[i];
        if (c.width || record[i] == 0)
            continue;
        const uint8_t* slot = record + c.recordOffset;
        uint32_t valueLength;
        if (c.blob) {
            uint64_t blobRef;
            std::memcpy(&blobRef, slot, 8);
            std::memcpy(&valueLength, slot + 8, 4);
            const uint8_t* bytes;
            if (DBResult r = ResolveBlob(blobRef, valueLength, bytes))
                return r;
        } else {
            std::memcpy(&valueLength, slot, 4);
            if (valueLength > c.desc.size)
                return DBERR_INVALIDVALUE;
        }
        length += VarLengthSize(valueLength) + valueLength;
    }
    uint8_t* row = arena_.Allocate(length, ref);
    std::memset(row, 0, layout_.FixedBytes());
    uint8_t* var = row + layout_.FixedBytes();
    for (uint32_t i = 0; i < layout_.Count(); ++i) {
        const RowLayout::Column& c = layout_[i];
        const uint8_t* slot = record + c.recordOffset;
        if (record[i] == 0) {
            row[i / 8] |= uint8_t(1u << (i % 8));
        } else if (c.width) {
            std::memcpy(row + c.rowOffset, slot, c.width);
            if (c.desc.type == dsfBoolean)
                row[c.rowOffset] = slot[0] ? 1 : 0;
        } else {
            uint32_t valueLength;
            const uint8_t* bytes = slot + 4;
            if (c.blob) {
                uint64_t blobRef;
                std::memcpy(&blobRef, slot, 8);
                std::memcpy(&valueLength, slot + 8, 4);
                ResolveBlob(blobRef, valueLength, bytes);
            } else {
                std::memcpy(&valueLength, slot, 4);
            }
            var = PutVarLength(var, valueLength);
            if (valueLength)
                std::memcpy(var, bytes, valueLength);
            var += valueLength;
        }
    }
    return DBERR_NONE;
}

DBResult Table::Modify(uint32_t position, const uint8_t* record) {
    if (readOnly_)
        return DBERR_READONLY;
    return Guarded([&] {
        reserveOne(changes_);
        Arena::Ref ref;
        if (DBResult r = encode(record, ref))
            return r;
        uint32_t row = RowAt(position);
        rows_[row] = ref;
        logChange(dschModify, row);
        return DBERR_NONE;
    });
}

DBResult Table::Insert(uint32_t position, const uint8_t* record, uint32_t& row) {
    if (readOnly_)
        return DBERR_READONLY;
    if (rows_.size() >= UINT32_MAX - 1)
        return DBERR_NOMEMORY;
    return Guarded([&] {
        reserveOne(changes_);
        rows_.Reserve(rows_.size() + 1);
        bool atEnd = position == RecordCount();
        if (!atEnd)
            materializeOrder();
        if (ordered_)
            order_.Reserve(order_.size() + 1);
        Arena::Ref ref;
        if (DBResult r = encode(record, ref))
            return r;
        row = uint32_t(rows_.size());
        rows_.push_back(ref);
        if (ordered_) {
            order_.insert(position, row);
            positionsStale_ = true;
        }
        logChange(dschInsert, row);
        ++generation_;
        return DBERR_NONE;
    });
}

DBResult Table::Delete(uint32_t position) {
    if (readOnly_)
        return DBERR_READONLY;
    return Guarded([&] {
        reserveOne(changes_);
        materializeOrder();
        uint32_t row = order_[position];
        order_.erase(position);
        rows_[row] |= kDeleted;
        positionsStale_ = true;
        logChange(dschDelete, row);
        ++generation_;
        return DBERR_NONE;
    });
}

void Table::MakeBookmark(uint32_t row, void* bookmark) const {
    uint32_t words[2] = {tag_, row};
    std::memcpy(bookmark, words, kBookmarkSize);
}

bool Table::ReadBookmark(const void* bookmark, uint32_t& row) const {
    if (!bookmark)
        return false;
    uint32_t words[2];
    std::memcpy(words, bookmark, kBookmarkSize);
    if (words[0] != tag_ || !IsLive(words[1]))
        return false;
    row = words[1];
    return true;
}

} // namespace dsengine
