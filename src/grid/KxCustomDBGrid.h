#pragma once
// TkxCustomDBGrid: the selection grid's common part, on the base grid TCustomGrid. It shows the
// records of one dataset (through TkxGridDataLink, KxGridDataLink.h) in data columns chosen, ordered,
// sized and titled by the column list `Selected`, and types the cells of some columns by the
// control-type list `ControlType` (a check box for "SELECT_YN;CheckBox;Y;N").
//
// Everything the grid's topics share is declared here; each topic's behaviour lives in its own file:
//   KxGridColumns.cpp       column model: TkxColumn, the field map's use, widths, titles, row heights,
//                           fixed columns, options and their setters, group header runs and bands
//   KxGridControlTypes.cpp  control types, check-box values, embedded controls, the column cache,
//                           link values, picture masks
//   KxGridDataLink.cpp      the data link, layout rebuild, activation, the record window (row count,
//                           current row, scroll bar), scroll messages, row and footer change checks
//   KxGridFind.cpp          the find over the records' stored text and the find bar that asks it
//   KxDBGrid.cpp            TkxDBGrid, the published face the window stores its settings into
//
// Indices, as every topic uses them: a grid column counts from the left edge, indicator included; a
// data column is grid column - IndicatorOffset(). A grid row counts from the top, title row included;
// a data row is grid row - TitleRowCount() and is the record at that position of the link's buffer.
// The grid never holds records: its data rows are a window onto the data link's record buffer.
//
// Two names mean another thing than the base grid's: Options() answers the selection grid's option
// set (TCustomGrid::Options() the derived base set) and FixedCols() the stored count of frozen data
// columns, not counting the indicator (TCustomGrid::FixedCols() the base grid's fixed count).
#include "core/StringList.h"
#include "data/DataSet.h"
#include "ui/Bitmap.h"
#include "grid/support/KxPictureInput.h"
#include "ui/CustomGrid.h"

#include <cstdint>
#include <memory>
#include <set>
#include <vector>

class TDataSource;
class TFindBar;
class TkxCustomDBGrid;
class TkxGridDataLink;
class TkxGridAccessibleFace;

// ---- option sets (the stored value is the set's bits; the default grid options store 7421) ----

// clang-format off
enum class TkxDBGridOption {
    dgEditing, dgAlwaysShowEditor, dgTitles, dgIndicator, dgColumnResize, dgColLines, dgRowLines, dgTabs,
    dgRowSelect, dgAlwaysShowSelection, dgConfirmDelete, dgCancelOnExit, dgWordWrap, dgPerfectRowFit,
    dgMultiSelect, dgShowFooter, dgFooter3DCells, dgNoLimitColSize, dgTrailingEllipsis, dgShowCellHint,
    dgTabExitsOnLastCol, dgFixedResizable, dgFixedEditable, dgProportionalColResize, dgRowResize,
    dgRowLinesDisableFixed, dgColLinesDisableFixed, dgFixedProportionalResize, dgHideBottomDataLine,
    dgDblClickColSizing
};
// clang-format on
using TkxDBGridOptions = TSmallSet<TkxDBGridOption>;
constexpr TkxDBGridOption dgEditing = TkxDBGridOption::dgEditing;
constexpr TkxDBGridOption dgAlwaysShowEditor = TkxDBGridOption::dgAlwaysShowEditor;
constexpr TkxDBGridOption dgTitles = TkxDBGridOption::dgTitles;
constexpr TkxDBGridOption dgIndicator = TkxDBGridOption::dgIndicator;
constexpr TkxDBGridOption dgColumnResize = TkxDBGridOption::dgColumnResize;
constexpr TkxDBGridOption dgColLines = TkxDBGridOption::dgColLines;
constexpr TkxDBGridOption dgRowLines = TkxDBGridOption::dgRowLines;
constexpr TkxDBGridOption dgTabs = TkxDBGridOption::dgTabs;
constexpr TkxDBGridOption dgRowSelect = TkxDBGridOption::dgRowSelect;
constexpr TkxDBGridOption dgAlwaysShowSelection = TkxDBGridOption::dgAlwaysShowSelection;
constexpr TkxDBGridOption dgConfirmDelete = TkxDBGridOption::dgConfirmDelete;
constexpr TkxDBGridOption dgCancelOnExit = TkxDBGridOption::dgCancelOnExit;
constexpr TkxDBGridOption dgWordWrap = TkxDBGridOption::dgWordWrap;
constexpr TkxDBGridOption dgPerfectRowFit = TkxDBGridOption::dgPerfectRowFit;
constexpr TkxDBGridOption dgMultiSelect = TkxDBGridOption::dgMultiSelect;
constexpr TkxDBGridOption dgShowFooter = TkxDBGridOption::dgShowFooter;
constexpr TkxDBGridOption dgFooter3DCells = TkxDBGridOption::dgFooter3DCells;
constexpr TkxDBGridOption dgNoLimitColSize = TkxDBGridOption::dgNoLimitColSize;
constexpr TkxDBGridOption dgTrailingEllipsis = TkxDBGridOption::dgTrailingEllipsis;
constexpr TkxDBGridOption dgShowCellHint = TkxDBGridOption::dgShowCellHint;
constexpr TkxDBGridOption dgTabExitsOnLastCol = TkxDBGridOption::dgTabExitsOnLastCol;
constexpr TkxDBGridOption dgFixedResizable = TkxDBGridOption::dgFixedResizable;
constexpr TkxDBGridOption dgFixedEditable = TkxDBGridOption::dgFixedEditable;
constexpr TkxDBGridOption dgProportionalColResize = TkxDBGridOption::dgProportionalColResize;
constexpr TkxDBGridOption dgRowResize = TkxDBGridOption::dgRowResize;
constexpr TkxDBGridOption dgRowLinesDisableFixed = TkxDBGridOption::dgRowLinesDisableFixed;
constexpr TkxDBGridOption dgColLinesDisableFixed = TkxDBGridOption::dgColLinesDisableFixed;
constexpr TkxDBGridOption dgFixedProportionalResize = TkxDBGridOption::dgFixedProportionalResize;
constexpr TkxDBGridOption dgHideBottomDataLine = TkxDBGridOption::dgHideBottomDataLine;
constexpr TkxDBGridOption dgDblClickColSizing = TkxDBGridOption::dgDblClickColSizing;
// 7421.
// clang-format off
constexpr TkxDBGridOptions kxDefaultGridOptions{dgEditing, dgTitles, dgIndicator, dgColumnResize, dgColLines,
                                                dgRowLines, dgTabs, dgConfirmDelete, dgCancelOnExit, dgWordWrap};
// clang-format on

enum class TkxDBGridKeyOption { dgEnterToTab, dgAllowDelete, dgAllowInsert };
using TkxDBGridKeyOptions = TSmallSet<TkxDBGridKeyOption>;
constexpr TkxDBGridKeyOption dgEnterToTab = TkxDBGridKeyOption::dgEnterToTab;
constexpr TkxDBGridKeyOption dgAllowDelete = TkxDBGridKeyOption::dgAllowDelete;
constexpr TkxDBGridKeyOption dgAllowInsert = TkxDBGridKeyOption::dgAllowInsert;

enum class TkxMultiSelectOption { msoAutoUnselect, msoShiftSelect };
using TkxMultiSelectOptions = TSmallSet<TkxMultiSelectOption>;
constexpr TkxMultiSelectOption msoAutoUnselect = TkxMultiSelectOption::msoAutoUnselect;
constexpr TkxMultiSelectOption msoShiftSelect = TkxMultiSelectOption::msoShiftSelect;

enum class TkxEditControlOption {
    ecoCheckboxSingleClick,
    ecoSearchOwnerForm,
    ecoDisableCustomControls,
    ecoDisableDateTimePicker,
    ecoDisableEditorIfReadOnly
};
using TkxEditControlOptions = TSmallSet<TkxEditControlOption>;
constexpr TkxEditControlOption ecoCheckboxSingleClick = TkxEditControlOption::ecoCheckboxSingleClick;
constexpr TkxEditControlOption ecoSearchOwnerForm = TkxEditControlOption::ecoSearchOwnerForm;
constexpr TkxEditControlOption ecoDisableCustomControls = TkxEditControlOption::ecoDisableCustomControls;
constexpr TkxEditControlOption ecoDisableDateTimePicker = TkxEditControlOption::ecoDisableDateTimePicker;
constexpr TkxEditControlOption ecoDisableEditorIfReadOnly = TkxEditControlOption::ecoDisableEditorIfReadOnly;

enum TkxPadColumnStyle { pcsPlain, pcsPadHeader, pcsPadHeaderAndData };

// Sender, the field that changed.
using TkxFieldChangedEvent = std::function<void(TObject* sender, TField* field)>;

// ---- painting: types (KxGridPaint.cpp, KxGridLines.cpp, KxGridGlyphs.cpp) ----

class TBitmap;
class TImageList;
class TkxGridHintWindow;

enum TIndicatorColorType { icBlack, icYellow };
enum TkxGridLineStyle { glsSingle, gls3D, glsDynamic };
enum TkxBackgroundDrawStyle { bdsTile, bdsStretch, bdsTopLeft, bdsCenter };
enum class TkxBackgroundOption {
    coFillDataCells,
    coBlendFixedRow,
    coBlendFixedColumn,
    coBlendActiveRecord,
    coBlendAlternatingRow
};
using TkxBackgroundOptions = TSmallSet<TkxBackgroundOption>;
constexpr TkxBackgroundOption coFillDataCells = TkxBackgroundOption::coFillDataCells;
constexpr TkxBackgroundOption coBlendFixedRow = TkxBackgroundOption::coBlendFixedRow;
constexpr TkxBackgroundOption coBlendFixedColumn = TkxBackgroundOption::coBlendFixedColumn;
constexpr TkxBackgroundOption coBlendActiveRecord = TkxBackgroundOption::coBlendActiveRecord;
constexpr TkxBackgroundOption coBlendAlternatingRow = TkxBackgroundOption::coBlendAlternatingRow;
enum class TkxAlternatingRowRegion { arrFixedColumns, arrDataColumns, arrActiveDataColumn };
using TkxAlternatingRowRegions = TSmallSet<TkxAlternatingRowRegion>;
constexpr TkxAlternatingRowRegion arrFixedColumns = TkxAlternatingRowRegion::arrFixedColumns;
constexpr TkxAlternatingRowRegion arrDataColumns = TkxAlternatingRowRegion::arrDataColumns;
constexpr TkxAlternatingRowRegion arrActiveDataColumn = TkxAlternatingRowRegion::arrActiveDataColumn;

// The colours of the grid lines, owned by the grid; a change repaints it.
class TkxGridLineColors : public TPersistent {
    MORVANE_CLASS_PROPS(TkxGridLineColors, TPersistent)
public:
    explicit TkxGridLineColors(TkxCustomDBGrid* grid) : grid_(grid) {}
    void Assign(const TkxGridLineColors& other);
    // Single data lines.
    TColor DataColor() const { return dataColor_; }
    void SetDataColor(TColor v);
    // The light edge of 3D lines and raised cells.
    TColor HighlightColor() const { return highlightColor_; }
    void SetHighlightColor(TColor v);
    // The dark edge of 3D lines.
    TColor ShadowColor() const { return shadowColor_; }
    void SetShadowColor(TColor v);
    // The dark edge of title and fixed cells.
    TColor FixedColor() const { return fixedColor_; }
    void SetFixedColor(TColor v);

private:
    void changed();
    TkxCustomDBGrid* grid_;
    TColor dataColor_ = clSilver;
    TColor highlightColor_ = clBtnHighlight;
    TColor shadowColor_ = clBtnShadow;
    TColor fixedColor_ = clBlack;
};

// Background picture, alternating rows and the active record's colour, owned by the grid. The picture
// and its tinted copies are prepared once per change (at the next paint), not per paint; cells copy
// rectangles from them.
class TkxGridPaintOptions : public TPersistent {
    MORVANE_CLASS_PROPS(TkxGridPaintOptions, TPersistent)
public:
    explicit TkxGridPaintOptions(TkxCustomDBGrid* grid);
    ~TkxGridPaintOptions() override;

    TColor AlternatingRowColor() const { return alternatingRowColor_; }
    void SetAlternatingRowColor(TColor v);
    // Also the highlight colour of the current record's cells.
    TColor ActiveRecordColor() const { return activeRecordColor_; }
    void SetActiveRecordColor(TColor v);
    TkxBackgroundOptions BackgroundOptions() const { return backgroundOptions_; }
    void SetBackgroundOptions(TkxBackgroundOptions v);
    // A copy of the picture assigned; an empty bitmap means none.
    TBitmap& BackgroundBitmap() const { return *backgroundBitmap_; }
    void SetBackgroundBitmap(const TBitmap& picture);
    TkxBackgroundDrawStyle BackgroundDrawStyle() const { return backgroundDrawStyle_; }
    void SetBackgroundDrawStyle(TkxBackgroundDrawStyle v);
    TkxAlternatingRowRegions AlternatingRowRegions() const { return alternatingRowRegions_; }
    void SetAlternatingRowRegions(TkxAlternatingRowRegions v);
    // Record scrolling moves the rows' picture instead of repainting them.
    bool FastRecordScrolling() const { return fastRecordScrolling_; }
    void SetFastRecordScrolling(bool v) { fastRecordScrolling_ = v; }

private:
    friend class TkxCustomDBGrid;
    // A change that needs the prepared pictures made again.
    void rebuildAndRepaint();

    TkxCustomDBGrid* grid_;
    TColor alternatingRowColor_ = clNone;
    TColor activeRecordColor_ = clNone;
    TkxBackgroundOptions backgroundOptions_;
    std::unique_ptr<TBitmap> backgroundBitmap_;
    TkxBackgroundDrawStyle backgroundDrawStyle_ = bdsTile;
    TkxAlternatingRowRegions alternatingRowRegions_{arrFixedColumns, arrDataColumns, arrActiveDataColumn};
    bool fastRecordScrolling_ = true;
    // Prepared at the next paint after a change: the picture drawn over the grid's bounds and its
    // tinted copies (null when not wanted), and the tints of the fixed row and column.
    bool rebuildNeeded_ = true;
    std::unique_ptr<TBitmap> prepared_;
    std::unique_ptr<TBitmap> activeRecordTint_;
    std::unique_ptr<TBitmap> alternatingTint_;
    std::unique_ptr<TBitmap> fixedRowTint_;
    std::unique_ptr<TBitmap> fixedColumnTint_;
    TColor fixedRowColor_ = clBtnFace;
    TColor fixedColumnColor_ = clBtnFace;
};

// What the grid tells the cell events about the cell being drawn; one object per grid, filled anew
// before every cell. A handler of OnBeforeDrawCell may clear the four switches to skip that part.
class TkxCustomDrawGridCellInfo {
public:
    TRect Rect;
    TField* Field = nullptr; // the data column's field; none for the indicator
    TGridDrawState State;
    int DataCol = 0;
    int DataRow = 0; // -1 for the title row
    bool DefaultDrawBackground = true;
    bool DrawTopLine = true;
    bool DrawBottomLine = true;
    bool DefaultDrawContents = true;
};

// Handed to OnCalcTitleImage: an image of TitleImageList beside the title text.
struct TkxTitleImageAttributes {
    int ImageIndex = -1; // none
    TAlignment ImageAlignment = taRightJustify;
    int ImageMargin = 3;
};

// The pop-up window that shows the whole text of a cell too small for it.
class TkxGridHintWindow : public TCustomControl {
    MORVANE_CLASS(TkxGridHintWindow, TCustomControl)
public:
    explicit TkxGridHintWindow(TkxCustomDBGrid* grid);
    ~TkxGridHintWindow() override;
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment v) { alignment_ = v, Invalidate(); }
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool v) { wordWrap_ = v, Invalidate(); }
    // The text shown (the control's text).
    void WMTimer(int id) override;

protected:
    void Paint() override;

private:
    TkxCustomDBGrid* grid_;
    TAlignment alignment_ = taLeftJustify;
    bool wordWrap_ = false;
};

using TkxDrawCellInfoEvent =
    std::function<void(TkxCustomDBGrid* Sender, TkxCustomDrawGridCellInfo* DrawCellInfo)>;
using TkxCalcCellColorsEvent = std::function<void(TObject* Sender, TField* Field, TGridDrawState State,
                                                  bool Highlight, TFont* AFont, TBrush* ABrush)>;
using TkxCalcTitleAttributesEvent =
    std::function<void(TObject* Sender, const AnsiString& AFieldName, TFont* AFont, TBrush* ABrush,
                       TAlignment& ATitleAlignment)>;
using TkxCalcTitleImageEvent =
    std::function<void(TObject* Sender, TField* Field, TkxTitleImageAttributes& TitleImageAttributes)>;
using TkxDrawTitleCellEvent =
    std::function<void(TObject* Sender, TCanvas* Canvas, TField* Field, TRect Rect, bool& DefaultDrawing)>;
using TkxDrawGroupHeaderCellEvent = std::function<void(
    TObject* Sender, TCanvas* Canvas, const AnsiString& GroupHeaderName, TRect Rect, bool& DefaultDrawing)>;
using TkxDrawDataCellEvent =
    std::function<void(TObject* Sender, TRect Rect, TField* Field, TGridDrawState State)>;
using TkxCreateHintWindowEvent =
    std::function<void(TObject* Sender, TkxGridHintWindow* HintWindow, TField* AField, TRect R,
                       bool& WordWrap, int& MaxWidth, int& MaxHeight, bool& DoDefault)>;
using TkxDrawFooterCellEvent =
    std::function<void(TObject* Sender, TCanvas* Canvas, TRect FooterCellRect, TField* Field,
                       const AnsiString& FooterText, bool& DefaultDrawing)>;

// ---- column records ----

// One data column's record, in data column order, rebuilt with every layout rebuild. Every other
// topic asks a column's width, title, read-only flag and group through it. The null column (empty
// field name, never in the list) stands in wherever a lookup finds no column: its reads answer
// empty, 0 or false and its writes do nothing. Not a TPersistent and nothing virtual.
class TkxColumn {
public:
    TkxColumn(TkxCustomDBGrid* grid, AnsiString fieldName, bool nullColumn = false)
        : grid_(grid), fieldName_(std::move(fieldName)), null_(nullColumn) {}
    TkxColumn(const TkxColumn&) = delete;
    TkxColumn& operator=(const TkxColumn&) = delete;

    const AnsiString& FieldName() const { return fieldName_; }
    TkxCustomDBGrid* Grid() const { return grid_; }
    bool IsNullColumn() const { return null_; }

    // Characters. TFields mode: the dataset field's DisplayWidth; otherwise the line's width field
    // ("'%s' is not a valid integer value" when it is no number). Writing stores the width into the
    // line (and the field in TFields mode, "Field '%s' not found" without it) and re-applies the
    // column widths under the layout-busy guard, without a layout rebuild.
    int DisplayWidth() const;
    void SetDisplayWidth(int n);
    // The field's display label in TFields mode when the field exists, else the line's title field.
    AnsiString DisplayLabel() const;
    // The line's read-only flag is exactly "T".
    bool ReadOnly() const;
    // The line's fifth field.
    AnsiString GroupHeaderName() const;
    // Shown in the footer cell; survives layout rebuilds by field name. Writing a new text
    // invalidates the footer area.
    const AnsiString& FooterText() const { return footerText_; }
    void SetFooterText(const AnsiString& text);
    // One byte per visible data row 0 to 255 (written before a cell is drawn, read by the line
    // painter); allocated on first use and freed with the record.
    uint8_t* RowDrawFlags();
    const uint8_t* RowDrawFlagsIfAny() const { return rowDrawFlags_.get(); }
    static constexpr int kRowDrawFlagRows = 256;

private:
    friend class TkxCustomDBGrid;
    // The column-list line of this field name, or -1.
    int line() const;

    TkxCustomDBGrid* grid_;
    AnsiString fieldName_;
    bool null_;
    AnsiString footerText_;
    std::unique_ptr<uint8_t[]> rowDrawFlags_;
};

// One item per grid column (indicator included) of the control-type cache, rebuilt at the end of
// every ApplyColumnWidths: what painting, the editor and link clicks read of a column's type.
struct TkxCacheColInfoItem {
    TWinControl* Control = nullptr; // the embedded control found for the column
    AnsiString Type;                // control type name; empty for a plain column
    AnsiString Parameters;          // the type's parameters (text after the second ";")
    bool PaintFlag = false;         // the embedded control paints the cell in every row
};

// ---- the grid ----

class TkxCustomDBGrid : public TCustomGrid {
    MORVANE_CLASS(TkxCustomDBGrid, TCustomGrid)
public:
    explicit TkxCustomDBGrid(TComponent* owner);
    ~TkxCustomDBGrid() override;

    // ---- data ----
    TDataSource* DataSource() const;
    // Hands the source to the link, then ActivationChanged with the link's state; the grid lets go
    // of a source that is freed.
    void SetDataSource(TDataSource* source);
    TDataSet* DataSet() const;
    TkxGridDataLink& DataLink() const { return *link_; }

    // ---- column model (KxGridColumns.cpp) ----
    const TStringList& Selected() const { return selected_; }
    // Copies the lines; the next layout rebuild or ApplyColumnList picks them up.
    void SetSelected(const TStringList& lines) { selected_.Assign(lines); }
    bool UseTFields() const { return useTFields_; }
    void SetUseTFields(bool v);
    TkxDBGridOptions Options() const { return options_; }
    void SetOptions(TkxDBGridOptions v);
    TkxDBGridKeyOptions KeyOptions() const { return keyOptions_; }
    void SetKeyOptions(TkxDBGridKeyOptions v) { keyOptions_ = v; }
    TkxMultiSelectOptions MultiSelectOptions() const { return multiSelectOptions_; }
    void SetMultiSelectOptions(TkxMultiSelectOptions v) { multiSelectOptions_ = v; }
    TkxEditControlOptions EditControlOptions() const { return editControlOptions_; }
    void SetEditControlOptions(TkxEditControlOptions v) { editControlOptions_ = v; }
    TkxPadColumnStyle PadColumnStyle() const { return padColumnStyle_; }
    void SetPadColumnStyle(TkxPadColumnStyle v);
    // Data columns frozen at the left, not counting the indicator; stored always, applied only while
    // in range with an active dataset.
    int FixedCols() const { return fixedCols_; }
    void SetFixedCols(int v);
    int TitleLines() const { return titleLines_; }
    void SetTitleLines(int v);
    // Follows the grid font while ParentFont is on; a change of its own sets ParentFont off.
    const TFont& TitleFont() const { return titleFont_; }
    void SetTitleFont(const TFont& f) { titleFont_.Assign(f); }
    TAlignment TitleAlignment() const { return titleAlignment_; }
    void SetTitleAlignment(TAlignment v);
    TColor TitleColor() const { return titleColor_; }
    void SetTitleColor(TColor v);
    int RowHeightPercent() const { return rowHeightPercent_; }
    void SetRowHeightPercent(int v);
    // The last value assigned to RowHeightPercent: the lower limit of row resizing.
    int RowHeightFloor() const { return rowHeightFloor_; }
    bool EditCalculated() const { return editCalculated_; }
    void SetEditCalculated(bool v) { editCalculated_ = v; }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool v) { readOnly_ = v; }
    bool ShowHorzScrollBar() const { return showHorzScrollBar_; }
    void SetShowHorzScrollBar(bool v);
    bool ShowVertScrollBar() const { return showVertScrollBar_; }
    void SetShowVertScrollBar(bool v);
    // The optional corner button: its width - 1 becomes the indicator width, its height enters the
    // title row height.
    TControl* IndicatorButton() const { return indicatorButton_; }
    void SetIndicatorButton(TControl* button);
    int IndicatorButtonTop() const { return indicatorButtonTop_; }

    int IndicatorOffset() const { return options_.Contains(dgIndicator) ? 1 : 0; }
    // 0 or 1, set from dgTitles by every layout rebuild.
    int TitleRowCount() const { return titleRowCount_; }
    // Data columns of the grid now (grid columns after the indicator).
    int DataColumnCount() const { return ColCount() - IndicatorOffset(); }
    // Proportional sizing is on: dgProportionalColResize in column-list mode.
    bool ProportionalSizing() const { return options_.Contains(dgProportionalColResize) && !useTFields_; }

    TkxColumn& ColumnAt(int dataCol) const;
    TkxColumn& FindColumn(std::string_view fieldName) const;
    TkxColumn& NullColumn() const { return *nullColumn_; }
    const std::vector<std::unique_ptr<TkxColumn>>& Columns() const { return columns_; }
    int MappedFieldCount() const;
    // The field of data column i; null for an index outside the map and while the link is inactive.
    TField* MappedField(int dataCol) const;
    // With an active link the field mapped at c - ind, else field 1 of list line c - ind; empty when none.
    AnsiString GridColumnFieldName(int gridCol) const;
    // The first line whose field name equals `name` with ASCII letters upper-cased; -1 when none.
    int FindSelectedLine(std::string_view fieldName) const;
    // The title a data column shows: the field's display label, or in column-list mode the title
    // field of its line.
    AnsiString TitleText(int dataCol) const;

    void BuildColumns();
    virtual void ApplyColumnWidths();
    void ApplyColumnList();
    void ApplyRowHeights();

    // Group headers: the run of neighbouring data columns with the same non-empty group header name
    // (exact case) around dataCol, limited to the shown columns when visibleOnly; false without one.
    bool GroupHeaderRun(int dataCol, bool visibleOnly, int& first, int& last) const;
    // The band over the run in the upper half of the title row (extended to the left over columns
    // scrolled out); empty when the column has no group.
    TRect GroupBandRect(int dataCol, bool visibleOnly = true) const;
    // The title area of a grid column: the lower half of the title cell for a grouped column.
    TRect TitleCellRect(int gridCol) const;

    // Makes a data column current: writes pending editor text, clamps to the columns (and past the
    // fixed ones unless dgFixedEditable), fires OnColExit, OnColEnter and OnCellChanged.
    void SelectColumn(int dataCol);

    // ---- control types (KxGridControlTypes.cpp) ----
    const TStringList& ControlType() const { return controlType_; }
    void SetControlType(const TStringList& lines) { controlType_.Assign(lines); }
    bool ControlInfoInDataset() const { return controlInfoInDataset_; }
    void SetControlInfoInDataset(bool v) { controlInfoInDataset_ = v; }
    const TStringList& PictureMasks() const { return pictureMasks_; }
    void SetPictureMasks(const TStringList& lines) { pictureMasks_.Assign(lines); }
    bool PictureMaskFromDataSet() const { return pictureMaskFromDataSet_; }
    void SetPictureMaskFromDataSet(bool v) { pictureMaskFromDataSet_ = v; }

    // The dataset's own list when allowed and published, else the grid's.
    const TStringList& EffectiveControlTypeList() const;
    const TStringList& EffectivePictureMaskList() const;
    // The last line whose field name equals `fieldName` exactly: its type and parameters.
    virtual void GetControlType(std::string_view fieldName, AnsiString& type, AnsiString& parameters) const;
    // The first "CheckBox" line of at least four parts for the cell's field (a data cell only).
    bool FindCheckBoxValues(int gridCol, int gridRow, AnsiString& checkedValue,
                            AnsiString& uncheckedValue) const;
    // A cell the text editor never serves; the common grid answers false for every cell.
    virtual bool IsControlCell(int gridCol, int gridRow) const;
    // The control (or the date/time picker) that edits the cell; null when none.
    TWinControl* FindEmbeddedControl(int gridCol, int gridRow) const;
    // A windowed control of the search form (or of a frame on it) by plain or "frame.control" name;
    // never the grid itself or a control that holds it.
    TWinControl* FindControlByName(std::string_view name) const;
    virtual void SetUpEmbeddedControls() {}
    virtual void RebuildControlTypeCache();
    const std::vector<TkxCacheColInfoItem>& ControlTypeCache() const { return cache_; }
    // The cache item of a grid column; an empty item outside the cache.
    const TkxCacheColInfoItem& CacheItem(int gridCol) const;
    // Painting's pair: the parameters up to the first ";" and between the first and second ";".
    static void CheckBoxValuesFromParameters(std::string_view parameters, AnsiString& checkedValue,
                                             AnsiString& uncheckedValue);
    // Whether a check-box column's box shows checked for the record at the link's active record.
    bool CellShowsChecked(int gridCol) const;
    // Removes the dataset's own control-type lines that name no field of the dataset.
    void CleanDataSetControlTypes();
    // Mask, auto-fill and use-mask of a field (empty, true, true without a line).
    void GetPictureMask(std::string_view fieldName, AnsiString& mask, bool& autoFill, bool& useMask) const;
    // Writes a picture-mask line; null arguments keep the line's values. An empty mask deletes it.
    void SetPictureMask(std::string_view fieldName, const AnsiString* mask, const bool* autoFill,
                        const bool* useMask);
    // "CustomEdit", "Combo", "LookupCombo", "RichEdit", ASCII case ignored.
    static bool IsEmbeddedControlType(std::string_view type);
    // A "URL-Link" value: display part before the first "#", address up to the second.
    static void SplitLinkValue(std::string_view text, AnsiString& display, AnsiString& address);

    // ---- cells ----
    // The text of a data column's cell for the record at the link's active record.
    virtual AnsiString GetCellText(int dataCol) const;
    // A memo or Oracle clob field.
    static bool IsMemoField(const TField* field);
    // ecoDisableEditorIfReadOnly keeps the editor from this read-only data column (clicks, column
    // changes and Delete do not open it there).
    bool EditorBarredFromColumn(int dataCol) const;

    // ---- data link and record window (KxGridDataLink.cpp) ----
    virtual void RebuildLayout();
    virtual void ActivationChanged(bool active);
    virtual void RecordsChanged();
    virtual void RecordsScrolled(int distance);
    virtual void DetectRowChange();
    virtual void CheckFooter();
    // The three synchronisations of the record window; not overridable.
    void SyncRowCount();
    void SyncCurrentRow();
    void SyncScrollBar();
    // Moves an embedded control that has the focus out of sight and takes the focus back (aborts
    // silently when the grid cannot take it).
    virtual void HideEmbeddedControl();
    // Writes the editor's pending text into the current field (the link's update data).
    virtual void UpdateData();
    // A field of the current record changed (the link's record changed); null: the whole record.
    virtual void RecordChanged(TField* field);
    void WMVScroll(int code, int pos) override;
    void WMHScroll(int code, int pos) override;

    // ---- multi-selection (KxGridSelection.cpp; painting reads it) ----
    void AddToSelection();
    void RemoveFromSelection();
    void ClearMultiSelection();
    bool IsActiveRecordSelected() const;
    // The record at a position of the link's buffer is selected.
    bool IsRowSelected(int bufferRow) const;

    // ---- assistive technology (KxGridAccessible.h): made the first time a client asks ----
    IAccessibleTable* AccessibleTable() override;
    // ---- find (KxGridFind.cpp) ----
    // The fields the find looks in, each by the start of its text or anywhere in it; none: no find.
    struct FindField {
        AnsiString FieldName;
        bool Prefix;
    };
    const std::vector<FindField>& FindFields() const { return findFields_; }
    void SetFindFields(std::vector<FindField> fields) { findFields_ = std::move(fields); }
    // Goes to the first record whose find fields hold `text`, from the current record on (direction
    // 1, or backwards with -1) and wrapping at the ends; with skipCurrent the current record is passed
    // over. The move is the dataset's own (a pending edit is posted first); true when found, false
    // leaves the record where it was.
    bool FindRecord(const AnsiString& text, int direction, bool skipCurrent);
    // The find bar, docked at the grid's bottom edge in the grid's parent; made when first opened.
    TFindBar* FindBar() const { return findBar_; }
    void ShowFindBar();
    // Hides the bar and gives the focus back to the grid; the record stays.
    void CloseFindBar();
    // Ctrl+F opens the bar; F3 opens it when it is closed, else goes to the next match (Shift+F3 the
    // previous). True when the key was used.
    bool FindKey(Word key, TShiftState shift);

    // ---- export (KxGridExport.cpp) ----
    // SelectedBookmarks (multi-selection, below) answers the selection's records.

    // ---- events ----
    TNotifyEvent OnRowChanged;
    TNotifyEvent OnCellChanged;
    TNotifyEvent OnTopRowChanged;
    TNotifyEvent OnColEnter;
    TNotifyEvent OnColExit;
    TkxFieldChangedEvent OnFieldChanged;
    TNotifyEvent OnUpdateFooter;

    // ---- painting (KxGridPaint.cpp, KxGridLines.cpp) ----
    // The grid paints every cell itself; the base grid gives only the geometry. DefaultDrawing() is
    // the selection grid's own switch (False: no text of its own in data cells), not the base grid's,
    // which the grid keeps off.
    bool DefaultDrawing() const { return defaultDrawing_; }
    void SetDefaultDrawing(bool v);
    TImageList* TitleImageList() const { return titleImageList_; }
    void SetTitleImageList(TImageList* v);
    // Images of "ImageIndex" cells.
    TImageList* ImageList() const { return imageList_; }
    void SetImageList(TImageList* v);
    // icYellow gives the glyphs yellow, icBlack black.
    TIndicatorColorType IndicatorColor() const { return indicatorColor_; }
    void SetIndicatorColor(TIndicatorColorType v);
    // The colour the indicator glyphs are drawn in; a change repaints the current row.
    TColor IndicatorIconColor() const { return indicatorIconColor_; }
    void SetIndicatorIconColor(TColor v);
    TkxGridLineStyle LineStyle() const { return lineStyle_; }
    void SetLineStyle(TkxGridLineStyle v);
    TkxGridLineColors* LineColors() const { return lineColors_.get(); }
    void SetLineColors(const TkxGridLineColors* v);
    bool HideAllLines() const { return hideAllLines_; }
    void SetHideAllLines(bool v);
    TkxGridPaintOptions* PaintOptions() const { return paintOptions_.get(); }
    TColor FooterColor() const { return footerColor_; }
    void SetFooterColor(TColor v);
    TColor FooterCellColor() const { return footerCellColor_; }
    void SetFooterCellColor(TColor v);
    // 0: one line of the grid font ("W") + 6 pixels.
    int FooterHeight() const { return footerHeight_; }
    void SetFooterHeight(int v);
    // The footer band's height now; 0 without dgShowFooter.
    int FooterBandHeight() const;
    TRect CellArea() const override;

    // The platform's visual styles are in use for this grid (and not switched off for it).
    virtual bool ThemedLook() const;
    // Titles behave as push buttons (their pressed and hot looks).
    virtual bool TitleButtonsShown() const { return false; }
    // Is the cell drawn in the highlight colours? Data column and data row of the cell.
    virtual bool IsCellHighlighted(int dataCol, int dataRow, TGridDrawState state) const;
    // One check box into a 10 by 10 box (drawn over the 13 by 13 square around it).
    virtual void PaintCheckBox(const TRect& box, int gridCol, bool checked, int gridRow);
    // The text writer of cells: flag 1 lets "&" underline, 2 ends cut text in an ellipsis, 4 breaks
    // words, 16 leaves the background (else the cell is filled with the brush first).
    void WriteCellText(TCanvas& canvas, const TRect& rect, int dx, int dy, const AnsiString& text,
                       TAlignment alignment, unsigned flags);
    // The cell hint: the mouse moved to a client point (the mouse handling calls this on every move);
    // a hint shows a cell's whole text when the cell cuts it (dgShowCellHint).
    void CellHintMouseMove(int x, int y);
    void HideCellHint();
    TkxGridHintWindow* CellHintWindow() const { return hintWindow_.get(); }
    // The hint's timer: hides the hint when the pointer has left the cell or stayed long enough.
    void CellHintTimer();

    TNotifyEvent OnBeforePaint;
    TkxDrawCellInfoEvent OnBeforeDrawCell;
    TkxDrawCellInfoEvent OnAfterDrawCell;
    TkxCalcCellColorsEvent OnCalcCellColors;
    TkxCalcTitleAttributesEvent OnCalcTitleAttributes;
    TkxCalcTitleImageEvent OnCalcTitleImage;
    TkxDrawTitleCellEvent OnDrawTitleCell;
    TkxDrawGroupHeaderCellEvent OnDrawGroupHeaderCell;
    TkxDrawDataCellEvent OnDrawDataCell;
    TkxCreateHintWindowEvent OnCreateHintWindow;
    TkxDrawFooterCellEvent OnDrawFooterCell;

    void Loaded() override;

    // ---- mouse and keys (KxGridInput.cpp), sizing and moving (KxGridSizing.cpp) ----
    // Sender, the field name (or the group name when its band was pressed).
    using TTitleButtonClickEvent = std::function<void(TObject* sender, const AnsiString& fieldName)>;
    // Sender, the grid column left of the border that was dragged.
    using TColWidthChangedEvent = std::function<void(TObject* sender, int column)>;
    using TURLOpenEvent =
        std::function<void(TObject* sender, AnsiString& urlLink, TField* field, bool& useDefault)>;
    // Grid, whether records are being selected (false: removed, or all cleared), the answer.
    using TMultiSelectEvent = std::function<void(TkxCustomDBGrid* grid, bool selecting, bool& accept)>;
    TTitleButtonClickEvent OnTitleButtonClick;
    TColWidthChangedEvent OnColWidthChanged;
    TURLOpenEvent OnURLOpen;
    TMultiSelectEvent OnMultiSelectRecord;
    TMultiSelectEvent OnMultiSelectAllRecords;
    // OnColumnMoved (the base grid's event) reports data column indices.

    // dgEditing is set and the grid is not ReadOnly.
    bool EditingAllowed() const { return options_.Contains(dgEditing) && !readOnly_; }
    // A check-box column of a calculated field named "selected" (ASCII case ignored): its box shows
    // and toggles the multi-selection.
    bool IsSelectionCheckBoxColumn(int gridCol) const;
    // Flips the check box of a cell of the current record: the field's edit text becomes the
    // unchecked value when it held the checked one (ASCII case ignored), else the checked value. The
    // record is left in edit state. A cell of another record is left alone.
    void ToggleCheckBox(int gridCol, int gridRow);
    // Tab (forward) or Shift+Tab through the tab-stop columns, across records at either end.
    void TabToNextColumn(bool forward);
    // The address a link cell's click hands to the shell: "MailTo:" put before a bare mail address.
    static AnsiString LinkToOpen(const AnsiString& address);
    // Fits a grid column's width to the widest display text of the records shown.
    void FitColumn(int gridCol);
    // Sizing drag in progress with proportional sizing or row resizing: the grid column and its
    // width at the press; -1 and 0 otherwise.
    int SizedColumn() const { return sizedCol_; }

    // Multi-selection: records in the selection, and their bookmarks in dataset order (invalid
    // ones, of records gone, left out).
    int SelectedCount() const { return int(selection_.size()); }
    std::vector<TBookmark> SelectedBookmarks() const;
    // The shift-selection anchor (empty when none).
    const TBookmark& SelectionAnchor() const { return anchorBookmark_; }

    // The keyboard hook's part: a navigation key typed into a control embedded in this grid goes to
    // the grid instead (true) unless the control uses the key itself (false).
    bool RouteEmbeddedKey(TWinControl* target, Word key, TShiftState shift);
    void KeyPress(char& key) override;
    void CalcSizingState(int x, int y, TGridState& state, int& index, int& sizingPos, int& sizingOfs,
                         const TGridDrawInfo& fixedInfo) override;
    void DblClick() override;
    void WMTimer(int id) override;

    // ---- in-place editor (KxInplaceEdit.h, KxGridEditing.cpp) ----
    // The base grid's editor questions, answered for the current field: the editor never shows on a
    // control cell or a memo cell; its text is the field's edit text, its limit a string field's
    // size; a keystroke may change the cell only when field, column, grid and dataset allow it, and
    // then the dataset is put into edit state and the link marked modified.
    bool CanEditShow() override;
    bool CanEditModify() override;
    bool CanEditAcceptKey(char key) override;
    AnsiString GetEditText(int col, int row) override;
    void SetEditText(int col, int row, const AnsiString& value) override;
    AnsiString GetEditMask(int col, int row) override;
    int GetEditLimit() override;
    // The text pending for the current field: the editor's latest, or the field's when it was filled.
    const AnsiString& PendingEditText() const { return editText_; }
    // A blob field edited only through the memo dialog (memo, formatted memo, Oracle blob and clob).
    static bool IsMemoCellField(const TField* field);
    // The date scan of a transfer: the whole text is a date in the locale's order and separator (a
    // month may be a short month name); false when it is not. Days since 30 December 1899. A
    // two-digit year falls in the hundred years from `epoch` on.
    static bool ScanDate(std::string_view text, TDateTime& value, int epoch = 1950);
    // The number scan of a transfer for a field with a display format: the digits, decimal separator
    // and signs of the text ("(" counts as "-"), negative also when only the display format's
    // negative section gives back the text; false when no number results.
    static bool ScanNumber(std::string_view text, std::string_view displayFormat, double& value);
    // Makes the embedded control (or the date/time picker) of the current cell visible over it and,
    // with dgAlwaysShowEditor, focuses it; the in-place editor goes. Nothing without one.
    virtual void ShowEmbeddedControl();
    // Fired after each picture check of the editor's text, with the editor as sender.
    TkxValidateEvent OnCheckValue;

protected:
    friend class TkxGridDataLink;
    friend class TkxColumn;
    friend class TkxInplaceEdit;

    TInplaceEdit* CreateEditor() override;
    // The transfer: writes the pending text into the current field (picture mask, date and number
    // scans, else the field's own conversion); the link's modified flag is cleared once written and
    // kept when the write fails. Answers whether the field was written.
    virtual bool WriteEditText();
    // Refills a showing editor from the current field when the field's edit text differs from the
    // pending text, leaving nothing selected.
    void ReloadEditor();
    bool editTextWritten_ = false; // the last transfer wrote the pending text into the field

    bool SelectCell(int col, int row) override;
    void GridKeyDown(Word& key, TShiftState shift) override;
    void CreateWnd() override;
    void Resize() override;
    void UpdateScrollRange() override;
    void FontChanged() override;
    void Notification(TComponent* component, Operation operation) override;
    void DrawCell(int col, int row, const TRect& rect, TGridDrawState state) override;
    // Proportional sizing (column sizing and moving): redistributes the reference widths.
    virtual void ProportionalResize();
    void DiscardProportionalWidths() { referenceWidths_.clear(); }
    // Places the current embedded control over the current cell.
    virtual void PlaceEmbeddedControl();
    // Follows the current cell with the embedded control the control-type list names for it.
    virtual void UpdateCurrentEmbeddedControl();
    // The cell-changed report: OnCellChanged unless a row-change report is being made.
    void CellChangedReport();
    // Fires an event (a no-op when not assigned).
    void Fire(const TNotifyEvent& event) {
        if (event) event(this);
    }
    // Width of text in the grid font or the title font (measured outside painting).
    int TextWidthIn(const TFont& font, const AnsiString& text) const;
    int TextHeightIn(const TFont& font, const AnsiString& text) const;
    // A data cell: a data column with a field, a data row, a data source with a dataset.
    TField* DataCellField(int gridCol, int gridRow) const;
    // The title width of a title: the widest "~" piece up to the first empty one, + 4.
    int TitleWidth(const AnsiString& title) const;
    // Checks the record window's invariants (debug builds).
    void CheckRecordWindow() const;
    // Record moves shared by the scroll messages and the keys.
    void PriorRecord();
    void NextRecord();

    // ---- per-grid state ----
    std::unique_ptr<TkxGridDataLink> link_;
    std::vector<std::unique_ptr<TkxColumn>> columns_;
    std::unique_ptr<TkxColumn> nullColumn_;
    std::vector<TkxCacheColInfoItem> cache_;
    std::vector<int16_t> referenceWidths_; // proportional sizing, one per grid column

    int layoutBusy_ = 0;        // a rebuild or a guarded width write runs; rebuilds are dropped
    int widthSetting_ = 0;      // the rebuild assigns widths: no write-back of user sizing
    int titleRowCount_ = 0;     // t
    bool rowCountBusy_ = false; // the row-count synchronisation runs
    bool syncingRow_ = false;   // the grid moves its current row onto the active record
    TBookmark rowBookmark_;     // the current record at the last row-change check
    TBookmark footerBookmark_;  // the master's record at the last footer check
    bool footerPending_ = false;
    int lastEnteredColumn_ = -1; // grid column of the last OnColEnter; -1 while inactive
    bool pendingColumnEnter_ = false;
    bool rowChangedFired_ = false;
    int indicatorRow_ = -1;       // grid row whose indicator last showed the current mark (painting)
    bool alternatePhase_ = false; // alternating-row parity, flipped by odd record scrolls
    TBookmark anchorBookmark_;    // multi-selection anchor
    int clientWidthAtLayout_ = 0; // client width at the last layout (painting)
    int clientWidthAtWidths_ = 0; // client width when the widths were last applied
    AnsiString editText_;         // the text last handed to the in-place editor
    TWinControl* currentEmbeddedControl_ = nullptr;
    TWinControl* dateTimePicker_ = nullptr; // created by the editor for date/time cells
    std::unique_ptr<TkxGridAccessibleFace> accessible_;

    // ---- mouse and keys (KxGridInput.cpp), sizing and moving (KxGridSizing.cpp) ----
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseLeave() override;
    void ResetHover();
    // Repaints a title cell and, for a grouped column, its whole band.
    void InvalidateTitle(TGridCoord cell);
    void MouseDrag(TShiftState shift, int x, int y) override;
    void MouseRelease(TMouseButton button, TShiftState shift, int x, int y) override;
    bool DoMouseWheelDown(TShiftState shift, TPoint mousePos) override;
    bool DoMouseWheelUp(TShiftState shift, TPoint mousePos) override;
    void GridEnter() override;
    void GridExit() override;
    void ColWidthsChanged() override;
    void ColumnMoved(int fromIndex, int toIndex) override;
    // Titles behave as push buttons (TkxDBGrid's TitleButtons).
    virtual bool TitleButtonsOn() const { return false; }
    // A row border drag ended on grid row `row` (TkxDBGrid turns it into RowHeightPercent).
    virtual void RowResized(int row) { (void)row; }
    // Down on the last record: the record-append rule after a move to the next record.
    void NextRecordOrAppend();
    // Proportional sizing after the window was resized (the frozen columns keep their widths with
    // dgFixedProportionalResize).
    void ProportionalResizeForWindow();
    // Sets the row height percentage a row drag chose, leaving the floor where it is.
    void SetRowHeightPercentFromDrag(int v);
    // Editing a cell's record is possible: the source edits on demand or is editing, and the dataset
    // can be modified.
    bool CanEditRecord() const;
    // The focus is in a control inside the grid other than its editor (an embedded control): the
    // grid takes it back.
    void TakeFocusFromEmbeddedControl();
    // A left click on a link cell: OnURLOpen, then the shell opens the address.
    void OpenLinkCell(int gridCol);
    // Adds the records between the anchor and the current record to the selection.
    void SelectRangeToAnchor();
    // Puts the current record back at grid row `row` after the dataset moved away (controls disabled).
    void RestoreRecordWindow(const TBookmark& current, int activeRecord);
    // The marks of a drag over the painted cells: the column-move arrows either side of where a
    // dragged column would go, else the base grid's sizing line.
    void DrawDragArrows(TCanvas& canvas);
    // The picture of the dragged column's titles that follows the pointer: made when the drag
    // starts, moved with the pointer's x, dropped at the release.
    void MakeDragPicture();
    void MoveDragPicture(int x);
    void DropDragPicture();

    std::set<TBookmark> selection_; // bookmarks of the selected records (equal bytes: the same record)
    int sizedCol_ = -1;             // proportional sizing / row resizing: the column being sized
    int sizedColStartWidth_ = 0;    // its width at the press
    int widthChangedCol_ = -1;      // the column left of the border dragged, for OnColWidthChanged
    bool dragHappened_ = false;     // a column drag happened since the press: no title click
    TPoint pressPoint_;
    bool clickMoving_ = false;      // a click moves the record: its cell-changed report waits
    TCursor cursorBeforeLink_ = crDefault;
    int dragScroll_ = 0;            // column drag: -1 or 1 while the timer scrolls that way
    int lastDragX_ = 0;
    int lastDragY_ = 0;
    bool pressRefused_ = false;     // the last press could not take the focus: it ends there
    std::unique_ptr<TBitmap> dragPicture_; // column drag: the dragged titles, null while no drag
    TRect dragPictureRect_;         // where that picture is drawn now
    int dragPictureGrip_ = 0;       // the press's distance from the picture's left edge

    // ---- interaction state: written by the mouse and keys, read by painting ----
    bool gridFocused_ = false;       // the grid has the input focus (set on entering, cleared on leaving)
    int pressedTitleCol_ = -1;       // data column of the pressed title button; -1 none
    int pressedTitleRow_ = -1;       // its grid row
    bool pressedTitleBand_ = false;  // the group band of a grouped title was pressed, not the title
    TGridCoord hotTitle_{-1, -1};    // title cell under the pointer (hot tracking)
    bool hotTitleBand_ = false;      // the pointer is in that grouped title's band, not its own half
    TGridCoord hotLinkCell_{-1, -1}; // link cell under the pointer

private:
    void applyBaseOptions();
    void applyScrollBars();
    void followFont();
    void applyFixedColumns();
    AnsiString columnListTitle(int line, TField* field) const;

    TStringList selected_;
    TStringList controlType_;
    TStringList pictureMasks_;
    bool useTFields_ = true;
    TkxDBGridOptions options_ = kxDefaultGridOptions;
    TkxDBGridKeyOptions keyOptions_{dgAllowDelete, dgAllowInsert};
    TkxMultiSelectOptions multiSelectOptions_;
    TkxEditControlOptions editControlOptions_{ecoSearchOwnerForm};
    TkxPadColumnStyle padColumnStyle_ = pcsPadHeaderAndData;
    int fixedCols_ = 0;
    int titleLines_ = 1;
    TFont titleFont_;
    bool copyingTitleFont_ = false;
    TAlignment titleAlignment_ = taLeftJustify;
    TColor titleColor_ = clBtnFace;
    int rowHeightPercent_ = 100;
    int rowHeightFloor_ = 100;
    bool editCalculated_ = false;
    bool readOnly_ = false;
    bool showHorzScrollBar_ = true;
    bool showVertScrollBar_ = true;
    TControl* indicatorButton_ = nullptr;
    int indicatorButtonTop_ = 2;
    bool controlInfoInDataset_ = true;
    bool pictureMaskFromDataSet_ = true;
    TScrollInfo vertBar_;              // the record bar as the grid last set it
    std::vector<FindField> findFields_;
    TFindBar* findBar_ = nullptr;
    // Record moves since the last paint, and whether every data row is to be painted again: a walk
    // over many records between two paints then has nothing more to invalidate per record.
    int scrollsUnpainted_ = 0;
    bool rowsInvalid_ = false;
    mutable TCanvas measure_{nullptr}; // measures text outside painting

    // ---- painting: state (KxGridPaint.cpp, KxGridLines.cpp) ----
protected:
    void Paint() override;

private:
    friend class TkxGridPaintOptions;
    friend class TkxGridLineColors;
    // One paint: everything into `canvas`, the cells meeting `area` (all cells when allCells).
    void paintAll(TCanvas& canvas, const TRect& area, bool allCells);
    void drawTitleCell(int col, int row, const TRect& rect, TGridDrawState state, bool band);
    void drawIndicatorCell(int row, const TRect& rect);
    void drawDataCell(int col, int row, const TRect& rect, TGridDrawState state);
    void drawCheckBoxCell(int col, int row, const TRect& rect, TGridDrawState state);
    void pictureCellBackground(const TRect& rect, int dataRow, TGridDrawState state);
    void drawBitmapCell(int col, int row, const TRect& rect, TGridDrawState state);
    void drawImageIndexCell(int col, int row, const TRect& rect, TGridDrawState state);
    void drawEmbeddedControlCell(int col, int row, const TRect& rect, TGridDrawState state);
    // Highlight, colours of a data cell and OnCalcCellColors: answers whether it is highlighted.
    bool chooseCellColors(int col, int row, TField* field, TGridDrawState state);
    void drawFocusRect();
    bool embeddedControlHasFocus() const;
    // Lines, backgrounds, pad and footer (KxGridLines.cpp).
    void prepareBackground();
    bool backgroundFillsDataCells() const;
    bool whiteGrid() const;
    void dataBackground(const TRect& rect, int dataRow, TColor color);
    void fixedBackground(const TRect& rect, int dataRow, TColor color);
    void titleBackgroundFill(const TRect& rect);
    void drawCellRowLines(int col, int row, const TRect& rect, TGridDrawState state, bool highlighted);
    void paintPad();
    void paintLines();
    void paintFooter();
    // The last grid row drawn with a record (or the one empty row); -1 when no data row is shown.
    int lastDataRowShown() const;
    // The fill under the cells: Color, or the prepared picture.
    void fillBackground(const TRect& rect);
    void hline(int x0, int x1, int y, TColor color);
    void vline(int x, int y0, int y1, TColor color);

    bool defaultDrawing_ = true;
    TImageList* titleImageList_ = nullptr;
    TImageList* imageList_ = nullptr;
    TIndicatorColorType indicatorColor_ = icBlack;
    TColor indicatorIconColor_ = clBlack;
    TkxGridLineStyle lineStyle_ = glsDynamic;
    std::unique_ptr<TkxGridLineColors> lineColors_ = std::make_unique<TkxGridLineColors>(this);
    bool hideAllLines_ = false;
    std::unique_ptr<TkxGridPaintOptions> paintOptions_ = std::make_unique<TkxGridPaintOptions>(this);
    TColor footerColor_ = clBtnFace;
    TColor footerCellColor_ = clBtnFace;
    int footerHeight_ = 0;
    std::unique_ptr<TBitmap> offscreen_ = std::make_unique<TBitmap>(); // the bitmap paint style's picture
    std::unique_ptr<TkxCustomDrawGridCellInfo> cellInfo_ = std::make_unique<TkxCustomDrawGridCellInfo>();
    TCanvas* paintCanvas_ = nullptr;                          // the canvas of the paint in progress
    TRect paintArea_;                                         // what the paint in progress covers
    bool brushChanged_ = false;                               // a colour hook changed the cell's brush
    bool rowLineDrawn_ = false;                               // the cell's row lines are drawn
    std::vector<TRect> pressedTitles_;                        // classic pressed titles, edged after the lines
    std::unique_ptr<TkxGridHintWindow> hintWindow_;
    TGridCoord hintCell_{-1, -1};                             // the cell the pointer was last over
    TRect hintRect_;                                          // the hinted cell, client coordinates
    int hintTicks_ = 0;
    bool drawingBand_ = false;                                // the cell being drawn is a group band
    mutable int footerAutoHeight_ = -1;                       // the footer's automatic height ...
    mutable TFont footerAutoFont_;                            // ... for this font
};
