#pragma once
// TkxIntl, the grid library's settings object, and kxProcessIntl, its one process-wide instance.
//
// Every grid, editor and dialog of the library reads its texts and look-and-behaviour settings from
// kxProcessIntl at the moment of use (never caching them), so a change takes effect at the next
// message or the next paint. kxProcessIntl is made by CreateProcessIntl() at program start, before
// any form, with the application as owner, and is freed with the application's components at program
// end; while any form lives it is there. Destroying whichever object is kxProcessIntl at the time
// sets the reference to none.
//
// A program may also place its own TkxIntl on a form and set Connected: that instance then copies
// its values into kxProcessIntl (when Connected is stored True, and again when the form finishes
// loading it). The copied values stay after the form closes, except the mask-error handler, which
// lives no longer than the instance it came from.
//
// Typical reads:
//   kxProcessIntl->UserMessages()->kxDBGridDiscardChanges()   the grid's cancel confirmation
//   kxProcessIntl->CheckBoxInGridStyle(), ->GridPaintStyle()  check-box look and paint path
//   kxProcessIntl->IniFileName()                              layout persistence's file name
//   kxProcessIntl->ReportMaskError(sender, field)             a value failed its picture mask
#include "grid/support/KxIntlTexts.h"
#include "ui/Graphics.h"

#include <functional>
#include <memory>

class TField;
using TObject = TPersistent;

// How the grid draws a check-box cell; ordinals are stored values.
enum TkxCheckBoxInGridStyle : int {
    cbStyleAuto = 0,
    cbStyleCheckmark = 1,
    cbStyleXmark = 2,
    cbStyleCheckmarkFlat = 3
};
// Whether the grid paints through an off-screen bitmap canvas or straight to the device.
enum TkxGridPaintStyle : int { gpsBitmapCanvas = 0, gpsDynamicDeviceContext = 1 };

// Told when a value fails its picture mask. Msg comes preset to the default message and DoDefault to
// True; the handler may change both (DoDefault False: no beep and no error).
using TkxPictureValidationError =
    std::function<void(TObject* Sender, TField* Field, AnsiString& Msg, bool& DoDefault)>;

class TkxIntl : public TComponent {
    MORVANE_CLASS_PROPS(TkxIntl, TComponent)
public:
    explicit TkxIntl(TComponent* owner);
    ~TkxIntl() override;

    // Published, in this order. Sub-object setters copy the values into this instance's own
    // sub-object, which stays.
    TkxADOIntl* ADO() const { return ado_.get(); }
    void SetADO(TkxADOIntl* v);
    TkxDBNavigatorIntl* Navigator() const { return navigator_.get(); }
    void SetNavigator(TkxDBNavigatorIntl* v);
    TkxSearchDialogIntl* SearchDialog() const { return searchDialog_.get(); }
    void SetSearchDialog(TkxSearchDialogIntl* v);
    TkxLocateDialogIntl* LocateDialog() const { return locateDialog_.get(); }
    void SetLocateDialog(TkxLocateDialogIntl* v);
    TkxMonthCalendarIntl* MonthCalendar() const { return monthCalendar_.get(); }
    void SetMonthCalendar(TkxMonthCalendarIntl* v);
    TkxFilterDialogIntl* FilterDialog() const { return filterDialog_.get(); }
    void SetFilterDialog(TkxFilterDialogIntl* v);
    TkxDBRichEditIntl* RichEdit() const { return richEdit_.get(); }
    void SetRichEdit(TkxDBRichEditIntl* v);
    TkxUserMessagesIntl* UserMessages() const { return userMessages_.get(); }
    void SetUserMessages(TkxUserMessagesIntl* v);

    bool OKCancelBitmapped() const { return okCancelBitmapped_; }
    void SetOKCancelBitmapped(bool v) { okCancelBitmapped_ = v; }
    const AnsiString& BtnOKCaption() const { return btnOKCaption_; }
    void SetBtnOKCaption(const AnsiString& v) { btnOKCaption_ = v; }
    const AnsiString& BtnCancelCaption() const { return btnCancelCaption_; }
    void SetBtnCancelCaption(const AnsiString& v) { btnCancelCaption_ = v; }
    // Both setters also store into kxProcessIntl while this instance is connected and is not it.
    // Values outside the enumeration are ignored.
    TkxCheckBoxInGridStyle CheckBoxInGridStyle() const { return checkBoxInGridStyle_; }
    void SetCheckBoxInGridStyle(TkxCheckBoxInGridStyle v);
    TkxGridPaintStyle GridPaintStyle() const { return gridPaintStyle_; }
    void SetGridPaintStyle(TkxGridPaintStyle v);
    // The library's version mark; writing it changes nothing.
    const AnsiString& VersionInfoLib() const { return versionInfoLib_; }
    void SetVersionInfoLib(const AnsiString&) {}
    int FilterMemoSize() const { return filterMemoSize_; }
    void SetFilterMemoSize(int v) { filterMemoSize_ = v; }
    // Layout persistence's file name; empty: the one derived from the program file.
    const AnsiString& IniFileName() const { return iniFileName_; }
    void SetIniFileName(const AnsiString& v) { iniFileName_ = v; }
    bool UseLocateMethodForSearch() const { return useLocateMethodForSearch_; }
    void SetUseLocateMethodForSearch(bool v) { useLocateMethodForSearch_ = v; }
    TFontStyles DialogFontStyle() const { return dialogFontStyle_; }
    void SetDialogFontStyle(TFontStyles v) { dialogFontStyle_ = v; }
    // The pivot for two-digit years that a new date/time picker takes as its Epoch.
    int DefaultEpochYear() const { return defaultEpochYear_; }
    void SetDefaultEpochYear(int v) { defaultEpochYear_ = v; }
    // Read by ReportMaskError on kxProcessIntl (a published event, not a by-name property).
    TkxPictureValidationError OnValidationErrorUsingMask;
    // Storing True copies this instance into kxProcessIntl; storing False only stores the flag.
    bool Connected() const { return connected_; }
    void SetConnected(bool v);

    // A value failed its picture mask: with the message "Invalid input value.  Use escape key to
    // abandon changes", kxProcessIntl's OnValidationErrorUsingMask (when assigned) may change the
    // message or clear DoDefault. With DoDefault still True it beeps and throws EInvalidOperation
    // with the message; otherwise it returns and the caller goes on.
    virtual void ReportMaskError(TObject* Sender, TField* Field);

    // A connected instance copies itself into kxProcessIntl once its stored values are in.
    void Loaded() override;

private:
    // Copies this instance's values into kxProcessIntl (nothing when this is kxProcessIntl).
    void CopyToProcessIntl();

    std::unique_ptr<TkxADOIntl> ado_;
    std::unique_ptr<TkxDBNavigatorIntl> navigator_;
    std::unique_ptr<TkxSearchDialogIntl> searchDialog_;
    std::unique_ptr<TkxLocateDialogIntl> locateDialog_;
    std::unique_ptr<TkxMonthCalendarIntl> monthCalendar_;
    std::unique_ptr<TkxFilterDialogIntl> filterDialog_;
    std::unique_ptr<TkxDBRichEditIntl> richEdit_;
    std::unique_ptr<TkxUserMessagesIntl> userMessages_;
    bool okCancelBitmapped_ = true;
    AnsiString btnOKCaption_ = "&OK";
    AnsiString btnCancelCaption_ = "Cancel";
    TkxCheckBoxInGridStyle checkBoxInGridStyle_ = cbStyleAuto;
    TkxGridPaintStyle gridPaintStyle_ = gpsDynamicDeviceContext;
    AnsiString versionInfoLib_ = "4000.T.B";
    int filterMemoSize_ = 65536;
    AnsiString iniFileName_;
    bool useLocateMethodForSearch_ = true;
    TFontStyles dialogFontStyle_;
    int defaultEpochYear_ = 1950;
    bool connected_ = false;
    // Alive exactly as long as this instance: a handler copied into kxProcessIntl runs only while it is.
    std::shared_ptr<const bool> lifetime_ = std::make_shared<const bool>(true);
};

// The process-wide settings object; null before CreateProcessIntl and after it is freed.
extern TkxIntl* kxProcessIntl;

// Makes kxProcessIntl, owned by the application, when there is none; answers it. The program entry
// calls it before creating any form; test fixtures call it too.
TkxIntl* CreateProcessIntl();
