#include "grid/support/GridFixture.h"

#include "grid/support/KxIntl.h"
#include "support/DataChain.h"
#include "ui/Application.h"
#include "ui/Canvas.h"

#include <map>
#include <memory>

const char* const kCustomerSql =
    "select CUST_ID, CUST_NAME, CUST_CLASSID,'N' AS SELECT_YN from CUSTOMER\r\nORDER BY CUST_ID";
const char* const kWindowControlType = "SELECT_YN;CheckBox;Y;N";

void StartApplication() {
    static char arg0[] = "test_grid";
    static char* argv[] = {arg0, nullptr};
    Application->Initialize(1, argv);
    // As the program entry: the grid library's settings exist before any window.
    CreateProcessIntl();
}

TStringList WindowColumnList() {
    return TStringList{Ansi("SELECT_YN\t4\t選擇\t\t"), Ansi("CUST_ID\t8\t客戶代號\t\t"),
                       Ansi("CUST_NAME\t17\t客戶名稱\t\t"), Ansi("CUST_CLASSID\t8\t客戶類別\tT")};
}

const TestDatabase& CustomersDb(int count) {
    static std::map<int, std::unique_ptr<TestDatabase>> made;
    auto& db = made[count];
    if (!db) {
        std::string sql = "SET TERM ^ ;\nEXECUTE BLOCK AS DECLARE i INTEGER = 1; BEGIN WHILE (i <= " +
                          std::to_string(count) +
                          ") DO BEGIN INSERT INTO CUSTOMER (CUST_ID, CUST_NAME, CUST_CLASSID) VALUES ('C' || "
                          "LPAD(:i, 4, '0'), "
                          "'外功客' || :i, SUBSTRING('ABC' FROM MOD(:i - 1, 3) + 1 FOR 1)); i = i + 1; END "
                          "END^\nSET TERM ; ^\n";
        db = std::make_unique<TestDatabase>(count > 0 ? sql : std::string());
    }
    return *db;
}

GridHarness::GridHarness(const TestDatabase& db, const std::string& sql) {
    StartApplication();
    WriteConnectionFiles(db.Dir(), db.Path());
    const DataChain chain(owner, sql);
    cds = new TCountingDataSet(&owner);
    cds->SetName("CDS");
    cds->SetProviderName("DSP");
    source = new TDataSource(&owner);
    source->SetDataSet(cds);
    form = new TForm(Application);
    form->SetName("GridForm");
    TFont font;
    font.SetCharset(CHINESEBIG5_CHARSET);
    font.SetHeight(15);
    font.SetName(Ansi("細明體"));
    form->SetFont(font);
    form->SetBounds(0, 0, 640, 480);
    grid = new TkxDBGrid(form);
    grid->SetName("Grid");
    grid->SetParent(form);
    grid->SetBounds(0, 0, 500, 300);
}

GridHarness::~GridHarness() {
    delete form;
}

void GridHarness::Show() {
    form->Show();
    grid->SetFocus();
}

void GridHarness::ShowLikeTheWindow() {
    grid->SetSelected(WindowColumnList());
    grid->SetControlType(TStringList{kWindowControlType});
    grid->SetEditControlOptions({ecoCheckboxSingleClick, ecoSearchOwnerForm});
    grid->SetDataSource(source);
    cds->Open();
    Show();
}

int GridHarness::TextWidth(const AnsiString& text, const TFont& font) const {
    TCanvas c(nullptr);
    c.SetFont(font);
    return c.TextWidth(text);
}

int GridHarness::TextHeight(const AnsiString& text, const TFont& font) const {
    TCanvas c(nullptr);
    c.SetFont(font);
    return c.TextHeight(text);
}

int GridHarness::W0() const {
    return TextWidth("0", *grid->Font());
}

int GridHarness::RowsFor(int clientHeight) const {
    const int title = grid->RowHeights(0) + 1, row = grid->DefaultRowHeight() + 1;
    return (clientHeight - title + 1) / row;
}

void GridHarness::SetVisibleRows(int rows) {
    const int frame = grid->Height() - grid->ClientHeight();
    const int title = grid->RowHeights(0) + 1, row = grid->DefaultRowHeight() + 1;
    grid->SetHeight(frame + title + rows * row);
}

std::vector<AnsiString> GridHarness::ColumnTexts(int dataCol) const {
    std::vector<AnsiString> texts;
    TkxGridDataLink& link = grid->DataLink();
    for (int r = 0; r < link.RecordCount() && r < grid->VisibleRowCount(); ++r) {
        TActiveRecordScope scope(link, r);
        texts.push_back(grid->GetCellText(dataCol));
    }
    return texts;
}
