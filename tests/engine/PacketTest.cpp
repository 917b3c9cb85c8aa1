#include "engine/EngineTestSupport.h"

#include "core/Exception.h"

#include <gtest/gtest.h>

namespace {
std::vector<DSFieldDesc> everyType() {
    return {Desc("NAME", dsfText, 10, dsattrRequired), Desc("CODE", dsfFixedText, 4, dsattrReadOnly),
            Desc("I16", dsfInt16), Desc("I32", dsfInt32), Desc("I64", dsfInt64), Desc("U16", dsfUInt16),
            Desc("F64", dsfFloat64), Desc("CUR", dsfCurrency), Desc("BCD", dsfBcd, 0, 0, 10, 2),
            Desc("FMT", dsfFmtBcd, 0, 0, 18, 6), Desc("D", dsfDate), Desc("T", dsfTime), Desc("TS", dsfTimeStamp),
            Desc("B", dsfBoolean), Desc("BYT", dsfBytes, 3), Desc("VBY", dsfVarBytes, 5), Desc("BLOB", dsfBlob),
            Desc("MEMO", dsfMemo)};
}

std::vector<Value> fullRow(const std::string& name) {
    return {Text(name), Text("AB  "), Num<int16_t>(-2), Num<int32_t>(123456), Num<int64_t>(-9000000000LL),
            Num<uint16_t>(65535), Num(12.5), Num(0.625), Num<int64_t>(-123456), Num<int64_t>(1234567890123LL),
            Num<int32_t>(38922), Num<int32_t>(86399999), Num<int64_t>(3362889600000LL), Num<uint8_t>(7),
            Text(std::string("\0\1\2", 3)), Text("xy"), Text(std::string(100000, 'z')), Text("")};
}
} // namespace

TEST(Packet, EveryTypeNullsAndBig5TextComeBackByteForByte) {
    // "功" (A5 5C) and "許" (B3 5C) end in a backslash; the engine must not care.
    std::string big5 = Ansi("功許客戶");
    ASSERT_EQ(big5.size(), 8u);
    std::vector<Value> nulls(18, Null());
    OpenTable t(MakePacket(everyType(), {fullRow(big5), nulls, fullRow("")}, dspfDisableDeletes));

    EXPECT_EQ(t.props.fieldCount, 18u);
    EXPECT_EQ(t.props.recordCount, 3u);
    EXPECT_EQ(t.props.bookmarkSize, 8u);
    EXPECT_EQ(t.props.packetFlags, dspfDisableDeletes);
    EXPECT_FALSE(t.props.readOnly);
    EXPECT_TRUE(t.props.complete);
    std::vector<DSFieldDesc> descs(18);
    Check(t.table->GetFieldDescs(descs.data()), t.table.get());
    EXPECT_STREQ(descs[0].name, "NAME");
    EXPECT_EQ(descs[0].valueSize, 11u);  // text gets its terminator
    EXPECT_EQ(descs[0].attributes, dsattrRequired);
    EXPECT_EQ(descs[1].type, dsfFixedText);
    EXPECT_EQ(descs[1].attributes, dsattrReadOnly);
    EXPECT_EQ(descs[3].size, 4u);  // fixed widths are filled in
    EXPECT_EQ(descs[9].precision, 18);
    EXPECT_EQ(descs[9].scale, 6);
    EXPECT_EQ(descs[14].valueSize, 3u);

    ASSERT_EQ(t.cursor->GetNextRecord(t.record.data()), DBERR_NONE);
    EXPECT_EQ(t.Get(1), big5);
    EXPECT_EQ(t.Get(2), "AB  ");  // stored as given, trailing blanks kept
    EXPECT_EQ(t.GetNum<int16_t>(3), -2);
    EXPECT_EQ(t.GetNum<int32_t>(4), 123456);
    EXPECT_EQ(t.GetNum<int64_t>(5), -9000000000LL);
    EXPECT_EQ(t.GetNum<uint16_t>(6), 65535);
    EXPECT_EQ(t.GetNum<double>(7), 12.5);
    EXPECT_EQ(t.GetNum<double>(8), 0.625);
    EXPECT_EQ(t.GetNum<int64_t>(9), -123456);
    EXPECT_EQ(t.GetNum<int64_t>(10), 1234567890123LL);
    EXPECT_EQ(t.GetNum<int32_t>(11), 38922);
    EXPECT_EQ(t.GetNum<int32_t>(12), 86399999);
    EXPECT_EQ(t.GetNum<int64_t>(13), 3362889600000LL);
    EXPECT_EQ(t.GetNum<uint8_t>(14), 1);  // any non-zero boolean is true
    EXPECT_EQ(t.Get(15), std::string("\0\1\2", 3));
    EXPECT_EQ(t.Get(16), "xy");
    EXPECT_EQ(t.Get(17), std::string(100000, 'z'));
    EXPECT_EQ(t.Get(18), "");

    ASSERT_EQ(t.cursor->GetNextRecord(t.record.data()), DBERR_NONE);
    for (uint32_t c = 1; c <= 18; ++c)
        EXPECT_EQ(t.Get(c), "<null>") << c;
    char text[11] = "garbage";
    bool null = false;
    Check(t.cursor->GetField(t.record.data(), 1, text, nullptr, &null), t.table.get());
    EXPECT_TRUE(null);
    EXPECT_STREQ(text, "");  // a null text reads as the empty text
    EXPECT_EQ(t.GetNum<int32_t>(4), 0);

    ASSERT_EQ(t.cursor->GetNextRecord(t.record.data()), DBERR_NONE);
    EXPECT_EQ(t.Get(1), "");  // empty, not null
    EXPECT_EQ(t.cursor->GetField(t.record.data(), 0, nullptr, nullptr, nullptr), DBERR_INVALIDFIELDNO);
    EXPECT_EQ(t.cursor->GetField(t.record.data(), 19, nullptr, nullptr, nullptr), DBERR_INVALIDFIELDNO);
}

TEST(Packet, WriterRefusesValuesAndDescriptionsItCannotHoldWithoutLosingTheRow) {
    DSPtr<IDSWriter> w = CreateDSWriter();
    EXPECT_EQ(w->PutValue("x", 1), DBERR_NOTINITIALIZED);
    DSFieldDesc bad[] = {Desc("", dsfText, 5)};
    EXPECT_EQ(w->Begin(bad, 1, 0), DBERR_INVALIDFIELDDESC);
    bad[0] = Desc("A", dsfText, 0);
    EXPECT_EQ(w->Begin(bad, 1, 0), DBERR_INVALIDFIELDDESC);
    bad[0] = Desc("A", 99);
    EXPECT_EQ(w->Begin(bad, 1, 0), DBERR_INVALIDFIELDTYPE);
    bad[0] = Desc("A", dsfBcd, 0, 0, 10, 19);
    EXPECT_EQ(w->Begin(bad, 1, 0), DBERR_INVALIDFIELDDESC);
    EXPECT_EQ(w->Begin(bad, 0, 0), DBERR_INVALIDFIELDDESC);

    std::vector<DSFieldDesc> fields{Desc("NAME", dsfText, 4), Desc("N", dsfInt32), Desc("T", dsfTime)};
    Check(w->Begin(fields.data(), 3, 0), nullptr);
    // Four bytes fit exactly (two Big5 characters); five never get cut to fit.
    EXPECT_EQ(Put(w.get(), Text(Ansi("客戶") + "x")), DBERR_STRINGTOOLONG);
    EXPECT_EQ(Put(w.get(), Text(Ansi("客戶"))), DBERR_NONE);
    EXPECT_EQ(Put(w.get(), Num<int16_t>(1)), DBERR_INVALIDVALUE);  // wrong width
    EXPECT_EQ(Put(w.get(), Num<int32_t>(1)), DBERR_NONE);
    EXPECT_EQ(Put(w.get(), Num<int32_t>(86400000)), DBERR_INVALIDVALUE);
    EXPECT_EQ(Put(w.get(), Num<int32_t>(-1)), DBERR_INVALIDVALUE);
    const uint8_t* data;
    uint64_t length;
    EXPECT_EQ(w->Finish(&data, &length), DBERR_ROWINCOMPLETE);
    EXPECT_EQ(Put(w.get(), Null()), DBERR_NONE);
    Check(w->Finish(&data, &length), nullptr);
    uint32_t rows = 0;
    w->GetRowCount(&rows);
    EXPECT_EQ(rows, 1u);

    OpenTable t(std::vector<uint8_t>(data, data + length));
    ASSERT_EQ(t.cursor->GetNextRecord(t.record.data()), DBERR_NONE);
    EXPECT_EQ(t.Get(1), Ansi("客戶"));
    EXPECT_EQ(t.GetNum<int32_t>(2), 1);
    EXPECT_EQ(t.Get(3), "<null>");
    EXPECT_EQ(t.cursor->GetNextRecord(t.record.data()), DBERR_EOF);
}

TEST(Packet, FurtherPacketsAddRowsAndBadPacketsAddNothing) {
    std::vector<DSFieldDesc> fields{Desc("ID", dsfText, 10), Desc("N", dsfInt32)};
    auto first = MakePacket(fields, {{Text("a"), Num<int32_t>(1)}, {Text("b"), Num<int32_t>(2)}});
    OpenTable t(first, false);
    EXPECT_FALSE(t.props.complete);
    Check(t.table->AppendData(first.data(), first.size(), true), t.table.get());
    DSProps props;
    t.table->GetProps(&props);
    EXPECT_EQ(props.recordCount, 4u);
    EXPECT_TRUE(props.complete);

    auto other = MakePacket({Desc("ID", dsfText, 11), Desc("N", dsfInt32)}, {});
    EXPECT_EQ(t.table->AppendData(other.data(), other.size(), true), DBERR_PACKETMISMATCH);

    // Damaged copies of a good packet: cut short, a row count that promises more, a length that
    // runs past the end, a wrong magic, a header only.
    auto good = MakePacket(fields, {{Text("c"), Num<int32_t>(3)}, {Text("dd"), Num<int32_t>(4)}});
    std::vector<std::vector<uint8_t>> damaged(5, good);
    damaged[0].pop_back();
    damaged[1][12] = 3;
    damaged[2][good.size() - 3] = 0x7F;  // length byte of "dd" in the last row
    damaged[3][0] = 'X';
    damaged[4].resize(24);
    for (auto& packet : damaged)
        EXPECT_EQ(t.table->AppendData(packet.data(), packet.size(), true), DBERR_INVALIDPACKET);
    EXPECT_EQ(t.table->AppendData(good.data(), 10, true), DBERR_INVALIDPACKET);
    EXPECT_EQ(t.table->AppendData(nullptr, 0, true), DBERR_INVALIDPACKET);
    t.table->GetProps(&props);
    EXPECT_EQ(props.recordCount, 4u);

    Check(t.table->AppendData(good.data(), good.size(), true), t.table.get());
    std::string ids;
    while (t.cursor->GetNextRecord(t.record.data()) == DBERR_NONE)
        ids += t.Get(1) + ",";
    EXPECT_EQ(ids, "a,b,a,b,c,dd,");

    // Rows that arrive after a delete are found by their bookmarks like the others.
    t.cursor->MoveToSeqNo(1);
    Check(t.cursor->DeleteRecord(), t.table.get());
    t.cursor->GetNextRecord(t.record.data());
    Check(t.cursor->MoveToBookmark(t.Bookmark().data()), t.table.get());
    Check(t.table->AppendData(good.data(), good.size(), true), t.table.get());
    t.cursor->MoveToEOF();
    t.cursor->GetPriorRecord(t.record.data());
    std::vector<uint8_t> last = t.Bookmark();
    t.cursor->MoveToBOF();
    Check(t.cursor->MoveToBookmark(last.data()), t.table.get());
    EXPECT_EQ(t.SeqNo(), 7u);

    // A table that never received a packet has nothing to put a cursor on.
    DSPtr<IDSBase> empty = CreateDSBase();
    DSPtr<IDSCursor> cursor = CreateDSCursor();
    EXPECT_EQ(cursor->InitCursor(empty.get()), DBERR_NOTINITIALIZED);
    EXPECT_EQ(cursor->MoveToBOF(), DBERR_NOTINITIALIZED);
}

TEST(Packet, ReadOnlyPacketAndPropertiesAndErrorTexts) {
    std::vector<DSFieldDesc> fields{Desc("S", dsfText, 8)};
    OpenTable t(MakePacket(fields, {{Text("ab  ")}}, dspfReadOnly));
    EXPECT_TRUE(t.props.readOnly);
    ASSERT_EQ(t.cursor->GetNextRecord(t.record.data()), DBERR_NONE);
    EXPECT_EQ(t.cursor->ModifyRecord(t.record.data()), DBERR_READONLY);
    EXPECT_EQ(t.cursor->InsertRecord(t.record.data()), DBERR_READONLY);
    EXPECT_EQ(t.cursor->DeleteRecord(), DBERR_READONLY);
    Check(t.table->SetProp(dspropReadOnly, 0), t.table.get());
    EXPECT_EQ(t.cursor->ModifyRecord(t.record.data()), DBERR_NONE);

    EXPECT_EQ(t.Get(1), "ab  ");
    Check(t.table->SetProp(dspropTrimStrings, 1), t.table.get());
    EXPECT_EQ(t.Get(1), "ab");
    EXPECT_EQ(t.table->SetProp(99, 1), DBERR_INVALIDPARAM);

    try {
        Check(DBERR_STRINGTOOLONG, t.table.get());
        FAIL();
    } catch (const EDBClient& e) {
        EXPECT_EQ(e.Message(), "Value is longer than the field's size");
        EXPECT_EQ(e.ErrorCode(), DBERR_STRINGTOOLONG);
        EXPECT_STREQ(e.ClassName(), "EDBClient");
    }
    try {
        Check(0x7777, nullptr);  // no table at hand: one is made for the text
        FAIL();
    } catch (const EDBClient& e) {
        EXPECT_EQ(e.Message(), "Engine error 30583");
    }
    EXPECT_NO_THROW(Check(DBERR_NONE, nullptr));
}
