#include "UiTest.h"

#include "ScreenPicture.h"
#include "core/Exception.h"
#include "data/ClientDataSet.h"
#include "data/DataSource.h"
#include "data/SQLConnection.h"
#include "data/SQLDataSet.h"
#include "support/CountingDataSet.h"
#include "support/DataChain.h"
#include "support/FirebirdDb.h"
#include "ui/Bitmap.h"
#include "ui/DBGrid.h"
#include "ui/Dialogs.h"
#include "ui/Edit.h"
#include "ui/Form.h"
#include "ui/InplaceEdit.h"
#include "ui/Input.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

namespace {

std::string linesSql(int count) {
    return "SET TERM ^ ;\nEXECUTE BLOCK AS DECLARE i INTEGER = 1; BEGIN WHILE (i <= " + std::to_string(count) +
           ") DO BEGIN INSERT INTO SAL_SUB (MASTERBILLID, ITEM_NO, TEMPPRODID, PROD_NAME, V_QTY) VALUES "
           "('B1', :i, 'P' || LPAD(:i, 6, '0'), '商品' || :i, :i); i = i + 1; END END^\nSET TERM ; ^\n";
}

// Bill lines from Firebird through a provider into a client dataset, shown by a grid on a form.
struct Lines {
    TComponent owner{nullptr};
    TCountingDataSet* cds;
    TDataSource* source;
    TForm* form;
    TDBGrid* grid;
    TEdit* other;

    Lines(const TestDatabase& db, bool open = true, TDBGrid* (*make)(TForm*) = nullptr) {
        StartApplication();
        WriteConnectionFiles(db.Dir(), db.Path());
        const DataChain chain(owner, "select ITEM_NO, TEMPPRODID, PROD_NAME, V_QTY from SAL_SUB order by ITEM_NO");
        cds = new TCountingDataSet(&owner);
        cds->SetProviderName("DSP");
        source = new TDataSource(&owner);
        source->SetDataSet(cds);
        if (open)
            cds->Open();
        form = new TForm(Application);
        form->SetBounds(0, 0, 520, 420);
        grid = make ? make(form) : new TDBGrid(form);
        grid->SetParent(form);
        grid->SetBounds(0, 0, 480, 300);
        other = new TEdit(form);
        other->SetParent(form);
        other->SetBounds(0, 320, 100, 20);
        form->Show();
        grid->SetFocus();
    }
    ~Lines() { delete form; }
    TField* field(const char* name) const { return cds->FieldByName(name); }
    AnsiString editorText() const { return grid->InplaceEditor() ? grid->InplaceEditor()->Text() : AnsiString("-"); }
};

const TestDatabase& smallDb() {
    static TestDatabase db(linesSql(5));
    return db;
}

// A plain grid of 5 x 5 cells, 64 x 24 pixels each, one-pixel lines, one fixed row and column,
// no border and no scroll bars, so the client area is the control.
TCustomGrid* plainGrid(TForm* form, int width, int height) {
    auto* g = new TCustomGrid(form);
    g->SetCtl3DBorder(false);
    g->SetScrollBars(ssNone);
    g->SetParent(form);
    g->SetBounds(0, 0, width, height);
    return g;
}
} // namespace

TEST(Grid, GeometryCellsLinesAndVisibleCounts) {
    StartApplication();
    std::unique_ptr<TForm> form(new TForm(Application));
    TCustomGrid* g = plainGrid(form.get(), 300, 100);
    EXPECT_EQ(g->CellRect(0, 0), Rect(0, 0, 64, 24));
    EXPECT_EQ(g->CellRect(1, 1), Rect(65, 25, 129, 49));
    EXPECT_EQ(g->BoxRect(1, 1, 2, 2), Rect(65, 25, 194, 74));
    // Rows whole in 100 pixels after the fixed row: 25..49, 50..74, 75..99.
    EXPECT_EQ(g->VisibleRowCount(), 3);
    EXPECT_EQ(g->VisibleColCount(), 3);
    g->SetHeight(98);
    EXPECT_EQ(g->VisibleRowCount(), 2);
    EXPECT_EQ(g->CellRect(1, 3), Rect(65, 75, 129, 99));  // partly shown still has its rectangle
    EXPECT_TRUE(g->CellRect(1, 4).IsEmpty());             // below the client area
    EXPECT_EQ(g->MouseCoord(70, 30), (TGridCoord{1, 1}));
    EXPECT_EQ(g->MouseCoord(64, 24), (TGridCoord{0, 0}));  // the line belongs to the cell before it
    EXPECT_EQ(g->MouseCoord(10, 98), (TGridCoord{-1, -1}));  // below the client area

    g->SetTopRow(2);
    EXPECT_TRUE(g->CellRect(1, 1).IsEmpty());
    EXPECT_EQ(g->CellRect(1, 2), Rect(65, 25, 129, 49));
    EXPECT_EQ(g->CellRect(0, 0), Rect(0, 0, 64, 24));  // fixed cells stay
    g->SetTopRow(10);
    EXPECT_EQ(g->TopRow(), 3);  // no further than the last rows fill the grid

    g->SetOptions({});
    g->SetTopRow(1);
    EXPECT_EQ(g->CellRect(1, 1), Rect(64, 24, 128, 48));
    g->SetColWidths(1, 100);
    EXPECT_EQ(g->CellRect(2, 1).Left, 164);
    g->SetFixedCols(2);
    EXPECT_EQ(g->Col(), 2);
    EXPECT_THROW(g->SetFixedRows(5), EInvalidGridOperation);
}

TEST(Grid, CurrentCellMovesWithAndWithoutScrolling) {
    StartApplication();
    std::unique_ptr<TForm> form(new TForm(Application));
    form->SetBounds(0, 0, 400, 300);
    TCustomGrid* g = plainGrid(form.get(), 300, 100);
    g->SetRowCount(20);
    form->Show();
    g->SetFocus();
    int clicks = 0;
    g->OnClick = [&](TObject*) { ++clicks; };

    g->MoveColRow(2, 10, true, false);
    EXPECT_EQ(g->Row(), 10);
    EXPECT_EQ(g->TopRow(), 1);  // not scrolled into view
    g->MoveColRow(2, 10, true, true);
    EXPECT_EQ(g->TopRow(), 8);  // the last whole row
    EXPECT_EQ(clicks, 0);
    g->FocusCell(1, 3, true);
    EXPECT_EQ(g->TopRow(), 3);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(g->Selection(), (TGridRect{1, 3, 1, 3}));
    try {
        g->MoveColRow(1, 20, true, true);
        ADD_FAILURE();
    } catch (const EInvalidGridOperation& e) {
        EXPECT_EQ(e.Message(), "Grid index out of range");
    }

    SendKey(g, VK_DOWN);
    EXPECT_EQ(g->Row(), 4);
    SendKey(g, VK_NEXT);
    EXPECT_EQ(g->Row(), 7);
    SendKey(g, VK_END, {ssCtrl});
    EXPECT_EQ(g->Row(), 19);
    EXPECT_EQ(g->Col(), 4);
    EXPECT_EQ(g->TopRow(), 17);
    SendKey(g, VK_LEFT);
    EXPECT_EQ(g->Col(), 3);

    g->SetOptions(g->Options() + TGridOptions{goRowSelect});
    EXPECT_EQ(g->Selection(), (TGridRect{1, 19, 4, 19}));
}

TEST(Grid, SizingAndMovingColumnsWithTheMouse) {
    StartApplication();
    std::unique_ptr<TForm> form(new TForm(Application));
    TCustomGrid* g = plainGrid(form.get(), 400, 100);
    g->SetOptions(g->Options() + TGridOptions{goColSizing, goColMoving});
    form->Show();
    // The border of column 1 (its right edge at 129) is in reach in the fixed row only.
    TGridState state = gsNormal;
    int index = -1, pos = 0, ofs = 0;
    TGridDrawInfo fixedInfo;
    g->CalcFixedInfo(fixedInfo);
    g->CalcSizingState(130, 10, state, index, pos, ofs, fixedInfo);
    EXPECT_EQ(state, gsColSizing);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(pos, 129);
    g->CalcSizingState(130, 40, state, index, pos, ofs, fixedInfo);
    EXPECT_EQ(state, gsNormal);

    SendMouse(g, TMouseAction::Down, mbLeft, {}, 130, 10);
    EXPECT_EQ(g->GridState(), gsColSizing);
    SendMouse(g, TMouseAction::Move, mbLeft, {ssLeft}, 150, 12);
    EXPECT_EQ(g->ColWidths(1), 64);  // the width changes when the button comes up
    SendMouse(g, TMouseAction::Up, mbLeft, {}, 160, 12);
    EXPECT_EQ(g->ColWidths(1), 94);
    EXPECT_EQ(g->GridState(), gsNormal);

    // Dragging the title of column 3 onto column 1.
    std::vector<std::pair<int, int>> moves;
    g->OnColumnMoved = [&](TObject*, int from, int to) { moves.push_back({from, to}); };
    g->SetColWidths(3, 50);
    g->MoveColRow(3, 2, true, false);
    const int title3 = g->CellRect(3, 0).Left + 10;
    SendMouse(g, TMouseAction::Down, mbLeft, {}, title3, 10);
    SendMouse(g, TMouseAction::Up, mbLeft, {}, title3 + 1, 10);
    EXPECT_TRUE(moves.empty());  // a click is no move
    SendMouse(g, TMouseAction::Down, mbLeft, {}, title3, 10);
    SendMouse(g, TMouseAction::Move, mbLeft, {ssLeft}, 80, 10);
    SendMouse(g, TMouseAction::Up, mbLeft, {}, 80, 10);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0], std::make_pair(3, 1));
    EXPECT_EQ(g->ColWidths(1), 50);
    EXPECT_EQ(g->ColWidths(2), 94);
    EXPECT_EQ(g->Col(), 1);  // the current column went with it
}

TEST(DBGrid, EditorOpensOnF2TypingAndEnterAndWritesOnRowChange) {
    Lines t(smallDb());
    TDBGrid* g = t.grid;
    g->SetDataSource(t.source);
    ASSERT_EQ(g->ColCount(), 5);  // indicator and the four fields
    EXPECT_EQ(g->RowCount(), 6);
    EXPECT_EQ(g->Row(), 1);
    EXPECT_EQ(g->Col(), 1);

    SendKey(g, VK_F2);
    ASSERT_TRUE(g->EditorShowing());
    EXPECT_EQ(t.editorText(), "1");
    EXPECT_EQ(t.cds->State(), dsBrowse);  // showing the editor does not edit
    SendKey(nullptr, VK_ESCAPE);
    EXPECT_FALSE(g->EditorShowing());

    SendKey(g, VK_RIGHT);
    SendKey(g, 'X', {ssShift});
    ASSERT_TRUE(g->EditorShowing());
    EXPECT_EQ(t.editorText(), "X");
    EXPECT_EQ(t.cds->State(), dsEdit);
    EXPECT_EQ(t.field("TEMPPRODID")->AsString(), "P000001");  // not yet in the field
    SendKey(nullptr, VK_DOWN);
    EXPECT_EQ(t.cds->State(), dsBrowse);
    EXPECT_EQ(g->Row(), 2);
    EXPECT_FALSE(g->EditorShowing());
    t.cds->Prior();
    EXPECT_EQ(t.field("TEMPPRODID")->AsString(), "X");

    // Enter opens the editor and closes it again, writing the text without posting.
    SendKey(g, VK_RETURN);
    ASSERT_TRUE(g->EditorShowing());
    SendText(nullptr, Ansi("甲乙"));  // an input method's text
    EXPECT_EQ(t.editorText(), Ansi("甲乙"));
    SendKey(nullptr, VK_RETURN);
    EXPECT_FALSE(g->EditorShowing());
    EXPECT_EQ(t.cds->State(), dsEdit);
    EXPECT_EQ(t.field("TEMPPRODID")->AsString(), Ansi("甲乙"));
    SendKey(g, VK_ESCAPE);  // cancels the record
    EXPECT_EQ(t.cds->State(), dsBrowse);
    EXPECT_EQ(t.field("TEMPPRODID")->AsString(), "X");

    // Chinese typed straight onto the grid opens the editor with it.
    SendText(g, Ansi("中文"));
    EXPECT_EQ(t.editorText(), Ansi("中文"));
    // Escape takes the typing back; a second Escape the record's edit state.
    SendKey(nullptr, VK_ESCAPE);
    EXPECT_FALSE(g->EditorShowing());
    EXPECT_EQ(t.cds->State(), dsEdit);
    EXPECT_EQ(t.field("TEMPPRODID")->AsString(), "X");
    SendKey(g, VK_ESCAPE);
    EXPECT_EQ(t.cds->State(), dsBrowse);

    // The editor is limited to the field's size; a float field takes digits only.
    SendKey(g, VK_F2);
    EXPECT_EQ(t.grid->InplaceEditor()->MaxLength(), 20);
    SendKey(nullptr, VK_ESCAPE);
    SendKey(g, VK_END);
    EXPECT_EQ(g->Col(), 4);
    SendKey(g, 'A', {ssShift});
    EXPECT_EQ(t.cds->State(), dsBrowse);
    EXPECT_EQ(t.grid->InplaceEditor()->MaxLength(), 0);
    SendKey(nullptr, VK_ESCAPE);
}

TEST(DBGrid, TabOrderSkipsReadOnlyFieldsAndWrapsToTheNextRecord) {
    Lines t(smallDb());
    t.field("TEMPPRODID")->SetReadOnly(true);
    TDBGrid* g = t.grid;
    g->SetDataSource(t.source);
    EXPECT_FALSE(g->TabStops(0));
    EXPECT_FALSE(g->TabStops(2));
    SendKey(g, VK_TAB);
    EXPECT_EQ(g->Col(), 3);
    SendKey(g, VK_TAB);
    SendKey(g, VK_TAB);  // past the last column: the next record's first column
    EXPECT_EQ(g->Col(), 1);
    EXPECT_EQ(t.cds->RecNo(), 2);
    SendKey(g, VK_TAB, {ssShift});
    EXPECT_EQ(g->Col(), 4);
    EXPECT_EQ(t.cds->RecNo(), 1);
    EXPECT_TRUE(t.form->ActiveControl() == g);
}

TEST(DBGrid, StoredColumnsTitlesWidthsAndAMissingField) {
    Lines t(smallDb());
    TDBGrid* g = t.grid;
    TColumn* c = g->Columns().Add();
    c->SetFieldName("TEMPPRODID");
    c->SetWidth(114);
    c = g->Columns().Add();
    c->SetFieldName("AMT");  // not among the statement's columns
    c->SetWidth(56);
    g->SetDataSource(t.source);
    ASSERT_EQ(g->ColCount(), 3);
    EXPECT_EQ(g->ColWidths(1), 114);
    EXPECT_EQ(g->ColWidths(2), 56);
    EXPECT_EQ(g->Columns()[0]->TitleCaption(), "TEMPPRODID");
    EXPECT_EQ(g->Columns()[1]->TitleCaption(), "AMT");
    EXPECT_EQ(g->Columns()[1]->Field(), nullptr);

    // The missing field's cells stay empty; the other column shows its text.
    g->MoveColRow(2, 2, true, false);
    t.other->SetFocus();
    TBitmap shot;
    g->PaintTo(shot);
    auto inkIn = [&](const TRect& r) {
        int ink = 0;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x)
                ink += shot.Pixel(x + 2, y + 2) != ColorToRGB(clWindow);
        return ink;
    };
    EXPECT_EQ(inkIn(g->CellRect(2, 1)), 0);
    EXPECT_GT(inkIn(g->CellRect(1, 1)), 10);
    g->SetFocus();
    SendKey(g, VK_F2);
    EXPECT_FALSE(g->EditorShowing());

    // Sizing a column by its title border stores the width in the column.
    const int border = g->CellRect(1, 0).Right;
    SendMouse(g, TMouseAction::Down, mbLeft, {}, border, 5);
    SendMouse(g, TMouseAction::Up, mbLeft, {}, border + 20, 5);
    EXPECT_EQ(g->Columns()[0]->Width(), 134);
    // Moving a stored column moves it in the collection.
    const int title2 = g->CellRect(2, 0).Left + 10;
    SendMouse(g, TMouseAction::Down, mbLeft, {}, title2, 5);
    SendMouse(g, TMouseAction::Move, mbLeft, {ssLeft}, 20, 5);
    SendMouse(g, TMouseAction::Up, mbLeft, {}, 20, 5);
    EXPECT_EQ(g->Columns()[0]->FieldName(), "AMT");
    EXPECT_EQ(g->ColWidths(1), 56);
}

TEST(DBGrid, CountsTheRecordsForItsBarOnlyOnceItHasAWindow) {
    TestDatabase db(linesSql(1000));
    StartApplication();
    WriteConnectionFiles(db.Dir(), db.Path());
    TComponent owner(nullptr);
    const DataChain chain(owner,
                          "select ITEM_NO, TEMPPRODID, PROD_NAME, V_QTY from SAL_SUB order by ITEM_NO");
    // The statement's rows, each field's value byte for byte (or a null mark).
    auto row = [](const TDataSet* ds) {
        std::string bytes;
        for (TField* f : ds->FieldList()) {
            std::vector<char> value(static_cast<size_t>(f->DataSize()) + 1, '\0');
            bytes += f->GetData(value.data()) ? "+" + std::string(value.data(), value.size()) : "-";
        }
        return bytes;
    };
    std::vector<std::string> expected;
    chain.sql->Open();
    for (; !chain.sql->Eof(); chain.sql->Next())
        expected.push_back(row(chain.sql));
    chain.sql->Close();
    ASSERT_EQ(expected.size(), 1000u);

    auto* cds = new TClientDataSet(&owner);
    cds->SetProviderName("DSP");
    auto* source = new TDataSource(&owner);
    source->SetDataSet(cds);
    std::unique_ptr<TForm> form(new TForm(Application));
    form->SetBounds(0, 0, 520, 420);
    auto* g = new TDBGrid(form.get());
    g->SetParent(form.get());
    g->SetBounds(0, 0, 480, 300);
    g->SetDataSource(source);
    // The dataset opens while the grid has no window (as while a window is built): the rows shown come,
    // the rest wait.
    cds->Open();
    ASSERT_FALSE(g->HandleAllocated());
    const int rows = g->VisibleRowCount();
    EXPECT_EQ(g->RowCount(), rows + 1);
    EXPECT_FALSE(cds->AllFetched());

    // The first painting gives the grid its window and its bar every record.
    TBitmap shot;
    g->PaintTo(shot);
    EXPECT_TRUE(cds->AllFetched());
    TScrollInfo bar = g->GetScrollInfo(sbVertical);
    EXPECT_EQ(bar.Max, 1000 + rows - 1);
    EXPECT_EQ(bar.Page, rows);
    EXPECT_EQ(bar.Pos, 1);
    std::vector<std::string> shown;
    for (cds->First(); !cds->Eof(); cds->Next())
        shown.push_back(row(cds));
    EXPECT_EQ(shown, expected);
}

TEST(DBGrid, DeleteConfirmationAppendAndCancelOnExit) {
    Lines t(smallDb());
    TDBGrid* g = t.grid;
    g->SetDataSource(t.source);
    std::vector<AnsiString> asked;
    int answer = IDCANCEL;
    MessageBoxHook = [&](const AnsiString& text, const AnsiString&, unsigned) {
        asked.push_back(text);
        return answer;
    };
    SendKey(g, VK_DELETE, {ssCtrl});
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], "Delete record?");
    EXPECT_EQ(t.cds->RecordCount(), 5);
    answer = IDOK;
    SendKey(g, VK_DELETE, {ssCtrl});
    EXPECT_EQ(t.cds->RecordCount(), 4);
    MessageBoxHook = nullptr;

    // Down on the last record appends an empty one; Up on it, unchanged, cancels it.
    SendKey(g, VK_END, {ssCtrl});
    SendKey(g, VK_DOWN);
    EXPECT_EQ(t.cds->State(), dsInsert);
    SendKey(g, VK_UP);
    EXPECT_EQ(t.cds->State(), dsBrowse);
    EXPECT_EQ(t.cds->RecordCount(), 4);

    // Insert, then leave the grid without changing the new row: it goes.
    SendKey(g, VK_INSERT);
    EXPECT_EQ(t.cds->State(), dsInsert);
    t.other->SetFocus();
    EXPECT_EQ(t.cds->State(), dsBrowse);
    EXPECT_EQ(t.cds->RecordCount(), 4);
}

TEST(DBGrid, ScrollsAHundredThousandRecordsReadingOnlyWhatItShows) {
    TestDatabase db(linesSql(100000));
    Lines t(db);
    TDBGrid* g = t.grid;
    g->SetDataSource(t.source);
    const int rows = g->VisibleRowCount();
    ASSERT_GT(rows, 5);
    EXPECT_EQ(g->RowCount(), rows + 1);
    TScrollInfo bar = g->GetScrollInfo(sbVertical);
    EXPECT_EQ(bar.Min, 1);
    EXPECT_EQ(bar.Page, rows);
    EXPECT_EQ(bar.Max, 100000 + rows - 1);
    EXPECT_EQ(bar.Pos, 1);

    TBitmap shot;
    auto paintReads = [&] {
        int before = t.cds->reads;
        g->PaintTo(shot);
        return t.cds->reads - before;
    };
    EXPECT_EQ(paintReads(), 0);

    int before = t.cds->reads;
    SendKey(g, VK_END, {ssCtrl});
    EXPECT_EQ(t.cds->RecNo(), 100000);
    EXPECT_LE(t.cds->reads - before, rows + 2);
    EXPECT_EQ(g->Row(), rows);  // the last record in the last row
    EXPECT_EQ(g->GetScrollPos(sbVertical), 100000);
    EXPECT_EQ(paintReads(), 0);

    before = t.cds->reads;
    g->WMVScroll(SB_THUMBPOSITION, 50000);
    EXPECT_EQ(t.cds->RecNo(), 50000);
    EXPECT_LE(t.cds->reads - before, rows + 2);
    EXPECT_EQ(g->GetScrollPos(sbVertical), 50000);
    EXPECT_EQ(t.field("ITEM_NO")->AsInteger(), 50000);
    EXPECT_EQ(paintReads(), 0);

    before = t.cds->reads;
    for (int i = 0; i < 3; ++i)
        SendKey(g, VK_NEXT);
    EXPECT_EQ(t.cds->RecNo(), 50000 + 3 * rows);
    EXPECT_LE(t.cds->reads - before, 3 * rows + 3);
    g->WMVScroll(SB_LINEUP, 0);
    EXPECT_EQ(t.cds->RecNo(), 50000 + 3 * rows - 1);
    SendKey(g, VK_HOME, {ssCtrl});
    EXPECT_EQ(t.cds->RecNo(), 1);
    EXPECT_EQ(g->Row(), 1);
    EXPECT_EQ(paintReads(), 0);
}

TEST(DBGrid, MouseAndWheelMoveRecordsAndAnAlwaysShownEditorFollows) {
    Lines t(smallDb());
    TDBGrid* g = t.grid;
    g->SetDataSource(t.source);
    auto clickCell = [&](int col, int row) {
        TRect r = g->CellRect(col, row);
        SendClick(g, r.Left + 5, r.Top + 5);
    };
    clickCell(2, 3);
    EXPECT_EQ(t.cds->RecNo(), 3);
    EXPECT_EQ(g->Col(), 2);
    EXPECT_FALSE(g->EditorShowing());
    clickCell(2, 3);  // a click on the current cell opens the editor
    ASSERT_TRUE(g->EditorShowing());
    SendKey(nullptr, 'Z', {ssShift});
    clickCell(2, 1);  // another record: what was typed is posted
    EXPECT_EQ(t.cds->State(), dsBrowse);
    EXPECT_EQ(t.cds->RecNo(), 1);
    SendWheel(g, -240);
    EXPECT_EQ(t.cds->RecNo(), 3);
    EXPECT_EQ(t.field("TEMPPRODID")->AsString(), "Z");
    SendWheel(g, 120);
    EXPECT_EQ(t.cds->RecNo(), 2);

    // With the editor always shown, the caret at the end of the text hands Right to the grid and the
    // editor follows into the next column.
    g->SetOptions(g->Options() + TDBGridOptions{TDBGridOption::dgAlwaysShowEditor});
    ASSERT_TRUE(g->EditorShowing());
    EXPECT_EQ(t.editorText(), "P000002");
    SendKey(nullptr, VK_END);
    SendKey(nullptr, VK_RIGHT);
    EXPECT_EQ(g->Col(), 3);
    ASSERT_TRUE(g->EditorShowing());
    EXPECT_EQ(t.editorText(), Ansi("商品2"));
    SendKey(nullptr, VK_DOWN);
    EXPECT_TRUE(g->EditorShowing());
    EXPECT_EQ(t.editorText(), Ansi("商品3"));
}

TEST(DBGrid, IndicatorTitleFontAndPublishedProperties) {
    Lines t(smallDb());
    TDBGrid* g = t.grid;
    g->SetDataSource(t.source);
    TBitmap shot;
    auto indicator = [&] {
        g->PaintTo(shot);
        TRect r = g->CellRect(0, g->Row());
        std::vector<bool> ink;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x)
                ink.push_back(shot.Pixel(x + 2, y + 2) == clBlack);
        return ink;
    };
    std::vector<bool> browse = indicator();
    EXPECT_GT(std::count(browse.begin(), browse.end(), true), 5);
    t.cds->Edit();
    std::vector<bool> edit = indicator();
    EXPECT_NE(browse, edit);
    t.cds->Cancel();
    EXPECT_EQ(indicator(), browse);

    // The title font is the grid's own: a larger one makes only the title row taller.
    const int rowHeight = g->DefaultRowHeight(), titleHeight = g->RowHeights(0);
    g->TitleFont()->SetHeight(g->Font()->Height() + 10);
    EXPECT_GT(g->RowHeights(0), titleHeight);
    EXPECT_EQ(g->DefaultRowHeight(), rowHeight);
    EXPECT_EQ(g->Font()->Height(), g->TitleFont()->Height() - 10);

    // Options and the data source by name, as the window's description assigns them.
    EXPECT_TRUE(g->InheritsFrom("TCustomGrid"));
    EXPECT_EQ(std::get<int64_t>(g->GetProperty("Options")), int64_t(g->Options().Bits()));
    TDBGridOptions noTitles = g->Options() - TDBGridOptions{TDBGridOption::dgTitles};
    EXPECT_TRUE(g->SetProperty("Options", int64_t(noTitles.Bits())));
    EXPECT_EQ(g->FixedRows(), 0);
    EXPECT_EQ(g->Row(), 0);
    EXPECT_TRUE(g->SetProperty("DataSource", static_cast<TPersistent*>(nullptr)));
    EXPECT_EQ(g->DataSource(), nullptr);
    EXPECT_EQ(g->RowCount(), 1);
}

TEST(DBGrid, MouseAndKeyStepsRunOnceAndThroughTheBase) {
    // A descendant that adds to the steps sees each press and key once, and the base's events fire once.
    struct StepGrid : TDBGrid {
        using TDBGrid::TDBGrid;
        int sizingTests = 0, clicks = 0, keys = 0;
        void CalcSizingState(int x, int y, TGridState& state, int& index, int& pos, int& ofs,
                             const TGridDrawInfo& fixedInfo) override {
            ++sizingTests;
            TDBGrid::CalcSizingState(x, y, state, index, pos, ofs, fixedInfo);
        }
        void ClickCell(TGridCoord cell, TShiftState shift) override {
            ++clicks;
            TDBGrid::ClickCell(cell, shift);
        }
        void GridKeyDown(Word& key, TShiftState shift) override {
            ++keys;
            TDBGrid::GridKeyDown(key, shift);
        }
    };
    Lines t(smallDb(), true, [](TForm* f) -> TDBGrid* { return new StepGrid(f); });
    auto* g = static_cast<StepGrid*>(t.grid);
    g->SetDataSource(t.source);
    int downs = 0, keyEvents = 0;
    g->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++downs; };
    g->OnKeyDown = [&](TObject*, Word&, TShiftState) { ++keyEvents; };

    TRect cell = g->CellRect(2, 3);
    SendClick(g, cell.Left + 5, cell.Top + 5);
    EXPECT_EQ(t.cds->RecNo(), 3);
    EXPECT_EQ(g->sizingTests, 1);
    EXPECT_EQ(g->clicks, 1);
    EXPECT_EQ(downs, 1);

    // A press on a title border starts sizing; no cell is clicked.
    const int border = g->CellRect(1, 0).Right;
    SendMouse(g, TMouseAction::Down, mbLeft, {}, border, 5);
    EXPECT_EQ(g->GridState(), gsColSizing);
    EXPECT_EQ(g->sizingTests, 2);
    EXPECT_EQ(g->clicks, 1);
    SendMouse(g, TMouseAction::Up, mbLeft, {}, border + 10, 5);
    EXPECT_EQ(g->GridState(), gsNormal);

    SendKey(g, VK_DOWN);
    EXPECT_EQ(t.cds->RecNo(), 4);
    SendKey(g, VK_RIGHT);
    EXPECT_EQ(g->Col(), 3);
    EXPECT_EQ(g->keys, 2);
    EXPECT_EQ(keyEvents, 2);
}

TEST(DBGrid, RecordScrollPaintsOnlyTheRowsThatCameInAndTheCurrentRows) {
    static TestDatabase db(linesSql(40));
    Lines t(db);
    TDBGrid* g = t.grid;
    g->SetDataSource(t.source);
    const int rows = g->VisibleRowCount();
    ASSERT_GT(rows, 4);
    ASSERT_LT(rows, 40);
    std::set<int> painted;
    g->OnDrawCell = [&](TObject*, int, int row, const TRect&, TGridDrawState) { painted.insert(row); };
    auto paintedRows = [&] {
        painted.clear();
        DeliverPaints();
        return painted;
    };
    while (g->Row() < rows)
        SendKey(g, VK_DOWN);
    paintedRows();
    // The records move on by one under the last row: the rows that stay are not painted again.
    SendKey(g, VK_DOWN);
    EXPECT_EQ(t.cds->RecNo(), rows + 1);
    EXPECT_EQ(g->Row(), rows);
    EXPECT_EQ(paintedRows(), (std::set<int>{rows - 1, rows}));
    EXPECT_EQ(StalePixels(g), 0);

    while (g->Row() > 1)
        SendKey(g, VK_UP);
    paintedRows();
    SendKey(g, VK_UP);
    EXPECT_EQ(t.cds->RecNo(), 1);
    EXPECT_EQ(paintedRows(), (std::set<int>{1, 2}));
    EXPECT_EQ(StalePixels(g), 0);

    // A page moves every row: all are painted again, and the picture is right.
    SendKey(g, VK_NEXT);
    SendKey(g, VK_NEXT);
    DeliverPaints();
    EXPECT_EQ(StalePixels(g), 0);

    // Three records on under the last row with no paint between: the first scroll moves the
    // picture, the later ones leave the rows to one paint, and the picture is right.
    SendKey(g, VK_END, {ssCtrl});
    SendKey(g, VK_HOME, {ssCtrl});
    while (g->Row() < rows)
        SendKey(g, VK_DOWN);
    paintedRows();
    for (int i = 0; i < 3; ++i)
        SendKey(g, VK_DOWN);
    const std::set<int> all = paintedRows();
    EXPECT_EQ(t.cds->RecNo(), rows + 3);
    for (int r = 1; r <= rows; ++r)
        EXPECT_TRUE(all.count(r)) << r;
    EXPECT_EQ(StalePixels(g), 0);
    // Painted, a scroll moves the picture again.
    SendKey(g, VK_DOWN);
    EXPECT_EQ(paintedRows(), (std::set<int>{rows - 1, rows}));
    EXPECT_EQ(StalePixels(g), 0);
}

