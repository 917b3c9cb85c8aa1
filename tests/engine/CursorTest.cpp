#include "engine/EngineTestSupport.h"

#include <gtest/gtest.h>

namespace {
std::vector<DSFieldDesc> custFields() {
    return {Desc("CUST_ID", dsfText, 10, dsattrRequired), Desc("CUST_NAME", dsfText, 50), Desc("N", dsfInt32)};
}

// Customers C<first>..Cn.
std::vector<uint8_t> customers(int n, int first = 1) {
    std::vector<std::vector<Value>> rows;
    for (int i = first; i <= n; ++i)
        rows.push_back({Text("C" + std::to_string(i)), Text(Ansi("客戶") + std::to_string(i)), Num<int32_t>(i)});
    return MakePacket(custFields(), rows);
}

// The ids from the first row to the last.
std::string ids(OpenTable& t) {
    std::string s;
    t.cursor->MoveToBOF();
    while (t.cursor->GetNextRecord(t.record.data()) == DBERR_NONE)
        s += t.Get(1) + ",";
    return s;
}
} // namespace

TEST(Cursor, NavigatesBothEndsWithDistinctStatusesAndSequenceNumbers) {
    OpenTable t(customers(3));
    EXPECT_EQ(t.cursor->GetCurrentRecord(t.record.data()), DBERR_NOCURRREC);
    EXPECT_EQ(t.SeqNo(), 0u);
    EXPECT_EQ(t.cursor->GetPriorRecord(t.record.data()), DBERR_BOF);
    ASSERT_EQ(t.cursor->GetNextRecord(t.record.data()), DBERR_NONE);
    EXPECT_EQ(t.Get(1), "C1");
    EXPECT_EQ(t.SeqNo(), 1u);
    t.cursor->GetNextRecord(nullptr);
    t.cursor->GetNextRecord(t.record.data());
    EXPECT_EQ(t.Get(2), Ansi("客戶3"));
    EXPECT_EQ(t.SeqNo(), 3u);
    // Past the last row the cursor stays at the end, however often it is asked.
    EXPECT_EQ(t.cursor->GetNextRecord(t.record.data()), DBERR_EOF);
    EXPECT_EQ(t.cursor->GetNextRecord(t.record.data()), DBERR_EOF);
    EXPECT_EQ(t.cursor->GetCurrentRecord(t.record.data()), DBERR_NOCURRREC);
    ASSERT_EQ(t.cursor->GetPriorRecord(t.record.data()), DBERR_NONE);
    EXPECT_EQ(t.Get(1), "C3");
    t.cursor->MoveToEOF();
    t.cursor->GetPriorRecord(t.record.data());
    EXPECT_EQ(t.Get(1), "C3");

    ASSERT_EQ(t.cursor->MoveToSeqNo(2), DBERR_NONE);
    Check(t.cursor->GetCurrentRecord(t.record.data()), t.table.get());
    EXPECT_EQ(t.Get(1), "C2");
    EXPECT_EQ(t.cursor->MoveToSeqNo(0), DBERR_OUTOFRANGE);
    EXPECT_EQ(t.cursor->MoveToSeqNo(4), DBERR_OUTOFRANGE);
    EXPECT_EQ(t.SeqNo(), 2u);  // a refused move leaves the cursor where it was
    uint32_t count = 0;
    t.cursor->GetRecordCount(&count);
    EXPECT_EQ(count, 3u);

    // A result without rows: the beginning is the end.
    OpenTable empty(MakePacket(custFields(), {}));
    EXPECT_EQ(empty.props.recordCount, 0u);
    EXPECT_EQ(empty.cursor->GetNextRecord(empty.record.data()), DBERR_EOF);
    EXPECT_EQ(empty.cursor->GetPriorRecord(empty.record.data()), DBERR_BOF);
}

TEST(Cursor, ModifyInsertDeleteAreLoggedAndKeepTheOtherRows) {
    OpenTable t(customers(4));
    t.cursor->MoveToSeqNo(2);
    t.cursor->GetCurrentRecord(t.record.data());
    std::vector<uint8_t> c2 = t.Bookmark();
    t.Set(2, Text(Ansi("許怡君")));
    t.Set(3, Null());
    // The record buffer changes, the table not yet.
    std::vector<uint8_t> other(t.props.recordSize);
    t.cursor->GetCurrentRecord(other.data());
    int32_t n = 0;
    Check(t.cursor->GetField(other.data(), 3, &n, nullptr, nullptr), t.table.get());
    EXPECT_EQ(n, 2);
    Check(t.cursor->ModifyRecord(t.record.data()), t.table.get());
    t.cursor->GetCurrentRecord(t.record.data());
    EXPECT_EQ(t.Get(1), "C2");
    EXPECT_EQ(t.Get(2), Ansi("許怡君"));
    EXPECT_EQ(t.Get(3), "<null>");
    EXPECT_EQ(t.SeqNo(), 2u);

    // Insert before the current row; the cursor stands on the new row.
    t.cursor->InitRecord(t.record.data());
    EXPECT_EQ(t.Get(1), "<null>");
    t.Set(1, Text("NEW"));
    EXPECT_EQ(t.cursor->PutField(t.record.data(), 1, "12345678901", 11), DBERR_STRINGTOOLONG);
    EXPECT_EQ(t.cursor->VerifyField(1, "1234567890", 10), DBERR_NONE);
    EXPECT_EQ(t.cursor->VerifyField(4, nullptr, 0), DBERR_INVALIDFIELDNO);
    Check(t.cursor->InsertRecord(t.record.data()), t.table.get());
    EXPECT_EQ(t.SeqNo(), 2u);
    std::vector<uint8_t> inserted = t.Bookmark();
    // At the end, an insert appends.
    t.cursor->MoveToEOF();
    t.Set(1, Text("LAST"));
    Check(t.cursor->InsertRecord(t.record.data()), t.table.get());
    EXPECT_EQ(t.SeqNo(), 6u);
    EXPECT_EQ(ids(t), "C1,NEW,C2,C3,C4,LAST,");

    // Delete: the cursor stands between the neighbours of the row that went.
    t.cursor->MoveToSeqNo(4);
    Check(t.cursor->DeleteRecord(), t.table.get());
    EXPECT_EQ(t.cursor->GetCurrentRecord(t.record.data()), DBERR_NOCURRREC);
    EXPECT_EQ(t.cursor->DeleteRecord(), DBERR_NOCURRREC);
    t.cursor->GetNextRecord(t.record.data());
    EXPECT_EQ(t.Get(1), "C4");
    EXPECT_EQ(t.SeqNo(), 4u);
    t.cursor->GetPriorRecord(t.record.data());
    EXPECT_EQ(t.Get(1), "C2");
    EXPECT_EQ(ids(t), "C1,NEW,C2,C4,LAST,");

    DSProps props;
    t.table->GetProps(&props);
    EXPECT_EQ(props.recordCount, 5u);
    ASSERT_EQ(props.changeCount, 4u);
    std::vector<uint8_t> bookmark(8);
    uint8_t kinds[4];
    for (uint32_t i = 0; i < 4; ++i)
        Check(t.table->GetChange(i, &kinds[i], bookmark.data()), t.table.get());
    EXPECT_EQ(kinds[0], dschModify);
    EXPECT_EQ(kinds[1], dschInsert);
    EXPECT_EQ(kinds[2], dschInsert);
    EXPECT_EQ(kinds[3], dschDelete);
    t.table->GetChange(0, nullptr, bookmark.data());
    EXPECT_EQ(bookmark, c2);
    t.table->GetChange(1, nullptr, bookmark.data());
    EXPECT_EQ(bookmark, inserted);
    EXPECT_EQ(t.table->GetChange(4, nullptr, nullptr), DBERR_OUTOFRANGE);

    // Deleting every row leaves an empty table, not the rows that were loaded.
    t.cursor->MoveToBOF();
    while (t.cursor->GetNextRecord(nullptr) == DBERR_NONE)
        Check(t.cursor->DeleteRecord(), t.table.get());
    EXPECT_EQ(ids(t), "");
    t.cursor->GetRecordCount(&props.recordCount);
    EXPECT_EQ(props.recordCount, 0u);
}

TEST(Cursor, BookmarksCompareByOrderAndDieWithTheirRow) {
    OpenTable t(customers(3));
    OpenTable foreign(customers(3));
    t.cursor->MoveToSeqNo(1);
    std::vector<uint8_t> b1 = t.Bookmark();
    t.cursor->MoveToSeqNo(3);
    std::vector<uint8_t> b3 = t.Bookmark();
    foreign.cursor->MoveToSeqNo(1);
    std::vector<uint8_t> f1 = foreign.Bookmark();

    int32_t result = 9;
    auto compare = [&](const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
        Check(t.cursor->CompareBookmarks(a.data(), b.data(), &result), t.table.get());
        return result;
    };
    EXPECT_EQ(compare(b1, b3), -1);
    EXPECT_EQ(compare(b3, b1), 1);
    EXPECT_EQ(compare(b1, b1), 0);
    EXPECT_EQ(compare(b1, f1), 2);  // another table's bookmark
    Check(t.cursor->CompareBookmarks(nullptr, b1.data(), &result), t.table.get());
    EXPECT_EQ(result, 2);

    // Rows inserted before keep bookmarks pointing at the same rows.
    t.cursor->MoveToBOF();
    t.cursor->InitRecord(t.record.data());
    t.Set(1, Text("C0"));
    Check(t.cursor->InsertRecord(t.record.data()), t.table.get());
    Check(t.cursor->MoveToBookmark(b3.data()), t.table.get());
    EXPECT_EQ(t.SeqNo(), 4u);
    t.cursor->GetCurrentRecord(t.record.data());
    EXPECT_EQ(t.Get(1), "C3");

    t.cursor->MoveToSeqNo(2);
    Check(t.cursor->DeleteRecord(), t.table.get());  // C1
    bool valid = true;
    t.cursor->IsValidBookmark(b1.data(), &valid);
    EXPECT_FALSE(valid);
    t.cursor->IsValidBookmark(b3.data(), &valid);
    EXPECT_TRUE(valid);
    EXPECT_EQ(compare(b1, b3), 2);
    EXPECT_EQ(compare(b1, b1), 2);
    EXPECT_EQ(t.cursor->MoveToBookmark(b1.data()), DBERR_INVALIDBOOKMARK);
    EXPECT_EQ(t.cursor->MoveToBookmark(f1.data()), DBERR_INVALIDBOOKMARK);
    EXPECT_EQ(t.cursor->GetCurrentBookmark(b1.data()), DBERR_NOCURRREC);
}

TEST(Cursor, TwoCursorsOnOneTableKeepTheirRows) {
    OpenTable t(customers(5));
    DSPtr<IDSCursor> second = CreateDSCursor();
    Check(second->InitCursor(t.table.get()), t.table.get());
    Check(second->MoveToSeqNo(4), t.table.get());

    t.cursor->MoveToSeqNo(2);
    Check(t.cursor->DeleteRecord(), t.table.get());
    std::vector<uint8_t> record(t.props.recordSize);
    Check(second->GetCurrentRecord(record.data()), t.table.get());
    uint32_t seqNo = 0;
    second->GetSequenceNumber(&seqNo);
    EXPECT_EQ(seqNo, 3u);
    char id[11];
    second->GetField(record.data(), 1, id, nullptr, nullptr);
    EXPECT_STREQ(id, "C4");

    // The row under the second cursor goes through the first: the second stands between rows.
    t.cursor->MoveToSeqNo(3);
    Check(t.cursor->DeleteRecord(), t.table.get());
    EXPECT_EQ(second->GetCurrentRecord(record.data()), DBERR_NOCURRREC);
    Check(second->GetNextRecord(record.data()), t.table.get());
    second->GetField(record.data(), 1, id, nullptr, nullptr);
    EXPECT_STREQ(id, "C5");

    // The table outlives the handles the test holds: the cursor keeps it.
    IDSBase* raw = t.table.get();
    raw->AddRef();
    t.cursor.reset();
    t.table.reset();
    EXPECT_EQ(raw->Release(), 1u);  // the second cursor's reference
    Check(second->MoveToSeqNo(1), nullptr);
}

TEST(Cursor, BlobsSurviveEditsAndForeignBlobReferencesAreRefused) {
    std::vector<DSFieldDesc> fields{Desc("ID", dsfInt32), Desc("MEMO", dsfMemo), Desc("PIC", dsfBlob)};
    std::string big(70000, 'q');
    OpenTable t(MakePacket(fields, {{Num<int32_t>(1), Text(Ansi("備註")), Text(big)}}));
    t.cursor->GetNextRecord(t.record.data());
    EXPECT_EQ(t.Get(3), big);
    // Change only the id: the blobs go along unchanged into the new row.
    t.Set(1, Num<int32_t>(2));
    Check(t.cursor->ModifyRecord(t.record.data()), t.table.get());
    t.cursor->GetCurrentRecord(t.record.data());
    EXPECT_EQ(t.GetNum<int32_t>(1), 2);
    EXPECT_EQ(t.Get(2), Ansi("備註"));
    EXPECT_EQ(t.Get(3), big);
    // Put a new blob, insert a copy of the row with it.
    t.Set(3, Text("small"));
    Check(t.cursor->InsertRecord(t.record.data()), t.table.get());
    t.cursor->MoveToSeqNo(2);
    t.cursor->GetCurrentRecord(t.record.data());
    EXPECT_EQ(t.Get(3), big);
    t.cursor->MoveToSeqNo(1);
    t.cursor->GetCurrentRecord(t.record.data());
    EXPECT_EQ(t.Get(3), "small");
    EXPECT_EQ(t.Get(2), Ansi("備註"));

    // A record buffer whose blob slot names bytes the table never held is refused, not read.
    std::vector<uint8_t> forged = t.record;
    uint32_t blobSlot = uint32_t(forged.size()) - 12;  // PIC's slot ends the buffer: reference, length
    uint64_t wild = uint64_t(5) << 40;
    std::memcpy(forged.data() + blobSlot, &wild, 8);
    EXPECT_EQ(t.cursor->ModifyRecord(forged.data()), DBERR_INVALIDBLOB);
    EXPECT_EQ(t.cursor->GetField(forged.data(), 3, std::string(10, ' ').data(), nullptr, nullptr),
              DBERR_INVALIDBLOB);
}

// The row index is kept in blocks of 8192 rows: rows deleted and inserted at a block's edge, then a
// further packet appended once the positions are known, keep their order, sequence numbers and bookmarks.
TEST(Cursor, EditsAndAppendsAtTheIndexBlocksEdgeKeepOrderAndPositions) {
    OpenTable t(customers(8200), false);
    ASSERT_EQ(t.cursor->MoveToSeqNo(8192), DBERR_NONE);
    Check(t.cursor->DeleteRecord(), t.table.get());  // C8192, the first block's last row
    t.cursor->MoveToSeqNo(8192);                      // now C8193
    t.cursor->InitRecord(t.record.data());
    t.Set(1, Text("NEW"));
    Check(t.cursor->InsertRecord(t.record.data()), t.table.get());
    t.cursor->MoveToSeqNo(8200);
    std::vector<uint8_t> last = t.Bookmark();
    t.cursor->MoveToBOF();
    Check(t.cursor->MoveToBookmark(last.data()), t.table.get());  // the positions are built here
    EXPECT_EQ(t.SeqNo(), 8200u);

    std::vector<uint8_t> more = customers(8300, 8201);
    Check(t.table->AppendData(more.data(), more.size(), true), t.table.get());
    t.cursor->MoveToSeqNo(8300);
    t.cursor->GetCurrentRecord(t.record.data());
    EXPECT_EQ(t.Get(1), "C8300");
    std::vector<uint8_t> appended = t.Bookmark();
    t.cursor->MoveToBOF();
    Check(t.cursor->MoveToBookmark(appended.data()), t.table.get());
    EXPECT_EQ(t.SeqNo(), 8300u);
    Check(t.cursor->MoveToBookmark(last.data()), t.table.get());
    EXPECT_EQ(t.SeqNo(), 8200u);

    std::string all = ids(t), expected;
    for (int i = 1; i <= 8300; ++i)
        expected += i == 8192 ? "NEW," : "C" + std::to_string(i) + ",";
    EXPECT_EQ(all, expected);
}

TEST(Cursor, ScanTextReadsStoredRowsInPlaceEitherWay) {
    // Columns: a code, a name (null in row 2, blank-padded in row 3), a number, a fixed-length text.
    const std::vector<DSFieldDesc> fields = {Desc("CUST_ID", dsfText, 10), Desc("CUST_NAME", dsfText, 50),
                                             Desc("N", dsfInt32), Desc("YN", dsfFixedText, 1)};
    OpenTable t(MakePacket(fields, {{Text("C1"), Text(Ansi("客戶一")), Num<int32_t>(1), Text("Y")},
                                    {Text("C2"), Null(), Num<int32_t>(2), Text("N")},
                                    {Text("C3"), Text("three  "), Num<int32_t>(3), Text("Y")}}));
    Check(t.table->SetProp(dspropTrimStrings, 1), t.table.get());
    t.cursor->MoveToSeqNo(2);
    struct Case {
        uint32_t from, to;
        std::vector<uint32_t> columns;
        uint32_t stopAt;  // the row the visitor accepts; 0: none
        DBResult result;
        std::string seen;  // per row visited: its number and texts
        uint32_t found;
    };
    const Case cases[] = {
        {1, 3, {4, 2}, 0, DBERR_NONE, "1:Y|" + Ansi("客戶一") + "|;2:N||;3:Y|three|;", 0},
        {3, 1, {1}, 2, DBERR_NONE, "3:C3|;2:C2|;", 2},               // backwards, stopped
        {2, 99, {3, 0, 9, 1}, 0, DBERR_NONE, "2:|||C2|;3:|||C3|;", 0},  // no text: empty; `to` past the end
        {4, 1, {1}, 0, DBERR_OUTOFRANGE, "", 0},
    };
    for (const Case& c : cases) {
        struct Seen {
            std::string text;
            uint32_t stopAt;
            size_t count;
        } seen{"", c.stopAt, c.columns.size()};
        auto visit = [](void* context, uint32_t seqNo, const char* const* texts, const uint32_t* lengths) {
            auto* s = static_cast<Seen*>(context);
            s->text += std::to_string(seqNo) + ":";
            for (size_t i = 0; i < s->count; ++i)
                s->text += std::string(texts[i], lengths[i]) + "|";
            s->text += ";";
            return seqNo == s->stopAt;
        };
        std::vector<uint32_t> columns = c.columns;
        uint32_t found = 77;
        EXPECT_EQ(t.cursor->ScanText(c.from, c.to, columns.data(), uint32_t(columns.size()), visit, &seen, &found),
                  c.result)
            << c.from;
        EXPECT_EQ(seen.text, c.seen) << c.from;
        if (c.result == DBERR_NONE) {
            EXPECT_EQ(found, c.found) << c.from;
        }
    }
    EXPECT_EQ(t.SeqNo(), 2u);  // the cursor stayed
}
