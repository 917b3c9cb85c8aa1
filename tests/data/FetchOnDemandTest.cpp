// Client datasets over a real Firebird result of a thousand bill lines, fetching their rows in packets:
// what an open costs, that every way of reading yields the statement's rows exactly, and what happens
// when a read is cut off.
#include "core/Exception.h"
#include "data/ClientDataSet.h"
#include "data/DataSource.h"
#include "data/SQLConnection.h"
#include "data/SQLDataSet.h"
#include "data/VectorDataSet.h"
#include "support/FirebirdDb.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {
constexpr int kRows = 1000;
const char* const kStatement = "select * from SAL_SUB order by ITEM_NO";

// Bill lines with Big5 text, numbers and nulls in several columns.
const TestDatabase& linesDb() {
    static TestDatabase db(
        "SET TERM ^ ;\nEXECUTE BLOCK AS DECLARE i INTEGER = 1; BEGIN WHILE (i <= " + std::to_string(kRows) +
        ") DO BEGIN INSERT INTO SAL_SUB (MASTERBILLID, ITEM_NO, TEMPPRODID, PROD_NAME, V_QTY, "
        "B_PRICE, NOTE) VALUES ('B' || MOD(:i, 7), :i, 'P' || LPAD(:i, 5, '0'), "
        "IIF(MOD(:i, 11) = 0, NULL, '商品 ' || :i || ' 號'), :i * 0.5, "
        "IIF(MOD(:i, 5) = 0, NULL, 12.25), IIF(MOD(:i, 3) = 0, '備註', NULL)); "
        "i = i + 1; END END^\nSET TERM ; ^\n");
    return db;
}

// A statement that counts the rows the driver hands it.
class TCountingSQLDataSet : public TSQLDataSet {
public:
    using TSQLDataSet::TSQLDataSet;
    long delivered = 0;

protected:
    TGetResult GetRecord(char* buffer, TGetMode mode, bool doCheck) override {
        TGetResult r = TSQLDataSet::GetRecord(buffer, mode, doCheck);
        if (r == grOK)
            ++delivered;
        return r;
    }
};

// Connection → counting statement → provider "DSP", and client datasets on the provider.
struct Chain {
    TComponent form{nullptr};
    TSQLConnection* conn;
    TCountingSQLDataSet* sql;
    TDataSetProvider* provider;

    explicit Chain(const TestDatabase& db, const char* statement = kStatement) {
        WriteConnectionFiles(db.Dir(), db.Path());
        conn = new TSQLConnection(&form);
        conn->SetConnectionName("Kestrin");
        conn->SetDriverName("Firebird");
        conn->SetLoadParamsOnConnect(true);
        conn->SetLoginPrompt(false);
        sql = new TCountingSQLDataSet(&form);
        sql->SetSQLConnection(conn);
        sql->SetCommandText(statement);
        provider = new TDataSetProvider(&form);
        provider->SetName("DSP");
        provider->SetDataSet(sql);
    }
    TClientDataSet* client(const char* name = "CDS", int packetRecords = -1) {
        auto* cds = new TClientDataSet(&form);
        cds->SetName(name);
        cds->SetProviderName("DSP");
        cds->SetPacketRecords(packetRecords);
        return cds;
    }
};

// The current record's fields, byte for byte: a null mark, or the value in its native form.
std::string row(const TDataSet* ds) {
    std::string bytes;
    for (TField* f : ds->FieldList()) {
        std::vector<char> value(static_cast<size_t>(f->DataSize()) + 1, '\0');
        bool present = f->GetData(value.data());
        bytes += present ? "+" + std::string(value.data(), value.size()) : "-";
    }
    return bytes;
}

std::vector<std::string> walk(TDataSet* ds) {
    std::vector<std::string> rows;
    for (ds->First(); !ds->Eof(); ds->Next())
        rows.push_back(row(ds));
    return rows;
}

// What the statement itself gives, read straight from it.
const std::vector<std::string>& statementRows() {
    static const std::vector<std::string> rows = [] {
        Chain chain(linesDb());
        chain.sql->Open();
        std::vector<std::string> all;
        for (; !chain.sql->Eof(); chain.sql->Next())
            all.push_back(row(chain.sql));
        return all;
    }();
    return rows;
}

template <typename F> std::string messageOf(F&& f, const char* expectedClass = nullptr) {
    try {
        f();
    } catch (const Exception& e) {
        if (expectedClass) {
            EXPECT_STREQ(e.ClassName(), expectedClass) << e.Message();
        }
        return e.Message();
    }
    return "(no exception)";
}

// Reads on until reading fails; answers the failure.
std::string readToTheEnd(TDataSet* ds, const char* expectedClass = nullptr) {
    return messageOf(
        [&] {
            while (!ds->Eof())
                ds->Next();
        },
        expectedClass);
}
} // namespace

TEST(FetchOnDemand, AnOpenNobodyReadsFetchesOnePacketAndClosingEndsTheRead) {
    ASSERT_EQ(statementRows().size(), static_cast<size_t>(kRows));
    Chain chain(linesDb());
    TClientDataSet* cds = chain.client();
    // A data-aware control's record window of 30 rows fills from the first packet.
    auto* source = new TDataSource(&chain.form);
    source->SetDataSet(cds);
    TLogLink grid;
    grid.SetDataSource(source);
    grid.SetBufferCount(30);
    cds->Open();
    EXPECT_EQ(grid.RecordCount(), 30);
    long firstPacket = chain.sql->delivered;
    EXPECT_EQ(firstPacket, chain.provider->RowsSent());  // one packet, and not a row more
    EXPECT_GE(firstPacket, 30);
    EXPECT_LT(firstPacket, kRows);
    EXPECT_TRUE(chain.sql->Active());  // the statement stays open on the next row
    EXPECT_TRUE(chain.provider->Reading());
    EXPECT_FALSE(cds->AllFetched());
    EXPECT_EQ(cds->FieldCount(), 13);
    cds->MoveBy(20);  // within the rows held
    EXPECT_EQ(chain.sql->delivered, firstPacket);

    // Closing ends the read: the statement's cursor closes and no row more is fetched.
    cds->Close();
    EXPECT_FALSE(chain.sql->Active());
    EXPECT_FALSE(chain.provider->Reading());
    EXPECT_EQ(chain.sql->delivered, firstPacket);

    // So does a dataset that goes without being closed, and a provider that goes under a read.
    TClientDataSet* gone = chain.client("GONE");
    gone->Open();
    EXPECT_TRUE(chain.sql->Active());
    delete gone;
    EXPECT_FALSE(chain.sql->Active());
    EXPECT_FALSE(chain.provider->Reading());

    cds->Open();
    delete chain.provider;
    EXPECT_FALSE(chain.sql->Active());
    EXPECT_EQ(readToTheEnd(cds), "CDS: Missing data provider or data packet");
    EXPECT_TRUE(cds->Active());  // with the rows it holds
    EXPECT_EQ(cds->RecordCount(), static_cast<int>(firstPacket));
    cds->Close();
}

TEST(FetchOnDemand, EveryWayToTheRowsGivesTheStatementsRowsInOrder) {
    const std::vector<std::string>& expected = statementRows();
    Chain chain(linesDb());

    // Reading on, row by row.
    TClientDataSet* cds = chain.client();
    cds->Open();
    EXPECT_EQ(walk(cds), expected);
    EXPECT_TRUE(cds->AllFetched());
    EXPECT_EQ(chain.sql->delivered, kRows);  // no row read twice
    EXPECT_FALSE(chain.sql->Active());
    cds->Close();

    // The record count, then reading.
    cds->Open();
    EXPECT_EQ(cds->RecordCount(), kRows);
    EXPECT_FALSE(chain.sql->Active());
    EXPECT_EQ(walk(cds), expected);
    cds->Close();

    // The last record, then back to the first.
    cds->Open();
    cds->Last();
    EXPECT_EQ(cds->RecNo(), kRows);
    std::vector<std::string> backwards;
    for (; !cds->Bof(); cds->Prior())
        backwards.push_back(row(cds));
    std::reverse(backwards.begin(), backwards.end());
    EXPECT_EQ(backwards, expected);
    cds->Close();

    // A bookmark taken beyond the first packet, left, and returned to; then on to the end.
    cds->Open();
    cds->MoveBy(150);
    TBookmark mark = cds->GetBookmark();
    cds->MoveBy(400);
    EXPECT_EQ(row(cds), expected[550]);
    EXPECT_EQ(cds->CompareBookmarks(mark, cds->GetBookmark()), -1);
    cds->GotoBookmark(mark);
    EXPECT_TRUE(cds->BookmarkValid(mark));
    std::vector<std::string> rest;
    for (; !cds->Eof(); cds->Next())
        rest.push_back(row(cds));
    EXPECT_EQ(rest, std::vector<std::string>(expected.begin() + 150, expected.end()));
    cds->Close();

    // A record number beyond the rows held.
    cds->Open();
    cds->SetRecNo(777);
    EXPECT_EQ(cds->RecNo(), 777);
    EXPECT_EQ(row(cds), expected[776]);
    cds->SetRecNo(kRows + 5);
    EXPECT_EQ(row(cds), expected.back());
    cds->Close();

    // Packets of a fixed size, one that divides the rows and one that does not.
    for (int size : {7, 10}) {
        TClientDataSet* fixed = chain.client(size == 7 ? "SEVEN" : "TEN", size);
        fixed->Open();
        EXPECT_EQ(chain.provider->RowsSent(), size);
        EXPECT_EQ(walk(fixed), expected) << size;
        EXPECT_EQ(fixed->RecordCount(), kRows);
        fixed->Close();
        fixed->Open();
        EXPECT_EQ(fixed->RecordCount(), kRows);
        EXPECT_EQ(walk(fixed), expected) << size;
        delete fixed;
    }
}

TEST(FetchOnDemand, ResultsThatEndAtAPacketsEdgeOrWithinTheFirst) {
    // 300 rows: the first packets end exactly at the last row, and an empty packet tells the end.
    for (const char* statement : {"select * from SAL_SUB where ITEM_NO <= 300 order by ITEM_NO",
                                  "select * from SAL_SUB where ITEM_NO <= 40 order by ITEM_NO",
                                  "select * from SAL_SUB where ITEM_NO < 0"}) {
        Chain chain(linesDb(), statement);
        TClientDataSet* cds = chain.client();
        cds->Open();
        std::vector<std::string> rows = walk(cds);
        size_t n = rows.size();
        EXPECT_EQ(rows, std::vector<std::string>(statementRows().begin(), statementRows().begin() + n))
            << statement;
        EXPECT_EQ(cds->RecordCount(), static_cast<int>(n));
        EXPECT_EQ(chain.sql->delivered, static_cast<long>(n));
        EXPECT_FALSE(chain.sql->Active());
        EXPECT_EQ(cds->FieldCount(), 13);
    }
}

TEST(FetchOnDemand, FetchOnDemandOffLeavesFurtherPacketsToGetNextPacket) {
    const std::vector<std::string>& expected = statementRows();
    Chain chain(linesDb());
    TClientDataSet* cds = chain.client("CDS", 300);
    cds->SetFetchOnDemand(false);
    cds->Open();
    EXPECT_EQ(chain.sql->delivered, 300);
    EXPECT_EQ(walk(cds).size(), 300u);  // reading stops at the rows held
    EXPECT_EQ(cds->RecordCount(), 300);
    cds->Last();
    EXPECT_EQ(cds->RecNo(), 300);
    EXPECT_TRUE(cds->Eof());
    EXPECT_EQ(cds->GetNextPacket(), 300);
    cds->Next();  // the rows that came follow the last one
    EXPECT_EQ(cds->RecNo(), 301);
    EXPECT_EQ(row(cds), expected[300]);
    EXPECT_EQ(cds->GetNextPacket(), 300);
    EXPECT_EQ(cds->GetNextPacket(), 100);
    EXPECT_TRUE(cds->AllFetched());
    EXPECT_EQ(cds->GetNextPacket(), 0);
    EXPECT_EQ(walk(cds), expected);
    cds->Close();

    // PacketRecords 0: the open brings the fields alone, the next packet every row.
    cds->SetPacketRecords(0);
    cds->Open();
    EXPECT_EQ(cds->FieldCount(), 13);
    EXPECT_TRUE(cds->IsEmpty());
    EXPECT_TRUE(cds->Eof());
    EXPECT_TRUE(chain.sql->Active());
    EXPECT_EQ(cds->GetNextPacket(), kRows);
    EXPECT_EQ(row(cds), expected[0]);  // the empty window took the first rows in
    EXPECT_EQ(walk(cds), expected);
    cds->Close();

    // With FetchOnDemand on, PacketRecords 0 reads on by itself.
    cds->SetFetchOnDemand(true);
    cds->Open();
    EXPECT_EQ(walk(cds), expected);
}

TEST(FetchOnDemand, ReadingMoreInPacketsHoldsTheRowsAndCountsExactlyOnlyAtTheEnd) {
    const std::vector<std::string>& expected = statementRows();
    Chain chain(linesDb());
    TClientDataSet* cds = chain.client();
    cds->Open();
    int held = cds->HeldRecordCount();
    EXPECT_LT(held, kRows);
    EXPECT_EQ(chain.sql->delivered, held);  // counting what is held reads nothing
    cds->MoveBy(3);
    while (!cds->AllRecordsHeld()) {
        EXPECT_EQ(cds->ReadMoreRecords(250), std::min(250, kRows - held));
        held = std::min(held + 250, kRows);
        EXPECT_EQ(cds->HeldRecordCount(), held);
    }
    EXPECT_EQ(cds->ReadMoreRecords(250), 0);
    EXPECT_EQ(cds->RecNo(), 4);  // the current record stays
    EXPECT_EQ(cds->RecordCount(), kRows);
    EXPECT_EQ(chain.sql->delivered, kRows);
    EXPECT_FALSE(chain.sql->Active());
    EXPECT_EQ(walk(cds), expected);
    cds->Close();

    // A dataset that fetches only when told holds all it will ever hold by itself.
    cds->SetPacketRecords(300);
    cds->SetFetchOnDemand(false);
    cds->Open();
    EXPECT_TRUE(cds->AllRecordsHeld());
    EXPECT_EQ(cds->ReadMoreRecords(250), 0);
    EXPECT_EQ(cds->HeldRecordCount(), 300);
}

TEST(FetchOnDemand, EditsAndNewRowsAmongRowsStillToCome) {
    const std::vector<std::string>& expected = statementRows();
    Chain chain(linesDb());
    TClientDataSet* cds = chain.client();
    cds->Open();
    TField* name = cds->FieldByName("PROD_NAME");
    cds->Edit();
    name->SetAsString("edited");
    cds->Post();
    // An appended row comes after every row of the result, not after the rows held so far.
    cds->Append();
    cds->FieldByName("MASTERBILLID")->SetAsString("NEW");
    cds->FieldByName("ITEM_NO")->SetAsInteger(5000);
    cds->Post();
    EXPECT_TRUE(cds->AllFetched());
    EXPECT_EQ(cds->RecordCount(), kRows + 1);
    EXPECT_EQ(cds->RecNo(), kRows + 1);
    std::vector<std::string> rows = walk(cds);
    ASSERT_EQ(rows.size(), static_cast<size_t>(kRows + 1));
    EXPECT_EQ(std::vector<std::string>(rows.begin() + 1, rows.end() - 1),
              std::vector<std::string>(expected.begin() + 1, expected.end()));
    cds->First();
    EXPECT_EQ(name->AsString(), "edited");
    cds->Last();
    EXPECT_EQ(cds->FieldByName("ITEM_NO")->AsInteger(), 5000);
    cds->Close();

    // A row inserted in the middle before the rest has come stays where it was put.
    cds->Open();
    cds->MoveBy(50);
    cds->Insert();
    cds->FieldByName("MASTERBILLID")->SetAsString("MID");
    cds->FieldByName("ITEM_NO")->SetAsInteger(6000);
    cds->Post();
    EXPECT_FALSE(cds->AllFetched());  // a row put before another needs none of those still to come
    rows = walk(cds);
    ASSERT_EQ(rows.size(), static_cast<size_t>(kRows + 1));
    EXPECT_EQ(std::vector<std::string>(rows.begin(), rows.begin() + 50),
              std::vector<std::string>(expected.begin(), expected.begin() + 50));
    EXPECT_EQ(std::vector<std::string>(rows.begin() + 51, rows.end()),
              std::vector<std::string>(expected.begin() + 50, expected.end()));
    cds->SetRecNo(51);
    EXPECT_EQ(cds->FieldByName("ITEM_NO")->AsInteger(), 6000);
}

TEST(FetchOnDemand, AReadCutOffFailsPlainlyAndKeepsWhatItHas) {
    const std::vector<std::string>& expected = statementRows();
    Chain chain(linesDb());

    // Two clients of one provider: the later open begins a read of its own and the earlier one's ends.
    TClientDataSet* first = chain.client("FIRST");
    TClientDataSet* second = chain.client("SECOND");
    first->Open();
    second->Open();
    EXPECT_EQ(readToTheEnd(first, "EOleException"),
              "DSP: Further rows are no longer available: another read has begun");
    EXPECT_TRUE(first->Active());
    int firstHeld = first->RecordCount();  // what it holds; it asks no more
    EXPECT_LT(firstHeld, kRows);
    EXPECT_EQ(walk(first), std::vector<std::string>(expected.begin(), expected.begin() + firstHeld));
    first->Close();  // its reset does not end the other client's read
    EXPECT_TRUE(chain.provider->Reading());
    EXPECT_EQ(walk(second), expected);
    second->Close();

    // The connection closes under a read: the statement is gone, and it is not run again from the start.
    first->Open();
    long delivered = chain.sql->delivered;
    chain.conn->Close();
    EXPECT_FALSE(chain.sql->Active());
    EXPECT_EQ(readToTheEnd(first, "EOleException"),
              "DSP: Further rows are no longer available: the dataset was closed");
    EXPECT_EQ(chain.sql->delivered, delivered);
    EXPECT_FALSE(chain.provider->Reading());
    first->Close();

    // A failed open leaves no read open though the result has rows still to come.
    auto* missing = new TStringField(&chain.form);
    missing->SetFieldName("NO_COLUMN");
    missing->SetDataSet(first);
    EXPECT_EQ(messageOf([&] { first->Open(); }, "EDatabaseError"), "FIRST: Field 'NO_COLUMN' not found");
    EXPECT_FALSE(first->Active());
    EXPECT_FALSE(chain.sql->Active());
    EXPECT_FALSE(chain.provider->Reading());
}
