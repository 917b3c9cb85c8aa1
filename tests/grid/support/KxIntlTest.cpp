// The grid library's settings object: defaults the grid reads, publishing by name, a connected form
// instance copying into kxProcessIntl, the life of kxProcessIntl, and the mask-error report.
#include "grid/support/KxIntl.h"

#include "core/Exception.h"
#include "ui/Application.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// Each test starts and ends with a fresh kxProcessIntl, so the grid's own tests see the defaults.
class KxIntlTest : public ::testing::Test {
protected:
    void SetUp() override { Renew(); }
    void TearDown() override { Renew(); }
    static void Renew() {
        delete kxProcessIntl;
        CreateProcessIntl();
    }
    // Stands in for the form that owns a placed instance.
    TComponent form{nullptr};
};

// Visits every published text and number below `object`, sub-objects included, with its path.
void ForEachValue(TPersistent& object, const std::string& path,
                  const std::function<void(TPersistent&, const PropInfo&, const std::string&)>& visit) {
    std::vector<const ClassInfo*> chain;
    for (const ClassInfo* c = &object.Class(); c && c != &TComponent::StaticClass(); c = c->Parent())
        chain.insert(chain.begin(), c);
    for (const ClassInfo* c : chain)
        for (const PropInfo& p : c->Properties()) {
            PropValue v = p.get(object);
            if (auto sub = std::get_if<TPersistent*>(&v))
                ForEachValue(**sub, path + p.name + ".", visit);
            else
                visit(object, p, path + p.name);
        }
}

std::vector<std::string> PropertyNames(const ClassInfo& info) {
    std::vector<std::string> names;
    for (const PropInfo& p : info.Properties())
        names.push_back(p.name);
    return names;
}

} // namespace

TEST_F(KxIntlTest, DefaultsTheGridAndItsEditorsRead) {
    ASSERT_NE(kxProcessIntl, nullptr);
    EXPECT_EQ(kxProcessIntl->Owner(), Application);
    const TkxIntl& intl = *kxProcessIntl;
    EXPECT_EQ(intl.UserMessages()->kxDBGridDiscardChanges(), "Discard changes to this record?");
    EXPECT_EQ(intl.UserMessages()->PictureValidateError(), "Invalid characters. Field : ");
    EXPECT_EQ(intl.UserMessages()->MemoChangesWarning(),
              "Changes have been made!  Are you sure you wish to cancel?");
    EXPECT_EQ(intl.UserMessages()->RecordViewExitWarning(),
              "Changes have been made!  Do you wish to save your changes?");
    EXPECT_EQ(intl.CheckBoxInGridStyle(), cbStyleAuto);
    EXPECT_EQ(intl.GridPaintStyle(), gpsDynamicDeviceContext);
    EXPECT_EQ(int(cbStyleCheckmarkFlat), 3);
    EXPECT_EQ(int(gpsDynamicDeviceContext), 1);
    EXPECT_EQ(intl.IniFileName(), "");
    EXPECT_FALSE(intl.Connected());
    EXPECT_TRUE(intl.OKCancelBitmapped());
    EXPECT_EQ(intl.BtnOKCaption(), "&OK");
    EXPECT_EQ(intl.BtnCancelCaption(), "Cancel");
    EXPECT_EQ(intl.VersionInfoLib(), "4000.T.B");
    EXPECT_EQ(intl.FilterMemoSize(), 65536);
    EXPECT_TRUE(intl.UseLocateMethodForSearch());
    EXPECT_TRUE(intl.DialogFontStyle().Empty());
    EXPECT_EQ(intl.DefaultEpochYear(), 1950);
    EXPECT_FALSE(intl.OnValidationErrorUsingMask);
    EXPECT_TRUE(intl.ADO()->UseLocateWhenFindingValue());
    EXPECT_EQ(intl.MonthCalendar()->PopupYearLabel(), "Edit Year");
    EXPECT_EQ(intl.Navigator()->ConfirmDeleteMessage(), "Delete record?");
    EXPECT_EQ(intl.Navigator()->Hints()->PriorPageHint(), "Move backward %d records");
    EXPECT_EQ(intl.FilterDialog()->SummaryCaption(), "");
    EXPECT_EQ(intl.RichEdit()->UnderlineButtonHint(),
              "Underline | Formats the selection with a continuous underline (toggle)");
    EXPECT_EQ(intl.RichEdit()->MenuLabels()->RedoCaption(), "");
    EXPECT_EQ(intl.RichEdit()->PopupMenuLabels()->InsertObjectCaption(), "Insert &Object...");
    EXPECT_EQ(intl.RichEdit()->ParagraphDialog()->HelpContext(), 0);
    EXPECT_EQ(intl.RichEdit()->ParagraphDialog()->Spacing1_5(), "");
    EXPECT_EQ(intl.RichEdit()->TabDialog()->TabDlgCaption(), "Tab");
}

TEST_F(KxIntlTest, PublishesEveryPropertyByNameInOrder) {
    EXPECT_EQ(PropertyNames(TkxIntl::StaticClass()), (std::vector<std::string>{"ADO",
                                                                               "Navigator",
                                                                               "SearchDialog",
                                                                               "LocateDialog",
                                                                               "MonthCalendar",
                                                                               "FilterDialog",
                                                                               "RichEdit",
                                                                               "UserMessages",
                                                                               "OKCancelBitmapped",
                                                                               "BtnOKCaption",
                                                                               "BtnCancelCaption",
                                                                               "CheckBoxInGridStyle",
                                                                               "GridPaintStyle",
                                                                               "VersionInfoLib",
                                                                               "FilterMemoSize",
                                                                               "IniFileName",
                                                                               "UseLocateMethodForSearch",
                                                                               "DialogFontStyle",
                                                                               "DefaultEpochYear",
                                                                               "Connected"}));
    // A dropped or doubled entry in a sub-object shows in its count.
    EXPECT_EQ(TkxUserMessagesIntl::StaticClass().Properties().size(), 11u);
    EXPECT_EQ(TkxDBNavigatorIntlHints::StaticClass().Properties().size(), 18u);
    EXPECT_EQ(TkxSearchDialogIntl::StaticClass().Properties().size(), 7u);
    EXPECT_EQ(TkxLocateDialogIntl::StaticClass().Properties().size(), 19u);
    EXPECT_EQ(TkxFilterDialogIntl::StaticClass().Properties().size(), 41u);
    EXPECT_EQ(TkxDBRichEditIntl::StaticClass().Properties().size(), 44u);
    EXPECT_EQ(TkxRichEditMenuLabels::StaticClass().Properties().size(), 34u);
    EXPECT_EQ(TkxRichEditPopupMenuLabels::StaticClass().Properties().size(), 17u);
    EXPECT_EQ(TkxRichEditParagraphDlg::StaticClass().Properties().size(), 26u);
    EXPECT_EQ(PropertyNames(TkxRichEditTabDlg::StaticClass())[1], "HelpContext");

    TkxIntl intl(&form);
    EXPECT_TRUE(intl.InheritsFrom("TComponent"));
    EXPECT_TRUE(intl.UserMessages()->InheritsFrom("TPersistent"));
    auto messages = std::get<TPersistent*>(intl.GetProperty("UserMessages"));
    ASSERT_EQ(messages, intl.UserMessages());
    EXPECT_TRUE(messages->SetProperty("KXDBGRIDDISCARDCHANGES", AnsiString("Drop it?")));
    EXPECT_EQ(intl.UserMessages()->kxDBGridDiscardChanges(), "Drop it?");
    EXPECT_EQ(std::get<AnsiString>(intl.RichEdit()->TabDialog()->GetProperty("ClearAllButtonHint")),
              "Clear all the tabs");

    EXPECT_TRUE(intl.SetProperty("CheckBoxInGridStyle", int64_t(cbStyleXmark)));
    EXPECT_EQ(intl.CheckBoxInGridStyle(), cbStyleXmark);
    EXPECT_TRUE(intl.SetProperty("GridPaintStyle", int64_t(0)));
    EXPECT_EQ(intl.GridPaintStyle(), gpsBitmapCanvas);
    // Values outside the enumerations would send the painting code off its known paths.
    intl.SetProperty("CheckBoxInGridStyle", int64_t(4));
    intl.SetProperty("GridPaintStyle", int64_t(-1));
    EXPECT_EQ(intl.CheckBoxInGridStyle(), cbStyleXmark);
    EXPECT_EQ(intl.GridPaintStyle(), gpsBitmapCanvas);

    EXPECT_TRUE(intl.SetProperty("DialogFontStyle", int64_t(TFontStyles{TFontStyle::fsBold}.Bits())));
    EXPECT_TRUE(intl.DialogFontStyle().Contains(TFontStyle::fsBold));
    EXPECT_EQ(std::get<int64_t>(intl.GetProperty("DialogFontStyle")), 1);
    EXPECT_TRUE(intl.SetProperty("DefaultEpochYear", int64_t(1980)));
    EXPECT_EQ(intl.DefaultEpochYear(), 1980);

    // Writing the version mark, by name or not, leaves it.
    intl.SetProperty("VersionInfoLib", AnsiString("9.9"));
    intl.SetVersionInfoLib("9.9");
    EXPECT_EQ(intl.VersionInfoLib(), "4000.T.B");

    // A sub-object property takes the values of the object given; its own sub-object stays.
    TkxIntl other(&form);
    other.Navigator()->Hints()->SetFirstHint("Top");
    TkxDBNavigatorIntl* own = intl.Navigator();
    EXPECT_TRUE(intl.SetProperty("Navigator", static_cast<TPersistent*>(other.Navigator())));
    EXPECT_EQ(intl.Navigator(), own);
    EXPECT_EQ(intl.Navigator()->Hints()->FirstHint(), "Top");
    // An object of another class is not taken.
    intl.SetProperty("Navigator", static_cast<TPersistent*>(other.UserMessages()));
    EXPECT_EQ(intl.Navigator()->ConfirmDeleteMessage(), "Delete record?");
    EXPECT_FALSE(intl.SetProperty("NoSuchProperty", true));
}

TEST_F(KxIntlTest, ConnectingCopiesEveryValueIntoTheProcessInstance) {
    auto placed = new TkxIntl(&form);
    // A distinct value for every text and number of every sub-object.
    int n = 0;
    ForEachValue(*placed, "", [&](TPersistent& o, const PropInfo& p, const std::string& path) {
        if (&o == placed)
            return;
        PropValue v = p.get(o);
        if (std::holds_alternative<AnsiString>(v))
            p.set(o, AnsiString("v" + std::to_string(++n)));
        else if (std::holds_alternative<int64_t>(v))
            p.set(o, int64_t(++n));
        else if (auto b = std::get_if<bool>(&v))
            p.set(o, !*b), ++n;
        else
            ADD_FAILURE() << path;
    });
    EXPECT_EQ(n, 228);
    placed->SetOKCancelBitmapped(false);
    placed->SetBtnOKCaption("Fine");
    placed->SetBtnCancelCaption("Stop");
    placed->SetCheckBoxInGridStyle(cbStyleCheckmarkFlat);
    placed->SetGridPaintStyle(gpsBitmapCanvas);
    placed->SetFilterMemoSize(10);
    placed->SetIniFileName("layout");
    placed->SetUseLocateMethodForSearch(false);
    placed->SetDialogFontStyle({TFontStyle::fsItalic});
    placed->SetDefaultEpochYear(1970);
    int calls = 0;
    placed->OnValidationErrorUsingMask = [&](TObject*, TField*, AnsiString&, bool&) { ++calls; };

    // Nothing reaches the process instance before connecting.
    EXPECT_EQ(kxProcessIntl->UserMessages()->kxDBGridDiscardChanges(), "Discard changes to this record?");
    placed->SetConnected(true);

    // Every sub-object value as path=value, placed and shared alike.
    auto values = [](TkxIntl& intl) {
        std::vector<std::string> out;
        ForEachValue(intl, "", [&](TPersistent& o, const PropInfo& p, const std::string& path) {
            PropValue v = p.get(o);
            if (&o == &intl)
                return;
            if (auto s = std::get_if<AnsiString>(&v))
                out.push_back(path + "=" + *s);
            else if (auto i = std::get_if<int64_t>(&v))
                out.push_back(path + "=" + std::to_string(*i));
            else
                out.push_back(path + "=" + (std::get<bool>(v) ? "true" : "false"));
        });
        return out;
    };
    std::vector<std::string> expected = values(*placed), copied = values(*kxProcessIntl);
    EXPECT_EQ(copied, expected);
    EXPECT_EQ(kxProcessIntl->RichEdit()->ParagraphDialog()->HelpContext(),
              placed->RichEdit()->ParagraphDialog()->HelpContext());
    EXPECT_EQ(kxProcessIntl->RichEdit()->TabDialog()->HelpContext(),
              placed->RichEdit()->TabDialog()->HelpContext());
    EXPECT_FALSE(kxProcessIntl->ADO()->UseLocateWhenFindingValue());

    EXPECT_FALSE(kxProcessIntl->OKCancelBitmapped());
    EXPECT_EQ(kxProcessIntl->BtnOKCaption(), "Fine");
    EXPECT_EQ(kxProcessIntl->BtnCancelCaption(), "Stop");
    EXPECT_EQ(kxProcessIntl->CheckBoxInGridStyle(), cbStyleCheckmarkFlat);
    EXPECT_EQ(kxProcessIntl->GridPaintStyle(), gpsBitmapCanvas);
    EXPECT_EQ(kxProcessIntl->FilterMemoSize(), 10);
    EXPECT_EQ(kxProcessIntl->IniFileName(), "layout.ini");
    EXPECT_FALSE(kxProcessIntl->UseLocateMethodForSearch());
    EXPECT_EQ(kxProcessIntl->DialogFontStyle(), TFontStyles{TFontStyle::fsItalic});
    EXPECT_EQ(kxProcessIntl->DefaultEpochYear(), 1970);
    ASSERT_TRUE(kxProcessIntl->OnValidationErrorUsingMask);
    AnsiString msg;
    bool doDefault = true;
    kxProcessIntl->OnValidationErrorUsingMask(nullptr, nullptr, msg, doDefault);
    EXPECT_EQ(calls, 1);
    // The process instance stays unconnected and keeps its version mark.
    EXPECT_FALSE(kxProcessIntl->Connected());
    EXPECT_EQ(kxProcessIntl->VersionInfoLib(), "4000.T.B");

    // The texts stay when the form closes.
    AnsiString discard = placed->UserMessages()->kxDBGridDiscardChanges();
    EXPECT_NE(discard, "Discard changes to this record?");
    delete placed;
    EXPECT_EQ(kxProcessIntl->IniFileName(), "layout.ini");
    EXPECT_EQ(kxProcessIntl->UserMessages()->kxDBGridDiscardChanges(), discard);
}

TEST_F(KxIntlTest, IniFileNameGainsItsExtensionOnlyWhenItHasAName) {
    TkxIntl placed(&form);
    for (auto [given, shared] : std::vector<std::pair<AnsiString, AnsiString>>{{"layout", "layout.ini"},
                                                                               {".ini", ""},
                                                                               {"", ""},
                                                                               {"grid.ini", "grid.ini.ini"},
                                                                               {".INI", ".INI.ini"}}) {
        kxProcessIntl->SetIniFileName("before");
        placed.SetIniFileName(given);
        placed.SetConnected(true);
        EXPECT_EQ(kxProcessIntl->IniFileName(), shared) << given;
    }
}

TEST_F(KxIntlTest, ConnectedDecidesWhatReachesTheProcessInstance) {
    TkxIntl placed(&form);
    placed.UserMessages()->SetkxDBGridDiscardChanges("Forget?");
    // Unconnected: a style change stays on the placed instance.
    placed.SetCheckBoxInGridStyle(cbStyleXmark);
    placed.SetConnected(false);
    EXPECT_EQ(kxProcessIntl->CheckBoxInGridStyle(), cbStyleAuto);
    EXPECT_EQ(kxProcessIntl->UserMessages()->kxDBGridDiscardChanges(), "Discard changes to this record?");

    placed.SetConnected(true);
    EXPECT_EQ(kxProcessIntl->CheckBoxInGridStyle(), cbStyleXmark);
    // Connected: the two styles go across at once, texts only at the next copy.
    placed.SetCheckBoxInGridStyle(cbStyleCheckmark);
    placed.SetGridPaintStyle(gpsBitmapCanvas);
    placed.UserMessages()->SetkxDBGridDiscardChanges("Later?");
    EXPECT_EQ(kxProcessIntl->CheckBoxInGridStyle(), cbStyleCheckmark);
    EXPECT_EQ(kxProcessIntl->GridPaintStyle(), gpsBitmapCanvas);
    EXPECT_EQ(kxProcessIntl->UserMessages()->kxDBGridDiscardChanges(), "Forget?");

    // Storing False only stores the flag; later style changes stay here.
    placed.SetConnected(false);
    EXPECT_EQ(kxProcessIntl->UserMessages()->kxDBGridDiscardChanges(), "Forget?");
    placed.SetCheckBoxInGridStyle(cbStyleXmark);
    EXPECT_EQ(kxProcessIntl->CheckBoxInGridStyle(), cbStyleCheckmark);

    // The process instance connected to itself copies nothing and passes nothing on.
    kxProcessIntl->SetConnected(true);
    kxProcessIntl->SetCheckBoxInGridStyle(cbStyleAuto);
    EXPECT_EQ(kxProcessIntl->CheckBoxInGridStyle(), cbStyleAuto);
    EXPECT_EQ(kxProcessIntl->UserMessages()->kxDBGridDiscardChanges(), "Forget?");
}

TEST_F(KxIntlTest, LoadingCopiesAgainWhenItEnds) {
    TkxIntl placed(&form);
    placed.SetLoading(true);
    placed.SetIniFileName("stored");
    placed.SetConnected(true);
    EXPECT_EQ(kxProcessIntl->IniFileName(), "stored.ini");
    // Something changed the shared value between the stored Connected and the end of loading.
    kxProcessIntl->SetIniFileName("other.ini");
    placed.Loaded();
    EXPECT_FALSE(placed.Loading());
    EXPECT_EQ(kxProcessIntl->IniFileName(), "stored.ini");

    TkxIntl unconnected(&form);
    unconnected.SetLoading(true);
    unconnected.SetIniFileName("never");
    unconnected.Loaded();
    EXPECT_EQ(kxProcessIntl->IniFileName(), "stored.ini");
}

TEST_F(KxIntlTest, DestroyingTheProcessInstanceClearsTheReference) {
    auto placed = new TkxIntl(&form);
    delete placed;
    EXPECT_NE(kxProcessIntl, nullptr);

    TkxIntl* first = kxProcessIntl;
    EXPECT_EQ(CreateProcessIntl(), first);
    delete kxProcessIntl;
    EXPECT_EQ(kxProcessIntl, nullptr);
    for (int i = 0; i < Application->ComponentCount(); ++i)
        EXPECT_NE(Application->Components(i), static_cast<TComponent*>(first));

    // Without a process instance, connecting and the styles change only the placed one.
    TkxIntl placed2(&form);
    placed2.SetConnected(true);
    placed2.SetCheckBoxInGridStyle(cbStyleXmark);
    EXPECT_EQ(placed2.CheckBoxInGridStyle(), cbStyleXmark);
    EXPECT_THROW(placed2.ReportMaskError(nullptr, nullptr), EInvalidOperation);

    // Freed with its owner, the application's components.
    TComponent owner(nullptr);
    kxProcessIntl = new TkxIntl(&owner);
    owner.DestroyComponents();
    EXPECT_EQ(kxProcessIntl, nullptr);
}

TEST_F(KxIntlTest, MaskErrorRaisesTheDefaultMessageShownInABox) {
    try {
        kxProcessIntl->ReportMaskError(nullptr, nullptr);
        FAIL() << "no error";
    } catch (const EInvalidOperation& e) {
        EXPECT_EQ(e.Message(), "Invalid input value.  Use escape key to abandon changes");
        EXPECT_STREQ(e.ClassName(), "EInvalidOperation");
        // The application shows it with MORVANE_DIALOGS=auto: one line on standard error.
        ::testing::internal::CaptureStderr();
        Application->HandleException(nullptr, e);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(),
                  Application->Title() + ": Invalid input value.  Use escape key to abandon changes.\n");
    }
}

TEST_F(KxIntlTest, MaskErrorHandlerMayChangeTheMessageOrSuppressTheError) {
    TComponent sender(nullptr);
    TObject* seenSender = nullptr;
    kxProcessIntl->OnValidationErrorUsingMask = [&](TObject* s, TField* f, AnsiString& msg, bool& doDefault) {
        seenSender = s;
        EXPECT_EQ(f, nullptr);
        EXPECT_EQ(msg, "Invalid input value.  Use escape key to abandon changes");
        EXPECT_TRUE(doDefault);
        msg = "Digits only";
    };
    try {
        kxProcessIntl->ReportMaskError(&sender, nullptr);
        FAIL() << "no error";
    } catch (const EInvalidOperation& e) {
        EXPECT_EQ(e.Message(), "Digits only");
    }
    EXPECT_EQ(seenSender, &sender);

    kxProcessIntl->OnValidationErrorUsingMask = [](TObject*, TField*, AnsiString&, bool& doDefault) {
        doDefault = false;
    };
    EXPECT_NO_THROW(kxProcessIntl->ReportMaskError(&sender, nullptr));

    // The process instance's handler decides, whichever instance reports.
    TkxIntl placed(&form);
    placed.OnValidationErrorUsingMask = [](TObject*, TField*, AnsiString& msg, bool&) { msg = "placed"; };
    EXPECT_NO_THROW(placed.ReportMaskError(&sender, nullptr));
    kxProcessIntl->OnValidationErrorUsingMask = nullptr;
    EXPECT_THROW(placed.ReportMaskError(&sender, nullptr), EInvalidOperation);
}

TEST_F(KxIntlTest, CopiedHandlerDiesWithTheInstanceItCameFrom) {
    // The handler belongs to the form; once the form and its instance are gone it must not run.
    auto owner = new TComponent(nullptr);
    auto placed = new TkxIntl(owner);
    auto formState = std::make_unique<int>(0);
    int* state = formState.get();
    placed->OnValidationErrorUsingMask = [state](TObject*, TField*, AnsiString&, bool& doDefault) {
        ++*state;
        doDefault = false;
    };
    placed->SetConnected(true);
    EXPECT_NO_THROW(kxProcessIntl->ReportMaskError(nullptr, nullptr));
    EXPECT_EQ(*state, 1);

    delete owner;
    formState.reset();
    try {
        kxProcessIntl->ReportMaskError(nullptr, nullptr);
        FAIL() << "no error";
    } catch (const EInvalidOperation& e) {
        EXPECT_EQ(e.Message(), "Invalid input value.  Use escape key to abandon changes");
    }

    // A connected instance without a handler clears the shared one.
    kxProcessIntl->OnValidationErrorUsingMask = [](TObject*, TField*, AnsiString&, bool&) {};
    TkxIntl plain(&form);
    plain.SetConnected(true);
    EXPECT_FALSE(kxProcessIntl->OnValidationErrorUsingMask);
}
