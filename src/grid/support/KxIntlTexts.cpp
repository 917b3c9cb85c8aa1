#include "grid/support/KxIntlTexts.h"

#include <algorithm>

AnsiString IntlText(std::string_view utf8) {
    bool ascii =
        std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return ascii ? AnsiString(utf8) : Ansi(utf8);
}

#define KX_INTL_REGISTER(Name, Default) info.Add(#Name, &Self::Name, &Self::Set##Name);
#define KX_INTL_ASSIGN(Name, Default) Name##_ = source.Name##_;

// Registration in list order, and Assign copying every member of the list.
#define KX_INTL_TEXT_CLASS_BODY(Self_, LIST)                                                                 \
    void Self_::DefineProperties(ClassInfo& info) {                                                          \
        using Self = Self_;                                                                                  \
        LIST(KX_INTL_REGISTER, KX_INTL_REGISTER)                                                             \
    }                                                                                                        \
    void Self_::Assign(const Self_& source) {                                                                \
        LIST(KX_INTL_ASSIGN, KX_INTL_ASSIGN)                                                                 \
    }

KX_INTL_TEXT_CLASS_BODY(TkxUserMessagesIntl, KX_USER_MESSAGES)
KX_INTL_TEXT_CLASS_BODY(TkxMonthCalendarIntl, KX_MONTH_CALENDAR)
KX_INTL_TEXT_CLASS_BODY(TkxDBNavigatorIntlHints, KX_NAVIGATOR_HINTS)
KX_INTL_TEXT_CLASS_BODY(TkxSearchDialogIntl, KX_SEARCH_DIALOG)
KX_INTL_TEXT_CLASS_BODY(TkxLocateDialogIntl, KX_LOCATE_DIALOG)
KX_INTL_TEXT_CLASS_BODY(TkxFilterDialogIntl, KX_FILTER_DIALOG)
KX_INTL_TEXT_CLASS_BODY(TkxRichEditMenuLabels, KX_RICH_EDIT_MENU)
KX_INTL_TEXT_CLASS_BODY(TkxRichEditPopupMenuLabels, KX_RICH_EDIT_POPUP_MENU)
KX_INTL_TEXT_CLASS_BODY(TkxRichEditParagraphDlg, KX_RICH_EDIT_PARAGRAPH_DIALOG)
KX_INTL_TEXT_CLASS_BODY(TkxRichEditTabDlg, KX_RICH_EDIT_TAB_DIALOG)

void TkxADOIntl::DefineProperties(ClassInfo& info) {
    info.Add("UseLocateWhenFindingValue", &TkxADOIntl::UseLocateWhenFindingValue,
             &TkxADOIntl::SetUseLocateWhenFindingValue);
}

// ---- navigator ----

void TkxDBNavigatorIntl::DefineProperties(ClassInfo& info) {
    info.Add("ConfirmDeleteMessage", &TkxDBNavigatorIntl::ConfirmDeleteMessage,
             &TkxDBNavigatorIntl::SetConfirmDeleteMessage);
    info.Add("Hints", &TkxDBNavigatorIntl::Hints, &TkxDBNavigatorIntl::SetHints);
}

TkxDBNavigatorIntl::TkxDBNavigatorIntl() : hints_(std::make_unique<TkxDBNavigatorIntlHints>()) {}

void TkxDBNavigatorIntl::Assign(const TkxDBNavigatorIntl& source) {
    confirmDeleteMessage_ = source.confirmDeleteMessage_;
    hints_->Assign(*source.hints_);
}

void TkxDBNavigatorIntl::SetHints(TkxDBNavigatorIntlHints* v) {
    if (v && v != hints_.get())
        hints_->Assign(*v);
}

// ---- rich-text editor ----

void TkxDBRichEditIntl::DefineProperties(ClassInfo& info) {
    using Self = TkxDBRichEditIntl;
    KX_RICH_EDIT(KX_INTL_REGISTER, KX_INTL_REGISTER)
    info.Add("MenuLabels", &Self::MenuLabels, &Self::SetMenuLabels);
    info.Add("PopupMenuLabels", &Self::PopupMenuLabels, &Self::SetPopupMenuLabels);
    info.Add("ParagraphDialog", &Self::ParagraphDialog, &Self::SetParagraphDialog);
    info.Add("TabDialog", &Self::TabDialog, &Self::SetTabDialog);
}

TkxDBRichEditIntl::TkxDBRichEditIntl()
    : menuLabels_(std::make_unique<TkxRichEditMenuLabels>()),
      popupMenuLabels_(std::make_unique<TkxRichEditPopupMenuLabels>()),
      paragraphDialog_(std::make_unique<TkxRichEditParagraphDlg>()),
      tabDialog_(std::make_unique<TkxRichEditTabDlg>()) {}

void TkxDBRichEditIntl::Assign(const TkxDBRichEditIntl& source) {
    KX_RICH_EDIT(KX_INTL_ASSIGN, KX_INTL_ASSIGN)
    menuLabels_->Assign(*source.menuLabels_);
    popupMenuLabels_->Assign(*source.popupMenuLabels_);
    paragraphDialog_->Assign(*source.paragraphDialog_);
    tabDialog_->Assign(*source.tabDialog_);
}

void TkxDBRichEditIntl::SetMenuLabels(TkxRichEditMenuLabels* v) {
    if (v && v != menuLabels_.get())
        menuLabels_->Assign(*v);
}

void TkxDBRichEditIntl::SetPopupMenuLabels(TkxRichEditPopupMenuLabels* v) {
    if (v && v != popupMenuLabels_.get())
        popupMenuLabels_->Assign(*v);
}

void TkxDBRichEditIntl::SetParagraphDialog(TkxRichEditParagraphDlg* v) {
    if (v && v != paragraphDialog_.get())
        paragraphDialog_->Assign(*v);
}

void TkxDBRichEditIntl::SetTabDialog(TkxRichEditTabDlg* v) {
    if (v && v != tabDialog_.get())
        tabDialog_->Assign(*v);
}
