// The window built in this process (no bill on this program's command line).
#include "app/AppSupport.h"
#include "app/ButtonPicture.h"
#include "app/FrmMorvane.h"
#include "ui/Application.h"
#include "ui/Canvas.h"
#include "ui/Dialogs.h"
#include "ui/Input.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace {
struct Box {
    AnsiString caption, text;
};

// Builds the window over `db`, catching every message box it shows.
class FormTest : public ::testing::Test {
protected:
    std::unique_ptr<TFormMorvane> Build(const TestDatabase& db, bool atServer = false) {
        StartApplication();
        if (atServer)
            WriteConnectionFiles(db.Dir(), db.ServerPath(), ServerPassword());
        else
            WriteConnectionFiles(db.Dir(), db.Path());
        boxes.clear();
        MessageBoxHook = [this](const AnsiString& text, const AnsiString& caption, unsigned) {
            boxes.push_back({caption, text});
            return IDOK;
        };
        return std::make_unique<TFormMorvane>(Application);
    }
    void TearDown() override {
        MessageBoxHook = nullptr;
        Screen().SetPixelsPerInch(0);
    }
    std::vector<Box> boxes;
};

std::vector<AnsiString> column(TDataSet* ds, const char* field) {
    std::vector<AnsiString> values;
    for (ds->First(); !ds->Eof(); ds->Next())
        values.push_back(ds->FieldByName(field)->AsString());
    return values;
}
} // namespace

TEST(BillStatement, QuotesTheNumberAsAnSqlLiteral) {
    EXPECT_EQ(BillStatement("SAL_MASTER", "S0607240001"), "SELECT * FROM SAL_MASTER  WHERE MASTERBILLID = 'S0607240001'");
    EXPECT_EQ(BillStatement("SAL_SUB", ""), "SELECT * FROM SAL_SUB  WHERE MASTERBILLID = ''");
    EXPECT_EQ(BillStatement("SAL_SUB", "a'b''"), "SELECT * FROM SAL_SUB  WHERE MASTERBILLID = 'a''b'''''");
    AnsiString big5 = Ansi("單號'一");
    EXPECT_EQ(BillStatement("SAL_SUB", big5), "SELECT * FROM SAL_SUB  WHERE MASTERBILLID = '" + Ansi("單號''一") + "'");
}

TEST_F(FormTest, StoredDescriptionAfterStartUp) {
    auto form = Build(DemoDatabase());
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(form->SQLConnection1->Connected());
    EXPECT_FALSE(form->SQLConnection2->Connected());
    const TStringList& params = form->SQLConnection2->Params();
    ASSERT_EQ(params.Count(), 14);
    EXPECT_EQ(params[1], "Database=127.0.0.1:C:\\Kestrin\\Data\\Data20060709\\POSDATA.GDB");
    EXPECT_EQ(params[12], "Firebird TransIsolation=ReadCommited");
    EXPECT_EQ(params.Values("user_name"), "SYSDBA");
    for (TSQLQuery* q : {form->SQL_Master, form->SQL_Sub, form->SQL_ID}) {
        EXPECT_EQ(q->SQLConnection(), form->SQLConnection2);
        EXPECT_FALSE(q->Prepared());
        EXPECT_EQ(q->CommandText(), "");
    }
    EXPECT_TRUE(form->DSP_BILLS->HasOption(poAllowCommandText));
    EXPECT_EQ(form->DSP_CUST->Options(), 0u);
    // The bill statements were replaced by the client's texts; the customers' stays as stored.
    EXPECT_EQ(form->SQL_BILLM->CommandText(), "SELECT * FROM SAL_MASTER  WHERE MASTERBILLID = ''");
    EXPECT_EQ(form->SQL_CUST->CommandText(),
              "select CUST_ID, CUST_NAME, CUST_CLASSID,'N' AS SELECT_YN from CUSTOMER\r\nORDER BY CUST_ID");

    // The header's 44 declared fields, in declared order, bound to the result.
    TClientDataSet* master = form->CDS_SaleMaster;
    ASSERT_EQ(master->FieldCount(), 44);
    EXPECT_EQ(master->Fields(21), form->CDS_SaleMasterNOTE);
    EXPECT_EQ(form->FindComponent("CDS_SaleMasterTB_AMT"), master->Fields(43));
    EXPECT_EQ(form->CDS_SaleMasterNOTE->Size(), 100);
    EXPECT_TRUE(form->CDS_SaleMasterMASTERBILLID->Required());
    EXPECT_FALSE(form->CDS_SaleMasterBILL_DATE->Required());
    EXPECT_STREQ(form->CDS_SaleMasterU_DIS->ClassName().c_str(), "TFloatField");
    EXPECT_EQ(form->DBEdit3->Field(), form->CDS_SaleMasterCUST_NAME);

    // Every customer, ordered by code, unticked; the flag is the first field though the statement's last.
    TClientDataSet* cust = form->CDS_CUST;
    EXPECT_EQ(cust->Fields(0), form->CDS_CUSTSELECT_YN);
    EXPECT_EQ(form->CDS_CUSTCUST_ID->DisplayLabel(), Ansi("客戶代號"));
    EXPECT_EQ(form->CDS_CUSTCUST_NAME->DisplayWidth(), 17);
    EXPECT_EQ(cust->RecordCount(), 48);
    std::vector<AnsiString> ticks = column(cust, "SELECT_YN");
    EXPECT_EQ(ticks, std::vector<AnsiString>(48, "N"));
    std::vector<AnsiString> codes = column(cust, "CUST_ID");
    EXPECT_EQ(codes.front(), "C0001");
    EXPECT_TRUE(std::is_sorted(codes.begin(), codes.end()));
}

TEST_F(FormTest, ConfirmationPostsAPendingTickAndWalksToTheLastCustomer) {
    auto form = Build(DemoDatabase());
    form->Show();
    TClientDataSet* cust = form->CDS_CUST;

    // Nothing pending: the walk alone.
    SendClick(form->SpeedButton1, 5, 5);
    EXPECT_EQ(cust->State(), dsBrowse);
    EXPECT_TRUE(cust->Eof());
    EXPECT_EQ(form->CDS_CUSTCUST_ID->AsString(), "C0048");
    EXPECT_TRUE(form->TickedCustomers().empty());

    // A tick as the grid writes it, still pending when the button is clicked.
    cust->SetRecNo(3);
    cust->Edit();
    form->CDS_CUSTSELECT_YN->SetText("Y");
    SendClick(form->SpeedButton1, 5, 5);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(cust->State(), dsBrowse);
    EXPECT_EQ(cust->RecNo(), 48);
    EXPECT_EQ(form->TickedCustomers(), std::vector<AnsiString>{"C0003"});
    cust->SetRecNo(3);
    EXPECT_EQ(form->CDS_CUSTSELECT_YN->AsString(), "Y");
}

TEST_F(FormTest, TheWindowShowsBeforeEveryCustomerIsReadAndWhatNeedsThemAllReadsThemAtOnce) {
    constexpr int kCustomers = 3000;
    TestDatabase db("SET TERM ^ ;\nEXECUTE BLOCK AS DECLARE i INTEGER = 1; BEGIN WHILE (i <= " +
                    std::to_string(kCustomers) +
                    ") DO BEGIN INSERT INTO CUSTOMER (CUST_ID, CUST_NAME) VALUES ('C' || LPAD(:i, 4, '0'), "
                    "'客戶' || :i); i = i + 1; END END^\nSET TERM ; ^\n");
    // The state file counts every customer.
    auto form = Build(db);
    form->Show();
    EXPECT_FALSE(form->CDS_CUST->AllRecordsHeld());
    EXPECT_NE(Application->StateJson(form.get()).find("\"recordCount\": 3000"), std::string::npos);

    // A tick on the first customer, confirmed before the rest are read: the walk reads them and ends
    // on the last, the bar spanning them all.
    form.reset();
    form = Build(db);
    form->Show();
    TkxDBGrid* grid = form->kxDBGrid1;
    const int page = grid->VisibleRowCount();
    ASSERT_FALSE(form->CDS_CUST->AllRecordsHeld());
    EXPECT_LT(grid->GetScrollInfo(sbVertical).Max, kCustomers + page - 1);
    TRect box = grid->CellRect(1, 1);
    SendClick(grid, box.Left + 5, box.Top + 5);
    SendClick(form->SpeedButton1, 5, 5);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(form->TickedCustomers(), std::vector<AnsiString>{"C0001"});
    EXPECT_EQ(form->CDS_CUST->RecNo(), kCustomers);
    EXPECT_EQ(grid->GetScrollInfo(sbVertical).Max, kCustomers + page - 1);
    EXPECT_EQ(grid->GetScrollInfo(sbVertical).Pos, kCustomers);
}

namespace {
// Everything written to a temporary file, as the calling program would read it.
std::string readBack(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string text;
    char buf[256];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
        text.append(buf, n);
    return text;
}
} // namespace

TEST_F(FormTest, ConfirmationHandsTheWholeSelectionOnAsUtf8Blocks) {
    auto form = Build(DemoDatabase());
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::tmpfile(), &std::fclose);
    form->SetSelectionOutput(out.get());
    form->Show();
    TClientDataSet* cust = form->CDS_CUST;

    // No tick: an empty block is still a block, so the caller never waits.
    SendClick(form->SpeedButton1, 5, 5);
    EXPECT_EQ(readBack(out.get()), "\n");

    // Two ticks, one still pending, and a lower-case "y" that is not a tick; list order, not tick order.
    for (int recNo : {3, 1, 2}) {
        cust->SetRecNo(recNo);
        cust->Edit();
        form->CDS_CUSTSELECT_YN->SetText(recNo == 2 ? "y" : "Y");
        if (recNo != 1)
            cust->Post();
    }
    SendClick(form->SpeedButton1, 5, 5);
    // Each confirmation writes the whole current selection again.
    SendClick(form->SpeedButton1, 5, 5);
    const std::string block = "C0001\t許怡君\nC0003\t黃家豪\n\n";
    EXPECT_EQ(readBack(out.get()), "\n" + block + block);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(cust->State(), dsBrowse);
}

TEST_F(FormTest, ConfirmationOnAnEmptyListAndOnAFailingTick) {
    TestDatabase empty;
    auto form = Build(empty);
    form->SpeedButton1Click(form->SpeedButton1);
    EXPECT_TRUE(form->CDS_CUST->Eof());
    EXPECT_EQ(form->CDS_CUST->State(), dsBrowse);
    form.reset();

    // A customer without a code is listed, but its tick cannot be posted.
    TestDatabase noCode(SchemaWith({{"CUST_ID      VARCHAR(10) NOT NULL", "CUST_ID      VARCHAR(10)"},
                                    {",\n  CONSTRAINT PK_CUSTOMER PRIMARY KEY (CUST_ID)", ""}}) +
                            "INSERT INTO CUSTOMER (CUST_NAME, CUST_CLASSID) VALUES ('無代號', 'A');"
                            "INSERT INTO CUSTOMER (CUST_ID, CUST_NAME) VALUES ('C0001', '許怡君')",
                        false);
    form = Build(noCode);
    form->Show();
    TClientDataSet* cust = form->CDS_CUST;
    ASSERT_EQ(cust->RecordCount(), 2);
    cust->First();
    ASSERT_TRUE(form->CDS_CUSTCUST_ID->IsNull());
    EXPECT_EQ(form->CDS_CUSTCUST_NAME->AsString(), Ansi("無代號"));
    cust->Edit();
    form->CDS_CUSTSELECT_YN->SetText("Y");
    SendClick(form->SpeedButton1, 5, 5);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, Application->Title());
    EXPECT_EQ(boxes[0].text, Ansi("Field '客戶代號' must have a value."));
    EXPECT_EQ(cust->State(), dsEdit);
    EXPECT_EQ(form->CDS_CUSTSELECT_YN->AsString(), "Y");
    EXPECT_TRUE(form->Visible());
}

TEST_F(FormTest, LayoutFontsColoursAndFocus) {
    auto form = Build(DemoDatabase());
    EXPECT_EQ(form->BoundsRect(), Bounds(193, 115, 829, 573));
    EXPECT_EQ(form->ClientWidth(), 821);
    EXPECT_EQ(form->ClientHeight(), 539);
    EXPECT_EQ(form->Font()->Name(), Ansi("細明體"));
    EXPECT_EQ(form->Font()->Height(), 15);
    EXPECT_EQ(form->Font()->Charset(), CHINESEBIG5_CHARSET);
    EXPECT_TRUE(form->DBEdit2->Font()->SameAs(*form->Font()));
    EXPECT_EQ(form->DBEdit1->Color(), RGB(151, 199, 251));
    EXPECT_TRUE(form->DBEdit1->ReadOnly());
    EXPECT_EQ(form->Panel5->Color(), clBtnFace);
    EXPECT_EQ(form->Label2->Left(), -1);
    EXPECT_EQ(form->Label2->FocusControl(), form->DBEdit1);
    EXPECT_EQ(form->Panel7->BoundsRect(), Bounds(1, 88, 414, 368));
    EXPECT_EQ(form->Panel5->BoundsRect(), Bounds(417, 1, 403, 457));
    EXPECT_EQ(form->Panel3->BoundsRect(), Bounds(0, 498, 821, 41));

    // The button's picture: the program's own 23 x 23 image, its white corners drawn transparent.
    TBitmap* glyph = form->SpeedButton1->Glyph();
    ASSERT_EQ(glyph->Width(), 23);
    EXPECT_EQ(glyph->TransparentColor(), clWhite);
    std::vector<uint8_t> bmp = ConfirmButtonPicture();
    EXPECT_EQ(bmp.size(), 1710u);
    EXPECT_EQ(glyph->Pixel(11, 20), RGB(bmp[54 + 2 * 72 + 33 + 2], bmp[54 + 2 * 72 + 33 + 1], bmp[54 + 2 * 72 + 33]));

    form->Show();
    EXPECT_TRUE(form->Ed_billid->Focused());
    std::vector<TWinControl*> order;
    form->GetTabOrderList(order);
    std::erase_if(order, [](TWinControl* c) { return !c->TabStop(); });
    EXPECT_EQ(order, (std::vector<TWinControl*>{form->Ed_billid, form->DBEdit1, form->DBEdit2, form->DBEdit3,
                                                 form->DBGrid1, form->kxDBGrid1}));

    // Wider and taller: the bands keep their heights, the bill side its width.
    form->SetClientWidth(1021);
    form->SetClientHeight(639);
    EXPECT_EQ(form->Panel1->Height(), 39);
    EXPECT_EQ(form->Panel3->BoundsRect(), Bounds(0, 598, 1021, 41));
    EXPECT_EQ(form->Panel4->BoundsRect(), Bounds(1, 1, 416, 557));
    EXPECT_EQ(form->Panel5->BoundsRect(), Bounds(417, 1, 603, 557));
    EXPECT_EQ(form->Panel7->Height(), 468);
    form->SetClientWidth(400);
    EXPECT_EQ(form->Panel4->Width(), 416);
}

TEST_F(FormTest, LinesGridShowsItsStoredColumnsOnly) {
    // Without an argument the bill number is empty, and a bill may carry that number.
    TestDatabase noAmt(SchemaWith({{"  AMT          DOUBLE PRECISION,\n", ""}}) +
                           "INSERT INTO SAL_SUB (MASTERBILLID, ITEM_NO, TEMPPRODID, NOTE) VALUES ('', 1, 'P1', 'x');"
                           "INSERT INTO SAL_SUB (MASTERBILLID, ITEM_NO, TEMPPRODID, NOTE) VALUES ('', 2, 'P2', 'y');"
                           "INSERT INTO SAL_SUB (MASTERBILLID, ITEM_NO, TEMPPRODID) VALUES ('B1', 1, 'P3')",
                       false);
    auto form = Build(noAmt);
    EXPECT_TRUE(boxes.empty());
    TDBGrid* grid = form->DBGrid1;
    EXPECT_EQ(grid->DataSource(), form->DS_BILLS);
    EXPECT_TRUE(grid->GetTitleFont().SameAs(*form->Font()));
    EXPECT_EQ(grid->BoundsRect(), Bounds(1, 1, 412, 366));
    ASSERT_EQ(grid->Columns().Count(), 8);
    EXPECT_EQ(grid->Columns()[1]->FieldName(), "PROD_NAME");
    EXPECT_EQ(grid->Columns()[1]->Width(), 128);
    EXPECT_EQ(grid->Columns()[7]->FieldName(), "AMT");
    EXPECT_EQ(grid->Columns()[7]->Field(), nullptr);
    EXPECT_EQ(grid->Columns()[0]->Field(), form->CDS_SaleSub->FieldByName("TEMPPRODID"));
    EXPECT_EQ(grid->RowCount(), 3);
    EXPECT_EQ(column(form->CDS_SaleSub, "TEMPPRODID"), (std::vector<AnsiString>{"P1", "P2"}));
}

TEST_F(FormTest, TheLinesTableOpenedWhileBuildingIsReadOnlyAsFarAsItIsSeen) {
    std::vector<AnsiString> codes;
    for (int i = 1; i <= 1000; ++i) {
        char code[8];
        std::snprintf(code, sizeof code, "P%05d", i);
        codes.push_back(code);
    }

    // The header has no NOTE: the creation handler stops at the header, and the lines keep the whole
    // table opened while the window was built. Nothing has shown them yet, so they are not all read;
    // the window's first showing reads them, and the grid and its bar hold every one, in order.
    TestDatabase noNote(SchemaWith({{"  NOTE            VARCHAR(100),\n", ""}}) + BillLines(1000, "B1"),
                        false);
    auto form = Build(noNote);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "CDS_SaleMaster: Field 'NOTE' not found.");
    TClientDataSet* lines = form->CDS_SaleSub;
    ASSERT_TRUE(lines->Active());
    EXPECT_FALSE(lines->AllFetched());
    EXPECT_FALSE(form->CDS_SaleMaster->Active());
    form->Show();
    EXPECT_TRUE(lines->AllFetched());
    EXPECT_FALSE(form->SQL_BILLS->Active());
    EXPECT_EQ(lines->RecordCount(), 1000);
    TScrollInfo bar = form->DBGrid1->GetScrollInfo(sbVertical);
    EXPECT_EQ(bar.Max, 1000 + bar.Page - 1);
    EXPECT_EQ(form->DBGrid1->Columns()[0]->Field()->AsString(), "P00001");
    EXPECT_EQ(column(lines, "TEMPPRODID"), codes);
    form.reset();

    // With the header in place the creation handler closes the whole-table lines before anything reads
    // them: their read ends there, and the lines shown are the bill's (here the bill without a number).
    TestDatabase shop(BillLines(1000, "B1") + BillLines(3, "") +
                      "INSERT INTO SAL_MASTER (MASTERBILLID, CUST_ID) VALUES ('', 'C1')");
    form = Build(shop);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(form->SQL_BILLS->CommandText(), "SELECT * FROM SAL_SUB  WHERE MASTERBILLID = ''");
    EXPECT_TRUE(form->CDS_SaleSub->AllFetched());
    EXPECT_FALSE(form->SQL_BILLS->Active());
    EXPECT_FALSE(form->DSP_BILLS->Reading());
    EXPECT_EQ(column(form->CDS_SaleSub, "TEMPPRODID"),
              (std::vector<AnsiString>{"P00001", "P00002", "P00003"}));
    EXPECT_EQ(form->CDS_SaleMasterCUST_ID->AsString(), "C1");
}

TEST_F(FormTest, ScalesToAnotherScreenResolution) {
    Screen().SetPixelsPerInch(120);
    auto form = Build(DemoDatabase());
    EXPECT_EQ(form->Font()->Height(), 19);
    TCanvas measure(nullptr);
    measure.SetFont(*form->Font());
    int m = measure.TextHeight("0");
    EXPECT_EQ(form->TextHeight(), m);
    ASSERT_NE(m, 15);
    EXPECT_EQ(form->ClientWidth(), MulDiv(821, m, 15));
    EXPECT_EQ(form->Panel1->Height(), MulDiv(39, m, 15));
    EXPECT_EQ(form->Ed_billid->BoundsRect(), Rect(MulDiv(83, m, 15), MulDiv(8, m, 15), MulDiv(228, m, 15), MulDiv(31, m, 15)));
    EXPECT_EQ(form->Panel4->Width(), MulDiv(417, m, 15) - MulDiv(1, m, 15));
    // The bill lines' column widths are sizes too; the titles' font grows with the window's.
    TDBGrid* grid = form->DBGrid1;
    const int widths[] = {114, 128, 47, 54, 61, 46, 62, 56};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(grid->Columns()[i]->Width(), MulDiv(widths[i], m, 15)) << i;
        EXPECT_EQ(grid->ColWidths(i + 1), MulDiv(widths[i], m, 15)) << i;
    }
    EXPECT_EQ(grid->GetTitleFont().Height(), form->Font()->Height());
}

// The customer list read on after the open fails (a row the server cannot compute, the server
// ending the connection): the server's message is shown, the rows read stay, the window goes on,
// and 確定 hands nothing on, as it could not walk every customer.
TEST_F(FormTest, ALateReadFailureIsAMessageAndHandsNothingOn) {
    const TestDatabase failingRow(CustomersFailingAtRow500(), false);
    // Enough rows through the server that its client cannot have them all at hand after the open.
    const TestDatabase served(Customers(20000));
    struct Way {
        const char* what;
        const TestDatabase& db;
        bool atServer;
        const char* message;
        int customers;
    };
    for (const Way& w : {Way{"a row failing", failingRow, false, "Integer divide by zero", 1000},
                         Way{"the server ending the connection", served, true, "SQL Server Error", 20000}}) {
        if (w.atServer && !ServerAvailable())
            continue;
        auto form = Build(w.db, w.atServer);
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::tmpfile(), &std::fclose);
        form->SetSelectionOutput(out.get());
        TClientDataSet* cust = form->CDS_CUST;
        ASSERT_FALSE(cust->AllFetched()) << w.what;
        cust->Edit();
        form->CDS_CUSTSELECT_YN->SetText("Y");
        cust->Post();
        if (w.atServer)
            w.db.RunAtServer("DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID <> CURRENT_CONNECTION");
        // A click on 確定 as the framework delivers it to a window not laid out yet (so that the
        // list's rows are still to be read): a failure goes to the application's box.
        auto confirm = [&] {
            try {
                form->SpeedButton1Click(form->SpeedButton1);
            } catch (const std::exception& e) {
                Application->HandleException(form.get(), e);
            }
        };
        confirm();
        ASSERT_EQ(boxes.size(), 1u) << w.what;
        EXPECT_NE(boxes[0].text.find(w.message), std::string::npos) << w.what << ": " << boxes[0].text;
        const int kept = cust->RecordCount();
        EXPECT_GE(kept, 100) << w.what;
        EXPECT_LT(kept, w.customers) << w.what;
        // Again: the walk now ends at the rows read, and says why nothing is handed on.
        confirm();
        ASSERT_EQ(boxes.size(), 2u) << w.what;
        EXPECT_NE(boxes[1].text.find("Not every customer could be read"), std::string::npos) << boxes[1].text;
        EXPECT_NE(boxes[1].text.find(w.message), std::string::npos) << boxes[1].text;
        EXPECT_EQ(readBack(out.get()), "") << w.what;
        // The window goes on: ticks are taken and kept.
        cust->First();
        cust->Edit();
        form->CDS_CUSTSELECT_YN->SetText("N");
        cust->Post();
        EXPECT_EQ(cust->RecordCount(), kept);
        EXPECT_EQ(boxes.size(), 2u) << w.what;
    }
}
