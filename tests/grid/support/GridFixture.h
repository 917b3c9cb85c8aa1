#pragma once
// Customers from a real Firebird database through a statement, a provider and a client dataset
// (which counts the records it reads), shown by a TkxDBGrid on a form of the window's font
// (細明體, 15 pixels: "0" is 8 pixels wide), on the offscreen platform.
#include "data/DataSource.h"
#include "grid/KxDBGrid.h"
#include "grid/KxGridDataLink.h"
#include "support/CountingDataSet.h"
#include "support/FirebirdDb.h"
#include "ui/Form.h"

#include <string>
#include <vector>

void StartApplication();

// The window's customer statement.
extern const char* const kCustomerSql;
// The window's column list and control-type line.
TStringList WindowColumnList();
extern const char* const kWindowControlType;

// A database of `count` customers C0001...: names with Big5 characters whose trail byte is "~" or
// "\" among them, classes cycling A, B, C. Made once per count for the test program.
const TestDatabase& CustomersDb(int count);

struct GridHarness {
    TComponent owner{nullptr};
    TCountingDataSet* cds = nullptr;
    TDataSource* source = nullptr;
    TForm* form = nullptr;
    TkxDBGrid* grid = nullptr;

    // The chain and the grid; nothing is opened, assigned or shown yet.
    explicit GridHarness(const TestDatabase& db, const std::string& sql = kCustomerSql);
    ~GridHarness();
    GridHarness(const GridHarness&) = delete;
    GridHarness& operator=(const GridHarness&) = delete;

    // Shows the form (the grid's window comes with it) and focuses the grid.
    void Show();
    // The grid as the window has it: list, control type, options, data source; opened and shown.
    void ShowLikeTheWindow();
    // Data rows the grid shows whole for a client height (the window's font, row lines on).
    int RowsFor(int clientHeight) const;
    // Sets the grid's height so that exactly `rows` data rows show whole.
    void SetVisibleRows(int rows);
    TField* Field(const char* name) const { return cds->FieldByName(name); }
    int W0() const; // width of "0" in the grid font
    int TextWidth(const AnsiString& text, const TFont& font) const;
    int TextHeight(const AnsiString& text, const TFont& font) const;
    // Texts of one column for the shown rows, top to bottom.
    std::vector<AnsiString> ColumnTexts(int dataCol) const;
};
