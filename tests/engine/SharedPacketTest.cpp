#include "engine/EngineTestSupport.h"

#include <gtest/gtest.h>

namespace {
std::vector<std::string> names(IDSBase* table) {
    DSPtr<IDSCursor> cursor = CreateDSCursor();
    Check(cursor->InitCursor(table), table);
    DSProps props{};
    Check(cursor->GetCursorProps(&props), table);
    std::vector<uint8_t> record(props.recordSize);
    std::vector<std::string> out;
    while (cursor->GetNextRecord(record.data()) == DBERR_NONE) {
        char name[21] = {};
        int32_t no = 0;
        Check(cursor->GetField(record.data(), 1, name, nullptr, nullptr), table);
        Check(cursor->GetField(record.data(), 2, &no, nullptr, nullptr), table);
        out.push_back(std::string(name) + "/" + std::to_string(no));
    }
    return out;
}
} // namespace

// A table appending a packet straight from the writer keeps the writer's bytes rather than a copy of
// them. Whatever the writer does next (more rows, a new packet, going away) must leave the table's rows
// as they were appended, and tables sharing one packet must not disturb each other.
TEST(SharedPacket, TablesKeepTheirRowsWhateverTheWriterDoesNext) {
    std::vector<DSFieldDesc> fields{Desc("NAME", dsfText, 20), Desc("NO", dsfInt32)};
    DSPtr<IDSWriter> writer = CreateDSWriter();
    Check(writer->Begin(fields.data(), 2, 0), nullptr);
    auto putRow = [&](const std::string& name, int32_t no) {
        Check(Put(writer.get(), Text(name)), nullptr);
        Check(Put(writer.get(), Num(no)), nullptr);
    };
    putRow("first", 1);
    putRow(Ansi("客戶"), 2);
    const uint8_t* data;
    uint64_t length;
    Check(writer->Finish(&data, &length), nullptr);
    DSPtr<IDSBase> early = CreateDSBase();
    Check(early->AppendData(data, length, false), early.get());
    // The same packet twice in one table, and once more in another.
    Check(early->AppendData(data, length, true), early.get());
    DSPtr<IDSBase> twin = CreateDSBase();
    Check(twin->AppendData(data, length, true), twin.get());
    DSProps props{};
    early->GetProps(&props);
    EXPECT_LT(props.arenaBytes, 2 * length + 1024);  // held once, not once per append

    // More rows after Finish: the writer writes on a copy, the tables keep the packet they got.
    for (int i = 3; i <= 2000; ++i)
        putRow("row" + std::to_string(i), i);
    Check(writer->Finish(&data, &length), nullptr);
    DSPtr<IDSBase> late = CreateDSBase();
    Check(late->AppendData(data, length, true), late.get());

    // A new packet of other fields, then the writer goes.
    std::vector<DSFieldDesc> other{Desc("X", dsfFloat64)};
    Check(writer->Begin(other.data(), 1, 0), nullptr);
    Check(Put(writer.get(), Num(1.5)), nullptr);
    Check(writer->Finish(&data, &length), nullptr);
    writer.reset();

    std::vector<std::string> two{"first/1", Ansi("客戶") + "/2"};
    std::vector<std::string> doubled = two;
    doubled.insert(doubled.end(), two.begin(), two.end());
    EXPECT_EQ(names(early.get()), doubled);
    EXPECT_EQ(names(twin.get()), two);
    std::vector<std::string> all = names(late.get());
    ASSERT_EQ(all.size(), 2000u);
    EXPECT_EQ(all[1], two[1]);
    EXPECT_EQ(all[1999], "row2000/2000");

    // A shared row edited in one table is written anew there; the other tables still read the original.
    DSPtr<IDSCursor> cursor = CreateDSCursor();
    Check(cursor->InitCursor(twin.get()), twin.get());
    DSProps tp{};
    cursor->GetCursorProps(&tp);
    std::vector<uint8_t> record(tp.recordSize);
    Check(cursor->GetNextRecord(record.data()), twin.get());
    Check(cursor->PutField(record.data(), 1, "changed", 7), twin.get());
    Check(cursor->ModifyRecord(record.data()), twin.get());
    EXPECT_EQ(names(twin.get())[0], "changed/1");
    EXPECT_EQ(names(early.get())[0], "first/1");
    EXPECT_EQ(names(late.get())[0], "first/1");
}
