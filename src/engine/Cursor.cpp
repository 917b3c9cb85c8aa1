#include "engine/Cursor.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace dsengine {

Cursor::~Cursor() {
    if (table_)
        table_->Release();
}

DBResult Cursor::InitCursor(IDSBase* table) {
    auto* t = dynamic_cast<Table*>(table);
    if (!t)
        return DBERR_INVALIDPARAM;
    if (t->Layout().Empty())
        return DBERR_NOTINITIALIZED;
    t->AddRef();
    if (table_)
        table_->Release();
    table_ = t;
    onRow_ = false;
    position_ = 0;
    generation_ = t->Generation();
    return DBERR_NONE;
}

void Cursor::sync() {
    if (generation_ == table_->Generation())
        return;
    generation_ = table_->Generation();
    if (onRow_ && table_->IsLive(row_)) {
        position_ = table_->PositionOf(row_);
        return;
    }
    onRow_ = false;
    if (position_ > table_->RecordCount())
        position_ = table_->RecordCount();
}

void Cursor::standOn(uint32_t position) {
    position_ = position;
    onRow_ = true;
    row_ = table_->RowAt(position);
}

DBResult Cursor::GetCursorProps(DSProps* props) {
    if (!table_)
        return DBERR_NOTINITIALIZED;
    return table_->GetProps(props);
}

DBResult Cursor::MoveToBOF() {
    if (!table_)
        return DBERR_NOTINITIALIZED;
    sync();
    onRow_ = false;
    position_ = 0;
    return DBERR_NONE;
}

DBResult Cursor::MoveToEOF() {
    if (!table_)
        return DBERR_NOTINITIALIZED;
    sync();
    onRow_ = false;
    position_ = table_->RecordCount();
    return DBERR_NONE;
}

DBResult Cursor::GetNextRecord(void* record) {
    if (!table_)
        return DBERR_NOTINITIALIZED;
    sync();
    uint64_t next = uint64_t(position_) + (onRow_ ? 1 : 0);
    if (next >= table_->RecordCount()) {
        onRow_ = false;
        position_ = table_->RecordCount();
        return DBERR_EOF;
    }
    standOn(uint32_t(next));
    if (record)
        table_->DecodeRow(row_, static_cast<uint8_t*>(record));
    return DBERR_NONE;
}

DBResult Cursor::GetPriorRecord(void* record) {
    if (!table_)
        return DBERR_NOTINITIALIZED;
    sync();
    if (position_ == 0) {
        onRow_ = false;
        return DBERR_BOF;
    }
    standOn(position_ - 1);
    if (record)
        table_->DecodeRow(row_, static_cast<uint8_t*>(record));
    return DBERR_NONE;
}

DBResult Cursor::GetCurrentRecord(void* record) {
    if (!table_)
        return DBERR_NOTINITIALIZED;
    sync();
    if (!onRow_)
        return DBERR_NOCURRREC;
    if (record)
        table_->DecodeRow(row_, static_cast<uint8_t*>(record));
    return DBERR_NONE;
}

DBResult Cursor::GetRecordCount(uint32_t* count) {
    if (!table_)
        return DBERR_NOTINITIALIZED;
    if (!count)
        return DBERR_INVALIDPARAM;
    *count = table_->RecordCount();
    return DBERR_NONE;
}

DBResult Cursor::GetSequenceNumber(uint32_t* seqNo) {
    if (!table_)
        return DBERR_NOTINITIALIZED;
    if (!seqNo)
        return DBERR_INVALIDPARAM;
    sync();
    if (!onRow_)
        return DBERR_NOCURRREC;
    *seqNo = position_ + 1;
    return DBERR_NONE;
}

DBResult Cursor::MoveToSeqNo(uint32_t seqNo) {
    if (!table_)
        return DBERR_NOTINITIALIZED;
    sync();
    if (seqNo == 0 || seqNo > table_->RecordCount())
        return DBERR_OUTOFRANGE;
    standOn(seqNo - 1);
    return DBERR_NONE;
}

DBResult Cursor::GetCurrentBookmark(void* bookmark) {
    if (!table_)
        return DBERR_NOTINITIALIZED;
    if (!bookmark)
        return DBERR_INVALIDPARAM;
    sync();
    if (!onRow_)
        return DBERR_NOCURRREC;
    table_->MakeBookmark(row_, bookmark);
    return DBERR_NONE;
}

DBResult Cursor::MoveToBookmark(const void* bookmark) {
    if (!table_)
        return DBERR_NOTINITIALIZED;
    sync();
    uint32_t row;
    if (!table_->ReadBookmark(bookmark, row))
        return DBERR_INVALIDBOOKMARK;
    standOn(table_->PositionOf(row));
    return DBERR_NONE;
}

DBResult Cursor::CompareBookmarks(const void* bookmark1, const void* bookmark2, int32_t* result) {
    if (!table_)
        return DBERR_NOTINITIALIZED;
    if (!result)
        return DBERR_INVALIDPARAM;
    uint32_t row1, row2;
    if (!table_->ReadBookmark(bookmark1, row1) || !table_->ReadBookmark(bookmark2, row2)) {
        *result = 2;
        return DBERR_NONE;
    }
    uint32_t pos1 = table_->PositionOf(row1), pos2 = table_->PositionOf(row2);
    *result = pos1 < pos2 ? -1 : pos1 > pos2 ? 1 : 0;
    return DBERR_NONE;
}

DBResult Cursor::IsValidBookmark(const void* bookmark, bool* valid) {
    if (!table_)
        return DBERR_NOTINITIALIZED;
    if (!valid)
        return DBERR_INVALIDPARAM;
    uint32_t row;
    *valid = table_->ReadBookmark(bookmark, row);
    return DBERR_NONE;
}

DBResult Cursor::InitRecord(void* record) {
    if (!table_)
        return DBERR_NOTINITIALIZED;
    if (!record)
        return DBERR_INVALIDPARAM;
    std::memset(record, 0, table_->Layout().RecordSize());
    return DBERR_NONE;
}

DBResult Cursor::GetField(const void* record, uint32_t column, void* value, uint32_t* length, bool* isNull) {
    if (!table_)
        return DBERR_NOTINITIALIZED;
    if (!record)
        return DBERR_INVALIDPARAM;
    const RowLayout& layout = table_->Layout();
    if (column == 0 || column > layout.Count())
        return DBERR_INVALIDFIELDNO;
    const RowLayout::Column& c = layout[column - 1];
    const uint8_t* rec = static_cast<const uint8_t*>(record);
    const uint8_t* slot = rec + c.recordOffset;
    auto* out = static_cast<uint8_t*>(value);
    bool null = rec[column - 1] == 0;
    bool text = c.desc.type == dsfText || c.desc.type == dsfFixedText;
    uint32_t n = 0;
    if (null) {
        if (out && c.width)
            std::memset(out, 0, c.width);
        else if (out && text)
            out[0] = 0;
    } else if (c.width) {
        n = c.width;
        if (out)
            std::memcpy(out, slot, n);
    } else if (c.blob) {
        uint64_t ref;
        std::memcpy(&ref, slot, 8);
        std::memcpy(&n, slot + 8, 4);
        if (out && n) {
            const uint8_t* bytes;
            if (DBResult r = table_->ResolveBlob(ref, n, bytes))
                return r;
            std::memcpy(out, bytes, n);
        }
    } else {
        std::memcpy(&n, slot, 4);
        if (n > c.desc.size)
            return DBERR_INVALIDVALUE;
        if (text && table_->TrimStrings())
            while (n > 0 && slot[4 + n - 1] == ' ')
                --n;
        if (out) {
            std::memcpy(out, slot + 4, n);
            if (text)
                out[n] = 0;
        }
    }
    if (length)
        *length = n;
    if (isNull)
        *isNull = null;
    return DBERR_NONE;
}

DBResult Cursor::VerifyField(uint32_t column, const void* value, uint32_t length) {
    if (!table_)
        return DBERR_NOTINITIALIZED;
    if (column == 0)
        return DBERR_INVALIDFIELDNO;
    return table_->Layout().CheckValue(column - 1, value, length);
}

DBResult Cursor::PutField(void* record, uint32_t column, const void* value, uint32_t length) {
    if (!table_)
        return DBERR_NOTINITIALIZED;
    if (!record)
        return DBERR_INVALIDPARAM;
    if (DBResult r = VerifyField(column, value, length))
        return r;
    const RowLayout::Column& c = table_->Layout()[column - 1];
    uint8_t* rec = static_cast<uint8_t*>(record);
    uint8_t* slot = rec + c.recordOffset;
    if (!value) {
        rec[column - 1] = 0;
        std::memset(slot, 0, c.width ? c.width : c.blob ? 12 : 5);
        return DBERR_NONE;
    }
    if (c.width) {
        std::memcpy(slot, value, c.width);
        if (c.desc.type == dsfBoolean)
            slot[0] = slot[0] ? 1 : 0;
    } else if (c.blob) {
        DBResult r = Guarded([&] {
            uint64_t ref = table_->StoreBlob(value, length);
            std::memcpy(slot, &ref, 8);
            std::memcpy(slot + 8, &length, 4);
            return DBERR_NONE;
        });
        if (r)
            return r;
    } else {
        std::memcpy(slot, &length, 4);
        std::memcpy(slot + 4, value, length);
        slot[4 + length] = 0;
    }
    rec[column - 1] = 1;
    return DBERR_NONE;
}

DBResult Cursor::ModifyRecord(const void* record) {
    if (!table_)
        return DBERR_NOTINITIALIZED;
    if (!record)
        return DBERR_INVALIDPARAM;
    sync();
    if (!onRow_)
        return DBERR_NOCURRREC;
    return table_->Modify(position_, static_cast<const uint8_t*>(record));
}

DBResult Cursor::InsertRecord(const void* record) {
    if (!table_)
        return DBERR_NOTINITIALIZED;
    if (!record)
        return DBERR_INVALIDPARAM;
    sync();
    uint32_t row;
    if (DBResult r = table_->Insert(position_, static_cast<const uint8_t*>(record), row))
        return r;
    generation_ = table_->Generation();
    onRow_ = true;  // the new row took the position
    row_ = row;
    return DBERR_NONE;
}

DBResult Cursor::DeleteRecord() {
    if (!table_)
        return DBERR_NOTINITIALIZED;
    sync();
    if (!onRow_)
        return DBERR_NOCURRREC;
    if (DBResult r = table_->Delete(position_))
        return r;
    generation_ = table_->Generation();
    onRow_ = false;
    return DBERR_NONE;
}

DBResult Cursor::ScanText(uint32_t from, uint32_t to, const uint32_t* columns, uint32_t count, DSTextVisitor visit,
                          void* context, uint32_t* found) {
    if (!table_)
        return DBERR_NOTINITIALIZED;
    if (!found || !visit || (count && !columns))
        return DBERR_INVALIDPARAM;
    *found = 0;
    const uint32_t rows = table_->RecordCount();
    if (from == 0 || from > rows)
        return DBERR_OUTOFRANGE;
    to = std::clamp<uint32_t>(to, 1, rows);
    return Guarded([&] { return scanText(from, to, columns, count, visit, context, found); });
}

DBResult Cursor::scanText(uint32_t from, uint32_t to, const uint32_t* columns, uint32_t count, DSTextVisitor visit,
                          void* context, uint32_t* found) {
    const RowLayout& layout = table_->Layout();
    // Per column of the row, which of the texts asked for it is (the last one asked, if twice);
    // columns after the last one asked are never walked.
    std::vector<int32_t> wanted;
    for (uint32_t k = 0; k < count; ++k) {
        const uint32_t c = columns[k];
        if (c == 0 || c > layout.Count() || layout[c - 1].width || layout[c - 1].blob ||
            (layout[c - 1].desc.type != dsfText && layout[c - 1].desc.type != dsfFixedText))
            continue;
        if (wanted.size() < c)
            wanted.resize(c, -1);
        wanted[c - 1] = int32_t(k);
    }
    std::vector<const char*> texts(count, "");
    std::vector<uint32_t> lengths(count, 0);
    const bool trim = table_->TrimStrings();
    const uint32_t fixed = layout.FixedBytes();
    const int step = to >= from ? 1 : -1;
    for (uint32_t seq = from;; seq += uint32_t(step)) {
        const uint8_t* r = table_->RowBytes(table_->RowAt(seq - 1));
        const uint8_t* var = r + fixed;
        for (uint32_t i = 0; i < wanted.size(); ++i) {
            const int32_t k = wanted[i];
            if (layout[i].width)
                continue;
            if (IsNullBit(r, i)) {
                if (k >= 0)
                    lengths[size_t(k)] = 0;
                continue;
            }
            uint32_t n = ReadVarLength(var);
            if (k >= 0) {
                texts[size_t(k)] = reinterpret_cast<const char*>(var);
                uint32_t shown = n;
                if (trim)
                    while (shown > 0 && var[shown - 1] == ' ')
                        --shown;
                lengths[size_t(k)] = shown;
            }
            var += n;
        }
        if (visit(context, seq, texts.data(), lengths.data())) {
            *found = seq;
            return DBERR_NONE;
        }
        if (seq == to)
            return DBERR_NONE;
    }
}

} // namespace dsengine
