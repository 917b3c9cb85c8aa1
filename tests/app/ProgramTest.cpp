// The real program, started as the shop starts it: a bill number on the command line.
#include "app/AppSupport.h"
#include "core/AnsiString.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

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

TEST(Program, BillNumberWithAStrayLeadByteBeforeAQuote) {
    // The number's bytes A5 27 3A 58: a Big5 lead byte that no trail byte follows, a quote, ":X".
    // The server reads the lead byte alone; so must the statement's parameter scan.
    TestDatabase db("INSERT INTO SAL_MASTER (MASTERBILLID, BILL_DATE, CUST_ID, CUST_NAME) "
                    "VALUES (CAST(x'A5273A58' AS VARCHAR(20)), '2006/07/27', 'C0004', '林');"
                    "INSERT INTO SAL_SUB (MASTERBILLID, ITEM_NO, TEMPPRODID) "
                    "VALUES (CAST(x'A5273A58' AS VARCHAR(20)), 1, 'P9')");
    WriteConnectionFiles(db.Dir(), db.Path());
    ProgramRun run = RunProgram({"\xA5':X"});
    ASSERT_TRUE(run.hasState) << run.errors;
    EXPECT_EQ(run.Boxes(), "");
    expectBill(run, "2006/07/27", "C0004", "林", 1);
}

TEST(Program, ABillNumberTypedInTheSystemsEncodingReachesTheWindowInTheCodePage) {
    TestDatabase db("INSERT INTO SAL_MASTER (MASTERBILLID, BILL_DATE, CUST_ID, CUST_NAME) "
                    "VALUES ('退貨001', '2006/07/28', 'C0005', '陳');"
                    "INSERT INTO SAL_SUB (MASTERBILLID, ITEM_NO, TEMPPRODID) VALUES ('退貨001', 1, 'P5')");
    WriteConnectionFiles(db.Dir(), db.Path());
    // A UTF-8 terminal, a locale that names only ASCII (taken as UTF-8), and a caller that already
    // speaks Big5, whose bytes are no UTF-8 and pass unchanged.
    struct Case {
        std::string arg;
        const char* locale;
    } cases[] = {{"退貨001", "LC_ALL=C.UTF-8"}, {"退貨001", "LC_ALL=C"}, {Ansi("退貨001"), "LC_ALL=C.UTF-8"}};
    for (const Case& c : cases) {
        ProgramRun run = RunProgram({c.arg}, {c.locale});
        ASSERT_TRUE(run.hasState) << run.errors;
        EXPECT_EQ(run.Boxes(), "") << c.locale << run.errors;
        EXPECT_EQ(run.exitCode, 0) << c.locale << run.errors;
        EXPECT_EQ(run.Text("Ed_billid"), U("退貨001")) << c.locale;
        expectBill(run, "2006/07/28", "C0005", "陳", 1);
    }
}

TEST(Program, ACodePageItCannotUseIsAStartUpError) {
    WriteConnectionFiles(DemoDatabase().Dir(), DemoDatabase().Path());
    for (const char* page : {"NO-SUCH-PAGE", "UTF-16"}) {
        ProgramRun run = RunProgram({"S0607240001"}, {std::string("KESTRIN_CODEPAGE=") + page});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_FALSE(run.hasState);
        std::string head = "Application Error: Exception Exception in module morvane at ";
        EXPECT_EQ(run.Boxes().rfind(head, 0), 0u) << run.errors;
        std::string named = std::string("'") + page + "' in KESTRIN_CODEPAGE";
        EXPECT_NE(run.Boxes().find(named), std::string::npos) << run.errors;
    }
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

TEST(Program, AFailingHeaderLeavesEveryLineOfTheTableInTheLinesGrid) {
    // More lines than one packet brings: the state file counts them all, as the grid shows them.
    TestDatabase noNote(SchemaWith({{"  NOTE            VARCHAR(100),\n", ""}}) + BillLines(1500, "S 0001"),
                        false);
    WriteConnectionFiles(noNote.Dir(), noNote.Path());
    ProgramRun run = RunProgram({"S 0001"});
    ASSERT_TRUE(run.hasState) << run.errors;
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.Boxes(), "morvane: CDS_SaleMaster: Field 'NOTE' not found.\n");
    expectBill(run, "", "", "", 1500);
    EXPECT_EQ(run.DataSet("CDS_SaleSub")["current"].toArray()[2].toString(), "P00001");
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

    // The bill-lines table is missing: the whole-table open fails while the window is built, as the
    // statement is still run when the lines open though their rows are read later.
    TestDatabase noLines(SchemaWith({{"CREATE TABLE SAL_SUB", "CREATE TABLE BILL_LINES"}}), false);
    WriteConnectionFiles(noLines.Dir(), noLines.Path());
    expectStartupBox(RunProgram({}), "EOleException", "SAL_SUB");

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

TEST(Program, ADatabaseThatCrashesTheEngineEndsWithTheStartUpBox) {
    // An empty database with one bit of its system tables flipped: the description of the trigger
    // table, which the engine reads while attaching. Firebird's embedded engine dies on it.
    TestDatabase db("", false);
    std::string damaged = db.Dir() + "/damaged.fdb";
    {
        std::fstream file(db.Path(), std::ios::in | std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        const size_t pageSize = 8192, at = 177 * pageSize + 7486;
        size_t headerPageSize = static_cast<unsigned char>(bytes[17]) << 8 | static_cast<unsigned char>(bytes[16]);
        ASSERT_EQ(headerPageSize, pageSize);
        ASSERT_GT(bytes.size(), at);
        bytes[at] = static_cast<char>(bytes[at] ^ 0x08);
        std::ofstream(damaged, std::ios::binary) << bytes;
    }
    // Another Firebird may lay the file out otherwise, or survive the damage: then there is nothing
    // to show here.
    std::ofstream(db.Dir() + "/probe.sql") << "SELECT 1 FROM RDB$DATABASE;\n";
    int probe = std::system(("isql-fb -q -user SYSDBA -password x '" + damaged + "' -i '" + db.Dir() +
                             "/probe.sql' > /dev/null 2>&1")
                                .c_str());
    if (!(WIFEXITED(probe) && WEXITSTATUS(probe) >= 128) && !WIFSIGNALED(probe))
        GTEST_SKIP() << "this Firebird survives the damaged file";

    WriteConnectionFiles(db.Dir(), damaged);
    // The engine's fault is not the program's: the sanitizer build lets the signal end the process.
    const char* asan = std::getenv("ASAN_OPTIONS");
    std::string asanOptions = std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":handle_segv=0";
    ProgramRun run = RunProgram({"S0607240001"}, {asanOptions});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_FALSE(run.hasState);
    std::string head = "Application Error: Exception EDatabaseError in module morvane at ";
    EXPECT_EQ(run.Boxes().rfind(head, 0), 0u) << run.errors;
    std::string text = "The database engine stopped while opening or reading the database " + damaged + " (";
    EXPECT_NE(run.Boxes().find(text), std::string::npos) << run.errors;
    EXPECT_NE(run.Boxes().find("); the database file may be damaged.\n"), std::string::npos) << run.errors;
}
