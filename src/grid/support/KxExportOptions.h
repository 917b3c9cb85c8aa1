#pragma once
// TkxExportOptions: the export settings of a grid and RunExport, which writes the records of the
// grid's dataset, column by column as the grid shows them, as delimited or fixed-width text, an HTML
// table or a SYLK spreadsheet, to a file or to the clipboard.
//
// The export does not know the grid's class: the grid hands it an IkxExportGrid (declared here, made
// by the grid) that answers the columns, the looks, the events and the record window. An options
// object without one (its owner is no grid) writes an empty file.
//
// Costs: one pass over the records (or over the sorted selection, O(s log s) to sort), each record
// costing one cell text per exported column and no allocation of the writers' own; a file's output
// goes out through one 64 KB buffer as it is made, the clipboard's is gathered in memory. SYLK rows
// are gathered too when the row count or the fonts are not known before the first row (colour hooks
// asked, records chosen by a test). Between records the application's pending messages are
// processed, at most every few milliseconds.
#include "core/Component.h"
#include "data/DataSet.h"
#include "ui/Graphics.h"

#include <functional>
#include <vector>

enum TkxGridExportType { kxgetTxt, kxgetHTML, kxgetSYLK, kxgetXML };

// clang-format off
enum class TkxExportSaveOption {
    esoShowHeader, esoShowFooter, esoDynamicColors, esoShowTitle, esoDblQuoteFields, esoSaveSelectedOnly,
    esoAddControls, esoBestColFit, esoShowRecordNo, esoEmbedURL, esoShowAlternating, esoTransparentGrid,
    esoClipboard
};
// clang-format on
using TkxExportSaveOptions = TSmallSet<TkxExportSaveOption>;
constexpr TkxExportSaveOption esoShowHeader = TkxExportSaveOption::esoShowHeader;
constexpr TkxExportSaveOption esoShowFooter = TkxExportSaveOption::esoShowFooter;
constexpr TkxExportSaveOption esoDynamicColors = TkxExportSaveOption::esoDynamicColors;
constexpr TkxExportSaveOption esoShowTitle = TkxExportSaveOption::esoShowTitle;
constexpr TkxExportSaveOption esoDblQuoteFields = TkxExportSaveOption::esoDblQuoteFields;
constexpr TkxExportSaveOption esoSaveSelectedOnly = TkxExportSaveOption::esoSaveSelectedOnly;
constexpr TkxExportSaveOption esoAddControls = TkxExportSaveOption::esoAddControls;
constexpr TkxExportSaveOption esoBestColFit = TkxExportSaveOption::esoBestColFit;
constexpr TkxExportSaveOption esoShowRecordNo = TkxExportSaveOption::esoShowRecordNo;
constexpr TkxExportSaveOption esoEmbedURL = TkxExportSaveOption::esoEmbedURL;
constexpr TkxExportSaveOption esoShowAlternating = TkxExportSaveOption::esoShowAlternating;
constexpr TkxExportSaveOption esoTransparentGrid = TkxExportSaveOption::esoTransparentGrid;
constexpr TkxExportSaveOption esoClipboard = TkxExportSaveOption::esoClipboard;
// 1049.
constexpr TkxExportSaveOptions kxDefaultExportOptions{esoShowHeader, esoShowTitle, esoDblQuoteFields,
                                                      esoShowAlternating};

// What an export reads of its grid. Columns are the grid's data columns, 0-based, one per field of
// the grid's data link in grid order; "the current record" is the dataset's.
class IkxExportGrid {
public:
    virtual ~IkxExportGrid() = default;

    // ---- data ----
    // The grid's dataset; null without a data source or a dataset.
    virtual TDataSet* DataSet() const = 0;
    virtual bool LinkActive() const = 0;
    virtual int FieldCount() const = 0;
    virtual TField* Field(int col) const = 0;
    // The text the grid shows in the column's cell for the current record.
    virtual AnsiString CellText(int col) const = 0;
    // The multi-selection's bookmarks, in any order.
    virtual std::vector<TBookmark> SelectedBookmarks() const = 0;
    // The current record's row in the grid's record window, and putting the current record back
    // on such a row (as near as the records allow).
    virtual int VisibleRow() const = 0;
    virtual void MoveRecordToRow(int row) = 0;

    // ---- columns ----
    virtual AnsiString Title(int col) const = 0;
    virtual int WidthInChars(int col) const = 0;
    virtual int PixelWidth(int col) const = 0;
    virtual AnsiString GroupHeaderName(int col) const = 0;
    virtual AnsiString FooterText(int col) const = 0;
    // The control type of the column's field and its parameters; empty for a plain column.
    virtual AnsiString ControlType(int col, AnsiString& parameters) const = 0;
    // The checked and unchecked values of a check-box column; false for other columns.
    virtual bool CheckBoxValues(int col, AnsiString& checked, AnsiString& unchecked) const = 0;
    // The items of the combo box a CustomEdit column names, and whether it has a map list (items
    // "shown text", tab, "stored value"); false when the column names no such combo box.
    virtual bool ComboItems(int col, std::vector<AnsiString>& items, bool& mapList) const = 0;
    // Memo fields show their text rather than "(Memo)".
    virtual bool ShowsMemoText() const = 0;

    // ---- looks ----
    virtual const TFont& Font() const = 0;
    virtual const TFont& TitleFont() const = 0;
    virtual TColor Color() const = 0;
    virtual TColor TitleColor() const = 0;
    virtual TAlignment TitleAlignment() const = 0;
    virtual int TitleLines() const = 0;
    // The grid shows a footer row (dgShowFooter).
    virtual bool ShowsFooter() const = 0;
    virtual TColor FooterColor() const = 0;
    virtual TColor FooterCellColor() const = 0;
    // clNone when the grid has none.
    virtual TColor AlternatingRowColor() const = 0;
    virtual bool RightToLeft() const = 0;

    // ---- events ----
    // OnExportField: false when the field is refused.
    virtual bool ExportField(TField* field) = 0;
    // OnExportSYLKFormat: may replace the format.
    virtual void ExportSYLKFormat(TField* field, AnsiString& format) = 0;
    // OnCalcTitleAttributes and OnCalcCellColors (empty state, not highlighted).
    virtual void CalcTitleAttributes(int col, TFont& font, TBrush& brush, TAlignment& alignment) = 0;
    virtual void CalcCellColors(int col, TFont& font, TBrush& brush) = 0;
};

class TkxExportOptions : public TPersistent {
    MORVANE_CLASS_PROPS(TkxExportOptions, TPersistent)
public:
    // `owner` (the grid) owns the options; `grid` is what they read of it (null: no grid).
    TkxExportOptions(TComponent* owner, IkxExportGrid* grid);
    ~TkxExportOptions() override;

    // Separator of delimited text; empty selects fixed-width text.
    const AnsiString& Delimiter() const { return delimiter_; }
    void SetDelimiter(const AnsiString& v) { delimiter_ = v; }
    TkxGridExportType ExportType() const { return exportType_; }
    void SetExportType(TkxGridExportType v) { exportType_ = v; }
    // Resolved: the stored name, or the program's name before its first "." followed by ".txt".
    AnsiString FileName() const;
    void SetFileName(const AnsiString& v) { fileName_ = v; }
    const AnsiString& StoredFileName() const { return fileName_; }
    int HTMLBorderWidth() const { return htmlBorderWidth_; }
    void SetHTMLBorderWidth(int v) { htmlBorderWidth_ = v; }
    TkxExportSaveOptions Options() const { return options_; }
    void SetOptions(TkxExportSaveOptions v) { options_ = v; }
    // Target total width of the HTML table; 0 keeps the grid's pixel widths.
    int OutputWidthinTwips() const { return outputWidthinTwips_; }
    void SetOutputWidthinTwips(int v) { outputWidthinTwips_ = v; }
    const AnsiString& TitleName() const { return titleName_; }
    void SetTitleName(const AnsiString& v) { titleName_ = v; }

    TComponent* Owner() const { return owner_; }
    IkxExportGrid* Grid() const { return grid_; }

    // With esoDblQuoteFields: a non-empty text in double quotes (quotes inside it doubled in
    // delimited text only); an empty text as two double quotes in fixed-width text only. Without:
    // the text unchanged.
    virtual AnsiString QuoteField(const AnsiString& text) const;
    // Writes the export. Fails with "Cannot create file "%s". %s" before anything else when the
    // file cannot be made; any later failure passes on after the dataset is back on its record, on
    // its row, with its controls enabled, and the file is closed with what was written.
    virtual void RunExport();
    // RunExport over chosen records instead of all of them or the selection: the records of
    // `records` (bookmarks, visited in dataset order), or those for which `accept`, asked on each
    // record in dataset order, answers true. An export of the current record alone moves no record,
    // so a pending change of it is neither posted nor lost.
    void RunExportOf(std::vector<TBookmark> records);
    void RunExportWhere(const std::function<bool()>& accept);

private:
    void exportRecords(class TkxExportSink& out);
    // The records of the export under way when chosen (RunExportOf, RunExportWhere), else null.
    std::vector<TBookmark>* records_ = nullptr;
    const std::function<bool()>* accept_ = nullptr;
    // The export moved the dataset (the record it was on must be found again).
    bool moved_ = false;

    TComponent* owner_;
    IkxExportGrid* grid_;
    AnsiString delimiter_ = ",";
    TkxGridExportType exportType_ = kxgetTxt;
    AnsiString fileName_;
    int htmlBorderWidth_ = 1;
    TkxExportSaveOptions options_ = kxDefaultExportOptions;
    int outputWidthinTwips_ = 0;
    AnsiString titleName_;
};
