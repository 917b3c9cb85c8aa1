#pragma once
// The base grid: a rectangle of cells in columns and rows, the first FixedCols columns and FixedRows
// rows fixed (titles, indicators) and the rest scrolling under them. It keeps the geometry (widths,
// heights, lines, the scrolled top-left cell), the current cell and the selection, the in-place
// editor's mechanics, column and row sizing and column moving by the mouse, keyboard navigation and
// a plain painting of its cells. Descendants decide what a cell holds through the overridable
// operations below; a descendant that paints everything itself overrides Paint() whole, walks the
// axes through DrawInfo() and draws only what meets UpdateRect().
//
// Costs: the layout of both axes is kept and made again only after a change of geometry (a walk over
// the cells shown); with it a cell or box rectangle and an invalidation cost a few lookups, a hit
// test a binary search over the cells shown, and a paint draws only the cells meeting the update
// rectangle.
#include "ui/CustomControl.h"

#include <vector>

class TInplaceEdit;

enum class TGridOption {
    goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect, goRowSizing, goColSizing, goColMoving,
    goEditing, goTabs, goRowSelect, goAlwaysShowEditor
};
using TGridOptions = TSmallSet<TGridOption>;
constexpr TGridOption goFixedVertLine = TGridOption::goFixedVertLine;
constexpr TGridOption goFixedHorzLine = TGridOption::goFixedHorzLine;
constexpr TGridOption goVertLine = TGridOption::goVertLine;
constexpr TGridOption goHorzLine = TGridOption::goHorzLine;
constexpr TGridOption goRangeSelect = TGridOption::goRangeSelect;
constexpr TGridOption goRowSizing = TGridOption::goRowSizing;
constexpr TGridOption goColSizing = TGridOption::goColSizing;
constexpr TGridOption goColMoving = TGridOption::goColMoving;
constexpr TGridOption goEditing = TGridOption::goEditing;
constexpr TGridOption goTabs = TGridOption::goTabs;
constexpr TGridOption goRowSelect = TGridOption::goRowSelect;
constexpr TGridOption goAlwaysShowEditor = TGridOption::goAlwaysShowEditor;

enum class TGridDrawStateMember { gdSelected, gdFocused, gdFixed };
using TGridDrawState = TSmallSet<TGridDrawStateMember>;
constexpr TGridDrawStateMember gdSelected = TGridDrawStateMember::gdSelected;
constexpr TGridDrawStateMember gdFocused = TGridDrawStateMember::gdFocused;
constexpr TGridDrawStateMember gdFixed = TGridDrawStateMember::gdFixed;

// What the mouse is doing to the grid.
enum TGridState { gsNormal, gsRowSizing, gsColSizing, gsColMoving };

struct TGridCoord {
    int X = 0;
    int Y = 0;
    bool operator==(const TGridCoord&) const = default;
};

// A block of cells, both corners included.
struct TGridRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    bool Contains(int col, int row) const { return col >= Left && col <= Right && row >= Top && row <= Bottom; }
    bool operator==(const TGridRect&) const = default;
};

// The layout of one axis (columns across, rows down) as it is on the screen now. A cell occupies its
// extent and is followed by a line of EffectiveLineWidth pixels; the cell's area is both.
//
// The cells shown are the fixed cells that start inside GridExtent, then the scrolled cells from
// FirstGridCell that start inside it. Starts holds their start pixels in that order, so the shown
// cells' areas are contiguous and ordered: CellStart costs one lookup and CellAt a binary search
// over the cells shown, whichever cell is asked for. Every walk over an axis goes through the
// ForEach operations, which call f(index, start) for the shown cells whose area meets [from, to).
struct TGridAxisDrawInfo {
    int EffectiveLineWidth = 0;  // the grid line width when the axis has lines, else 0
    int FixedBoundary = 0;       // first pixel after the fixed cells and their lines
    int GridBoundary = 0;        // first pixel after the last cell shown (at most GridExtent)
    int GridExtent = 0;          // the client width or height
    int LastFullVisibleCell = 0; // the last cell shown whole (FirstGridCell when none is)
    int FullVisBoundary = 0;     // first pixel after that cell and its line
    int FixedCellCount = 0;
    int FirstGridCell = 0;       // the left column or the top row
    int GridCellCount = 0;
    const std::vector<int>* Extents = nullptr;
    std::vector<int> Starts;     // start pixel of each shown cell, fixed ones first
    int FixedShown = 0;          // how many of Starts are fixed cells

    int GetExtent(int index) const { return (*Extents)[size_t(index)]; }
    int ShownCount() const { return int(Starts.size()); }
    // The cell at place k of Starts.
    int ShownCell(int k) const { return k < FixedShown ? k : FirstGridCell + (k - FixedShown); }
    // The last scrolled cell shown; FirstGridCell - 1 when none is.
    int LastShownCell() const { return FirstGridCell + (ShownCount() - FixedShown) - 1; }
    // The start pixel of a cell, or -1 when the cell is not shown.
    int CellStart(int index) const;
    // The cell whose area holds a pixel, or -1 when none does (also at or past GridBoundary).
    int CellAt(int pos) const;
    // The first scrolled cell from which `index` is shown whole, the room after the fixed cells
    // filled towards its far edge (FixedCellCount at the least). Walks the cells before `index`.
    int FirstCellShowing(int index) const;

    template <class F> void ForEachShown(int from, int to, F&& f) const {
        walk(0, ShownCount(), from, to, f);
    }
    template <class F> void ForEachShown(F&& f) const { walk(0, ShownCount(), 0, GridExtent, f); }
    template <class F> void ForEachFixed(int from, int to, F&& f) const { walk(0, FixedShown, from, to, f); }
    template <class F> void ForEachScrolled(int from, int to, F&& f) const {
        walk(FixedShown, ShownCount(), from, to, f);
    }

private:
    // The first place in [k0, k1) whose cell's area ends after `pos` (k1 when none does).
    int firstEndingAfter(int k0, int k1, int pos) const;
    template <class F> void walk(int k0, int k1, int from, int to, F& f) const {
        for (int k = firstEndingAfter(k0, k1, from); k < k1 && Starts[size_t(k)] < to; ++k)
            f(ShownCell(k), Starts[size_t(k)]);
    }
};

struct TGridDrawInfo {
    TGridAxisDrawInfo Horz;
    TGridAxisDrawInfo Vert;
};

class TCustomGrid;
using TDrawCellEvent = std::function<void(TObject* sender, int col, int row, const TRect& rect, TGridDrawState state)>;
using TSelectCellEvent = std::function<void(TObject* sender, int col, int row, bool& canSelect)>;
using TMovedEvent = std::function<void(TObject* sender, int fromIndex, int toIndex)>;

class TCustomGrid : public TCustomControl {
    MORVANE_CLASS_PROPS(TCustomGrid, TCustomControl)
public:
    explicit TCustomGrid(TComponent* owner);
    ~TCustomGrid() override;

    // ---- geometry ----
    int ColCount() const { return int(colWidths_.size()); }
    void SetColCount(int v);
    int RowCount() const { return int(rowHeights_.size()); }
    void SetRowCount(int v);
    int FixedCols() const { return fixedCols_; }
    void SetFixedCols(int v);
    int FixedRows() const { return fixedRows_; }
    void SetFixedRows(int v);
    // Widths and heights are kept between 0 and kMostCellExtent pixels (a width from stored text
    // may be absurd): positions summed from them then stay far inside an int.
    static constexpr int kMostCellExtent = 1000000;
    // Setting a default gives every column (row) that width (height).
    int DefaultColWidth() const { return defaultColWidth_; }
    void SetDefaultColWidth(int v);
    int DefaultRowHeight() const { return defaultRowHeight_; }
    void SetDefaultRowHeight(int v);
    int ColWidths(int col) const { return colWidths_.at(size_t(col)); }
    void SetColWidths(int col, int width);
    int RowHeights(int row) const { return rowHeights_.at(size_t(row)); }
    void SetRowHeights(int row, int height);
    bool TabStops(int col) const { return tabStops_.at(size_t(col)) != 0; }
    void SetTabStops(int col, bool v) { tabStops_.at(size_t(col)) = v; }
    int GridLineWidth() const { return gridLineWidth_; }
    void SetGridLineWidth(int v);
    TGridOptions Options() const { return options_; }
    void SetOptions(TGridOptions v);
    TColor FixedColor() const { return fixedColor_; }
    void SetFixedColor(TColor v);
    // Off: the grid fills no cell and draws no fixed-cell edge; DrawCell does it all.
    bool DefaultDrawing() const { return defaultDrawing_; }
    void SetDefaultDrawing(bool v);

    // The part of the client area the cells lie in: all of it, unless a descendant keeps a band
    // below the cells for itself (a footer).
    virtual TRect CellArea() const { return ClientRect(); }
    // The layout of both axes now; the fixed part alone (as if nothing scrolled).
    void CalcDrawInfo(TGridDrawInfo& info) const;
    void CalcFixedInfo(TGridDrawInfo& info) const;
    // The layout of both axes now, without a copy. Kept by the grid and made again when widths,
    // heights, counts, fixed counts, lines, options, the top-left cell or the client size change;
    // valid until then.
    const TGridDrawInfo& DrawInfo() const;
    // The rectangle of a cell (without its lines); empty when the cell is not on the screen.
    // Constant time, as are BoxRect and the invalidations built on them.
    // A context menu asked for from the keyboard opens at the current cell.
    TPoint KeyboardMenuPoint() const override;
    TRect CellRect(int col, int row) const;
    // The rectangle covering the shown part of a block of cells.
    TRect BoxRect(int left, int top, int right, int bottom) const;
    // The cell under a client point; -1 on an axis where the point is outside every cell.
    TGridCoord MouseCoord(int x, int y) const;

    // ---- current cell, scrolling, selection ----
    int Col() const { return current_.X; }
    void SetCol(int v) { FocusCell(v, current_.Y, true); }
    int Row() const { return current_.Y; }
    void SetRow(int v) { FocusCell(current_.X, v, true); }
    // Moves the current cell (and the selection anchor with it when moveAnchor or without range
    // selection), scrolling it into view when show. "Grid index out of range" outside the grid.
    void MoveColRow(int col, int row, bool moveAnchor, bool show);
    // As the keyboard does: move, scroll into view, follow with the editor, click.
    void FocusCell(int col, int row, bool moveAnchor);
    int LeftCol() const { return topLeft_.X; }
    void SetLeftCol(int v) { MoveTopLeft(v, topLeft_.Y); }
    int TopRow() const { return topLeft_.Y; }
    void SetTopRow(int v) { MoveTopLeft(topLeft_.X, v); }
    // Scrolling columns (rows) shown whole from LeftCol (TopRow); at least 1.
    int VisibleColCount() const;
    int VisibleRowCount() const;
    TGridRect Selection() const;
    TGridState GridState() const { return gridState_; }
    // Moves a column with its width and tab stop; the current column goes with it.
    void MoveColumn(int fromIndex, int toIndex);
    // Whether a point starts column or row sizing: the state, the column or row whose far border is
    // under the point, the border's position and the point's distance from it.
    virtual void CalcSizingState(int x, int y, TGridState& state, int& index, int& sizingPos, int& sizingOfs,
                                 const TGridDrawInfo& fixedInfo);

    // ---- the in-place editor ----
    bool EditorMode() const { return editorMode_; }
    void SetEditorMode(bool v) { v ? ShowEditor() : HideEditor(); }
    void ShowEditor();
    void HideEditor();
    // Shows the editor and types the character into it.
    void ShowEditorChar(char ch);
    TInplaceEdit* InplaceEditor() const { return editor_; }
    bool EditorShowing() const;

    // Each invalidates one rectangle: the cell (column, row) with the lines around it.
    void InvalidateCell(int col, int row);
    void InvalidateCol(int col);
    void InvalidateRow(int row);
    void InvalidateEditor();
    void InvalidateGrid() { Invalidate(); }

    // ---- what a descendant decides (the editor calls these too) ----
    virtual bool CanEditAcceptKey(char key);
    virtual bool CanEditModify();
    virtual bool CanEditShow();
    virtual AnsiString GetEditText(int col, int row);
    virtual void SetEditText(int col, int row, const AnsiString& value);
    virtual AnsiString GetEditMask(int col, int row);
    // Bytes the editor takes; 0 for no limit.
    virtual int GetEditLimit();

    // ---- input ----
    int DialogCode() const override;
    void KeyDown(Word& key, TShiftState shift) override;
    void KeyPress(char& key) override;
    void WMHScroll(int code, int pos) override;
    void WMVScroll(int code, int pos) override;
    // Focus moving between the grid and its own editor is not entering or leaving the grid.
    void DoEnter() final;
    void DoExit() final;

    TDrawCellEvent OnDrawCell;
    TSelectCellEvent OnSelectCell;
    TNotifyEvent OnTopLeftChanged;
    TMovedEvent OnColumnMoved;

protected:
    friend class TInplaceEdit;

    void Paint() override;
    virtual void DrawCell(int col, int row, const TRect& rect, TGridDrawState state);
    // The marks of the mouse at work, over the cells: the sizing line, the column-moving bar. A
    // descendant that paints its cells itself draws them last.
    void DrawDragMarks(TCanvas& canvas);
    // May the current cell move there?
    virtual bool SelectCell(int col, int row);
    virtual TInplaceEdit* CreateEditor();
    virtual void ColWidthsChanged();
    virtual void RowHeightsChanged();
    virtual void ColumnMoved(int fromIndex, int toIndex);
    virtual void TopLeftChanged();
    virtual void SizeChanged(int oldColCount, int oldRowCount);
    // The focus came into the grid (or its editor) from elsewhere, or left both.
    virtual void GridEnter();
    virtual void GridExit();
    // Sets the scroll bars' ranges and positions from the grid; a descendant that drives a bar its
    // own way overrides it.
    virtual void UpdateScrollRange();
    void MoveTopLeft(int left, int top);
    // Scrolls so that the cell is shown whole.
    void ClampInView(TGridCoord cell);
    // Follows the current cell with the editor when editor mode is on.
    void UpdateEdit();
    // Hides the editor, reporting its text, without leaving editor mode.
    void HideEdit();
    bool FocusedWithin() const;
    // The tab-stop column after (before) col in this row; -1 when none.
    int NextTabStop(int col, bool forward) const;
    // The grid's own keyboard navigation, without firing OnKeyDown (KeyDown fires it first, then
    // calls this). A descendant with keys of its own overrides it and hands the rest to the base.
    virtual void GridKeyDown(Word& key, TShiftState shift);

    // The mouse, in steps. MouseDown fires OnMouseDown and, for a single left press, takes the focus
    // and offers the press to StartSizing, then (on a cell) to StartColumnMove, then (on a scrolling
    // cell) to ClickCell; the first step that takes it ends the press. MouseMove fires OnMouseMove
    // and calls MouseDrag; MouseUp calls MouseRelease and fires OnMouseUp. A descendant overrides a
    // step to add its own behaviour there, or overrides MouseDown and calls the steps it wants; the
    // sizing test runs once per press, in StartSizing.
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    // On a sizing border (CalcSizingState): hides the editor, starts column or row sizing with the
    // mouse captured, and answers true.
    virtual bool StartSizing(int x, int y);
    // On a scrolling column's title with column moving on: the press may become a column drag once
    // the pointer moves; captures the mouse and answers true.
    virtual bool StartColumnMove(TGridCoord cell, int x, int y);
    // A press on a scrolling cell: on the current cell with editing on it shows the editor, elsewhere
    // the current cell moves there (the anchor too, unless Shift is held).
    virtual void ClickCell(TGridCoord cell, TShiftState shift);
    // The pointer moved while sizing (the sizing line follows) or moving a column (the drop mark).
    virtual void MouseDrag(TShiftState shift, int x, int y);
    // The button came up: sizing sets the new width or height, moving moves the column; the grid
    // state is normal again and the capture released (also when applying the result raises).
    virtual void MouseRelease(TMouseButton button, TShiftState shift, int x, int y);

    // Moves the picture of the scrolled rows up by `rows` rows (down when negative), as when the
    // records under them moved on, and invalidates only the band that came in and the selection (in
    // its cells and where the picture took it). It needs the scrolled rows shown to be of one height
    // and some of them to stay; otherwise it does nothing and answers false, and the caller repaints.
    bool ScrollRowImages(int rows);
    bool DoMouseWheelDown(TShiftState shift, TPoint mousePos) override;
    bool DoMouseWheelUp(TShiftState shift, TPoint mousePos) override;
    void Resize() override;
    void CreateWnd() override;

    // Column moving in progress: the column pressed and where it would go; the pointer has moved far
    // enough from the press for a drag.
    int MoveIndex() const { return moveIndex_; }
    int MovePos() const { return movePos_; }
    bool MoveStarted() const { return moveStarted_; }
    // Sizing in progress: the column or row and the pointer's position.
    int SizingIndex() const { return sizingIndex_; }
    int SizingPos() const { return sizingPos_; }

private:
    static void calcAxis(TGridAxisDrawInfo& a, int extent, int fixed, int first, const std::vector<int>& cells,
                         int lineWidth);
    void computeDrawInfo(TGridDrawInfo& info) const;
    // The kept layout no longer holds; the next use makes it again.
    void dropDrawInfo() { drawInfoValid_ = false; }
    static int maxTopLeft(const TGridAxisDrawInfo& a);
    void moveCurrent(int col, int row, bool moveAnchor, bool show);
    void invalidateSelection(const TGridRect& r);
    void invalidateBox(int left, int top, int right, int bottom);
    void paintLines(TCanvas& canvas, const TGridDrawInfo& di, const TRect& area);
    void resizeCells(std::vector<int>& cells, int count, int extent);
    void updateEditorText();

    std::vector<int> colWidths_;
    std::vector<int> rowHeights_;
    std::vector<char> tabStops_;
    int fixedCols_ = 0;
    int fixedRows_ = 0;
    int defaultColWidth_ = 64;
    int defaultRowHeight_ = 24;
    int gridLineWidth_ = 1;
    TGridOptions options_;
    TColor fixedColor_ = clBtnFace;
    bool defaultDrawing_ = true;
    TGridCoord current_;
    TGridCoord anchor_;
    TGridCoord topLeft_;
    TGridState gridState_ = gsNormal;
    int sizingIndex_ = -1;
    int sizingPos_ = 0;
    int sizingOfs_ = 0;
    int moveIndex_ = -1;
    int movePos_ = -1;
    TPoint movePress_;
    bool moveStarted_ = false;
    TInplaceEdit* editor_ = nullptr;
    TGridCoord editCell_{-1, -1};
    bool editorMode_ = false;
    bool focusInside_ = false;
    mutable TGridDrawInfo drawInfo_;
    mutable bool drawInfoValid_ = false;
};
