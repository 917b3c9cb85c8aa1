// The in-place cell editor over real customers: when it shows and what it takes, the transfer of its
// text into the field (on a row change, a column change, a post), Escape's reload, Enter as Tab, the
// date and number scans, picture masks at each keystroke, input-method text, the date/time picker.
#include "core/Exception.h"
#include "grid/KxDBDateTimePicker.h"
#include "grid/KxInplaceEdit.h"
#include "grid/support/GridFixture.h"
#include "grid/support/KxIntl.h"
#include "ui/Clipboard.h"
#include "ui/Dialogs.h"
#include "ui/Edit.h"
#include "ui/Input.h"

#include <QClipboard>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QWidget>
#include <gtest/gtest.h>

#include <ctime>

namespace {
// Data columns of the window's grid.
constexpr int kSelect = 0, kId = 1, kName = 2, kClass = 3;

// A table with a date, a float and an integer column.
const TestDatabase& typedDb() {
    static TestDatabase db("CREATE TABLE TYPED (ID VARCHAR(10) NOT NULL PRIMARY KEY, BDATE DATE, "
                           "AMOUNT DOUBLE PRECISION, QTY INTEGER, NAME VARCHAR(20));"
                           "INSERT INTO TYPED VALUES ('T1', '2024-01-01', 10, 7, 'one');"
                           "INSERT INTO TYPED VALUES ('T2', '2024-01-02', 20, 8, 'two')");
    return db;
}
const char* const kTypedSql = "select ID, BDATE, AMOUNT, QTY, NAME from TYPED order by ID";
// Data columns of that statement.
constexpr int kDate = 1, kAmount = 2, kQty = 3;

TkxInplaceEdit* editorOf(const GridHarness& h) {
    return dynamic_cast<TkxInplaceEdit*>(h.grid->InplaceEditor());
}

// Counts the beeps while it lives.
struct Beeps {
    int count = 0;
    Beeps() {
        MessageBeepHook = [this] { ++count; };
    }
    ~Beeps() { MessageBeepHook = nullptr; }
    int take() { return std::exchange(count, 0); }
};

// The locale's date and number settings for one test.
struct FormatScope {
    TFormatSettings saved = FormatSettings();
    FormatScope(const char* shortDate, char dateSeparator) {
        FormatSettings().ShortDateFormat = shortDate;
        FormatSettings().DateSeparator = dateSeparator;
    }
    ~FormatScope() { FormatSettings() = saved; }
};

int currentYear() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_year + 1900;
}

// Opens the editor on a data column with F2.
void editColumn(GridHarness& h, int dataCol) {
    h.grid->SelectColumn(dataCol);
    SendKey(h.grid, VK_F2);
}

void paste(const AnsiString& text) {
    Clipboard().SetAsText(text);
    SendKey(nullptr, 'V', {ssCtrl});
}
} // namespace

TEST(InplaceEdit, ALetterInTheNameOpensTheEditorAndTheRowChangePostsIt) {
    GridHarness h(CustomersDb(10));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    std::vector<std::string> changed;
    g->OnFieldChanged = [&](TObject*, TField* f) { changed.push_back(f->FieldName()); };
    g->SelectColumn(kName);
    SendKey(g, 'A');
    ASSERT_TRUE(g->EditorShowing());
    EXPECT_EQ(editorOf(h)->Text(), "a");
    EXPECT_EQ(h.cds->State(), dsEdit);
    EXPECT_TRUE(g->DataLink().Modified());
    EXPECT_EQ(h.Field("CUST_NAME")->AsString(), Ansi("外功客1")); // not written yet
    SendKey(nullptr, 'B', {ssShift});
    EXPECT_EQ(g->PendingEditText(), "aB");

    // Down in the editor: the grid moves on, the dataset writes the text and posts it.
    SendKey(nullptr, VK_DOWN);
    EXPECT_EQ(h.cds->State(), dsBrowse);
    EXPECT_EQ(h.cds->RecNo(), 2);
    EXPECT_EQ(changed, std::vector<std::string>{"CUST_NAME"});
    EXPECT_FALSE(g->DataLink().Modified());
    h.cds->First();
    EXPECT_EQ(h.Field("CUST_NAME")->AsString(), "aB");
    EXPECT_FALSE(g->FieldChangedMark());

    // Text typed back to what the field holds is written, but reports no change.
    changed.clear();
    SendKey(g, 'X');
    SendKey(nullptr, VK_BACK);
    for (char c : std::string("aB"))
        SendKey(nullptr, Word(c >= 'a' ? c - 32 : c), c >= 'a' ? TShiftState{} : TShiftState{ssShift});
    h.cds->Post();
    EXPECT_TRUE(changed.empty());
    EXPECT_EQ(h.Field("CUST_NAME")->AsString(), "aB");
}

TEST(InplaceEdit, ReadOnlyColumnsGridsAndControlCells) {
    GridHarness h(CustomersDb(10));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    // The class column is read-only in the column list: the editor opens, the letter is dropped
    // without a beep, the dataset stays browsing.
    Beeps beeps;
    g->SelectColumn(kClass);
    SendKey(g, 'B');
    ASSERT_TRUE(g->EditorShowing());
    EXPECT_EQ(editorOf(h)->Text(), "A");
    EXPECT_EQ(h.cds->State(), dsBrowse);
    EXPECT_FALSE(g->DataLink().Modified());
    EXPECT_EQ(beeps.count, 0);
    SendKey(nullptr, VK_BACK);
    SendKey(nullptr, 'V', {ssCtrl});
    EXPECT_EQ(editorOf(h)->Text(), "A");
    EXPECT_EQ(h.cds->State(), dsBrowse);

    // A read-only grid takes nothing either.
    g->SetReadOnly(true);
    g->SelectColumn(kName);
    SendKey(g, 'Q');
    EXPECT_EQ(h.cds->State(), dsBrowse);
    EXPECT_EQ(h.Field("CUST_NAME")->AsString(), Ansi("外功客1"));
    g->SetReadOnly(false);

    // F2 on the check box opens no editor.
    g->HideEditor();
    g->SelectColumn(kSelect);
    SendKey(g, VK_F2);
    EXPECT_FALSE(g->EditorShowing());
    EXPECT_FALSE(g->CanEditShow());

    // With ecoDisableEditorIfReadOnly neither a click nor Delete opens it on the class column.
    g->SetEditControlOptions(g->EditControlOptions() + TkxEditControlOptions{ecoDisableEditorIfReadOnly});
    g->SelectColumn(kClass);
    SendKey(g, VK_DELETE);
    EXPECT_FALSE(g->EditorShowing());
    const TRect cell = g->CellRect(g->Col(), g->Row());
    SendClick(g, cell.Left + 5, cell.Top + 5);
    EXPECT_FALSE(g->EditorShowing());
    g->SelectColumn(kName);
    SendKey(g, VK_DELETE);
    EXPECT_TRUE(g->EditorShowing());
}

// Shift+Insert and a drop go through the grid's modify rule as typing does: refused in the
// read-only class column, in the name column they put the dataset into edit state. No clipboard
// owner at all is survived.
TEST(InplaceEdit, PasteAndDropTakeTheTypingRule) {
    GridHarness h(CustomersDb(10));
    h.ShowLikeTheWindow();
    auto drop = [&](const char* text) {
        QWidget* w = editorOf(h)->Widget();
        if (auto* m = dynamic_cast<QPlainTextEdit*>(w)) w = m->viewport();
        QMimeData data;
        data.setText(QString::fromUtf8(text));
        QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &data, Qt::NoButton, Qt::NoModifier);
        QGuiApplication::sendEvent(w, &enter);
        QDropEvent e(QPointF(2, 2), Qt::CopyAction, &data, Qt::NoButton, Qt::NoModifier);
        QGuiApplication::sendEvent(w, &e);
    };
    Clipboard().SetAsText("Clip");
    editColumn(h, kClass);
    SendKey(nullptr, VK_INSERT, {ssShift});
    drop("Drop");
    EXPECT_EQ(editorOf(h)->Text(), "A");
    EXPECT_EQ(h.cds->State(), dsBrowse);
    QGuiApplication::clipboard()->clear();
    editColumn(h, kName);
    SendKey(nullptr, VK_INSERT, {ssShift});
    SendKey(nullptr, VK_END);
    drop("Drop");
    EXPECT_EQ(editorOf(h)->Text(), Ansi("外功客1Drop"));
    EXPECT_EQ(h.cds->State(), dsEdit);
}

TEST(InplaceEdit, AnEmptyDatasetGetsARecordOnlyWithAllowInsert) {
    GridHarness h(CustomersDb(0));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    g->SetKeyOptions({dgAllowDelete});
    g->SelectColumn(kName);
    SendKey(g, 'A');
    ASSERT_TRUE(g->EditorShowing());
    EXPECT_EQ(editorOf(h)->Text(), "");
    EXPECT_EQ(h.cds->State(), dsBrowse);
    g->HideEditor();
    g->SetKeyOptions({dgAllowDelete, dgAllowInsert});
    SendKey(g, 'A');
    EXPECT_EQ(h.cds->State(), dsInsert);
    EXPECT_EQ(editorOf(h)->Text(), "a");
    h.cds->Cancel();
}

TEST(InplaceEdit, AFixedColumnsEditorKeepsItsColumnLine) {
    GridHarness h(CustomersDb(10));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    g->SetOptions(g->Options() + TkxDBGridOptions{dgFixedEditable});
    g->SetFixedCols(2);
    editColumn(h, kId);
    ASSERT_TRUE(g->EditorShowing());
    ASSERT_LT(g->Col(), g->TCustomGrid::FixedCols());
    const TRect cell = g->CellRect(g->Col(), g->Row());
    EXPECT_EQ(editorOf(h)->BoundsRect(), Rect(cell.Left + 1, cell.Top, cell.Right, cell.Bottom));
    g->HideEditor();
    g->SetOptions(g->Options() - TkxDBGridOptions{dgColLines});
    SendKey(g, VK_F2);
    const TRect lineless = g->CellRect(g->Col(), g->Row());
    EXPECT_EQ(editorOf(h)->BoundsRect(), Rect(lineless.Left + 1, lineless.Top, lineless.Right - 1, lineless.Bottom));
}

TEST(InplaceEdit, LengthLimitsAndCharactersTheFieldTakes) {
    {
        GridHarness h(CustomersDb(10));
        h.ShowLikeTheWindow();
        // CUST_ID holds 10 bytes: the eleventh character does not go in.
        editColumn(h, kId);
        EXPECT_EQ(editorOf(h)->MaxLength(), 10);
        SendText(nullptr, "ABCDEFGHIJKL");
        EXPECT_EQ(editorOf(h)->Text(), "ABCDEFGHIJ");
        // A double-byte character needs room for both bytes.
        SendKey(nullptr, VK_BACK);
        SendText(nullptr, Ansi("中"));
        EXPECT_EQ(editorOf(h)->Text(), "ABCDEFGHI");
        h.cds->Post();
        EXPECT_EQ(h.Field("CUST_ID")->AsString(), "ABCDEFGHI");
    }
    GridHarness h(typedDb(), kTypedSql);
    h.grid->SetDataSource(h.source);
    h.cds->Open();
    h.Show();
    Beeps beeps;
    // A number has no limit and takes digits and signs only; a Chinese character is refused whole
    // (叉's second byte is the code of "e", which a float field would take on its own).
    editColumn(h, kAmount);
    EXPECT_EQ(editorOf(h)->MaxLength(), 0);
    SendText(nullptr, "12");
    SendKey(nullptr, 'X');
    SendText(nullptr, Ansi("叉"));
    SendText(nullptr, "345678901234567890");
    EXPECT_EQ(editorOf(h)->Text(), "12345678901234567890");
    EXPECT_EQ(beeps.take(), 2);
}

TEST(InplaceEdit, EscapeRestoresTheTextThenDiscardsTheRecordOnConfirmation) {
    GridHarness h(CustomersDb(10));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    TkxGridDataLink& link = g->DataLink();
    std::vector<AnsiString> asked;
    MessageBoxHook = [&](const AnsiString& text, const AnsiString&, unsigned) {
        asked.push_back(text);
        return IDYES;
    };
    // Escape in the editor is the grid's key.
    std::vector<Word> gridKeys;
    g->OnKeyDown = [&](TObject*, Word& key, TShiftState) {
        gridKeys.push_back(key);
        if (key == VK_ESCAPE) key = 0;
    };
    g->SelectColumn(kId);
    SendKey(g, 'Z'); // CUST_ID becomes "z" ...
    g->SelectColumn(kName);
    EXPECT_EQ(h.Field("CUST_ID")->AsString(), "z"); // ... written when the column changes
    SendKey(g, 'Q');
    SendKey(nullptr, VK_ESCAPE);
    ASSERT_FALSE(gridKeys.empty());
    EXPECT_EQ(gridKeys.back(), VK_ESCAPE);
    EXPECT_EQ(editorOf(h)->Text(), "q");

    // The grid's Escape: the first takes the typing back, nothing selected after it ...
    link.ResetEdit();
    EXPECT_EQ(editorOf(h)->Text(), Ansi("外功客1"));
    EXPECT_EQ(editorOf(h)->SelLength(), 0);
    EXPECT_FALSE(link.Modified());
    EXPECT_EQ(h.cds->State(), dsEdit);
    EXPECT_TRUE(asked.empty());
    // ... and nothing of it is written later.
    link.UpdateRecord();
    EXPECT_EQ(h.Field("CUST_NAME")->AsString(), Ansi("外功客1"));
    // The second asks, and Yes discards the record's changes.
    link.ResetEdit();
    EXPECT_EQ(asked, std::vector<AnsiString>{"Discard changes to this record?"});
    EXPECT_EQ(h.cds->State(), dsBrowse);
    EXPECT_EQ(h.Field("CUST_ID")->AsString(), "C0001");
    MessageBoxHook = nullptr;

    // A field changed from outside reloads the showing editor.
    h.cds->Edit();
    h.Field("CUST_NAME")->SetAsString("outside");
    EXPECT_EQ(editorOf(h)->Text(), "outside");
    EXPECT_TRUE(g->FieldChangedMark());
    h.cds->Cancel();
}

TEST(InplaceEdit, EnterToTabMovesToTheNextTabStopWithTheTextWritten) {
    GridHarness h(CustomersDb(10));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    g->SetKeyOptions({dgEnterToTab, dgAllowDelete, dgAllowInsert});
    g->SelectColumn(kId);
    SendKey(g, 'K');
    SendKey(nullptr, VK_RETURN);
    EXPECT_EQ(g->Col(), kName + g->IndicatorOffset());
    EXPECT_EQ(h.Field("CUST_ID")->AsString(), "k");
    EXPECT_EQ(h.cds->State(), dsEdit);
    EXPECT_EQ(h.cds->RecNo(), 1);
}

TEST(InplaceEdit, TheEditorWrapsSitsOverTheCellAndFollowsTheOptions) {
    GridHarness h(CustomersDb(10));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    editColumn(h, kName);
    TkxInplaceEdit* editor = editorOf(h);
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->WordWrap()); // dgWordWrap is a default option
    EXPECT_EQ(editor->BoundsRect(), g->CellRect(g->Col(), g->Row()));
    EXPECT_EQ(editor->Text(), Ansi("外功客1"));
    EXPECT_EQ(editor->SelLength(), int(editor->Text().size()));
    // Typing into a wrapping editor edits as a one-line editor does.
    SendText(nullptr, Ansi("客戶"));
    SendKey(nullptr, VK_BACK);
    SendKey(nullptr, 'S');
    EXPECT_EQ(editor->Text(), Ansi("客") + "s");
    h.cds->Post();
    EXPECT_EQ(h.Field("CUST_NAME")->AsString(), Ansi("客") + "s");
    // Filled again without the option: one line.
    g->HideEditor();
    g->SetOptions(g->Options() - TkxDBGridOptions{dgWordWrap});
    SendKey(g, VK_F2);
    EXPECT_FALSE(editor->WordWrap());
    EXPECT_EQ(editor->Text(), Ansi("客") + "s");
    SendKey(nullptr, 'T');
    EXPECT_EQ(editor->Text(), "t");
}

TEST(InplaceEdit, DateScan) {
    FormatScope dayFirst("dd/mm/yyyy", '/');
    struct Case {
        const char* text;
        int y, m, d; // 0: no date
    };
    const int year = currentYear();
    const Case cases[] = {
        {"5/3/24", 2024, 3, 5},
        {"5/3/75", 1975, 3, 5},
        {"5/3/49", 2049, 3, 5},
        {"5/3/50", 1950, 3, 5},
        {"5/3/00", 2000, 3, 5},
        {"5/3", year, 3, 5},
        {" 5 / 3 / 2024 ", 2024, 3, 5},
        {"5/mar/2024", 2024, 3, 5},
        {"5/MAR", year, 3, 5},
        {"29/2/2024", 2024, 2, 29},
        {"05/03/0024", 2024, 3, 5},
        {"1/1/1", 2001, 1, 1},
        {"31/12/9999", 9999, 12, 31},
        {"31/2/2024", 0, 0, 0},
        {"29/2/2023", 0, 0, 0},
        {"0/3/2024", 0, 0, 0},
        {"5/13/2024", 0, 0, 0},
        {"5", 0, 0, 0},
        {"5/", 0, 0, 0},
        {"5/3/", 0, 0, 0},
        {"5/3/24x", 0, 0, 0},
        {"5/3/2024/1", 0, 0, 0},
        {"5-3-2024", 0, 0, 0},
        {"12345/1/1", 0, 0, 0},
        {"5/Maz/2024", 0, 0, 0},
        {"", 0, 0, 0},
        {"1/1/10000", 0, 0, 0},
        {"5/3/24 10:00", 0, 0, 0},
    };
    for (const Case& c : cases) {
        TDateTime v = -1;
        const bool ok = TkxCustomDBGrid::ScanDate(c.text, v);
        EXPECT_EQ(ok, c.y != 0) << c.text;
        if (ok && c.y) {
            EXPECT_EQ(v, EncodeDate(c.y, c.m, c.d)) << c.text;
        }
    }
    // The order follows the short date format's first D, M or Y.
    TDateTime v;
    FormatSettings().ShortDateFormat = "yyyy-mm-dd";
    ASSERT_TRUE(TkxCustomDBGrid::ScanDate("2024/3/5", v));
    EXPECT_EQ(v, EncodeDate(2024, 3, 5));
    ASSERT_TRUE(TkxCustomDBGrid::ScanDate("3/5", v)); // two numbers: month, day
    EXPECT_EQ(v, EncodeDate(year, 3, 5));
    FormatSettings().ShortDateFormat = "m/d/yy";
    ASSERT_TRUE(TkxCustomDBGrid::ScanDate("3/5/24", v));
    EXPECT_EQ(v, EncodeDate(2024, 3, 5));
    FormatSettings().ShortDateFormat = "";
    ASSERT_TRUE(TkxCustomDBGrid::ScanDate("3/5/24", v));
    EXPECT_EQ(v, EncodeDate(2024, 3, 5));
    // Another separator and another pivot.
    FormatSettings().DateSeparator = '.';
    FormatSettings().ShortDateFormat = "dd.mm.yyyy";
    ASSERT_TRUE(TkxCustomDBGrid::ScanDate("5.3.75", v, 2000));
    EXPECT_EQ(v, EncodeDate(2075, 3, 5));
    EXPECT_FALSE(TkxCustomDBGrid::ScanDate("5/3/75", v));
}

TEST(InplaceEdit, NumberScan) {
    struct Case {
        const char* text;
        const char* format;
        bool ok;
        double value;
    };
    const Case cases[] = {
        {"1,234.50", "#,##0.00", true, 1234.5},
        {"(12.00)", "#,##0.00;(#,##0.00)", true, -12},
        {"(12.00)", "#,##0.00", true, -12},
        {"-1,234.50", "#,##0.00", true, -1234.5},
        {"$ 1,234.50", "$ #,##0.00", true, 1234.5},
        {"12.00CR", "0.00;0.00CR", true, -12},
        {"12.00", "0.00;0.00CR", true, 12},
        {"abc", "0.00", false, 0},
        {"-", "0.00", false, 0},
        {"1.2.3", "0.00", false, 0},
        {"- x 5", "0", true, -5},
        {".5", "0.00", true, 0.5},
        {"0", "0.00", true, 0},
    };
    for (const Case& c : cases) {
        double v = -99;
        EXPECT_EQ(TkxCustomDBGrid::ScanNumber(c.text, c.format, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_DOUBLE_EQ(v, c.value) << c.text;
        }
    }
    // The locale's decimal separator is the one read; the other is dropped as grouping.
    TFormatSettings saved = FormatSettings();
    FormatSettings().DecimalSeparator = ',';
    FormatSettings().ThousandSeparator = '.';
    double v;
    ASSERT_TRUE(TkxCustomDBGrid::ScanNumber("1.234,50", "#,##0.00", v));
    EXPECT_DOUBLE_EQ(v, 1234.5);
    FormatSettings() = saved;
}

TEST(InplaceEdit, DatesAndNumbersReachTheirFieldsThroughTheScans) {
    FormatScope dayFirst("dd/mm/yyyy", '/');
    GridHarness h(typedDb(), kTypedSql);
    h.grid->SetEditControlOptions({ecoSearchOwnerForm, ecoDisableDateTimePicker});
    h.grid->SetDataSource(h.source);
    h.cds->Open();
    h.Show();
    TField* date = h.Field("BDATE");
    ASSERT_TRUE(date->InheritsFrom("TDateTimeField"));
    auto typeDate = [&](const char* text) {
        editColumn(h, kDate);
        SendText(nullptr, text);
    };
    typeDate("5/3/24");
    h.cds->Post();
    EXPECT_EQ(date->AsDateTime(), EncodeDate(2024, 3, 5));
    typeDate("5/3/75");
    h.cds->Post();
    EXPECT_EQ(date->AsDateTime(), EncodeDate(1975, 3, 5));
    typeDate("5/3");
    h.cds->Post();
    EXPECT_EQ(date->AsDateTime(), EncodeDate(currentYear(), 3, 5));
    // No date for the scan: the field's own conversion says why, the record stays in edit state and
    // the text stays pending, to be corrected.
    typeDate("31/2/2024");
    try {
        h.cds->Post();
        ADD_FAILURE() << "posted";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'31/2/2024' is not a valid date");
    }
    EXPECT_EQ(h.cds->State(), dsEdit);
    EXPECT_TRUE(h.grid->DataLink().Modified());
    EXPECT_EQ(editorOf(h)->Text(), "31/2/2024");
    editorOf(h)->SelectAll();
    SendText(nullptr, "1/3/2023");
    h.cds->Post();
    EXPECT_EQ(date->AsDateTime(), EncodeDate(2023, 3, 1));

    // Numbers with a display format: grouping, brackets, halves to even.
    dynamic_cast<TNumericField*>(h.Field("AMOUNT"))->SetDisplayFormat("#,##0.00;(#,##0.00)");
    dynamic_cast<TNumericField*>(h.Field("QTY"))->SetDisplayFormat("#,##0");
    auto pasteInto = [&](int col, const char* text) {
        editColumn(h, col);
        paste(text);
        h.cds->Post();
    };
    pasteInto(kAmount, "1,234.50");
    EXPECT_EQ(h.Field("AMOUNT")->AsFloat(), 1234.5);
    pasteInto(kAmount, "(12.00)");
    EXPECT_EQ(h.Field("AMOUNT")->AsFloat(), -12);
    pasteInto(kQty, "2.5");
    EXPECT_EQ(h.Field("QTY")->AsInteger(), 2);
    pasteInto(kQty, "3.5");
    EXPECT_EQ(h.Field("QTY")->AsInteger(), 4);
    pasteInto(kQty, "1,234");
    EXPECT_EQ(h.Field("QTY")->AsInteger(), 1234);
    // Without a display format the field reads the text itself.
    dynamic_cast<TNumericField*>(h.Field("QTY"))->SetDisplayFormat("");
    editColumn(h, kQty);
    paste("2.5");
    EXPECT_THROW(h.cds->Post(), EConvertError);
    h.cds->Cancel();
}

TEST(InplaceEdit, APictureMaskRejectsAKeystrokeWithABeepAndStopsThePost) {
    GridHarness h(CustomersDb(10));
    h.grid->SetPictureMasks(TStringList{"CUST_ID\t&###\tT\tT"});
    h.ShowLikeTheWindow();
    std::vector<bool> checks;
    h.grid->OnCheckValue = [&](TPersistent* sender, bool passes) {
        EXPECT_EQ(sender, h.grid->InplaceEditor());
        checks.push_back(passes);
    };
    Beeps beeps;
    editColumn(h, kId);
    TkxInplaceEdit* editor = editorOf(h);
    ASSERT_TRUE(editor->UsePicture());
    EXPECT_EQ(editor->Picture().PictureMask(), "&###");
    EXPECT_EQ(checks, std::vector<bool>{false}); // "C0001" fails the mask
    checks.clear();
    SendKey(nullptr, 'C');
    SendKey(nullptr, 'X'); // a digit is due: refused
    SendKey(nullptr, '1');
    EXPECT_EQ(beeps.take(), 1);
    EXPECT_EQ(editor->Text(), "C1"); // the mask stores its letter upper-case
    EXPECT_EQ(checks, (std::vector<bool>{false, false}));
    // Incomplete: the post is refused with the mask error, the text stays.
    try {
        h.cds->Post();
        ADD_FAILURE() << "posted";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Invalid input value.  Use escape key to abandon changes");
    }
    EXPECT_EQ(beeps.take(), 1);
    EXPECT_EQ(h.cds->State(), dsEdit);
    EXPECT_EQ(h.Field("CUST_ID")->AsString(), "C0001");
    SendKey(nullptr, '2');
    SendKey(nullptr, '3');
    SendKey(nullptr, '4'); // past the picture
    EXPECT_EQ(beeps.take(), 1);
    EXPECT_EQ(checks.back(), true);
    h.cds->Post();
    EXPECT_EQ(h.Field("CUST_ID")->AsString(), "C123");
    // A mask whose use flag is off is not applied.
    h.grid->SetPictureMasks(TStringList{"CUST_NAME\t###"});
    editColumn(h, kName);
    EXPECT_FALSE(editorOf(h)->UsePicture());
    SendKey(nullptr, 'Z');
    EXPECT_EQ(beeps.count, 0);
    EXPECT_EQ(editorOf(h)->Text(), "z");
}

TEST(InplaceEdit, ChineseFromAnInputMethodReachesTheFieldAsBig5) {
    GridHarness h(CustomersDb(10));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    Beeps beeps;
    g->SelectColumn(kName);
    // The composition on the grid opens nothing; its commit opens the editor as a typed letter does.
    SendInputMethod(g, "zhang", "");
    EXPECT_FALSE(g->EditorShowing());
    EXPECT_EQ(h.cds->State(), dsBrowse);
    SendInputMethod(g, "", "張三");
    ASSERT_TRUE(g->EditorShowing());
    EXPECT_EQ(h.cds->State(), dsEdit);
    EXPECT_EQ(editorOf(h)->Text(), "\xB1\x69\xA4\x54");
    // Inside the editor it composes and commits as any edit box.
    SendInputMethod(nullptr, "feng", "");
    EXPECT_EQ(editorOf(h)->Text(), "\xB1\x69\xA4\x54");
    SendInputMethod(nullptr, "", "豐");
    EXPECT_EQ(editorOf(h)->Text(), Ansi("張三豐"));
    EXPECT_EQ(beeps.count, 0);
    SendKey(nullptr, VK_DOWN);
    h.cds->First();
    EXPECT_EQ(h.Field("CUST_NAME")->AsString(), Ansi("張三豐"));
}

TEST(InplaceEdit, ACharacterBig5LacksIsRefusedWithABeepAndNeverBecomesAQuestionMark) {
    GridHarness h(CustomersDb(10));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    Beeps beeps;
    g->SelectColumn(kName);
    // Only what Big5 lacks is refused: the simplified 张 goes, 三 opens the editor.
    SendInputMethod(g, "", "张三");
    EXPECT_EQ(beeps.take(), 1);
    ASSERT_TRUE(g->EditorShowing());
    EXPECT_EQ(editorOf(h)->Text(), Ansi("三"));
    SendInputMethod(nullptr, "", "😀");
    EXPECT_EQ(beeps.take(), 1);
    EXPECT_EQ(editorOf(h)->Text(), Ansi("三"));
    // Pasted text loses only those characters, with a beep.
    QGuiApplication::clipboard()->setText(QString::fromUtf8("张三豐"));
    SendKey(nullptr, 'V', {ssCtrl});
    EXPECT_EQ(beeps.take(), 1);
    EXPECT_EQ(editorOf(h)->Text(), Ansi("三三豐"));
    h.cds->Post();
    EXPECT_EQ(h.Field("CUST_NAME")->AsString(), Ansi("三三豐"));
    // A refused character alone on the grid opens no editor.
    g->HideEditor();
    SendInputMethod(g, "", "张");
    EXPECT_EQ(beeps.take(), 1);
    EXPECT_FALSE(g->EditorShowing());
    EXPECT_FALSE(g->DataLink().Modified());
    EXPECT_EQ(h.cds->State(), dsBrowse);
}

TEST(InplaceEdit, TheDateTimePickerCoversADateCellAndWritesItsField) {
    FormatScope dayFirst("dd/mm/yyyy", '/');
    GridHarness h(typedDb(), kTypedSql);
    int made = 0;
    h.grid->OnCreateDateTimePicker = [&](TObject*, TkxDBCustomDateTimePicker* p) {
        ++made;
        EXPECT_EQ(p->Owner(), h.grid);
    };
    h.grid->SetDataSource(h.source);
    h.cds->Open();
    h.Show();
    TkxDBGrid* g = h.grid;
    EXPECT_EQ(g->DateTimePicker(), nullptr);
    g->SelectColumn(kDate);
    TkxDBCustomDateTimePicker* picker = g->DateTimePicker();
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(made, 1);
    EXPECT_FALSE(picker->Visible());
    EXPECT_EQ(picker->Field(), h.Field("BDATE"));
    EXPECT_EQ(picker->Parent(), g);
    const TRect cell = g->CellRect(g->Col(), g->Row());
    EXPECT_EQ(picker->BoundsRect(),
              Bounds(cell.Left, cell.Top, g->ColWidths(g->Col()), g->DefaultRowHeight()));
    EXPECT_EQ(picker->Epoch(), kxProcessIntl->DefaultEpochYear());
    // A date cell is a control cell: F2 opens no text editor.
    SendKey(g, VK_F2);
    EXPECT_FALSE(g->EditorShowing());
    EXPECT_EQ(g->FindEmbeddedControl(g->Col(), g->Row()), picker);

    // Shown over the cell, typed into and left, it writes its field (two-digit years after its epoch).
    g->SetOptions(g->Options() + TkxDBGridOptions{dgAlwaysShowEditor});
    g->ShowEmbeddedControl();
    EXPECT_TRUE(picker->Visible());
    EXPECT_TRUE(picker->Focused());
    picker->SetEpoch(2000);
    picker->SelectAll();
    SendText(nullptr, "5/3/75");
    // Leaving the cell hides it, and it writes its field.
    g->HideEmbeddedControl();
    EXPECT_FALSE(picker->Visible());
    EXPECT_TRUE(g->Focused());
    EXPECT_EQ(h.Field("BDATE")->AsDateTime(), EncodeDate(2075, 3, 5));
    // Another date column later is served by the same picker.
    g->SelectColumn(0);
    g->SelectColumn(kDate);
    EXPECT_EQ(made, 1);
    h.cds->Cancel();
}

TEST(InplaceEdit, EnterWritesTheTextAndEscapeChecksAnAlwaysShownEditor) {
    GridHarness h(CustomersDb(10));
    h.grid->SetPictureMasks(TStringList{"CUST_ID\t&###\tT\tT"});
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    std::vector<std::pair<TPersistent*, bool>> checks;
    g->OnCheckValue = [&](TPersistent* sender, bool passes) { checks.push_back({sender, passes}); };

    // Enter closes the editor with its text written into the field, the record left in edit state.
    editColumn(h, kName);
    SendKey(nullptr, 'Q');
    SendKey(nullptr, VK_RETURN);
    EXPECT_FALSE(g->EditorShowing());
    EXPECT_EQ(h.Field("CUST_NAME")->AsString(), "q");
    EXPECT_FALSE(g->DataLink().Modified());
    EXPECT_EQ(h.cds->State(), dsEdit);
    h.cds->Cancel();

    // Escape hides the editor and checks nothing.
    editColumn(h, kId);
    ASSERT_TRUE(g->EditorShowing());
    checks.clear();
    SendKey(nullptr, VK_ESCAPE);
    EXPECT_FALSE(g->EditorShowing());
    EXPECT_TRUE(checks.empty());

    // With dgAlwaysShowEditor the editor stays, and what it shows after the reset is checked.
    g->SetOptions(g->Options() + TkxDBGridOptions{dgAlwaysShowEditor});
    g->SelectColumn(kName);
    g->SelectColumn(kId);
    ASSERT_TRUE(g->EditorShowing());
    for (char c : std::string("C123"))
        SendKey(nullptr, Word(c));
    ASSERT_EQ(editorOf(h)->Text(), "C123");
    ASSERT_FALSE(checks.empty());
    EXPECT_TRUE(checks.back().second);
    checks.clear();
    SendKey(nullptr, VK_ESCAPE);
    EXPECT_TRUE(g->EditorShowing());
    EXPECT_EQ(editorOf(h)->Text(), "C0001");
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_EQ(checks[0].first, g->InplaceEditor());
    EXPECT_FALSE(checks[0].second); // "C0001" is no letter and three digits
    // Without a handler nothing is asked.
    g->OnCheckValue = nullptr;
    SendKey(nullptr, VK_ESCAPE);
    EXPECT_TRUE(g->EditorShowing());
    h.cds->Cancel();
}

TEST(InplaceEdit, F2AndAClickShowTheCellsControlUntouchedOverTheCell) {
    GridHarness h(CustomersDb(10));
    auto* edit = new TEdit(h.form);
    edit->SetName("edName");
    edit->SetParent(h.form);
    edit->SetBounds(0, 400, 80, 20);
    h.grid->SetSelected(WindowColumnList());
    h.grid->SetControlType(TStringList{kWindowControlType, "CUST_NAME;CustomEdit;edName"});
    h.grid->SetEditControlOptions({ecoCheckboxSingleClick, ecoSearchOwnerForm});
    h.grid->SetDataSource(h.source);
    h.cds->Open();
    h.Show();
    TkxDBGrid* g = h.grid;
    ASSERT_EQ(edit->Parent(), g);
    ASSERT_FALSE(edit->Visible());
    auto overCurrentCell = [&] {
        const TRect cell = g->CellRect(g->Col(), g->Row());
        return edit->BoundsRect() ==
               Bounds(cell.Left, cell.Top, g->ColWidths(g->Col()), g->DefaultRowHeight());
    };

    // F2: shown over the cell, its modified flag cleared, the focus in it.
    g->SelectColumn(kName);
    edit->SetModified(true);
    SendKey(g, VK_F2);
    EXPECT_TRUE(edit->Visible());
    EXPECT_TRUE(overCurrentCell());
    EXPECT_FALSE(edit->Modified());
    EXPECT_TRUE(edit->Focused());
    EXPECT_FALSE(g->EditorShowing());
    // Down typed into it moves the grid on, and the control goes.
    SendKey(nullptr, VK_DOWN);
    EXPECT_EQ(h.cds->RecNo(), 2);
    EXPECT_FALSE(edit->Visible());

    // A click on a name cell shows it there the same way (the grid keeps the focus).
    edit->SetModified(true);
    const TRect target = g->CellRect(kName + 1, 4);
    SendClick(g, target.Left + 5, target.Top + 5);
    EXPECT_EQ(h.cds->RecNo(), 4);
    EXPECT_TRUE(edit->Visible());
    EXPECT_TRUE(overCurrentCell());
    EXPECT_FALSE(edit->Modified());

    // A grid that does not edit shows no control.
    const TRect other = g->CellRect(kName + 1, 2);
    SendClick(g, other.Left + 5, other.Top + 5);
    EXPECT_EQ(h.cds->RecNo(), 2);
    edit->Hide();
    g->SetReadOnly(true);
    const TRect third = g->CellRect(kName + 1, 3);
    SendClick(g, third.Left + 5, third.Top + 5);
    EXPECT_EQ(h.cds->RecNo(), 3);
    EXPECT_FALSE(edit->Visible());

    // Over a background picture a column scroll takes the control away and the focus back first.
    g->SetReadOnly(false);
    TBitmap tile;
    tile.SetSize(8, 8);
    g->PaintOptions()->SetBackgroundBitmap(tile);
    g->PaintOptions()->SetBackgroundOptions({coFillDataCells});
    g->SelectColumn(kName);
    SendKey(g, VK_F2);
    ASSERT_TRUE(edit->Focused());
    g->WMHScroll(SB_LINERIGHT, 0);
    EXPECT_FALSE(edit->Visible());
    EXPECT_TRUE(g->Focused());
}

TEST(InplaceEdit, LeavingTheGridWritesThePendingTextUnpostedAndDropsOnlyAnUntouchedNewRecord) {
    GridHarness h(CustomersDb(10));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    TEdit* other = new TEdit(h.form);
    other->SetParent(h.form);
    other->SetBounds(0, 400, 100, 20);
    ASSERT_TRUE(g->Options().Contains(dgCancelOnExit));
    // A record being edited keeps the text typed into it, not posted.
    g->SelectColumn(kName);
    SendKey(g, 'P');
    other->SetFocus();
    EXPECT_FALSE(g->EditorShowing());
    EXPECT_EQ(h.Field("CUST_NAME")->AsString(), "p");
    EXPECT_EQ(h.cds->State(), dsEdit);
    h.cds->Cancel();
    // So does a new record typed into: only an untouched one is dropped.
    g->SetFocus();
    SendKey(g, VK_INSERT);
    SendKey(g, 'N');
    other->SetFocus();
    EXPECT_EQ(h.cds->State(), dsInsert);
    EXPECT_EQ(h.Field("CUST_NAME")->AsString(), "n");
    h.cds->Cancel();
    // Without dgCancelOnExit an untouched new record stays too.
    g->SetOptions(g->Options() - TkxDBGridOptions{dgCancelOnExit});
    g->SetFocus();
    SendKey(g, VK_INSERT);
    other->SetFocus();
    EXPECT_EQ(h.cds->State(), dsInsert);
    h.cds->Cancel();
    EXPECT_EQ(h.cds->RecordCount(), 10);
}

TEST(InplaceEdit, CtrlEnterBreaksTheLineOfAWrappedEditorOnlyOutsideNumbers) {
    GridHarness h(typedDb(), kTypedSql);
    h.grid->SetDataSource(h.source);
    h.cds->Open();
    h.Show();
    TkxDBGrid* g = h.grid;
    constexpr int kText = 4;
    ASSERT_TRUE(g->Options().Contains(dgWordWrap));

    // The break goes into the text as one LF; plain Enter still writes the text and closes.
    editColumn(h, kText);
    SendKey(nullptr, 'A');
    SendKey(nullptr, VK_RETURN, {ssCtrl});
    SendKey(nullptr, 'B');
    EXPECT_EQ(editorOf(h)->Text(), "a\nb");
    SendKey(nullptr, VK_RETURN);
    EXPECT_FALSE(g->EditorShowing());
    EXPECT_EQ(h.Field("NAME")->AsString(), "a\nb");
    h.cds->Post();
    // Opened again the editor holds the field's text unchanged, breaks and all.
    editColumn(h, kText);
    EXPECT_EQ(editorOf(h)->Text(), "a\nb");
    SendKey(nullptr, VK_ESCAPE);

    // A float field drops it, without entering edit state.
    editColumn(h, kAmount);
    const AnsiString amount = editorOf(h)->Text();
    SendKey(nullptr, VK_END);
    SendKey(nullptr, VK_RETURN, {ssCtrl});
    EXPECT_EQ(editorOf(h)->Text(), amount);
    EXPECT_EQ(h.cds->State(), dsBrowse);
    SendKey(nullptr, VK_ESCAPE);

    // An editor on one line has no room for a break.
    g->SetOptions(g->Options() - TkxDBGridOptions{dgWordWrap});
    editColumn(h, kText);
    SendKey(nullptr, VK_END);
    SendKey(nullptr, VK_RETURN, {ssCtrl});
    SendKey(nullptr, 'C');
    EXPECT_EQ(editorOf(h)->Text().back(), 'c');
    EXPECT_EQ(editorOf(h)->Text().find('\n', 2), std::string::npos);
    h.cds->Cancel();
}
