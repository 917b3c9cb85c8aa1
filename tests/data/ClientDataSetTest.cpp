#include "core/Exception.h"
#include "core/Registry.h"
#include "data/ClientDataSet.h"
#include "data/DataLink.h"
#include "data/DataSource.h"
#include "data/SQLConnection.h"
#include "data/SQLDataSet.h"
#include "data/VectorDataSet.h"
#include "support/DataChain.h"
#include "support/FirebirdDb.h"

#include <gtest/gtest.h>

namespace {
const char* const kCustomers =
    "INSERT INTO CUSTOMER VALUES ('C001', '王小明', 'A');"
    "INSERT INTO CUSTOMER VALUES ('C002', '陳大華股份有限公司', 'B');"
    "INSERT INTO CUSTOMER VALUES ('C003', NULL, NULL);";

const char* const kCustStatement = "select CUST_ID, CUST_NAME, CUST_CLASSID,'N' AS SELECT_YN from CUSTOMER\r\nORDER BY CUST_ID";

// The window's customer chain: connection → statement → provider → client dataset with its four
// declared fields, all owned by one form.
struct Chain {
    TComponent form{nullptr};
    TSQLConnection* conn;
    TSQLDataSet* sql;
    TDataSetProvider* provider;
    TClientDataSet* cds;

    explicit Chain(const TestDatabase& db, bool declareFields = true) {
        WriteConnectionFiles(db.Dir(), db.Path());
        DataChain chain(form, kCustStatement, "DSP_CUST");
        sql = chain.sql;
        provider = chain.provider;
        conn = sql->SQLConnection();
        conn->SetName("SQLConnection1");
        sql->SetName("SQL_CUST");
        cds = new TClientDataSet(&form);
        cds->SetName("CDS_CUST");
        cds->SetProviderName("DSP_CUST");
        if (!declareFields)
            return;
        const struct {
            const char* name;
            int size;
            bool required;
            const char* label;
        } fields[] = {{"SELECT_YN", 1, true, "選擇"},
                      {"CUST_ID", 10, true, "客戶代號"},
                      {"CUST_NAME", 50, false, "客戶名稱"},
                      {"CUST_CLASSID", 10, false, "客戶類別"}};
        for (const auto& d : fields) {
            auto* f = new TStringField(&form);
            f->SetName(AnsiString("CDS_CUST") + d.name);
            f->SetFieldName(d.name);
            f->SetSize(d.size);
            f->SetRequired(d.required);
            f->SetDisplayLabel(Ansi(d.label));
            f->SetDataSet(cds);
        }
    }
};

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
} // namespace

// First in the program: the engine library is loaded once per process and kept.
TEST(ClientDataSet, EngineLibraryMissingArrivesThroughTheProvider) {
    TestDatabase db(kCustomers);
    Chain chain(db);
    const char* key = "CLSID\\{58398081-A733-5076-93AD-F7BAD3363F1F}\\InProcServer32";
    TRegistry reg(RegistryHive::ClassesRoot);
    ASSERT_TRUE(reg.OpenKey(key, true));
    reg.WriteString("", "/nonexistent/libdsengine.so");
    EXPECT_EQ(messageOf([&] { chain.cds->Open(); }, "EOleException"), "Error loading libdsengine.so");
    EXPECT_FALSE(chain.cds->Active());
    EXPECT_FALSE(chain.sql->Active());  // the provider closed the statement it opened
    TRegistry(RegistryHive::ClassesRoot).DeleteKey(key);
    chain.cds->Open();
    EXPECT_EQ(chain.cds->RecordCount(), 3);
}

TEST(ClientDataSet, OpensBindsEditsAndPostsInMemory) {
    TestDatabase db(kCustomers);
    Chain chain(db);
    TClientDataSet* cds = chain.cds;
    cds->Open();
    EXPECT_FALSE(chain.sql->Active());  // opened, read to its end and closed within the request
    EXPECT_EQ(chain.provider->RowsSent(), 0);
    ASSERT_EQ(cds->FieldCount(), 4);
    EXPECT_EQ(cds->Fields(0)->FieldName(), "SELECT_YN");  // declared order, bound by name
    TField* yn = chain.form.FindComponent("CDS_CUSTSELECT_YN") ? cds->FieldByName("SELECT_YN") : nullptr;
    ASSERT_NE(yn, nullptr);
    TField* name = cds->FieldByName("CUST_NAME");
    EXPECT_EQ(cds->RecordCount(), 3);
    EXPECT_EQ(yn->AsString(), "N");
    EXPECT_EQ(name->AsString(), Ansi("王小明"));  // Big5 bytes, byte for byte
    cds->Next();
    EXPECT_EQ(name->AsString(), Ansi("陳大華股份有限公司"));
    cds->Next();
    EXPECT_TRUE(name->IsNull());
    EXPECT_EQ(name->AsString(), "");
    EXPECT_FALSE(cds->Eof());
    cds->Next();
    cds->Next();  // a second Next on the last row keeps it
    EXPECT_TRUE(cds->Eof());
    EXPECT_EQ(cds->FieldByName("CUST_ID")->AsString(), "C003");

    // Post in browse state does nothing; a tick is posted into memory by moving.
    cds->Post();
    cds->First();
    cds->Edit();
    yn->SetAsString("Y");
    cds->Next();
    EXPECT_EQ(cds->State(), dsBrowse);
    cds->First();
    EXPECT_EQ(yn->AsString(), "Y");
    EXPECT_EQ(cds->ChangeCount(), 1);

    // A required field left null: the post fails, the dataset stays in edit.
    cds->Edit();
    cds->FieldByName("CUST_ID")->Clear();
    EXPECT_EQ(messageOf([&] { cds->Post(); }, "EDatabaseError"), "Field '" + Ansi("客戶代號") + "' must have a value");
    EXPECT_EQ(cds->State(), dsEdit);
    cds->Cancel();

    // Insert, Append and Delete on the in-memory rows.
    cds->Append();
    cds->FieldByName("CUST_ID")->SetAsString("C999");
    yn->SetAsString("N");
    cds->Post();
    EXPECT_EQ(cds->RecordCount(), 4);
    cds->Last();
    EXPECT_EQ(cds->FieldByName("CUST_ID")->AsString(), "C999");
    cds->Delete();
    EXPECT_EQ(cds->RecordCount(), 3);

    // Closing discards every posted change; reopening fetches anew.
    cds->Close();
    EXPECT_EQ(cds->FieldCount(), 4);  // declared fields stay
    cds->Open();
    EXPECT_EQ(yn->AsString(), "N");
    EXPECT_EQ(cds->RecordCount(), 3);

    // A declared text field smaller than its column binds and shows the cut value.
    cds->Close();
    static_cast<TStringField*>(name)->SetSize(10);
    cds->Open();
    cds->Next();
    EXPECT_EQ(name->AsString(), Ansi("陳大華股份"));
}

TEST(ClientDataSet, TextWiderThanItsFieldIsCutAtWholeCharacters) {
    // "Z" and five times "功" (A5 5C): a field of 10 bytes holds "Z" and four characters; the
    // tenth byte would be the lead byte of the fifth.
    TestDatabase db("INSERT INTO CUSTOMER VALUES ('C001', 'Z功功功功功', 'A')");
    const AnsiString expected = Ansi("Z功功功功");
    ASSERT_EQ(expected.size(), 9u);
    Chain chain(db);
    static_cast<TStringField*>(chain.cds->FieldByName("CUST_NAME"))->SetSize(10);
    chain.cds->Open();
    EXPECT_EQ(chain.cds->FieldByName("CUST_NAME")->AsString(), expected);

    // The statement dataset's own fields read the same way.
    auto* name = new TStringField(&chain.form);
    name->SetFieldName("CUST_NAME");
    name->SetSize(10);
    name->SetDataSet(chain.sql);
    chain.sql->Open();
    EXPECT_EQ(name->AsString(), expected);
    chain.sql->Close();
}

TEST(ClientDataSet, TimesInTheLastHalfMillisecondOfADayStayInThatDay) {
    TestDatabase db("CREATE TABLE T (N INTEGER, TM TIME);"
                    "INSERT INTO T VALUES (1, '23:59:59.9996');"
                    "INSERT INTO T VALUES (2, '23:59:59.9994');"
                    "INSERT INTO T VALUES (3, '00:00:00.0004');"
                    "INSERT INTO T VALUES (4, '12:30:15.0005')",
                    false);
    const char* expected[] = {"23:59:59.999", "23:59:59.999", "00:00:00.000", "12:30:15.001"};
    WriteConnectionFiles(db.Dir(), db.Path());
    TComponent form(nullptr);
    DataChain chain(form, "SELECT TM FROM T ORDER BY N");
    auto* cds = new TClientDataSet(&form);
    cds->SetProviderName("DSP");
    cds->Open();
    auto* tm = dynamic_cast<TDateTimeField*>(cds->FieldByName("TM"));
    ASSERT_NE(tm, nullptr);
    tm->SetDisplayFormat("hh:nn:ss.zzz");
    for (const char* text : expected) {
        EXPECT_EQ(tm->DisplayText(), text);
        EXPECT_LT(tm->AsDateTime(), 1.0);
        cds->Next();
    }
    EXPECT_EQ(cds->RecordCount(), 4);
    cds->First();
    EXPECT_EQ(tm->AsString(), "23:59:59");

    // The statement's own field shows the same.
    chain.sql->Open();
    auto* own = dynamic_cast<TDateTimeField*>(chain.sql->FieldByName("TM"));
    ASSERT_NE(own, nullptr);
    own->SetDisplayFormat("hh:nn:ss.zzz");
    EXPECT_EQ(own->DisplayText(), "23:59:59.999");
    chain.sql->Close();
}

TEST(ClientDataSet, AStatementThatReturnsNoRowsIsRefusedBeforeItRuns) {
    TestDatabase db(kCustomers);
    Chain chain(db, false);
    chain.provider->SetOptions(1u << poAllowCommandText);
    // Through the provider, as a command text reaches it, and on the statement itself: refused with
    // the message, and nothing has been run.
    chain.cds->SetCommandText("delete from CUSTOMER");
    EXPECT_EQ(messageOf([&] { chain.cds->Open(); }, "EOleException"), "SQL_CUST: Cursor not returned from Query");
    chain.sql->SetCommandText("update CUSTOMER set CUST_NAME = 'x'");
    EXPECT_EQ(messageOf([&] { chain.sql->Open(); }, "EDatabaseError"), "SQL_CUST: Cursor not returned from Query");
    EXPECT_FALSE(chain.sql->Active());

    chain.cds->SetCommandText("select * from CUSTOMER order by CUST_ID");
    chain.cds->Open();
    EXPECT_EQ(chain.cds->RecordCount(), 3);
    EXPECT_EQ(chain.cds->FieldByName("CUST_NAME")->AsString(), Ansi("王小明"));
}

TEST(ClientDataSet, AConnectionThatKeepsNoIdleConnectionGoesWhenItsLastStatementCloses) {
    TestDatabase db(kCustomers);
    Chain chain(db);
    auto* other = new TSQLDataSet(&chain.form);
    other->SetSQLConnection(chain.conn);
    other->SetCommandText("select CUST_ID from CUSTOMER");

    // Kept (the default): the connection stays, and the statement stays prepared for the next open.
    chain.cds->Open();
    EXPECT_TRUE(chain.conn->Connected());
    EXPECT_TRUE(chain.sql->Prepared());
    chain.cds->Close();

    // Not kept: the provider's request opens, reads and closes the statement, and the connection
    // goes with it; it comes back for the next request.
    chain.conn->SetKeepConnection(false);
    chain.cds->Open();
    EXPECT_EQ(chain.cds->RecordCount(), 3);
    EXPECT_FALSE(chain.sql->Prepared());
    EXPECT_FALSE(chain.conn->Connected());
    chain.cds->Close();
    chain.cds->Open();
    EXPECT_EQ(chain.cds->RecordCount(), 3);
    EXPECT_FALSE(chain.conn->Connected());

    // While another statement is open the connection stays; the last one to close takes it along.
    other->Open();
    chain.sql->Open();
    chain.sql->Close();
    EXPECT_TRUE(chain.conn->Connected());
    other->Close();
    EXPECT_FALSE(chain.conn->Connected());
}

TEST(ClientDataSet, AStatementWithoutTextSaysSoWithoutItsName) {
    TestDatabase db(kCustomers);
    Chain chain(db, false);
    chain.sql->SetCommandText("");
    EXPECT_EQ(messageOf([&] { chain.sql->Open(); }, "EDatabaseError"), "Missing query, table name or procedure name");
    EXPECT_EQ(messageOf([&] { chain.cds->Open(); }, "EOleException"), "Missing query, table name or procedure name");
    EXPECT_FALSE(chain.cds->Active());
}

TEST(ClientDataSet, CommandTextEmptyResultsAndFailures) {
    TestDatabase db(kCustomers);
    Chain chain(db, false);
    TClientDataSet* cds = chain.cds;

    // Command text needs poAllowCommandText; the refusal crosses the provider as EOleException.
    cds->SetCommandText("select * from CUSTOMER where CUST_ID = 'C002'");
    EXPECT_EQ(messageOf([&] { cds->Open(); }, "EOleException"), "CommandText changes are not allowed");
    chain.provider->SetOptions(1u << poAllowCommandText);
    cds->Open();
    EXPECT_EQ(cds->RecordCount(), 1);
    EXPECT_EQ(cds->FieldByName("CUST_CLASSID")->AsString(), "B");  // dynamic fields from the result
    cds->Close();
    EXPECT_EQ(cds->FieldCount(), 0);
    // The replacement stays in the statement for later opens.
    EXPECT_EQ(chain.sql->CommandText(), "select * from CUSTOMER where CUST_ID = 'C002'");
    cds->SetCommandText("");
    cds->Open();
    EXPECT_EQ(cds->RecordCount(), 1);
    cds->Close();

    // An empty result: every field, no rows, First sets the end flag at once.
    cds->SetCommandText("select * from CUSTOMER where 1 = 0");
    cds->Open();
    EXPECT_EQ(cds->FieldCount(), 3);
    cds->First();
    EXPECT_TRUE(cds->Eof());
    cds->Close();

    // A statement error arrives as EOleException with the composed driver message.
    cds->SetCommandText("select * from NO_SUCH_TABLE");
    std::string msg = messageOf([&] { cds->Open(); }, "EOleException");
    EXPECT_EQ(msg.rfind("Driver Error: [0x0065]: SQL Error\r\nSQL Server Error: ", 0), 0u) << msg;
    EXPECT_NE(msg.find("NO_SUCH_TABLE"), std::string::npos);
    EXPECT_NE(msg.back(), '.');
    EXPECT_FALSE(cds->Active());

    // Missing provider; declared fields without a column or of another kind.
    cds->SetCommandText("");
    chain.sql->SetCommandText(kCustStatement);
    cds->SetProviderName("NO_SUCH_PROVIDER");
    EXPECT_EQ(messageOf([&] { cds->Open(); }, "EDatabaseError"), "CDS_CUST: Missing data provider or data packet");
    cds->SetProviderName("DSP_CUST");
    auto* wrong = new TFloatField(&chain.form);
    wrong->SetFieldName("CUST_NAME");
    wrong->SetDataSet(cds);
    EXPECT_EQ(messageOf([&] { cds->Open(); }, "EDatabaseError"),
              "CDS_CUST: Type mismatch for field 'CUST_NAME', expecting: Float actual: String");
    wrong->SetFieldName("NO_COLUMN");
    EXPECT_EQ(messageOf([&] { cds->Open(); }, "EDatabaseError"), "CDS_CUST: Field 'NO_COLUMN' not found");
    EXPECT_FALSE(cds->Active());
    EXPECT_EQ(cds->FieldCount(), 1);  // the declared field remains
}

TEST(ClientDataSet, DataLinkViewOfARealClientDataSet) {
    std::string sql;
    for (int i = 0; i < 30; ++i)
        sql += "INSERT INTO CUSTOMER VALUES ('C" + std::to_string(100 + i) + "', 'N', 'A');";
    TestDatabase db(sql);
    Chain chain(db, false);
    auto* src = new TDataSource(&chain.form);
    src->SetDataSet(chain.cds);
    TLogLink grid;
    grid.SetVisualControl(true);
    grid.SetDataSource(src);
    chain.cds->Open();
    ASSERT_TRUE(grid.Active());
    grid.SetBufferCount(10);
    EXPECT_EQ(grid.RecordCount(), 10);
    EXPECT_EQ(chain.cds->RecNo(), 1);
    grid.log.clear();
    chain.cds->MoveBy(9);
    chain.cds->Next();
    EXPECT_EQ(grid.log, (std::vector<std::string>{"scrolled 0", "scrolled 1"}));
    EXPECT_EQ(grid.ActiveRecord(), 9);
    EXPECT_EQ(chain.cds->RecNo(), 11);
    TBookmark here = chain.cds->GetBookmark();
    chain.cds->Last();
    EXPECT_EQ(chain.cds->RecNo(), 30);
    EXPECT_EQ(chain.cds->CompareBookmarks(here, chain.cds->GetBookmark()), -1);
    chain.cds->GotoBookmark(here);
    EXPECT_EQ(chain.cds->FieldByName("CUST_ID")->AsString(), "C110");
    chain.cds->SetRecNo(3);
    EXPECT_EQ(chain.cds->FieldByName("CUST_ID")->AsString(), "C102");
    grid.SetActiveRecord(0);
    EXPECT_NE(chain.cds->FieldByName("CUST_ID")->AsString(), "");
    chain.cds->Close();
    EXPECT_FALSE(grid.Active());
}
