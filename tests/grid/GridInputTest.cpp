// The customer grid under the mouse and the keys, over real customers: ticking by click, double
// click and Space, the keys that move records and columns, Escape, append and delete, title buttons,
// link cells, the key hook and multi-selection.
#include "grid/support/GridFixture.h"
#include "grid/support/GridPicture.h"
#include "grid/support/KxExportOptions.h"
#include "ui/Dialogs.h"
#include "ui/Edit.h"
#include "ui/Input.h"
#include "ui/ScreenPicture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

namespace {
TPoint centre(TkxDBGrid* g, int col, int row) {
    const TRect r = g->CellRect(col, row);
    return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
}

void click(TkxDBGrid* g, int col, int row, TShiftState shift = {}) {
    const TPoint p = centre(g, col, row);
    SendClick(g, p.X, p.Y, shift);
}

// As the window system sends a double click: press, release, the second press, release.
void doubleClick(TkxDBGrid* g, int col, int row) {
    const TPoint p = centre(g, col, row);
    SendMouse(g, TMouseAction::Down, mbLeft, {}, p.X, p.Y);
    SendMouse(g, TMouseAction::Up, mbLeft, {}, p.X, p.Y);
    SendMouse(g, TMouseAction::DoubleClick, mbLeft, {}, p.X, p.Y);
    SendMouse(g, TMouseAction::Up, mbLeft, {}, p.X, p.Y);
}

void moveTo(TkxDBGrid* g, int col, int row) {
    const TPoint p = centre(g, col, row);
    SendMouse(g, TMouseAction::Move, mbLeft, {}, p.X, p.Y);
}

// The cells a grid paints (data column, data row; -1 for the indicator and the titles), kept while
// it lives.
using Cells = std::set<std::pair<int, int>>;
struct PaintedCells {
    Cells cells;
    explicit PaintedCells(TkxDBGrid* g) {
        g->OnBeforeDrawCell = [this](TkxCustomDBGrid*, TkxCustomDrawGridCellInfo* info) {
            cells.insert({info->DataCol, info->DataRow});
        };
    }
    // What the pending paints and `step` paint.
    template <class Step> Cells after(Step step) {
        DeliverPaints();
        cells.clear();
        step();
        DeliverPaints();
        return cells;
    }
};

// Answers every message box with `answer` and keeps what was asked.
struct Boxes {
    std::vector<AnsiString> asked;
    int answer = IDOK;
    Boxes() {
        MessageBoxHook = [this](const AnsiString& text, const AnsiString&, unsigned) {
            asked.push_back(text);
            return answer;
        };
    }
    ~Boxes() { MessageBoxHook = nullptr; }
};

// The window's grid over `count` customers, ten rows shown. The window declares SELECT_YN as a
// field of its own, writable, where the statement's constant column would be read-only.
struct Window : GridHarness {
    explicit Window(int count = 30) : GridHarness(CustomersDb(count)) {
        ShowLikeTheWindow();
        Field("SELECT_YN")->SetReadOnly(false);
        SetVisibleRows(10);
    }
    AnsiString Tick() const { return Field("SELECT_YN")->AsString(); }
    AnsiString Id() const { return Field("CUST_ID")->AsString(); }
};
} // namespace

TEST(GridInput, ClicksTickTheRowTheyMoveTo) {
    Window w;
    TkxDBGrid* g = w.grid;
    int cellChanges = 0;
    g->OnCellChanged = [&](TObject*) { ++cellChanges; };
    click(g, 1, 3);
    EXPECT_EQ(g->Row(), 3);
    EXPECT_EQ(w.Id(), "C0003");
    EXPECT_EQ(w.cds->State(), dsEdit);
    EXPECT_EQ(w.Tick(), "Y");
    EXPECT_EQ(cellChanges, 1);
    // A second single click unticks, a third ticks again; the record stays in edit state.
    click(g, 1, 3);
    EXPECT_EQ(w.Tick(), "N");
    click(g, 1, 3);
    EXPECT_EQ(w.Tick(), "Y");
    EXPECT_EQ(w.cds->State(), dsEdit);
    // Moving on posts the tick of the row left.
    click(g, 1, 5);
    EXPECT_EQ(w.Id(), "C0005");
    EXPECT_EQ(w.Tick(), "Y");
    EXPECT_EQ(w.ColumnTexts(0)[2], "Y");
    // A double click changes the value once.
    doubleClick(g, 1, 7);
    EXPECT_EQ(w.Id(), "C0007");
    EXPECT_EQ(w.Tick(), "Y");
    // Only the current record's box can be flipped: the field written is the current record's.
    g->ToggleCheckBox(1, 2);
    EXPECT_EQ(w.Id(), "C0007");
    EXPECT_EQ(w.ColumnTexts(0)[1], "N");
    EXPECT_EQ(w.Tick(), "Y");
    // A click on another column of the ticked row changes nothing there.
    click(g, 3, 7);
    EXPECT_EQ(g->Col(), 3);
    EXPECT_EQ(w.Tick(), "Y");

    // Without single-click ticking a click only moves; the double click ticks.
    g->SetEditControlOptions({ecoSearchOwnerForm});
    click(g, 1, 8);
    EXPECT_EQ(w.Id(), "C0008");
    EXPECT_EQ(w.Tick(), "N");
    EXPECT_EQ(w.cds->State(), dsBrowse);
    doubleClick(g, 1, 8);
    EXPECT_EQ(w.Tick(), "Y");
}

TEST(GridInput, AClickOnADataCellIsOneClickWithOrWithoutFrozenColumnEditing) {
    Window w;
    TkxDBGrid* g = w.grid;
    int clicks = 0;
    g->OnClick = [&](TObject*) { ++clicks; };
    click(g, 3, 2);
    EXPECT_EQ(clicks, 1);
    // Frozen-column editing fires it at the press; the release adds none.
    g->SetOptions(g->Options() + TkxDBGridOptions{dgFixedEditable});
    click(g, 3, 3);
    EXPECT_EQ(clicks, 2);
    // A press whose release falls off the grid takes no later click with it.
    const TPoint p = centre(g, 3, 4);
    SendMouse(g, TMouseAction::Down, mbLeft, {}, p.X, p.Y);
    SendMouse(g, TMouseAction::Up, mbLeft, {}, -5, -5);
    EXPECT_EQ(clicks, 3);
    g->SetOptions(g->Options() - TkxDBGridOptions{dgFixedEditable});
    click(g, 3, 5);
    EXPECT_EQ(clicks, 4);
}

TEST(GridInput, SpaceTicksLettersAndF2DoNothing) {
    Window w;
    TkxDBGrid* g = w.grid;
    SendKey(g, VK_SPACE);
    EXPECT_EQ(w.Tick(), "Y");
    SendKey(g, VK_SPACE);
    EXPECT_EQ(w.Tick(), "N");
    SendKey(g, 'A');
    SendKey(g, VK_F2);
    EXPECT_EQ(w.Tick(), "N");
    EXPECT_FALSE(g->EditorMode());
    // Down posts; a lower-case "y" counts as ticked.
    SendKey(g, VK_DOWN);
    EXPECT_EQ(w.cds->State(), dsBrowse);
    w.cds->Edit();
    w.Field("SELECT_YN")->SetAsString("y");
    w.cds->Post();
    SendKey(g, VK_SPACE);
    EXPECT_EQ(w.Tick(), "N");
}

TEST(GridInput, ReadOnlyGridsFieldsAndColumnsAreNotTicked) {
    Window w;
    TkxDBGrid* g = w.grid;
    g->SetReadOnly(true);
    click(g, 1, 2);
    EXPECT_EQ(w.Id(), "C0002");
    SendKey(g, VK_SPACE);
    EXPECT_EQ(w.Tick(), "N");
    EXPECT_EQ(w.cds->State(), dsBrowse);
    // Nor does Down on the last record append one to a read-only grid.
    SendKey(g, VK_END, {ssCtrl});
    SendKey(g, VK_DOWN);
    EXPECT_EQ(w.cds->State(), dsBrowse);
    EXPECT_EQ(w.cds->RecordCount(), 30);

    g->SetReadOnly(false);
    w.Field("SELECT_YN")->SetReadOnly(true);
    SendKey(g, VK_SPACE);
    EXPECT_EQ(w.Tick(), "N");
    w.Field("SELECT_YN")->SetReadOnly(false);
    // A read-only column of the list.
    TStringList list = WindowColumnList();
    list.SetStrings(0, Ansi("SELECT_YN\t4\t選擇\tT\t"));
    g->SetSelected(list);
    g->ApplyColumnList();
    click(g, 1, 3);
    EXPECT_EQ(w.Tick(), "N");
}

TEST(GridInput, ASelectionBoxColumnTicksTheSelectionEvenWhenReadOnly) {
    GridHarness h(CustomersDb(10),
                  "select CUST_ID, CUST_NAME, 'N' AS SELECTED from CUSTOMER ORDER BY CUST_ID");
    TkxDBGrid* g = h.grid;
    g->SetControlType(TStringList{"SELECTED;CheckBox;T;F"});
    g->SetEditControlOptions({ecoCheckboxSingleClick, ecoSearchOwnerForm});
    g->SetReadOnly(true);
    g->SetDataSource(h.source);
    h.cds->Open();
    h.Field("CUST_NAME")->SetDisplayWidth(10);
    h.Field("SELECTED")->SetFieldKind(fkCalculated);
    h.Field("SELECTED")->SetReadOnly(false);
    h.Show();
    click(g, 3, 2);
    EXPECT_TRUE(g->IsActiveRecordSelected());
    EXPECT_EQ(h.Field("SELECTED")->AsString(), "N");
    SendKey(g, VK_SPACE);
    EXPECT_FALSE(g->IsActiveRecordSelected());
    EXPECT_EQ(h.cds->State(), dsBrowse);
}

TEST(GridInput, EscapeAppendCancelAndDelete) {
    Window w;
    TkxDBGrid* g = w.grid;
    Boxes boxes;
    // Escape after a tick asks; Yes gives the old value back, No keeps the tick pending.
    SendKey(g, VK_SPACE);
    boxes.answer = IDNO;
    SendKey(g, VK_ESCAPE);
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0], "Discard changes to this record?");
    EXPECT_EQ(w.cds->State(), dsEdit);
    EXPECT_EQ(w.Tick(), "Y");
    boxes.answer = IDYES;
    SendKey(g, VK_ESCAPE);
    EXPECT_EQ(w.cds->State(), dsBrowse);
    EXPECT_EQ(w.Tick(), "N");

    // Down on the last record appends an empty one; Down again keeps it; Up on it cancels it.
    SendKey(g, VK_END, {ssCtrl});
    SendKey(g, VK_DOWN);
    EXPECT_EQ(w.cds->State(), dsInsert);
    SendKey(g, VK_DOWN);
    EXPECT_EQ(w.cds->State(), dsInsert);
    SendKey(g, VK_UP);
    EXPECT_EQ(w.cds->State(), dsBrowse);
    EXPECT_EQ(w.Id(), "C0030");
    EXPECT_EQ(w.cds->RecordCount(), 30);
    // Without dgAllowInsert nothing is appended; Insert neither.
    g->SetKeyOptions({dgAllowDelete});
    SendKey(g, VK_DOWN);
    SendKey(g, VK_INSERT);
    EXPECT_EQ(w.cds->State(), dsBrowse);
    g->SetKeyOptions({dgAllowDelete, dgAllowInsert});
    SendKey(g, VK_INSERT);
    EXPECT_EQ(w.cds->State(), dsInsert);
    SendKey(g, VK_ESCAPE);
    EXPECT_EQ(w.cds->State(), dsBrowse);
    // A dataset that cannot be modified says so.
    boxes.asked.clear();
    w.cds->SetReadOnly(true);
    SendKey(g, VK_INSERT);
    EXPECT_EQ(w.cds->State(), dsBrowse);
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_NE(boxes.asked[0].find("Cannot modify a read-only dataset"), AnsiString::npos);
    w.cds->SetReadOnly(false);

    // Ctrl+Delete asks; Cancel keeps the record, OK deletes it.
    boxes.asked.clear();
    boxes.answer = IDCANCEL;
    SendKey(g, VK_DELETE, {ssCtrl});
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0], "Delete record?");
    EXPECT_EQ(w.cds->RecordCount(), 30);
    boxes.answer = IDOK;
    SendKey(g, VK_DELETE, {ssCtrl});
    EXPECT_EQ(w.cds->RecordCount(), 29);
    EXPECT_EQ(w.Id(), "C0029");
}

TEST(GridInput, DeletingFromAnEmptyListAsksNothing) {
    GridHarness h(CustomersDb(0));
    h.ShowLikeTheWindow();
    Boxes boxes;
    SendKey(h.grid, VK_DELETE, {ssCtrl});
    EXPECT_TRUE(boxes.asked.empty());
    EXPECT_EQ(h.cds->State(), dsBrowse);
}

TEST(GridInput, KeysMoveRecordsAndColumnsTabAndEnter) {
    Window w;
    TkxDBGrid* g = w.grid;
    auto at = [&](const char* id, int col) {
        EXPECT_EQ(w.Id(), id);
        EXPECT_EQ(g->Col(), col);
    };
    SendKey(g, VK_DOWN);
    SendKey(g, VK_NEXT);
    at("C0012", 1);
    SendKey(g, VK_PRIOR);
    at("C0002", 1);
    SendKey(g, VK_DOWN, {ssCtrl});
    EXPECT_EQ(g->Row(), g->VisibleRowCount());
    SendKey(g, VK_UP, {ssCtrl});
    EXPECT_EQ(g->Row(), 1);
    SendKey(g, VK_END, {ssCtrl});
    at("C0030", 1);
    SendKey(g, VK_HOME, {ssCtrl});
    at("C0001", 1);
    SendKey(g, VK_END);
    at("C0001", 4);
    SendKey(g, VK_LEFT);
    at("C0001", 3);
    SendKey(g, VK_LEFT, {ssCtrl});
    at("C0001", 1);
    SendKey(g, VK_RIGHT, {ssCtrl});
    at("C0001", 4);
    SendKey(g, VK_HOME);
    SendKey(g, VK_RIGHT);
    at("C0001", 2);
    // The wheel moves a record a notch.
    SendWheel(g, -240);
    at("C0003", 2);
    SendWheel(g, 120);
    at("C0002", 2);
    // With whole-row selection Left and Right move records, with Ctrl still columns.
    g->SetOptions(g->Options() + TkxDBGridOptions{dgRowSelect});
    SendKey(g, VK_RIGHT);
    at("C0003", 2);
    SendKey(g, VK_LEFT);
    at("C0002", 2);
    SendKey(g, VK_RIGHT, {ssCtrl});
    at("C0002", 4);
    SendKey(g, VK_LEFT, {ssCtrl});
    at("C0002", 1);
    g->SetOptions(g->Options() - TkxDBGridOptions{dgRowSelect});
    SendKey(g, VK_RIGHT);
    at("C0002", 2);

    // Tab skips the read-only class column and goes on in the next record; Shift+Tab comes back.
    SendKey(g, VK_TAB);
    at("C0002", 3);
    SendKey(g, VK_TAB);
    at("C0003", 1);
    SendKey(g, VK_TAB, {ssShift});
    at("C0002", 3);
    // Enter is Tab with dgEnterToTab.
    g->SetKeyOptions(g->KeyOptions() + TkxDBGridKeyOptions{dgEnterToTab});
    SendKey(g, VK_RETURN);
    at("C0003", 1);
    // With dgTabExitsOnLastCol Tab leaves the grid past its last column.
    TEdit* next = new TEdit(w.form);
    next->SetParent(w.form);
    next->SetBounds(0, 400, 100, 20);
    g->SetOptions(g->Options() + TkxDBGridOptions{dgTabExitsOnLastCol});
    SendKey(g, VK_END);
    SendKey(g, VK_TAB);
    EXPECT_EQ(w.form->ActiveControl(), next);
    EXPECT_EQ(w.Id(), "C0003");
}

TEST(GridInput, KeysTypedInAnEmbeddedControlReachTheGrid) {
    Window w;
    TkxDBGrid* g = w.grid;
    TEdit* embedded = new TEdit(w.form);
    embedded->SetParent(g);
    embedded->SetBounds(40, 40, 60, 18);
    embedded->SetFocus();
    SendKey(embedded, VK_DOWN);
    EXPECT_EQ(w.Id(), "C0002");
    EXPECT_EQ(w.form->ActiveControl(), g);
    // The edit's own keys stay with it.
    embedded->SetFocus();
    SendKey(embedded, VK_LEFT);
    EXPECT_EQ(g->Col(), 1);
    EXPECT_EQ(w.form->ActiveControl(), embedded);

    // Leaving the grid cancels an untouched inserted record.
    TEdit* other = new TEdit(w.form);
    other->SetParent(w.form);
    other->SetBounds(0, 400, 100, 20);
    g->SetFocus();
    SendKey(g, VK_INSERT);
    EXPECT_EQ(w.cds->State(), dsInsert);
    other->SetFocus();
    EXPECT_EQ(w.cds->State(), dsBrowse);
    EXPECT_EQ(w.cds->RecordCount(), 30);
}

TEST(GridInput, TitleButtonsClickAndDragWithoutClicking) {
    GridHarness h(CustomersDb(10));
    TStringList list = WindowColumnList();
    list.SetStrings(1, Ansi("CUST_ID\t8\t客戶代號\t\tPerson"));
    list.SetStrings(2, Ansi("CUST_NAME\t17\t客戶名稱\t\tPerson"));
    h.ShowLikeTheWindow();
    h.grid->SetSelected(list);
    h.grid->ApplyColumnList();
    TkxDBGrid* g = h.grid;
    g->SetTitleButtons(true);
    std::vector<AnsiString> titles;
    g->OnTitleButtonClick = [&](TObject*, const AnsiString& name) { titles.push_back(name); };
    std::vector<std::pair<int, int>> moves;
    g->OnColumnMoved = [&](TObject*, int from, int to) { moves.push_back({from, to}); };
    const TRect name = g->CellRect(3, 0);
    const int x = name.Left + 20, lower = name.Bottom - 3, upper = name.Top + 2;
    SendClick(g, x, lower);
    SendClick(g, x, upper);
    SendClick(g, g->CellRect(1, 0).Left + 5, lower);
    EXPECT_EQ(titles, (std::vector<AnsiString>{"CUST_NAME", "Person", "SELECT_YN"}));
    // Released over another title: no click.
    SendMouse(g, TMouseAction::Down, mbLeft, {}, x, lower);
    SendMouse(g, TMouseAction::Up, mbLeft, {}, g->CellRect(4, 0).Left + 5, lower);
    EXPECT_EQ(titles.size(), 3u);
    EXPECT_TRUE(moves.empty());

    // Dragged onto the first column: no click, the grouped pair moves, fields follow, the list not.
    SendMouse(g, TMouseAction::Down, mbLeft, {}, x, lower);
    SendMouse(g, TMouseAction::Move, mbLeft, {ssLeft}, x - 40, lower);
    SendMouse(g, TMouseAction::Move, mbLeft, {ssLeft}, g->CellRect(1, 0).Left + 3, lower);
    SendMouse(g, TMouseAction::Up, mbLeft, {}, g->CellRect(1, 0).Left + 3, lower);
    EXPECT_EQ(titles.size(), 3u);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0], std::make_pair(2, 0));
    std::vector<AnsiString> order;
    for (int i = 0; i < g->DataColumnCount(); ++i)
        order.push_back(g->MappedField(i)->FieldName());
    EXPECT_EQ(order, (std::vector<AnsiString>{"CUST_ID", "CUST_NAME", "SELECT_YN", "CUST_CLASSID"}));
    EXPECT_EQ(g->Selected().Lines(), list.Lines());
}

TEST(GridInput, LinkCellsOpenTheirAddress) {
    TestDatabase db("INSERT INTO CUSTOMER (CUST_ID, CUST_NAME) VALUES ('C1', 'Shop#www.kestrin.example#');"
                    "INSERT INTO CUSTOMER (CUST_ID, CUST_NAME) VALUES ('C2', 'Mail#sales@kestrin.example')");
    GridHarness h(db);
    h.grid->SetSelected(WindowColumnList());
    h.grid->SetControlType(TStringList{kWindowControlType, "CUST_NAME;URL-Link"});
    h.grid->SetDataSource(h.source);
    h.cds->Open();
    h.Show();
    TkxDBGrid* g = h.grid;
    std::vector<AnsiString> opened;
    ShellOpenHook = [&](const AnsiString& link) { return opened.push_back(link), true; };
    click(g, 3, 1);
    click(g, 3, 2);
    EXPECT_EQ(opened, (std::vector<AnsiString>{"www.kestrin.example", "MailTo:sales@kestrin.example"}));
    // A handler may take the click over.
    g->OnURLOpen = [](TObject*, AnsiString& link, TField* f, bool& useDefault) {
        useDefault = f->FieldName() != "CUST_NAME" || link.empty();
    };
    click(g, 3, 1);
    EXPECT_EQ(opened.size(), 2u);
    ShellOpenHook = nullptr;
    // The hand over a link cell, the grid's own cursor elsewhere.
    const TPoint p = centre(g, 3, 1), q = centre(g, 2, 1);
    SendMouse(g, TMouseAction::Move, mbLeft, {}, p.X, p.Y);
    EXPECT_EQ(g->Cursor(), crHandPoint);
    SendMouse(g, TMouseAction::Move, mbLeft, {}, q.X, q.Y);
    EXPECT_EQ(g->Cursor(), crDefault);
    // Leaving the grid from a link cell gives the grid its own cursor back.
    SendMouse(g, TMouseAction::Move, mbLeft, {}, p.X, p.Y);
    SendMouseLeave(g);
    EXPECT_EQ(g->Cursor(), crDefault);
    SendMouse(g, TMouseAction::Move, mbLeft, {}, p.X, p.Y);
    EXPECT_EQ(g->Cursor(), crHandPoint);
    // A new layout starts the hovering again.
    g->RebuildLayout();
    EXPECT_EQ(g->Cursor(), crDefault);

    EXPECT_EQ(TkxDBGrid::LinkToOpen("a@b.c"), "MailTo:a@b.c");
    EXPECT_EQ(TkxDBGrid::LinkToOpen("mailto:a@b.c"), "mailto:a@b.c");
    for (const char* plain : {"@b.c", "a@b", "www.x.org/@home", "first.last@x.org"})
        EXPECT_EQ(TkxDBGrid::LinkToOpen(plain), plain);
}

TEST(GridInput, MultiSelectionByClicksShiftRangesAndSpace) {
    Window w(40);
    TkxDBGrid* g = w.grid;
    g->SetOptions(g->Options() + TkxDBGridOptions{dgMultiSelect});
    g->SetMultiSelectOptions({msoShiftSelect});
    int refused = 0;
    bool accept = true;
    g->OnMultiSelectRecord = [&](TkxCustomDBGrid*, bool selecting, bool& a) {
        a = accept;
        refused += selecting && !accept;
    };
    click(g, 2, 2, {ssCtrl});
    click(g, 2, 5, {ssCtrl});
    EXPECT_EQ(g->SelectedCount(), 2);
    EXPECT_TRUE(g->IsRowSelected(1));
    EXPECT_FALSE(g->IsRowSelected(2));
    // A shift click adds the records from the anchor (the last Ctrl click) on; the rows stay put.
    const std::vector<AnsiString> shown = w.ColumnTexts(1);
    click(g, 2, 8, {ssShift});
    EXPECT_EQ(g->SelectedCount(), 5);
    EXPECT_EQ(w.Id(), "C0008");
    EXPECT_EQ(g->Row(), 8);
    EXPECT_EQ(w.ColumnTexts(1), shown);
    std::vector<AnsiString> ids;
    for (const TBookmark& b : g->SelectedBookmarks()) {
        w.cds->GotoBookmark(b);
        ids.push_back(w.Id());
    }
    w.cds->First();
    EXPECT_EQ(ids, (std::vector<AnsiString>{"C0002", "C0005", "C0006", "C0007", "C0008"}));
    // The export of the selected records only writes these.
    TkxExportOptions* eo = g->ExportOptions();
    eo->SetOptions({esoSaveSelectedOnly});
    eo->SetDelimiter(";");
    eo->SetFileName(MakeTempDir() + "/selected.txt");
    eo->RunExport();
    std::stringstream exported;
    exported << std::ifstream(eo->FileName()).rdbuf();
    std::string text = exported.str(), idsOut;
    for (size_t at = text.find(";C0"); at != std::string::npos; at = text.find(";C0", at + 1))
        idsOut += text.substr(at + 1, 5) + " ";
    EXPECT_EQ(idsOut, "C0002 C0005 C0006 C0007 C0008 ");
    // A Ctrl click unselects; a refused record stays out.
    click(g, 2, 6, {ssCtrl});
    EXPECT_FALSE(g->IsActiveRecordSelected());
    accept = false;
    click(g, 2, 6, {ssCtrl});
    EXPECT_FALSE(g->IsActiveRecordSelected());
    EXPECT_EQ(refused, 1);
    // Taking a record out is not refused.
    click(g, 2, 7, {ssCtrl});
    EXPECT_FALSE(g->IsActiveRecordSelected());
    accept = true;
    // Ctrl with Shift selects the range from the anchor (the last Ctrl click) as Shift alone does.
    click(g, 2, 9, {ssCtrl, ssShift});
    EXPECT_EQ(g->SelectedCount(), 5); // C0002, C0005 and C0007 to C0009

    // With msoAutoUnselect a plain click selects only its record, unless the clear is refused.
    g->SetMultiSelectOptions({msoAutoUnselect});
    click(g, 2, 9);
    EXPECT_EQ(g->SelectedCount(), 1);
    g->OnMultiSelectAllRecords = [](TkxCustomDBGrid*, bool, bool& a) { a = false; };
    click(g, 2, 10);
    EXPECT_EQ(g->SelectedCount(), 2);
    // With whole-row selection Space toggles the current record.
    g->SetOptions(g->Options() + TkxDBGridOptions{dgRowSelect});
    SendKey(g, VK_SPACE);
    EXPECT_EQ(g->SelectedCount(), 1);
    EXPECT_EQ(w.Tick(), "N");
}

TEST(GridInput, TheHintOfACutCellFollowsThePointerAndGoesWithAPress) {
    static TestDatabase db(
        "INSERT INTO CUSTOMER VALUES ('C001', 'Short', 'A');"
        "INSERT INTO CUSTOMER VALUES ('C002', 'A name far too long for seventeen columns', 'B')");
    GridHarness h(db);
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    auto shown = [g] { return g->CellHintWindow() && g->CellHintWindow()->Visible(); };
    // Not without dgShowCellHint.
    moveTo(g, 3, 2);
    EXPECT_FALSE(shown());
    g->SetOptions(g->Options() + TkxDBGridOptions{dgShowCellHint});
    moveTo(g, 3, 1); // a name that fits
    EXPECT_FALSE(shown());
    moveTo(g, 3, 2);
    ASSERT_TRUE(shown());
    EXPECT_EQ(g->CellHintWindow()->Text(), "A name far too long for seventeen columns");
    // Onto the title: the hint goes.
    moveTo(g, 3, 0);
    EXPECT_FALSE(shown());
    moveTo(g, 3, 2);
    ASSERT_TRUE(shown());
    // A press hides it, whichever button.
    const TPoint p = centre(g, 3, 2);
    SendMouse(g, TMouseAction::Down, mbRight, {}, p.X, p.Y);
    EXPECT_FALSE(shown());
    SendMouse(g, TMouseAction::Up, mbRight, {}, p.X, p.Y);
}

TEST(GridInput, TitlesUnderThePointerAreRepaintedOnlyInTheThemedLook) {
    Window w;
    TkxDBGrid* g = w.grid;
    g->SetTitleButtons(true);
    PaintedCells painted(g);
    // A title comes with the first data cell below it, which shares its lower line.
    EXPECT_EQ(painted.after([&] { moveTo(g, 2, 0); }), (Cells{{1, -1}, {1, 0}}));
    EXPECT_EQ(painted.after([&] { moveTo(g, 3, 0); }), (Cells{{1, -1}, {1, 0}, {2, -1}, {2, 0}}));
    // A held button tracks nothing.
    const TPoint p = centre(g, 4, 0);
    EXPECT_EQ(painted.after([&] { SendMouse(g, TMouseAction::Move, mbLeft, {ssLeft}, p.X, p.Y); }), Cells{});
    EXPECT_EQ(painted.after([&] { moveTo(g, 3, 4); }), (Cells{{2, -1}, {2, 0}}));
    // Leaving the grid puts a hot title out; a second leave has nothing to repaint.
    moveTo(g, 4, 0);
    EXPECT_EQ(painted.after([&] { SendMouseLeave(g); }), (Cells{{3, -1}, {3, 0}}));
    EXPECT_EQ(painted.after([&] { SendMouseLeave(g); }), Cells{});
    // The classic look has no hot title: moving over the titles repaints nothing.
    g->SetDisableThemes(true);
    EXPECT_EQ(painted.after([&] {
        moveTo(g, 2, 0);
        moveTo(g, 3, 0);
        moveTo(g, 3, 4);
    }),
              Cells{});
}

TEST(GridInput, AGroupsBandIsHotOverAnyOfItsColumnsAndATitleInItsOwnHalf) {
    GridHarness h(CustomersDb(5));
    TkxDBGrid* g = h.grid;
    g->SetUseTFields(false);
    g->SetSelected(TStringList{"CUST_ID\t10\tId\tF\tWho", "CUST_NAME\t10\tName\tF\tWho",
                               "CUST_CLASSID\t10\tClass\tF"});
    g->SetTitleButtons(true);
    g->SetDataSource(h.source);
    h.cds->Open();
    h.Show();
    const TRect band = g->GroupBandRect(0), second = g->CellRect(2, 0);
    const TPoint overFirst{band.Left + 3, band.Top + 3}, ownHalf{second.Left + 3, second.Bottom - 3};
    const GridPicture cold(g, "band-cold");
    // The pointer in the band over the second column lights the band over the first one too.
    SendMouse(g, TMouseAction::Move, mbLeft, {}, second.Left + 20, band.Top + 3);
    const GridPicture bandHot(g, "band-hot");
    EXPECT_NE(bandHot.At(overFirst.X, overFirst.Y), cold.At(overFirst.X, overFirst.Y));
    EXPECT_EQ(bandHot.At(ownHalf.X, ownHalf.Y), cold.At(ownHalf.X, ownHalf.Y));
    // In the column's own half only its title is lit.
    SendMouse(g, TMouseAction::Move, mbLeft, {}, second.Left + 20, second.Bottom - 3);
    const GridPicture titleHot(g, "title-hot");
    EXPECT_EQ(titleHot.At(overFirst.X, overFirst.Y), cold.At(overFirst.X, overFirst.Y));
    EXPECT_NE(titleHot.At(ownHalf.X, ownHalf.Y), cold.At(ownHalf.X, ownHalf.Y));
    // Pressed in the band over the second column, the band looks pressed over the first one too.
    SendMouse(g, TMouseAction::Move, mbLeft, {}, second.Left + 20, band.Top + 3);
    const GridPicture hotAgain(g, "band-hot-again");
    SendMouse(g, TMouseAction::Down, mbLeft, {}, second.Left + 20, band.Top + 3);
    const GridPicture pressed(g, "band-pressed");
    EXPECT_NE(pressed.At(overFirst.X, overFirst.Y), hotAgain.At(overFirst.X, overFirst.Y));
    EXPECT_NE(pressed.At(overFirst.X, overFirst.Y), cold.At(overFirst.X, overFirst.Y));
    SendMouse(g, TMouseAction::Up, mbLeft, {}, second.Left + 20, band.Top + 3);
}

TEST(GridInput, GainingTheFocusRepaintsTheSelectionAndTheRowOnlyForItsOwnColour) {
    Window w;
    TkxDBGrid* g = w.grid;
    TEdit* other = new TEdit(w.form);
    other->SetParent(w.form);
    other->SetBounds(0, 400, 100, 20);
    SendKey(g, VK_RIGHT);
    SendKey(g, VK_DOWN);
    const int col = g->Col() - 1, row = g->Row() - 1;
    ASSERT_EQ(col, 1);
    ASSERT_EQ(row, 1);
    PaintedCells painted(g);
    auto refocus = [&] {
        other->SetFocus();
        return painted.after([&] { g->SetFocus(); });
    };
    // Cells of data columns c0 to c1 in the current row, with the rows above and below it that share
    // its row lines.
    auto around = [&](int c0, int c1) {
        Cells cells;
        for (int c = c0; c <= c1; ++c)
            for (int r = row - 1; r <= row + 1; ++r)
                cells.insert({c, r});
        return cells;
    };
    // The current cell alone changes with the focus.
    EXPECT_EQ(refocus(), around(col, col));
    EXPECT_EQ(StalePixels(g), 0);
    // The active-record colour highlights the whole row while the grid has the focus.
    g->PaintOptions()->SetActiveRecordColor(clAqua);
    EXPECT_EQ(refocus(), around(-1, 3));
    EXPECT_EQ(StalePixels(g), 0);
    // ... and all the time with dgAlwaysShowSelection.
    g->SetOptions(g->Options() + TkxDBGridOptions{dgAlwaysShowSelection});
    EXPECT_EQ(refocus(), around(col, col));
    EXPECT_EQ(StalePixels(g), 0);
    // Whole-row selection: the selection is the row's data cells.
    g->PaintOptions()->SetActiveRecordColor(clNone);
    g->SetOptions(kxDefaultGridOptions + TkxDBGridOptions{dgRowSelect});
    EXPECT_EQ(refocus(), around(0, 3));
    EXPECT_EQ(StalePixels(g), 0);
    // Losing the focus repaints the row too.
    const Cells lost = painted.after([&] { other->SetFocus(); });
    const Cells wholeRow = around(-1, 3);
    EXPECT_TRUE(std::includes(lost.begin(), lost.end(), wholeRow.begin(), wholeRow.end()));
    EXPECT_EQ(StalePixels(g), 0);
}
