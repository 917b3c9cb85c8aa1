#include "core/Exception.h"
#include "data/VectorDataSet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <random>

namespace {
template <typename F> std::string messageOf(F&& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "(no exception)";
}
} // namespace

TEST(DataSet, NavigatesWithBofEofMoveByAndRecNo) {
    TComponent owner(nullptr);
    auto* ds = new TVectorDataSet(&owner, 5);
    ds->SetName("DS");
    std::vector<std::string> hooks;
    ds->BeforeScroll = [&](TDataSet*) { hooks.push_back("before"); };
    ds->AfterScroll = [&](TDataSet*) { hooks.push_back("after"); };
    EXPECT_EQ(messageOf([&] { ds->First(); }), "DS: Cannot perform this operation on a closed dataset");

    ds->Open();
    EXPECT_EQ(ds->State(), dsBrowse);
    EXPECT_TRUE(ds->Bof());
    EXPECT_FALSE(ds->Eof());
    EXPECT_EQ(ds->FieldByName("id")->AsInteger(), 1);
    EXPECT_EQ(ds->MoveBy(3), 3);
    EXPECT_EQ(ds->RecNo(), 4);
    EXPECT_EQ(ds->MoveBy(10), 1);  // only one more record
    EXPECT_TRUE(ds->Eof());
    ds->Next();  // a second Next at the end keeps the last record
    EXPECT_TRUE(ds->Eof());
    EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "N5");
    EXPECT_EQ(ds->MoveBy(-10), -4);
    EXPECT_TRUE(ds->Bof());
    ds->Last();
    EXPECT_EQ(ds->RecNo(), 5);
    ds->SetRecNo(2);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 2);
    EXPECT_EQ(ds->RecordCount(), 5);
    EXPECT_FALSE(hooks.empty());
    EXPECT_EQ(hooks.front(), "after");  // opening a non-empty dataset scrolls onto its first record

    // An empty dataset: First sets the end flag at once.
    auto* empty = new TVectorDataSet(&owner, 0);
    empty->Open();
    empty->First();
    EXPECT_TRUE(empty->Eof());
    EXPECT_TRUE(empty->IsEmpty());
    EXPECT_TRUE(empty->FieldByName("ID")->IsNull());
    EXPECT_EQ(empty->FieldByName("NAME")->AsString(), "");
}

TEST(DataSet, EditPostCancelInsertAppendDelete) {
    TComponent owner(nullptr);
    auto* ds = new TVectorDataSet(&owner, 3);
    ds->SetName("CDS");
    ds->nameRequired = true;
    ds->Open();
    TField* name = ds->FieldByName("NAME");
    TField* id = ds->FieldByName("ID");
    name->SetDisplayLabel("Name label");

    // Writing outside edit state, posting in browse state.
    EXPECT_EQ(messageOf([&] { name->SetAsString("x"); }), "CDS: Dataset not in edit or insert mode");
    ds->Post();
    EXPECT_EQ(ds->State(), dsBrowse);

    // A required field left null: the post fails and the edit stays.
    ds->Edit();
    EXPECT_EQ(ds->State(), dsEdit);
    name->Clear();
    EXPECT_TRUE(ds->Modified());
    EXPECT_EQ(messageOf([&] { ds->Post(); }), "Field 'Name label' must have a value");
    EXPECT_EQ(ds->State(), dsEdit);
    name->SetAsString("Changed");
    ds->Next();  // moving posts a modified record
    EXPECT_EQ(ds->State(), dsBrowse);
    EXPECT_EQ(ds->rows[0].name, "Changed");
    EXPECT_EQ(ds->RecNo(), 2);

    // An unmodified edit is cancelled by moving; Cancel discards a modification.
    ds->Edit();
    ds->Next();
    EXPECT_EQ(ds->State(), dsBrowse);
    ds->Edit();
    name->SetAsString("Dropped");
    ds->Cancel();
    EXPECT_EQ(name->AsString(), "N3");

    // Read-only field.
    id->SetReadOnly(true);
    ds->Edit();
    EXPECT_EQ(messageOf([&] { id->SetAsInteger(9); }), "Field 'ID' cannot be modified");
    ds->Cancel();
    id->SetReadOnly(false);

    // Insert before the current record, Append at the end, Delete.
    ds->First();
    ds->Insert();
    EXPECT_EQ(ds->State(), dsInsert);
    EXPECT_TRUE(id->IsNull());
    id->SetAsInteger(10);
    name->SetAsString("Ten");
    ds->Post();
    ASSERT_EQ(ds->rows.size(), 4u);
    EXPECT_EQ(ds->rows[0].id, 10);
    EXPECT_EQ(id->AsInteger(), 10);
    ds->Append();
    id->SetAsInteger(11);
    name->SetAsString("Eleven");
    ds->Post();
    EXPECT_EQ(ds->rows.back().id, 11);
    EXPECT_EQ(id->AsInteger(), 11);
    ds->Delete();
    EXPECT_EQ(ds->rows.size(), 4u);
    EXPECT_EQ(id->AsInteger(), 3);  // the record before the deleted last one

    // Edit on an empty dataset starts an insert; Delete there cancels it.
    auto* empty = new TVectorDataSet(&owner, 0);
    empty->SetName("E");
    empty->Open();
    empty->Edit();
    EXPECT_EQ(empty->State(), dsInsert);
    empty->Delete();
    EXPECT_EQ(empty->State(), dsBrowse);
    EXPECT_EQ(messageOf([&] { empty->Delete(); }), "E: Cannot perform this operation on an empty dataset");
}

TEST(DataSet, FieldsPersistentAndDynamicLookupAndLoading) {
    TComponent form(nullptr);
    auto* ds = new TVectorDataSet(&form, 2);
    ds->SetName("CDS_CUST");
    EXPECT_EQ(messageOf([&] { ds->FieldByName("X"); }), "CDS_CUST: Field 'X' not found");

    // Dynamic fields come and go with open and close.
    ds->Open();
    ASSERT_EQ(ds->FieldCount(), 2);
    EXPECT_TRUE(ds->DefaultFields());
    EXPECT_EQ(ds->FindField("name"), ds->Fields(1));
    ds->Close();
    EXPECT_EQ(ds->FieldCount(), 0);

    // A declared field, owned by the form, outlives close and keeps its name and attributes.
    auto* f = new TStringField(&form);
    f->SetName("CDS_CUSTNAME");
    f->SetFieldName("NAME");
    f->SetSize(4);
    f->SetDisplayLabel("Label");
    f->SetDataSet(ds);
    ds->Open();
    EXPECT_FALSE(ds->DefaultFields());
    ASSERT_EQ(ds->FieldCount(), 1);
    EXPECT_EQ(f->FieldNo(), 2);
    EXPECT_EQ(f->AsString(), "N1");
    EXPECT_EQ(messageOf([&] { f->SetSize(5); }), "CDS_CUST: Cannot perform this operation on an open dataset");
    ds->Close();
    EXPECT_EQ(ds->FieldCount(), 1);
    EXPECT_EQ(f->FieldNo(), 0);
    EXPECT_EQ(form.FindComponent("CDS_CUSTNAME"), f);
    EXPECT_EQ(std::get<AnsiString>(f->GetProperty("DisplayLabel")), "Label");
    EXPECT_TRUE(f->SetProperty("DisplayWidth", int64_t(7)));
    EXPECT_EQ(f->DisplayWidth(), 7);

    // A declared field without a column, or of another kind, fails the open; the dataset stays closed.
    auto* bad = new TFloatField(&form);
    bad->SetFieldName("NAME");
    f->SetDataSet(nullptr);
    bad->SetDataSet(ds);
    EXPECT_EQ(messageOf([&] { ds->Open(); }),
              "CDS_CUST: Type mismatch for field 'NAME', expecting: Float actual: String");
    EXPECT_FALSE(ds->Active());
    bad->SetFieldName("GONE");
    EXPECT_EQ(messageOf([&] { ds->Open(); }), "CDS_CUST: Field 'GONE' not found");
    delete bad;
    EXPECT_EQ(ds->FieldCount(), 0);

    // A stored Active is applied when loading ends.
    auto* loaded = new TVectorDataSet(&form, 1);
    loaded->SetLoading(true);
    loaded->SetActive(true);
    EXPECT_FALSE(loaded->Active());
    loaded->Loaded();
    EXPECT_TRUE(loaded->Active());

    // The dataset goes first: the declared field stays, without a dataset.
    auto* g = new TIntegerField(&form);
    g->SetFieldName("ID");
    g->SetDataSet(ds);
    delete ds;
    EXPECT_EQ(g->DataSet(), nullptr);
    EXPECT_TRUE(g->IsNull());
}

TEST(DataSet, BookmarksCompareAndSurviveOnlyWhileTheirRecordExists) {
    TComponent owner(nullptr);
    auto* ds = new TVectorDataSet(&owner, 4);
    ds->Open();
    TBookmark first = ds->GetBookmark();
    ds->MoveBy(2);
    TBookmark third = ds->GetBookmark();
    EXPECT_EQ(ds->CompareBookmarks(first, third), -1);
    EXPECT_EQ(ds->CompareBookmarks(third, first), 1);
    EXPECT_EQ(ds->CompareBookmarks(third, third), 0);
    EXPECT_EQ(ds->CompareBookmarks({}, third), -1);
    ds->GotoBookmark(first);
    EXPECT_EQ(ds->RecNo(), 1);
    ds->Delete();
    EXPECT_FALSE(ds->BookmarkValid(first));
    EXPECT_TRUE(ds->BookmarkValid(third));
    EXPECT_EQ(ds->CompareBookmarks(first, third), 2);
    ds->FreeBookmark(first);
    EXPECT_TRUE(first.empty());
    ds->Append();
    EXPECT_TRUE(ds->GetBookmark().empty());  // a record being inserted has none yet
    ds->Cancel();
}

TEST(DataLink, SeesItsWindowOfTheRecordBuffers) {
    TComponent owner(nullptr);
    auto* ds = new TVectorDataSet(&owner, 20);
    auto* src = new TDataSource(&owner);
    src->SetDataSet(ds);
    TLogLink grid, small;
    grid.SetVisualControl(true);
    grid.SetDataSource(src);
    small.SetDataSource(src);
    EXPECT_FALSE(grid.Active());
    ds->Open();
    EXPECT_TRUE(grid.Active());
    EXPECT_EQ(grid.log, std::vector<std::string>{"active"});
    grid.SetBufferCount(5);
    small.SetBufferCount(2);
    EXPECT_EQ(grid.RecordCount(), 5);
    EXPECT_EQ(small.RecordCount(), 2);
    EXPECT_EQ(grid.ActiveRecord(), 0);

    grid.log.clear();
    ds->MoveBy(4);  // within the buffers: the grid's window does not move
    EXPECT_EQ(grid.log, std::vector<std::string>{"scrolled 0"});
    EXPECT_EQ(grid.ActiveRecord(), 4);
    EXPECT_EQ(small.ActiveRecord(), 1);  // the small window had to follow by three
    EXPECT_EQ(small.log.back(), "scrolled 3");
    grid.log.clear();
    ds->Next();  // past the buffers: one new record read, the window scrolls by one
    EXPECT_EQ(grid.log, std::vector<std::string>{"scrolled 1"});
    EXPECT_EQ(grid.ActiveRecord(), 4);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 6);

    // Painting moves the active record within the window and back.
    grid.SetActiveRecord(0);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 2);
    grid.SetActiveRecord(4);

    grid.log.clear();
    ds->Last();
    EXPECT_EQ(grid.log, std::vector<std::string>{"changed"});
    EXPECT_EQ(grid.ActiveRecord(), 4);
    EXPECT_TRUE(grid.Eof());
    ds->MoveBy(-6);  // four rows up inside the window, then two beyond: it scrolls by two
    EXPECT_EQ(grid.log.back(), "scrolled -2");
    EXPECT_EQ(grid.ActiveRecord(), 0);

    // Shrinking the window keeps the current record inside it.
    ds->MoveBy(4);
    grid.SetBufferCount(3);
    EXPECT_EQ(grid.RecordCount(), 3);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 18);
    int ar = grid.ActiveRecord();
    EXPECT_GE(ar, 0);
    EXPECT_LT(ar, 3);
    grid.SetActiveRecord(ar);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 18);

    // Editing through the link, field changes, focus requests.
    grid.log.clear();
    EXPECT_TRUE(grid.Edit());
    EXPECT_EQ(ds->State(), dsEdit);
    ds->FieldByName("NAME")->SetAsString("x");
    ds->FieldByName("NAME")->FocusControl();
    ds->Cancel();
    EXPECT_EQ(grid.log, (std::vector<std::string>{"editing", "record -", "record NAME", "focus NAME", "browsing",
                                                 "changed"}));
    grid.SetReadOnly(true);
    EXPECT_FALSE(grid.Edit());
    src->SetAutoEdit(false);
    grid.SetReadOnly(false);
    EXPECT_FALSE(grid.Edit());
    EXPECT_EQ(ds->State(), dsBrowse);

    // Suspended notifications: nothing while disabled, one change after.
    grid.log.clear();
    ds->DisableControls();
    ds->First();
    ds->Next();
    EXPECT_TRUE(grid.log.empty());
    ds->EnableControls();
    EXPECT_EQ(grid.log, std::vector<std::string>{"changed"});

    // Closing while suspended still deactivates; a disabled source makes the link inactive.
    ds->DisableControls();
    ds->Close();
    EXPECT_FALSE(grid.Active());
    ds->EnableControls();
    ds->Open();
    EXPECT_TRUE(grid.Active());
    src->SetEnabled(false);
    EXPECT_FALSE(grid.Active());
    src->SetEnabled(true);

    // Freeing the dataset leaves the source without one and the link inactive.
    delete ds;
    EXPECT_EQ(src->DataSet(), nullptr);
    EXPECT_FALSE(grid.Active());
    EXPECT_EQ(grid.RecordCount(), 0);
}

TEST(DataSet, ResyncKeepsTheCurrentRecordOnceTheCursorIsOnIt) {
    // After Last the cursor sits on the window's first record; Resync reads from the cursor, so a
    // control that resynchronises puts the cursor on the current record first.
    TComponent owner(nullptr);
    auto* ds = new TVectorDataSet(&owner, 20);
    auto* src = new TDataSource(&owner);
    src->SetDataSet(ds);
    TLogLink link;
    link.SetDataSource(src);
    ds->Open();
    link.SetBufferCount(5);
    for (int step = 0; step < 3; ++step) {
        if (step == 0)
            ds->Last();
        else if (step == 1)
            ds->SetRecNo(9);
        else
            ds->First();
        const int id = ds->FieldByName("ID")->AsInteger();
        const int active = link.ActiveRecord();
        ds->UpdateCursorPos();
        ds->Resync(0);
        EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), id) << step;
        EXPECT_EQ(link.ActiveRecord(), active) << step;
        EXPECT_EQ(link.RecordCount(), 5) << step;
    }
}

// Closing frees the dynamic fields in time linear in their number (16,381 of them once took minutes):
// four times the fields may cost at most about four times the processor time of this thread, which
// the load of other processes does not touch; the best of three runs each.
TEST(DataSet, ClosingFreesManyDynamicFieldsInLinearTime) {
    auto closeSeconds = [](int columns) {
        double best = 1e9;
        for (int run = 0; run < 3; ++run) {
            TComponent form(nullptr);
            auto* ds = new TVectorDataSet(&form, 1);
            ds->extraColumns = columns;
            ds->Open();
            EXPECT_EQ(ds->FieldCount(), columns + 2);
            timespec from, to;
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &from);
            ds->Close();
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &to);
            EXPECT_EQ(ds->FieldCount(), 0);
            EXPECT_EQ(form.ComponentCount(), 1);
            best = std::min(best, double(to.tv_sec - from.tv_sec) + double(to.tv_nsec - from.tv_nsec) * 1e-9);
        }
        return best;
    };
    const double small = closeSeconds(1000), large = closeSeconds(4000);
    EXPECT_LT(large, 10 * small + 0.002) << small << " s, then " << large << " s";
}

// A column list's moves made together leave the fields as SetIndex one by one leaves them: lines
// naming no field (gaps), indexes past the end, a field named twice, fields passed over and moved
// back; random lists of rising indexes, and falling ones.
TEST(DataSet, MovingFieldsTogetherEqualsMovingThemOneByOne) {
    std::mt19937 random(7);
    for (int round = 0; round < 400; ++round) {
        TComponent form(nullptr);
        TVectorDataSet* sets[2] = {new TVectorDataSet(&form), new TVectorDataSet(&form)};
        const int count = 2 + int(random() % 7);
        std::vector<std::pair<int, int>> moves; // field, index
        for (int index = 0, n = int(random() % 10); n > 0; --n) {
            index += round % 5 == 4 ? -int(random() % 3) : int(random() % 3);
            moves.emplace_back(int(random() % unsigned(count)), index);
        }
        std::vector<AnsiString> names[2];
        for (int which = 0; which < 2; ++which) {
            TVectorDataSet* ds = sets[which];
            ds->extraColumns = count - 2;
            ds->Open();
            std::vector<TField*> fields = ds->FieldList();
            std::vector<std::pair<TField*, int>> together;
            for (auto [field, index] : moves)
                if (which == 0)
                    fields[size_t(field)]->SetIndex(index);
                else
                    together.emplace_back(fields[size_t(field)], index);
            if (which == 1) ds->MoveFields(together);
            for (TField* f : ds->FieldList())
                names[which].push_back(f->FieldName());
        }
        ASSERT_EQ(names[1], names[0]) << "round " << round;
    }
}
