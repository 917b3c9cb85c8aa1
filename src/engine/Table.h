#pragma once
// The engine's table: field descriptions, rows and the change log.
//
// Rows live in the arena in the packet's row form and are never changed in place: a modified row is
// written anew and its index entry moved; an inserted row is written at the arena's end. `rows_` maps a
// row number (the row's identity, which a bookmark names) to its bytes. The order in which cursors see
// the rows is the row numbers' own order until the first delete or insert before the end; from then on
// `order_` lists the live row numbers in order. A bulk-loaded table thus costs its rows' bytes plus one
// reference a row.
//
// The index, the order and the positions are block vectors: a packet appended costs its own rows only,
// however many the table holds, so packets read in idle time take the same time at the millionth row as
// at the first. Positions, once built, grow with the appended rows rather than being built again.
#include "engine/Arena.h"
#include "engine/BlockVector.h"
#include "engine/ComObject.h"
#include "engine/RowLayout.h"

#include <string>
#include <vector>

namespace dsengine {

class Table final : public ComObject<IDSBase, IID_IDSBase> {
public:
    Table();

    DBResult AppendData(const uint8_t* packet, uint64_t length, bool complete) override;
    DBResult GetProps(DSProps* props) override;
    DBResult GetFieldDescs(DSFieldDesc* fields) override;
    DBResult SetProp(uint32_t prop, int64_t value) override;
    DBResult GetErrorString(DBResult code, char* text) override;
    DBResult GetChange(uint32_t index, uint8_t* kind, void* bookmark) override;

    // What cursors use. Positions count from 0 over the live rows in order.
    const RowLayout& Layout() const { return layout_; }
    bool ReadOnly() const { return readOnly_; }
    bool TrimStrings() const { return trimStrings_; }
    // Changes whenever rows come or go, so cursors know to find their row again.
    uint64_t Generation() const { return generation_; }
    uint32_t RecordCount() const { return ordered_ ? uint32_t(order_.size()) : uint32_t(rows_.size()); }
    uint32_t RowAt(uint32_t position) const { return ordered_ ? order_[position] : position; }
    bool IsLive(uint32_t row) const { return row < rows_.size() && !(rows_[row] & kDeleted); }
    uint32_t PositionOf(uint32_t row);

    void DecodeRow(uint32_t row, uint8_t* record) const;
    // The row's bytes in the row form (DSIntf.h), where they are stored.
    const uint8_t* RowBytes(uint32_t row) const { return arena_.At(rows_[row]); }
    DBResult Modify(uint32_t position, const uint8_t* record);
    DBResult Insert(uint32_t position, const uint8_t* record, uint32_t& row);
    DBResult Delete(uint32_t position);

    // Blob bytes a record buffer names: bytes of a stored row, or bytes put into a record buffer and
    // kept by the table until it goes.
    DBResult ResolveBlob(uint64_t ref, uint32_t length, const uint8_t*& bytes) const;
    uint64_t StoreBlob(const void* bytes, uint32_t length);

    static constexpr uint32_t kBookmarkSize = 8;
    void MakeBookmark(uint32_t row, void* bookmark) const;
    // True when the bookmark names a live row of this table.
    bool ReadBookmark(const void* bookmark, uint32_t& row) const;

private:
    static constexpr uint64_t kDeleted = uint64_t(1) << 63;
    static constexpr uint64_t kPendingBlob = uint64_t(1) << 63;

    struct Change {
        uint32_t row;
        uint8_t kind;
    };

    DBResult encode(const uint8_t* record, Arena::Ref& ref);
    void materializeOrder();
    void logChange(uint8_t kind, uint32_t row) { changes_.push_back({row, kind}); }

    RowLayout layout_;
    Arena arena_;
    BlockVector<uint64_t> rows_;
    bool ordered_ = false;
    BlockVector<uint32_t> order_;
    BlockVector<uint32_t> positions_;  // row number -> position, rebuilt on demand after an edit
    bool positionsStale_ = true;
    std::vector<Change> changes_;
    std::vector<std::string> blobs_;
    uint64_t generation_ = 0;
    uint32_t tag_;  // tells this table's bookmarks from others'
    uint16_t packetFlags_ = 0;
    bool readOnly_ = false;
    bool trimStrings_ = false;
    bool complete_ = false;
};

} // namespace dsengine
