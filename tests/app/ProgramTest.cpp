// The real program, started as the shop starts it: a bill number on the command line.
#include "app/AppSupport.h"

#include <gtest/gtest.h>

namespace {
// Header texts and bill lines as the state file shows them.
void expectBill(const ProgramRun& run, const char* date, const char* custId, const char* custName, int lines) {
    EXPECT_EQ(run.Text("DBEdit1"), U(date));
    EXPECT_EQ(run.Text("DBEdit2"), U(custId));
    EXPECT_EQ(run.Text("DBEdit3"), U(custName));
    EXPECT_EQ(run.DataSet("CDS_SaleSub")["recordCount"].toInt(), lines);
}

const char* kQuotedBills =
    "INSERT INTO SAL_MASTER (MASTERBILLID, BILL_DATE, CUST_ID, CUST_NAME) VALUES ('S 0001', '2006/07/25', 'C0002', '謝淑芬');"
    "INSERT INTO SAL_SUB (MASTERBILLID, ITEM_NO, TEMPPRODID) VALUES ('S 0001', 1, 'P1');"
    "INSERT INTO SAL_MASTER (MASTERBILLID, BILL_DATE, CUST_ID, CUST_NAME) VALUES ('O''0002', '2006/07/26', 'C0003', '黃家豪');"
    "INSERT INTO SAL_SUB (MASTERBILLID, ITEM_NO, TEMPPRODID) VALUES ('O''0002', 1, 'P2');"
    "INSERT INTO SAL_SUB (MASTERBILLID, ITEM_NO, TEMPPRODID) VALUES ('O''0002', 2, 'P3');"
    "INSERT INTO CUSTOMER (CUST_ID, CUST_NAME) VALUES ('C0002', '謝淑芬')";
} // namespace

TEST(Program, ShowsTheBillOfTheFirstArgument) {
    WriteConnectionFiles(DemoDatabase().Dir(), DemoDatabase().Path());
    ProgramRun run = RunProgram({"S0607240001", "ignored", "S0607240002"});
    ASSERT_TRUE(run.hasState) << run.errors;
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.Boxes(), "");
    EXPECT_EQ(run.Text("Ed_billid"), "S0607240001");
    expectBill(run, "2006/07/24", "C0001", "許怡君", 3);
    QJsonObject lines = run.DataSet("CDS_SaleSub");
    EXPECT_EQ(lines["current"].toArray()[2].toString(), "P1002");
    EXPECT_EQ(lines["fields"].toArray().size(), 13);
    QJsonObject customers = run.DataSet("CDS_CUST");
    EXPECT_EQ(customers["recordCount"].toInt(), 48);
    EXPECT_EQ(customers["state"].toInt(), 1);
    EXPECT_EQ(run.DataSet("SQL_Master")["state"].toInt(), 0);

    // An empty argument does not count: the bill is the next one.
    run = RunProgram({"", "S0607240002"});
    expectBill(run, "2006/07/24", "C0008", "永豐五金", 8);
}

TEST(Program, WithoutAMatchingBillShowsNothingAndSaysNothing) {
    WriteConnectionFiles(DemoDatabase().Dir(), DemoDatabase().Path());
    for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"S9999999999"}}) {
        ProgramRun run = RunProgram(args);
        ASSERT_TRUE(run.hasState) << run.errors;
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.Boxes(), "");
        expectBill(run, "", "", "", 0);
        EXPECT_EQ(run.DataSet("CDS_SaleMaster")["state"].toInt(), 1);
        EXPECT_EQ(run.DataSet("CDS_CUST")["recordCount"].toInt(), 48);
    }
}

TEST(Program, BillNumbersWithBlanksAndQuotes) {
    TestDatabase db(kQuotedBills);
    WriteConnectionFiles(db.Dir(), db.Path());
    // One quoted argument keeps its blank; without the quotes only the part before the blank counts.
    expectBill(RunProgram({"S 0001"}), "2006/07/25", "C0002", "謝淑芬", 1);
    expectBill(RunProgram({"S", "0001"}), "", "", "", 0);

    // A single quote is part of the number, not of the statement.
    ProgramRun run = RunProgram({"O'0002"});
    EXPECT_EQ(run.Boxes(), "");
    expectBill(run, "2006/07/26", "C0003", "黃家豪", 2);
    run = RunProgram({"x' OR MASTERBILLID <> '"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.Boxes(), "");
    expectBill(run, "", "", "", 0);
}

TEST(Program, HeaderOrLinesTableLackingAColumn) {
    // Without NOTE the header cannot open: the box names the field, the header stays empty and the
    // lines keep every row of SAL_SUB fetched while the window was built.
    TestDatabase noNote(SchemaWith({{"  NOTE            VARCHAR(100),\n", ""}}) + kQuotedBills, false);
    WriteConnectionFiles(noNote.Dir(), noNote.Path());
    ProgramRun run = RunProgram({"S 0001"});
    ASSERT_TRUE(run.hasState) << run.errors;
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.Boxes(), "morvane: CDS_SaleMaster: Field 'NOTE' not found.\n");
    EXPECT_EQ(run.DataSet("CDS_SaleMaster")["state"].toInt(), 0);
    expectBill(run, "", "", "", 3);

    // Without AMT the lines open as usual.
    TestDatabase noAmt(SchemaWith({{"  AMT          DOUBLE PRECISION,\n", ""}}) + kQuotedBills, false);
    WriteConnectionFiles(noAmt.Dir(), noAmt.Path());
    run = RunProgram({"O'0002"});
    EXPECT_EQ(run.Boxes(), "");
    expectBill(run, "2006/07/26", "C0003", "黃家豪", 2);
    EXPECT_FALSE(run.DataSet("CDS_SaleSub")["fields"].toArray().contains("AMT"));
}

TEST(Program, FailuresWhileBuildingEndWithTheStartUpBox) {
    auto expectStartupBox = [](const ProgramRun& run, const std::string& className, const std::string& text) {
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_FALSE(run.hasState);
        std::string head = "Application Error: Exception " + className + " in module morvane at ";
        EXPECT_EQ(run.Boxes().find(head), 0u) << run.errors;
        EXPECT_NE(run.Boxes().find(text), std::string::npos) << run.errors;
    };
    // The database file is missing: the connection fails.
    std::string dir = MakeTempDir();
    WriteConnectionFiles(dir, dir + "/missing.fdb");
    expectStartupBox(RunProgram({"S0607240001"}), "EDatabaseError", "missing.fdb");

    // The customer table is missing: the provider's statement fails.
    TestDatabase noCustomers(SchemaWith({{"CREATE TABLE CUSTOMER", "CREATE TABLE CLIENT"}}), false);
    WriteConnectionFiles(noCustomers.Dir(), noCustomers.Path());
    expectStartupBox(RunProgram({}), "EOleException", "CUSTOMER");

    // A customer column of another kind than its declared field, named by its display label.
    TestDatabase numericClass(SchemaWith({{"  CUST_CLASSID VARCHAR(10),", "  CUST_CLASSID INTEGER,"}}), false);
    WriteConnectionFiles(numericClass.Dir(), numericClass.Path());
    expectStartupBox(RunProgram({}), "EDatabaseError",
                     ".\r\nCDS_CUST: Type mismatch for field '客戶類別', expecting: String actual: Integer.\n");
}

TEST(Program, CustomerGridSectionOfTheStateFile) {
    // Names with Big5 characters whose second byte is "~" or "\" (外, 功), and more customers than fit.
    std::string sql = "INSERT INTO CUSTOMER (CUST_ID, CUST_NAME, CUST_CLASSID) VALUES ('C0001', '外功五金', 'A');"
                      "INSERT INTO CUSTOMER (CUST_ID, CUST_NAME, CUST_CLASSID) VALUES ('C0002', '許才~品', 'B');"
                      "INSERT INTO CUSTOMER (CUST_ID, CUST_NAME) VALUES ('C0003', 'A&B \"Ltd\"');"
                      "SET TERM ^ ;\nEXECUTE BLOCK AS DECLARE i INTEGER = 4; BEGIN WHILE (i <= 60) DO BEGIN "
                      "INSERT INTO CUSTOMER (CUST_ID, CUST_NAME, CUST_CLASSID) VALUES ('C' || LPAD(:i, 4, '0'), "
                      "'客戶' || :i, 'V'); i = i + 1; END END^\nSET TERM ; ^\n";
    TestDatabase db(sql);
    WriteConnectionFiles(db.Dir(), db.Path());
    ProgramRun run = RunProgram({});
    ASSERT_TRUE(run.hasState) << run.errors;
    EXPECT_EQ(run.Boxes(), "");
    QJsonObject grid = run.state["kxDBGrid1"].toObject();
    ASSERT_FALSE(grid.isEmpty()) << run.errors;

    QJsonArray columns = grid["columns"].toArray();
    ASSERT_EQ(columns.size(), 4);
    const char* fields[] = {"SELECT_YN", "CUST_ID", "CUST_NAME", "CUST_CLASSID"};
    const char* titles[] = {"選擇", "客戶代號", "客戶名稱", "客戶類別"};
    const int widths[] = {36, 68, 140, 68};  // "0" is 8 pixels wide in the window's font
    for (int i = 0; i < 4; ++i) {
        QJsonObject c = columns[i].toObject();
        EXPECT_EQ(c["field"].toString(), fields[i]);
        EXPECT_EQ(c["title"].toString(), U(titles[i]));
        EXPECT_EQ(c["width"].toInt(), widths[i]) << i;
        EXPECT_EQ(c["readOnly"].toBool(), i == 3);
        EXPECT_EQ(c["tabStop"].toBool(), i != 3);
        EXPECT_EQ(c["controlType"].toString(), i == 0 ? "CheckBox" : "");
    }
    EXPECT_EQ(grid["fixedCols"].toInt(), 0);
    EXPECT_EQ(grid["fixedGridCols"].toInt(), 1);
    EXPECT_EQ(grid["col"].toInt(), 1);
    EXPECT_EQ(grid["row"].toInt(), 1);
    EXPECT_EQ(grid["topRow"].toInt(), 1);

    QJsonArray rows = grid["rows"].toArray();
    ASSERT_GT(rows.size(), 10);
    ASSERT_LT(rows.size(), 60);
    QJsonObject bar = grid["vertScrollBar"].toObject();
    EXPECT_EQ(bar["min"].toInt(), 1);
    EXPECT_EQ(bar["page"].toInt(), rows.size());
    EXPECT_EQ(bar["max"].toInt(), 60 + rows.size() - 1);
    EXPECT_EQ(bar["position"].toInt(), 1);
    auto cells = [&](int r) { return rows[r].toObject()["cells"].toArray(); };
    EXPECT_EQ(cells(0)[1].toString(), "C0001");
    EXPECT_EQ(cells(0)[2].toString(), U("外功五金"));
    EXPECT_EQ(cells(1)[2].toString(), U("許才~品"));
    EXPECT_EQ(cells(2)[2].toString(), "A&B \"Ltd\"");
    EXPECT_EQ(cells(2)[3].toString(), "");
    EXPECT_EQ(cells(1)[0].toString(), "N");
    for (const QJsonValue& r : rows) {
        QJsonArray checked = r.toObject()["checked"].toArray();
        ASSERT_EQ(checked.size(), 4);
        EXPECT_EQ(checked[0], QJsonValue(false));
        EXPECT_TRUE(checked[1].isNull());
    }
    EXPECT_EQ(cells(rows.size() - 1)[1].toString(), QString("C%1").arg(rows.size(), 4, 10, QChar('0')));
}
