// Control types over real customers: check-box values and shown states, exact names and types,
// embedded controls found on the form, a frame or the dataset owner's components, the column cache,
// a dataset's own list, link values and picture masks.
#include "core/Exception.h"
#include "grid/support/GridFixture.h"
#include "support/DataChain.h"
#include "ui/Application.h"
#include "ui/DBEdit.h"
#include "ui/Label.h"
#include "ui/Panel.h"

#include <gtest/gtest.h>

namespace {
// Ticks as the shop's rows may hold them: Y, y, N, nothing, something else.
const TestDatabase& ticksDb() {
    static TestDatabase db(
        "INSERT INTO CUSTOMER (CUST_ID, CUST_NAME, CUST_CLASSID) VALUES ('C1', 'one', 'Y');"
        "INSERT INTO CUSTOMER (CUST_ID, CUST_NAME, CUST_CLASSID) VALUES ('C2', 'two', 'y');"
        "INSERT INTO CUSTOMER (CUST_ID, CUST_NAME, CUST_CLASSID) VALUES ('C3', 'three', 'N');"
        "INSERT INTO CUSTOMER (CUST_ID, CUST_NAME) VALUES ('C4', 'four');"
        "INSERT INTO CUSTOMER (CUST_ID, CUST_NAME, CUST_CLASSID) VALUES ('C5', 'five', 'X');"
        "INSERT INTO CUSTOMER (CUST_ID, CUST_NAME, CUST_CLASSID) VALUES ('C6', 'six', '1')");
    return db;
}
const char* kTicksSql = "select CUST_ID, CUST_NAME, CUST_CLASSID AS SELECT_YN from CUSTOMER order by CUST_ID";

// Whether each shown row's box in a grid column shows checked.
std::vector<bool> shownChecks(const GridHarness& h, int gridCol) {
    std::vector<bool> checks;
    TkxGridDataLink& link = h.grid->DataLink();
    for (int r = 0; r < link.RecordCount(); ++r) {
        TActiveRecordScope scope(link, r);
        checks.push_back(h.grid->CellShowsChecked(gridCol));
    }
    return checks;
}

void showWith(GridHarness& h, const TStringList& controlTypes,
              TkxEditControlOptions options = {ecoSearchOwnerForm}) {
    h.grid->SetControlType(controlTypes);
    h.grid->SetEditControlOptions(options);
    h.grid->SetDataSource(h.source);
    h.cds->Open();
    h.Show();
}

class TCustomFrame : public TWinControl {
    MORVANE_CLASS(TCustomFrame, TWinControl)
public:
    using TWinControl::TWinControl;
};

// A dataset that publishes control-type and picture-mask lists of its own.
class TListedDataSet : public TCountingDataSet {
    MORVANE_CLASS_PROPS(TListedDataSet, TCountingDataSet)
public:
    using TCountingDataSet::TCountingDataSet;
    TStringList types, masks;
    const TStringList& ControlType() const { return types; }
    void SetControlType(const TStringList& l) { types.Assign(l); }
    const TStringList& PictureMasks() const { return masks; }
    void SetPictureMasks(const TStringList& l) { masks.Assign(l); }
};
void TListedDataSet::DefineProperties(ClassInfo& info) {
    info.Add("ControlType", &TListedDataSet::ControlType, &TListedDataSet::SetControlType);
    info.Add("PictureMasks", &TListedDataSet::PictureMasks, &TListedDataSet::SetPictureMasks);
}
} // namespace

TEST(ControlTypes, TheWindowsCheckBoxLine) {
    GridHarness h(ticksDb(), kTicksSql);
    showWith(h, TStringList{kWindowControlType});
    TkxDBGrid* g = h.grid;
    ASSERT_EQ(g->GridColumnFieldName(3), "SELECT_YN");
    AnsiString checked, unchecked;
    ASSERT_TRUE(g->FindCheckBoxValues(3, 1, checked, unchecked));
    EXPECT_EQ(checked, "Y");
    EXPECT_EQ(unchecked, "N");
    EXPECT_FALSE(g->FindCheckBoxValues(3, 0, checked, unchecked)); // the title row
    EXPECT_FALSE(g->FindCheckBoxValues(2, 1, checked, unchecked)); // another field
    // "Y" and "y" show checked; "N", nothing and any other text unchecked.
    EXPECT_EQ(shownChecks(h, 3), (std::vector<bool>{true, true, false, false, false, false}));
    EXPECT_EQ(shownChecks(h, 2), std::vector<bool>(6, false));
    EXPECT_TRUE(g->IsControlCell(3, 1));
    EXPECT_FALSE(g->IsControlCell(2, 1));
    EXPECT_FALSE(g->IsControlCell(3, 0));
    EXPECT_EQ(g->CacheItem(3).Type, "CheckBox");
    EXPECT_EQ(g->CacheItem(0).Type, ""); // the indicator
    EXPECT_EQ(g->CacheItem(9).Type, ""); // past the columns
}

TEST(ControlTypes, NamesAndTypesCompareExactly) {
    for (const char* line : {"select_yn;CheckBox;Y;N", "SELECT_YN;checkbox;Y;N"}) {
        GridHarness h(ticksDb(), kTicksSql);
        showWith(h, TStringList{line});
        AnsiString checked, unchecked, type, parameters;
        EXPECT_FALSE(h.grid->FindCheckBoxValues(3, 1, checked, unchecked)) << line;
        EXPECT_FALSE(h.grid->IsControlCell(3, 1)) << line;
        EXPECT_EQ(shownChecks(h, 3), std::vector<bool>(6, false)) << line;
        h.grid->GetControlType("SELECT_YN", type, parameters);
        EXPECT_EQ(type, line[0] == 's' ? "" : "checkbox");
    }
}

TEST(ControlTypes, TwoLinesForOneFieldAndAThreePartLine) {
    {
        // Painted with the last line's values, toggled with the first's.
        GridHarness h(ticksDb(), kTicksSql);
        showWith(h, TStringList{"SELECT_YN;CheckBox;Y;N", "SELECT_YN;CheckBox;1;0"});
        EXPECT_EQ(h.grid->CacheItem(3).Parameters, "1;0");
        EXPECT_EQ(shownChecks(h, 3), (std::vector<bool>{false, false, false, false, false, true}));
        AnsiString checked, unchecked;
        ASSERT_TRUE(h.grid->FindCheckBoxValues(3, 1, checked, unchecked));
        EXPECT_EQ(checked + unchecked, "YN");
    }
    {
        // Three parts: the box shows (nothing is its unchecked value) but cannot be toggled.
        GridHarness h(ticksDb(), kTicksSql);
        showWith(h, TStringList{"SELECT_YN;CheckBox;Y"});
        EXPECT_EQ(h.grid->CacheItem(3).Type, "CheckBox");
        EXPECT_EQ(shownChecks(h, 3), (std::vector<bool>{true, true, false, false, false, false}));
        AnsiString checked, unchecked;
        EXPECT_FALSE(h.grid->FindCheckBoxValues(3, 1, checked, unchecked));
        AnsiString c, u;
        TkxCustomDBGrid::CheckBoxValuesFromParameters("Y", c, u);
        EXPECT_EQ(c, "Y");
        EXPECT_EQ(u, "");
    }
}

TEST(ControlTypes, EmbeddedControlsAreSetUpAndCached) {
    GridHarness h(ticksDb(), kTicksSql);
    auto* edit = new TDBEdit(h.form);
    edit->SetName("edName");
    edit->SetParent(h.form);
    edit->SetBounds(0, 400, 80, 20);
    edit->SetCtl3DBorder(true);
    showWith(
        h, TStringList{"CUST_NAME;CustomEdit;edName;T", "CUST_ID;LookupCombo;nothing;T", kWindowControlType});
    TkxDBGrid* g = h.grid;
    EXPECT_TRUE(g->EmbeddedControlsSetUp());
    EXPECT_EQ(edit->Parent(), g);
    EXPECT_FALSE(edit->Visible());
    EXPECT_EQ(edit->DataSource(), h.source);
    EXPECT_EQ(edit->DataField(), "CUST_NAME");
    EXPECT_FALSE(edit->Ctl3DBorder());
    EXPECT_TRUE(edit->Font()->SameAs(*g->Font()));
    const TkxCacheColInfoItem& name = g->CacheItem(2);
    EXPECT_EQ(name.Type, "CustomEdit");
    EXPECT_EQ(name.Control, edit);
    EXPECT_TRUE(name.PaintFlag);
    EXPECT_EQ(g->FindEmbeddedControl(2, 3), edit);
    EXPECT_TRUE(g->IsControlCell(2, 1));
    // A line naming no control: a plain column.
    EXPECT_EQ(g->CacheItem(1).Type, "");
    EXPECT_FALSE(g->CacheItem(1).PaintFlag);
    EXPECT_EQ(g->FindEmbeddedControl(1, 1), nullptr);
    EXPECT_FALSE(g->IsControlCell(1, 1));

    // Custom controls disabled: embedded lines count for nothing, check boxes still do.
    g->SetEditControlOptions({ecoSearchOwnerForm, ecoDisableCustomControls});
    g->RebuildLayout();
    EXPECT_EQ(g->CacheItem(2).Type, "");
    EXPECT_EQ(g->FindEmbeddedControl(2, 1), nullptr);
    EXPECT_FALSE(g->IsControlCell(2, 1));
    EXPECT_TRUE(g->IsControlCell(3, 1));

    // A control that goes leaves no reference behind.
    g->SetEditControlOptions({ecoSearchOwnerForm});
    g->RebuildLayout();
    ASSERT_EQ(g->CacheItem(2).Control, edit);
    delete edit;
    EXPECT_EQ(g->CacheItem(2).Control, nullptr);
}

TEST(ControlTypes, AnEmbeddedLineWithoutItsControlNameFailsTheSetUp) {
    GridHarness h(ticksDb(), kTicksSql);
    h.grid->SetControlType(TStringList{"CUST_NAME;Combo"});
    h.cds->Open();
    h.Show();
    try {
        h.grid->SetDataSource(h.source);
        ADD_FAILURE() << "no error";
    } catch (const EStringListError& e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (2)");
    }
    EXPECT_FALSE(h.grid->EmbeddedControlsSetUp());
    EXPECT_FALSE(h.cds->ControlsDisabled());
}

TEST(ControlTypes, FindingControlsByNameOnFormsFramesAndTheDatasetOwner) {
    GridHarness h(ticksDb(), kTicksSql);
    TkxDBGrid* g = h.grid;
    auto* outer = new TEdit(h.form);
    outer->SetName("edOuter");
    auto* label = new TLabel(h.form);
    label->SetName("lbNotWindowed");
    auto* frame = new TCustomFrame(h.form);
    frame->SetName("Frame1");
    auto* inner = new TEdit(frame);
    inner->SetName("edInner");
    auto* panel = new TPanel(h.form);
    panel->SetName("Panel1");
    auto* ownerEdit = new TEdit(&h.owner); // owned with the dataset
    ownerEdit->SetName("edData");
    g->SetDataSource(h.source);

    EXPECT_EQ(g->FindControlByName("edOuter"), outer);
    EXPECT_EQ(g->FindControlByName("EDOUTER"), outer);
    EXPECT_EQ(g->FindControlByName("lbNotWindowed"), nullptr);
    EXPECT_EQ(g->FindControlByName("Frame1.edInner"), inner);
    EXPECT_EQ(g->FindControlByName("Frame1."), nullptr);
    EXPECT_EQ(g->FindControlByName("Nothing.edInner"), nullptr);
    EXPECT_EQ(g->FindControlByName("Panel1.edData"), ownerEdit); // not a frame: the dataset owner's
    EXPECT_EQ(g->FindControlByName("edInner"), nullptr);

    // The owner's form or the form the grid sits on.
    auto* other = new TForm(Application);
    auto* there = new TEdit(other);
    there->SetName("edOuter");
    g->SetParent(other);
    EXPECT_EQ(g->FindControlByName("edOuter"), outer);
    g->SetEditControlOptions({});
    EXPECT_EQ(g->FindControlByName("edOuter"), there);
    g->SetParent(h.form);
    delete other;
}

TEST(ControlTypes, ADatasetsOwnListsAndTheirCleanUp) {
    GridHarness h(ticksDb(), kTicksSql);
    auto* listed = new TListedDataSet(&h.owner);
    listed->SetProviderName("DSP");
    listed->types = TStringList{"SELECT_YN;CheckBox;1;0", "GONE;CheckBox;Y;N", "cust_name;URL-Link"};
    listed->masks = TStringList{"cust_id\t!C999\tT\tT"};
    h.source->SetDataSet(listed);
    h.grid->SetControlType(TStringList{kWindowControlType});
    h.grid->SetPictureMasks(TStringList{"CUST_ID\t999"});
    h.grid->SetDataSource(h.source);
    listed->Open();
    h.Show();
    // The dataset's list is used, and its lines for fields it lacks are gone after activation.
    EXPECT_EQ(listed->types, (TStringList{"SELECT_YN;CheckBox;1;0", "cust_name;URL-Link"}));
    EXPECT_EQ(h.grid->CacheItem(3).Parameters, "1;0");
    AnsiString mask;
    bool autoFill = false, useMask = false;
    h.grid->GetPictureMask("CUST_ID", mask, autoFill, useMask);
    EXPECT_EQ(mask, "!C999");
    EXPECT_TRUE(autoFill && useMask);
    // Turned off, the grid's own lists count.
    h.grid->SetControlInfoInDataset(false);
    h.grid->SetPictureMaskFromDataSet(false);
    h.grid->RebuildLayout();
    EXPECT_EQ(h.grid->CacheItem(3).Parameters, "Y;N");
    h.grid->GetPictureMask("CUST_ID", mask, autoFill, useMask);
    EXPECT_EQ(mask, "999");
    EXPECT_FALSE(autoFill || useMask); // two parts: neither flag reads as "T"
}

TEST(ControlTypes, PictureMaskLinesReadAndWritten) {
    GridHarness h(ticksDb(), kTicksSql);
    TkxDBGrid* g = h.grid;
    g->SetPictureMasks(TStringList{"CUST_ID\tC999\tT\tT", "CUST_NAME\t&&&\tt\tT"});
    AnsiString mask;
    bool autoFill = false, useMask = false;
    g->GetPictureMask("cust_id", mask, autoFill, useMask);
    EXPECT_EQ(mask, "C999");
    EXPECT_TRUE(autoFill && useMask);
    g->GetPictureMask("CUST_NAME", mask, autoFill, useMask);
    EXPECT_FALSE(autoFill); // "t" is not "T"
    EXPECT_TRUE(useMask);
    g->GetPictureMask("SELECT_YN", mask, autoFill, useMask);
    EXPECT_EQ(mask, "");
    EXPECT_TRUE(autoFill && useMask);

    const AnsiString newMask = "#9";
    const bool no = false;
    g->SetPictureMask("cust_id", nullptr, &no, nullptr); // keeps the mask and the use flag
    g->SetPictureMask("SELECT_YN", &newMask, nullptr, nullptr);
    const AnsiString none;
    g->SetPictureMask("CUST_NAME", &none, nullptr, nullptr);    // an empty mask deletes the line
    g->SetPictureMask("CUST_CLASSID", &none, nullptr, nullptr); // nothing to add
    EXPECT_EQ(g->PictureMasks(), (TStringList{"cust_id\tC999\tF\tT", "SELECT_YN\t#9\tT\tT"}));
}

TEST(ControlTypes, LinkValuesAndTheirCells) {
    AnsiString display, address;
    TkxCustomDBGrid::SplitLinkValue("Shop#http://shop.example/#x", display, address);
    EXPECT_EQ(display, "Shop");
    EXPECT_EQ(address, "http://shop.example/");
    TkxCustomDBGrid::SplitLinkValue("http://plain.example", display, address);
    EXPECT_EQ(display, "http://plain.example");
    EXPECT_EQ(address, display);
    TkxCustomDBGrid::SplitLinkValue(Ansi("外功#"), display, address);
    EXPECT_EQ(display, Ansi("外功"));
    EXPECT_EQ(address, display);

    GridHarness h(ticksDb(), "select CUST_ID, CUST_NAME || '#http://shop/' || CUST_ID AS LINK, "
                             "CAST('2024-01-02' AS DATE) AS SINCE from CUSTOMER order by CUST_ID");
    showWith(h, TStringList{"LINK;URL-Link"});
    EXPECT_EQ(h.ColumnTexts(1).front(), "one");
    EXPECT_EQ(h.grid->CacheItem(2).Type, "URL-Link");
    EXPECT_FALSE(h.grid->IsControlCell(2, 1));
    // A date field's cell belongs to the date/time picker unless it is disabled.
    EXPECT_TRUE(h.grid->IsControlCell(3, 1));
    h.grid->SetEditControlOptions({ecoSearchOwnerForm, ecoDisableDateTimePicker});
    EXPECT_FALSE(h.grid->IsControlCell(3, 1));
}
