#include "grid/support/KxIntl.h"

#include "core/Exception.h"
#include "ui/Application.h"
#include "ui/Dialogs.h"

TkxIntl* kxProcessIntl = nullptr;

TkxIntl* CreateProcessIntl() {
    if (!kxProcessIntl)
        kxProcessIntl = new TkxIntl(Application);
    return kxProcessIntl;
}

void TkxIntl::DefineProperties(ClassInfo& info) {
    info.Add("ADO", &TkxIntl::ADO, &TkxIntl::SetADO);
    info.Add("Navigator", &TkxIntl::Navigator, &TkxIntl::SetNavigator);
    info.Add("SearchDialog", &TkxIntl::SearchDialog, &TkxIntl::SetSearchDialog);
    info.Add("LocateDialog", &TkxIntl::LocateDialog, &TkxIntl::SetLocateDialog);
    info.Add("MonthCalendar", &TkxIntl::MonthCalendar, &TkxIntl::SetMonthCalendar);
    info.Add("FilterDialog", &TkxIntl::FilterDialog, &TkxIntl::SetFilterDialog);
    info.Add("RichEdit", &TkxIntl::RichEdit, &TkxIntl::SetRichEdit);
    info.Add("UserMessages", &TkxIntl::UserMessages, &TkxIntl::SetUserMessages);
    info.Add("OKCancelBitmapped", &TkxIntl::OKCancelBitmapped, &TkxIntl::SetOKCancelBitmapped);
    info.Add("BtnOKCaption", &TkxIntl::BtnOKCaption, &TkxIntl::SetBtnOKCaption);
    info.Add("BtnCancelCaption", &TkxIntl::BtnCancelCaption, &TkxIntl::SetBtnCancelCaption);
    info.Add("CheckBoxInGridStyle", &TkxIntl::CheckBoxInGridStyle, &TkxIntl::SetCheckBoxInGridStyle);
    info.Add("GridPaintStyle", &TkxIntl::GridPaintStyle, &TkxIntl::SetGridPaintStyle);
    info.Add("VersionInfoLib", &TkxIntl::VersionInfoLib, &TkxIntl::SetVersionInfoLib);
    info.Add("FilterMemoSize", &TkxIntl::FilterMemoSize, &TkxIntl::SetFilterMemoSize);
    info.Add("IniFileName", &TkxIntl::IniFileName, &TkxIntl::SetIniFileName);
    info.Add("UseLocateMethodForSearch", &TkxIntl::UseLocateMethodForSearch,
             &TkxIntl::SetUseLocateMethodForSearch);
    info.AddSet("DialogFontStyle", &TkxIntl::DialogFontStyle, &TkxIntl::SetDialogFontStyle);
    info.Add("DefaultEpochYear", &TkxIntl::DefaultEpochYear, &TkxIntl::SetDefaultEpochYear);
    info.Add("Connected", &TkxIntl::Connected, &TkxIntl::SetConnected);
}

TkxIntl::TkxIntl(TComponent* owner)
    : TComponent(owner), ado_(std::make_unique<TkxADOIntl>()),
      navigator_(std::make_unique<TkxDBNavigatorIntl>()),
      searchDialog_(std::make_unique<TkxSearchDialogIntl>()),
      locateDialog_(std::make_unique<TkxLocateDialogIntl>()),
      monthCalendar_(std::make_unique<TkxMonthCalendarIntl>()),
      filterDialog_(std::make_unique<TkxFilterDialogIntl>()),
      richEdit_(std::make_unique<TkxDBRichEditIntl>()),
      userMessages_(std::make_unique<TkxUserMessagesIntl>()) {}

TkxIntl::~TkxIntl() {
    if (kxProcessIntl == this)
        kxProcessIntl = nullptr;
}

// ---- sub-objects: assigned, never replaced ----

void TkxIntl::SetADO(TkxADOIntl* v) {
    if (v)
        ado_->Assign(*v);
}

void TkxIntl::SetNavigator(TkxDBNavigatorIntl* v) {
    if (v && v != navigator_.get())
        navigator_->Assign(*v);
}

void TkxIntl::SetSearchDialog(TkxSearchDialogIntl* v) {
    if (v)
        searchDialog_->Assign(*v);
}

void TkxIntl::SetLocateDialog(TkxLocateDialogIntl* v) {
    if (v)
        locateDialog_->Assign(*v);
}

void TkxIntl::SetMonthCalendar(TkxMonthCalendarIntl* v) {
    if (v)
        monthCalendar_->Assign(*v);
}

void TkxIntl::SetFilterDialog(TkxFilterDialogIntl* v) {
    if (v)
        filterDialog_->Assign(*v);
}

void TkxIntl::SetRichEdit(TkxDBRichEditIntl* v) {
    if (v && v != richEdit_.get())
        richEdit_->Assign(*v);
}

void TkxIntl::SetUserMessages(TkxUserMessagesIntl* v) {
    if (v)
        userMessages_->Assign(*v);
}

// ---- settings that reach kxProcessIntl at once ----

void TkxIntl::SetCheckBoxInGridStyle(TkxCheckBoxInGridStyle v) {
    if (v < cbStyleAuto || v > cbStyleCheckmarkFlat)
        return;
    checkBoxInGridStyle_ = v;
    if (connected_ && kxProcessIntl && kxProcessIntl != this)
        kxProcessIntl->SetCheckBoxInGridStyle(v);
}

void TkxIntl::SetGridPaintStyle(TkxGridPaintStyle v) {
    if (v < gpsBitmapCanvas || v > gpsDynamicDeviceContext)
        return;
    gridPaintStyle_ = v;
    if (connected_ && kxProcessIntl && kxProcessIntl != this)
        kxProcessIntl->SetGridPaintStyle(v);
}

void TkxIntl::SetConnected(bool v) {
    connected_ = v;
    if (v)
        CopyToProcessIntl();
}

void TkxIntl::Loaded() {
    TComponent::Loaded();
    if (connected_)
        CopyToProcessIntl();
}

void TkxIntl::CopyToProcessIntl() {
    TkxIntl* target = kxProcessIntl;
    if (!target || target == this)
        return;
    // Every value of every sub-object, and the dialog buttons.
    target->ado_->Assign(*ado_);
    target->navigator_->Assign(*navigator_);
    target->searchDialog_->Assign(*searchDialog_);
    target->locateDialog_->Assign(*locateDialog_);
    target->monthCalendar_->Assign(*monthCalendar_);
    target->filterDialog_->Assign(*filterDialog_);
    target->richEdit_->Assign(*richEdit_);
    target->userMessages_->Assign(*userMessages_);
    target->okCancelBitmapped_ = okCancelBitmapped_;
    target->btnOKCaption_ = btnOKCaption_;
    target->btnCancelCaption_ = btnCancelCaption_;
    // A form's file name is given without its extension.
    target->iniFileName_ =
        iniFileName_.empty() || iniFileName_ == ".ini" ? AnsiString() : iniFileName_ + ".ini";
    target->SetCheckBoxInGridStyle(checkBoxInGridStyle_);
    target->SetGridPaintStyle(gridPaintStyle_);
    // The handler is usually a method of this instance's form: it must not outlive this instance, or
    // the next mask error after the form closed would call into a freed form. Once this instance is
    // gone the shared handler does nothing, and the default message and error apply.
    if (OnValidationErrorUsingMask)
        target->OnValidationErrorUsingMask =
            [handler = OnValidationErrorUsingMask, alive = std::weak_ptr<const bool>(lifetime_)](
                TObject* sender, TField* field, AnsiString& msg, bool& doDefault) {
                if (!alive.expired())
                    handler(sender, field, msg, doDefault);
            };
    else
        target->OnValidationErrorUsingMask = nullptr;
    target->dialogFontStyle_ = dialogFontStyle_;
    target->useLocateMethodForSearch_ = useLocateMethodForSearch_;
    target->defaultEpochYear_ = defaultEpochYear_;
    target->filterMemoSize_ = filterMemoSize_;
    // Connected and VersionInfoLib stay: kxProcessIntl is never connected.
}

void TkxIntl::ReportMaskError(TObject* Sender, TField* Field) {
    AnsiString msg = "Invalid input value.  Use escape key to abandon changes";
    bool doDefault = true;
    if (kxProcessIntl && kxProcessIntl->OnValidationErrorUsingMask)
        kxProcessIntl->OnValidationErrorUsingMask(Sender, Field, msg, doDefault);
    if (doDefault) {
        MessageBeep();
        throw EInvalidOperation(msg);
    }
}
