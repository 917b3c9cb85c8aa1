#pragma once
// A cursor on a table: stands on a row or between two rows, reads and writes record buffers, and
// changes the table's rows. ScanText reads text columns straight from the stored rows (a search's
// reading): per row a walk over the lengths of the columns up to the last one asked, with no copy.
#include "engine/ComObject.h"
#include "engine/Table.h"

namespace dsengine {

class Cursor final : public ComObject<IDSCursor, IID_IDSCursor> {
public:
    ~Cursor() override;

    DBResult InitCursor(IDSBase* table) override;
    DBResult GetCursorProps(DSProps* props) override;
    DBResult MoveToBOF() override;
    DBResult MoveToEOF() override;
    DBResult GetNextRecord(void* record) override;
    DBResult GetPriorRecord(void* record) override;
    DBResult GetCurrentRecord(void* record) override;
    DBResult GetRecordCount(uint32_t* count) override;
    DBResult GetSequenceNumber(uint32_t* seqNo) override;
    DBResult MoveToSeqNo(uint32_t seqNo) override;
    DBResult GetCurrentBookmark(void* bookmark) override;
    DBResult MoveToBookmark(const void* bookmark) override;
    DBResult CompareBookmarks(const void* bookmark1, const void* bookmark2, int32_t* result) override;
    DBResult IsValidBookmark(const void* bookmark, bool* valid) override;
    DBResult InitRecord(void* record) override;
    DBResult GetField(const void* record, uint32_t column, void* value, uint32_t* length, bool* isNull) override;
    DBResult VerifyField(uint32_t column, const void* value, uint32_t length) override;
    DBResult PutField(void* record, uint32_t column, const void* value, uint32_t length) override;
    DBResult ModifyRecord(const void* record) override;
    DBResult InsertRecord(const void* record) override;
    DBResult DeleteRecord() override;
    DBResult ScanText(uint32_t from, uint32_t to, const uint32_t* columns, uint32_t count, DSTextVisitor visit,
                      void* context, uint32_t* found) override;

private:
    // Finds the current row again after rows came or went through another cursor or a packet.
    void sync();
    void standOn(uint32_t position);
    DBResult scanText(uint32_t from, uint32_t to, const uint32_t* columns, uint32_t count, DSTextVisitor visit,
                      void* context, uint32_t* found);

    Table* table_ = nullptr;
    // On the row at `position_`, or between rows just before it (0: the beginning; the record
    // count: the end).
    uint32_t position_ = 0;
    bool onRow_ = false;
    uint32_t row_ = 0;
    uint64_t generation_ = 0;
};

} // namespace dsengine
