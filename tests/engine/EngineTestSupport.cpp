#include "engine/EngineTestSupport.h"

#include <gtest/gtest.h>

std::vector<uint8_t> MakePacket(const std::vector<DSFieldDesc>& fields, const std::vector<std::vector<Value>>& rows,
                                uint16_t flags) {
    DSPtr<IDSWriter> writer = CreateDSWriter();
    Check(writer->Begin(fields.data(), uint32_t(fields.size()), flags), nullptr);
    for (const auto& row : rows)
        for (const Value& v : row)
            Check(Put(writer.get(), v), nullptr);
    const uint8_t* data;
    uint64_t length;
    Check(writer->Finish(&data, &length), nullptr);
    return std::vector<uint8_t>(data, data + length);
}

OpenTable::OpenTable(const std::vector<uint8_t>& packet, bool complete)
    : table(CreateDSBase()), cursor(CreateDSCursor()) {
    Check(table->AppendData(packet.data(), packet.size(), complete), table.get());
    Check(cursor->InitCursor(table.get()), table.get());
    Check(cursor->GetCursorProps(&props), table.get());
    record.resize(props.recordSize);
}

std::string OpenTable::Get(uint32_t column) {
    uint32_t length = 0;
    bool null = false;
    Check(cursor->GetField(record.data(), column, nullptr, &length, &null), table.get());
    if (null)
        return "<null>";
    std::string value(length + 1, '\0');
    Check(cursor->GetField(record.data(), column, value.data(), &length, &null), table.get());
    value.resize(length);
    return value;
}

uint32_t OpenTable::SeqNo() {
    uint32_t seqNo = 0;
    DBResult r = cursor->GetSequenceNumber(&seqNo);
    return r == DBERR_NONE ? seqNo : 0;
}

std::vector<uint8_t> OpenTable::Bookmark() {
    std::vector<uint8_t> bookmark(props.bookmarkSize);
    Check(cursor->GetCurrentBookmark(bookmark.data()), table.get());
    return bookmark;
}
