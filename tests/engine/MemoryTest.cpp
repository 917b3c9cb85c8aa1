#include "engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>

// A table of bill lines like SAL_SUB's holds its rows in little more than the values' own bytes, and
// a packet of many rows goes in whole.
TEST(Memory, BillLinesTakeLittleMoreThanTheirValues) {
    const int rows = 200000;
    std::vector<DSFieldDesc> fields{
        Desc("MASTERBILLID", dsfText, 20, dsattrRequired), Desc("ITEM_NO", dsfInt32, 0, dsattrRequired),
        Desc("TEMPPRODID", dsfText, 20), Desc("PROD_NAME", dsfText, 60), Desc("V_QTY", dsfFloat64),
        Desc("V_UNIT", dsfText, 6), Desc("B_PRICE", dsfFloat64), Desc("U_DIS", dsfFloat64),
        Desc("V_PRICE", dsfFloat64), Desc("AMT", dsfFloat64), Desc("TAX_AMT", dsfFloat64),
        Desc("STOCK_ID", dsfText, 10), Desc("NOTE", dsfText, 50)};
    DSPtr<IDSWriter> writer = CreateDSWriter();
    Check(writer->Begin(fields.data(), uint32_t(fields.size()), 0), nullptr);
    std::string unit = Ansi("個"), note = Ansi("備註"), name = Ansi("商品 %d 號 標準包裝");
    uint64_t raw = 0;
    char text[80];
    auto put = [&](const void* value, uint32_t length) {
        Check(writer->PutValue(value, length), nullptr);
        raw += length;
    };
    auto putText = [&](const std::string& s) { put(s.data(), uint32_t(s.size())); };
    for (int i = 0; i < rows; ++i) {
        int line = i % 100 + 1;
        std::snprintf(text, sizeof text, "B%09d", i / 100 + 1);
        putText(text);
        put(&line, 4);
        std::snprintf(text, sizeof text, "P%05d", (i * 7) % 5000);
        putText(text);
        std::snprintf(text, sizeof text, name.c_str(), line);
        putText(text);
        double qty = line, price = 12.5, dis = 1, amt = 12.5 * line, tax = 0.625 * line;
        put(&qty, 8);
        putText(unit);
        put(&price, 8);
        put(&dis, 8);
        put(&price, 8);
        put(&amt, 8);
        put(&tax, 8);
        putText("W01");
        putText(note);
    }
    const uint8_t* packet;
    uint64_t length;
    Check(writer->Finish(&packet, &length), nullptr);
    DSPtr<IDSBase> table = CreateDSBase();
    Check(table->AppendData(packet, length, true), table.get());
    writer.reset();

    DSProps props;
    table->GetProps(&props);
    EXPECT_EQ(props.recordCount, uint32_t(rows));
    double ratio = double(props.arenaBytes) / double(raw);
    std::printf("bill lines: %d rows, %llu value bytes, %llu held, ratio %.3f\n", rows, (unsigned long long)raw,
                (unsigned long long)props.arenaBytes, ratio);
    EXPECT_LE(ratio, 1.25);

    // The last row reads back whole.
    DSPtr<IDSCursor> cursor = CreateDSCursor();
    Check(cursor->InitCursor(table.get()), table.get());
    cursor->MoveToEOF();
    std::vector<uint8_t> record(props.recordSize);
    Check(cursor->GetPriorRecord(record.data()), table.get());
    char id[21];
    double tax = 0;
    cursor->GetField(record.data(), 1, id, nullptr, nullptr);
    cursor->GetField(record.data(), 11, &tax, nullptr, nullptr);
    EXPECT_STREQ(id, "B000002000");
    EXPECT_EQ(tax, 62.5);
    uint32_t seqNo = 0;
    cursor->GetSequenceNumber(&seqNo);
    EXPECT_EQ(seqNo, uint32_t(rows));
}
