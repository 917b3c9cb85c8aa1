#pragma once
// The sub-objects of the grid library's settings object TkxIntl: every user-visible text of the
// library's grids, navigators, dialogs and editors, grouped by the control that shows it. Each is a
// plain TPersistent owned by its TkxIntl: created with it, freed with it, never shared.
//
// Every entry of a list below is a published property: T(Name, "default") is a text and
// N(Name, default) a number, each with the getter Name(), the setter SetName() and the stated
// default; the list order is the published order. Readers take the value from kxProcessIntl each
// time they need it and never cache it. Assign copies every value, sub-objects included.
// Cost: a few hundred short strings per TkxIntl; reading one is a reference to a member.
#include "core/Component.h"

#include <memory>
#include <string_view>

// A text default written in UTF-8, in the process code page (ASCII passes unchanged).
AnsiString IntlText(std::string_view utf8);

#define KX_INTL_TEXT(Name, Default)                                                                         \
public:                                                                                                     \
    const AnsiString& Name() const { return Name##_; }                                                      \
    void Set##Name(const AnsiString& v) { Name##_ = v; }                                                    \
                                                                                                            \
private:                                                                                                    \
    AnsiString Name##_ = IntlText(Default);

#define KX_INTL_NUMBER(Name, Default)                                                                       \
public:                                                                                                     \
    int Name() const { return Name##_; }                                                                    \
    void Set##Name(int v) { Name##_ = v; }                                                                  \
                                                                                                            \
private:                                                                                                    \
    int Name##_ = Default;

// ---- the texts, per sub-object ----

#define KX_USER_MESSAGES(T, N)                                                                              \
    T(kxDBGridDiscardChanges, "Discard changes to this record?")                                            \
    T(PictureValidateError, "Invalid characters. Field : ")                                                 \
    T(LocateNoMatches, "No matches found")                                                                  \
    T(LocateNoMoreMatches, "No more matches found")                                                         \
    T(MemoChangesWarning, "Changes have been made!  Are you sure you wish to cancel?")                      \
    T(RichEditExitWarning, "Changes have been made!  Do you wish to save your changes?")                    \
    T(RichEditClearWarning, "Clear entire text?")                                                           \
    T(RichEditSpellCheckComplete, "The spell check is complete.")                                           \
    T(RichEditMSWordNotFound, "Unable to start Microsoft Word's Spell Checker.")                            \
    T(FilterDlgNoCriteria, "You have not selected any search criteria")                                     \
    T(RecordViewExitWarning, "Changes have been made!  Do you wish to save your changes?")

#define KX_MONTH_CALENDAR(T, N)                                                                             \
    T(PopupYearLabel, "Edit Year")                                                                          \
    T(EnterYearPrompt, "Enter Valid Year")

#define KX_NAVIGATOR_HINTS(T, N)                                                                            \
    T(FirstHint, "Move to first record")                                                                    \
    T(PriorHint, "Move to prior record")                                                                    \
    T(NextHint, "Move to next record")                                                                      \
    T(LastHint, "Move to last record")                                                                      \
    T(InsertHint, "Insert new record")                                                                      \
    T(DeleteHint, "Delete current record")                                                                  \
    T(EditHint, "Edit current record")                                                                      \
    T(PostHint, "Post changes of current record")                                                           \
    T(CancelHint, "Cancel changes made to current record")                                                  \
    T(RefreshHint, "Refresh the contents of the dataset")                                                   \
    T(PriorPageHint, "Move backward %d records")                                                            \
    T(NextPageHint, "Move forward %d records")                                                              \
    T(SaveBookmarkHint, "Bookmark current record")                                                          \
    T(RestoreBookmarkHint, "Go back to saved bookmark")                                                     \
    T(RecordViewDialogHint, "View current record")                                                          \
    T(LocateDialogHint, "Locate a specific record")                                                         \
    T(FilterDialogHint, "Filter the dataset")                                                               \
    T(SearchDialogHint, "Search the dataset")

#define KX_SEARCH_DIALOG(T, N)                                                                              \
    T(SearchCharLabel, "&Search Characters")                                                                \
    T(SearchCharShortLabel, "&Search Char")                                                                 \
    T(SearchByLabel, "Search &By")                                                                          \
    T(StatusRecLabel, "Rec #")                                                                              \
    T(StatusOfLabel, "of")                                                                                  \
    T(SearchCharHint, "Enter characters for incremental search")                                            \
    T(SearchByHint, "Incremental searching and sorting order")

#define KX_LOCATE_DIALOG(T, N)                                                                              \
    T(FieldValueLabel, "Field &Value")                                                                      \
    T(SearchTypeLabel, "&Search Type")                                                                      \
    T(CaseSensitiveLabel, "&Case-sensitive")                                                                \
    T(MatchExactLabel, "&Exact Match")                                                                      \
    T(MatchStartLabel, "&Partial Match at Beginning")                                                       \
    T(MatchAnyLabel, "Partial Match &Anywhere")                                                             \
    T(FieldsLabel, "&Fields")                                                                               \
    T(BtnFirst, "Fi&rst")                                                                                   \
    T(BtnNext, "&Next")                                                                                     \
    T(BtnCancel, "Cancel")                                                                                  \
    T(BtnClose, "Close")                                                                                    \
    T(FieldValueHint, "Enter field's search value")                                                         \
    T(CaseSensitiveHint, "Searching is case-sensitive")                                                     \
    T(MatchExactHint, "Match occurs only if there is an exact match")                                       \
    T(MatchStartHint, "Match occurs if the start of the field's value matches")                             \
    T(MatchAnyHint, "Match occurs if any part of the field matches")                                        \
    T(BtnFirstHint, "Find first match")                                                                     \
    T(BtnNextHint, "Find next match from current record")                                                   \
    T(FieldNameHint, "Select the field to search on")

#define KX_FILTER_DIALOG(T, N)                                                                              \
    T(BtnViewSummary, "View Su&mmary")                                                                      \
    T(BtnViewSummaryHint, "View summary of current search criteria")                                        \
    T(BtnNewSearch, "&New Search")                                                                          \
    T(BtnNewSearchHint, "Start a new search")                                                               \
    T(FieldOrderLabel, "Field Order")                                                                       \
    T(FieldOrderHint, "Sort field list alphabetically or in their natural logical order")                   \
    T(AlphabeticLabel, "Alpha&betic")                                                                       \
    T(LogicalLabel, "&Logical")                                                                             \
    T(AllFieldsLabel, "&All")                                                                               \
    T(SearchedFieldsLabel, "&Searched")                                                                     \
    T(StartingRangeLabel, "&Starting Range")                                                                \
    T(EndingRangeLabel, "En&ding Range")                                                                    \
    T(StartingRangeHint, "Enter starting range for field")                                                  \
    T(EndingRangeHint, "Enter ending range for field")                                                      \
    T(BtnClearMin, "&Clear")                                                                                \
    T(BtnClearMax, "Cl&ear")                                                                                \
    T(BtnClearFilterValue, "&Clear")                                                                        \
    T(BtnClearMinHint, "Clear starting range for field")                                                    \
    T(BtnClearMaxHint, "Clear ending range for field")                                                      \
    T(BtnClearFilterValueHint, "Clear the current field's search value")                                    \
    T(ByValueLabel, "By &Value")                                                                            \
    T(ByRangeLabel, "By &Range")                                                                            \
    T(FieldValueLabel, "Field &Value")                                                                      \
    T(FieldValueHint, "Enter field's search value")                                                         \
    T(SearchTypeLabel, "Search Type")                                                                       \
    T(SearchTypeHint, "Specify how the Field Value should be compared")                                     \
    T(MatchExactLabel, "&Exact Match")                                                                      \
    T(MatchStartLabel, "&Partial Match at Beginning")                                                       \
    T(MatchAnyLabel, "Partial Match Any&where")                                                             \
    T(CaseSensitiveLabel, "Case Sensi&tive")                                                                \
    T(CaseSensitiveHint, "Searching is case-sensitive")                                                     \
    T(NonMatchingLabel, "N&on-matching records")                                                            \
    T(NonMatchingHint, "Show records that do not match the field value criteria")                           \
    T(SummaryFieldLabel, "Field")                                                                           \
    T(SummarySearchLabel, "Search Type")                                                                    \
    T(SummaryValueLabel, "Value")                                                                           \
    T(SummaryCaption, "")                                                                                   \
    T(FieldsLabel, "&Fields")                                                                               \
    T(ValueRangeTabHint, "Search fields by value or by range")                                              \
    T(AllSearchedTabHint, "Show all fields or only currently searched fields")                              \
    T(ViewSummaryNotText, "NOT")

// Hints that carry a bar read "title | description".
#define KX_RICH_EDIT(T, N)                                                                                  \
    T(FontNameComboHint, "Font | Changes the font of the selection")                                        \
    T(FontSizeComboHint, "Font Size | Changes the font size of the selection")                              \
    T(NewButtonHint, "New | Creates a new document")                                                        \
    T(LoadButtonHint, "Load | Load from file")                                                              \
    T(SaveAsButtonHint, "Save As | Save to file")                                                           \
    T(PrintButtonHint, "Print | Prints the active document")                                                \
    T(FindButtonHint, "Find | Finds the specified text")                                                    \
    T(CutButtonHint, "Cut | Cuts the selection and puts it on the Clipboard")                               \
    T(CopyButtonHint, "Copy | Copies the selection and puts it on the Clipboard")                           \
    T(UndoButtonHint, "Undo | Reverses the last action")                                                    \
    T(RedoButtonHint, "Redo | Reverses the last undo action")                                               \
    T(PasteButtonHint, "Paste | Inserts Clipboard contents")                                                \
    T(BoldButtonHint, "Bold | Makes the selection bold (toggle)")                                           \
    T(ColorButtonHint, "Color | Formats the selection with a color")                                        \
    T(UnderlineButtonHint, "Underline | Formats the selection with a continuous underline (toggle)")        \
    T(ItalicButtonHint, "Italic | Makes the selection italic (toggle)")                                     \
    T(LeftButtonHint, "Align Left | Left-justifies paragraph (toggle)")                                     \
    T(CenterButtonHint, "Center | Center-justifies paragraph (toggle)")                                     \
    T(RightButtonHint, "Align Right | Right-justifies paragraph (toggle)")                                  \
    T(JustifyButtonHint, "Justify | Full Justification for paragraph (toggle)")                             \
    T(BulletButtonHint, "Bullets | Inserts a bullet on this line (toggle)")                                 \
    T(HighlightButtonHint, "Highlight Text | Makes the selection highlighted")                              \
    T(SaveExitHint, "Save And Exit | Saves changes and exits editor")                                       \
    T(PageSetupHint, "Page Setup | Changes page layout settings")                                           \
    T(ExitHint, "Exit")                                                                                     \
    T(ClearHint, "Erases the Selection")                                                                    \
    T(SelectAllHint, "Selects all of the text")                                                             \
    T(FindNextHint, "Repeats the last find")                                                                \
    T(ReplaceHint, "Replaces specific text with different text")                                            \
    T(InsertObjectHint, "Inserts new embedded object")                                                      \
    T(SpellCheckHint, "Check spelling")                                                                     \
    T(ToolbarHint, "Shows or hides the toolbar")                                                            \
    T(FormatBarHint, "Shows or hides the format bar")                                                       \
    T(ViewStatusBarHint, "Shows or hides the status bar")                                                   \
    T(OptionsHint, "Sets options")                                                                          \
    T(FontHint, "Selects font for current selection")                                                       \
    T(ParagraphHint, "Formats current or selected paragraph(s)")                                            \
    T(TabsHint, "Sets tabs")                                                                                \
    T(CAPLockCaption, "CAP")                                                                                \
    T(NUMLockCaption, "NUM")

#define KX_RICH_EDIT_MENU(T, N)                                                                             \
    T(FileCaption, "&File")                                                                                 \
    T(LoadCaption, "&Load")                                                                                 \
    T(SaveAsCaption, "Save &As")                                                                            \
    T(SaveExitCaption, "&Save and Exit")                                                                    \
    T(PrintCaption, "&Print")                                                                               \
    T(PageSetupCaption, "Page Set&up")                                                                      \
    T(ExitCaption, "E&xit")                                                                                 \
    T(EditCaption, "&Edit")                                                                                 \
    T(UndoCaption, "&Undo")                                                                                 \
    T(CutCaption, "Cu&t")                                                                                   \
    T(CopyCaption, "&Copy")                                                                                 \
    T(PasteCaption, "&Paste")                                                                               \
    T(ClearCaption, "Cle&ar")                                                                               \
    T(SelectallCaption, "Select A&ll")                                                                      \
    T(FindCaption, "&Find")                                                                                 \
    T(FindNextCaption, "Find &Next")                                                                        \
    T(ReplaceCaption, "R&eplace")                                                                           \
    T(InsertObjectCaption, "&Object...")                                                                    \
    T(ToolCaption, "&Tools")                                                                                \
    T(SpellCheckCaption, "Check &Spelling")                                                                 \
    T(InsertCaption, "&Insert")                                                                             \
    T(RulerCaption, "&Ruler")                                                                               \
    T(RedoCaption, "")                                                                                      \
    T(ViewCaption, "&View")                                                                                 \
    T(ToolbarCaption, "&Toolbar")                                                                           \
    T(FormatBarCaption, "&Format Bar")                                                                      \
    T(ViewStatusBarCaption, "&Status Bar")                                                                  \
    T(OptionsCaption, "&Options")                                                                           \
    T(FormatCaption, "F&ormat")                                                                             \
    T(FontCaption, "&Font")                                                                                 \
    T(BulletStyleCaption, "&Bullet Style")                                                                  \
    T(ParagraphCaption, "&Paragraph")                                                                       \
    T(TabsCaption, "&Tabs")                                                                                 \
    T(HelpCaption, "Help")

#define KX_RICH_EDIT_POPUP_MENU(T, N)                                                                       \
    T(EditCaption, "&Edit")                                                                                 \
    T(ViewCaption, "&View")                                                                                 \
    T(CutCaption, "Cu&t")                                                                                   \
    T(CopyCaption, "&Copy")                                                                                 \
    T(PasteCaption, "&Paste")                                                                               \
    T(FontCaption, "&Font")                                                                                 \
    T(BulletStyleCaption, "&Bullet Style")                                                                  \
    T(BoldCaption, "B&old")                                                                                 \
    T(ItalicCaption, "&Italic")                                                                             \
    T(UnderlineCaption, "&Underline")                                                                       \
    T(ParagraphCaption, "P&aragraph")                                                                       \
    T(TabsCaption, "&Tabs")                                                                                 \
    T(FindCaption, "Fin&d")                                                                                 \
    T(ReplaceCaption, "&Replace")                                                                           \
    T(InsertObjectCaption, "Insert &Object...")                                                             \
    T(ObjectPropertiesCaption, "Object P&roperties")                                                        \
    T(SpellCheckCaption, "Check &Spelling")

#define KX_RICH_EDIT_PARAGRAPH_DIALOG(T, N)                                                                 \
    T(ParagraphDlgCaption, "Paragraph")                                                                     \
    T(IndentationGroupBoxCaption, "Indentation")                                                            \
    T(LeftEditHint, "Left Indentation")                                                                     \
    T(RightEditHint, "Right Indentation")                                                                   \
    T(FirstLineEditHint, "First Line of Paragraph Indentation")                                             \
    T(AlignmentHint, "Changes Alignment of Paragraph")                                                      \
    T(LeftEditCaption, "Left:")                                                                             \
    T(RightEditCaption, "Right:")                                                                           \
    T(FirstLineEditCaption, "First line:")                                                                  \
    T(SpacingGroupCaption, "Spacing")                                                                       \
    T(BeforeParagraphCaption, "&Before")                                                                    \
    T(AfterParagraphCaption, "Aft&er")                                                                      \
    T(WithinParagraphCaption, "Li&ne Spacing")                                                              \
    T(WithinParagraphAtCaption, "&At")                                                                      \
    T(AlignmentCaption, "Alignment")                                                                        \
    T(AlignLeft, "Left")                                                                                    \
    T(AlignRight, "Right")                                                                                  \
    T(AlignCenter, "Center")                                                                                \
    T(AlignJustify, "Justify")                                                                              \
    T(SpacingSingle, "")                                                                                    \
    T(Spacing1_5, "")                                                                                       \
    T(SpacingDouble, "")                                                                                    \
    T(SpacingAtLeast, "")                                                                                   \
    T(SpacingExactly, "")                                                                                   \
    T(SpacingMultiple, "")                                                                                  \
    N(HelpContext, 0)

#define KX_RICH_EDIT_TAB_DIALOG(T, N)                                                                       \
    T(TabDlgCaption, "Tab")                                                                                 \
    N(HelpContext, 0)                                                                                       \
    T(TabGroupBoxCaption, "&Tab Stop Position")                                                             \
    T(SetTabButtonCaption, "Set")                                                                           \
    T(ClearTabButtonCaption, "Clear")                                                                       \
    T(ClearAllButtonCaption, "Clear All")                                                                   \
    T(TabPositionEditHint, "Tab Position Edit Box")                                                         \
    T(ListBoxHint, "List of tabs and their positions")                                                      \
    T(SetButtonHint, "Set a new tab position")                                                              \
    T(ClearButtonHint, "Clear the selected tab position")                                                   \
    T(ClearAllButtonHint, "Clear all the tabs")

// A sub-object whose published properties are exactly one list above.
#define KX_INTL_TEXT_CLASS(Self, LIST)                                                                      \
    class Self : public TPersistent {                                                                       \
        MORVANE_CLASS_PROPS(Self, TPersistent)                                                              \
    public:                                                                                                 \
        void Assign(const Self& source);                                                                    \
        LIST(KX_INTL_TEXT, KX_INTL_NUMBER)                                                                  \
    }

// The texts a program may replace in the grid's and the editors' message boxes. The grid asks
// kxDBGridDiscardChanges (Yes cancels the edit) when the user cancels a modified record.
KX_INTL_TEXT_CLASS(TkxUserMessagesIntl, KX_USER_MESSAGES);
KX_INTL_TEXT_CLASS(TkxMonthCalendarIntl, KX_MONTH_CALENDAR);
KX_INTL_TEXT_CLASS(TkxDBNavigatorIntlHints, KX_NAVIGATOR_HINTS);
KX_INTL_TEXT_CLASS(TkxSearchDialogIntl, KX_SEARCH_DIALOG);
KX_INTL_TEXT_CLASS(TkxLocateDialogIntl, KX_LOCATE_DIALOG);
KX_INTL_TEXT_CLASS(TkxFilterDialogIntl, KX_FILTER_DIALOG);
KX_INTL_TEXT_CLASS(TkxRichEditMenuLabels, KX_RICH_EDIT_MENU);
KX_INTL_TEXT_CLASS(TkxRichEditPopupMenuLabels, KX_RICH_EDIT_POPUP_MENU);
KX_INTL_TEXT_CLASS(TkxRichEditParagraphDlg, KX_RICH_EDIT_PARAGRAPH_DIALOG);
KX_INTL_TEXT_CLASS(TkxRichEditTabDlg, KX_RICH_EDIT_TAB_DIALOG);

// Settings of the record-locating service.
class TkxADOIntl : public TPersistent {
    MORVANE_CLASS_PROPS(TkxADOIntl, TPersistent)
public:
    void Assign(const TkxADOIntl& source) { useLocateWhenFindingValue_ = source.useLocateWhenFindingValue_; }
    bool UseLocateWhenFindingValue() const { return useLocateWhenFindingValue_; }
    void SetUseLocateWhenFindingValue(bool v) { useLocateWhenFindingValue_ = v; }

private:
    bool useLocateWhenFindingValue_ = true;
};

// The navigator's delete confirmation and its button hints. Published: ConfirmDeleteMessage, Hints.
class TkxDBNavigatorIntl : public TPersistent {
    MORVANE_CLASS_PROPS(TkxDBNavigatorIntl, TPersistent)
public:
    TkxDBNavigatorIntl();
    void Assign(const TkxDBNavigatorIntl& source);
    const AnsiString& ConfirmDeleteMessage() const { return confirmDeleteMessage_; }
    void SetConfirmDeleteMessage(const AnsiString& v) { confirmDeleteMessage_ = v; }
    TkxDBNavigatorIntlHints* Hints() const { return hints_.get(); }
    // Copies the values; the sub-object itself stays.
    void SetHints(TkxDBNavigatorIntlHints* v);

private:
    AnsiString confirmDeleteMessage_ = IntlText("Delete record?");
    std::unique_ptr<TkxDBNavigatorIntlHints> hints_;
};

// The rich-text editor's tool-button hints and status-bar captions (the KX_RICH_EDIT list), then
// its four sub-objects: MenuLabels, PopupMenuLabels, ParagraphDialog, TabDialog.
class TkxDBRichEditIntl : public TPersistent {
    MORVANE_CLASS_PROPS(TkxDBRichEditIntl, TPersistent)
public:
    TkxDBRichEditIntl();
    void Assign(const TkxDBRichEditIntl& source);
    KX_RICH_EDIT(KX_INTL_TEXT, KX_INTL_NUMBER)
public:
    TkxRichEditMenuLabels* MenuLabels() const { return menuLabels_.get(); }
    TkxRichEditPopupMenuLabels* PopupMenuLabels() const { return popupMenuLabels_.get(); }
    TkxRichEditParagraphDlg* ParagraphDialog() const { return paragraphDialog_.get(); }
    TkxRichEditTabDlg* TabDialog() const { return tabDialog_.get(); }
    // Each copies the values; the sub-object itself stays.
    void SetMenuLabels(TkxRichEditMenuLabels* v);
    void SetPopupMenuLabels(TkxRichEditPopupMenuLabels* v);
    void SetParagraphDialog(TkxRichEditParagraphDlg* v);
    void SetTabDialog(TkxRichEditTabDlg* v);

private:
    std::unique_ptr<TkxRichEditMenuLabels> menuLabels_;
    std::unique_ptr<TkxRichEditPopupMenuLabels> popupMenuLabels_;
    std::unique_ptr<TkxRichEditParagraphDlg> paragraphDialog_;
    std::unique_ptr<TkxRichEditTabDlg> tabDialog_;
};
