#include "ui/CustomGrid.h"

#include "core/Exception.h"
#include "ui/Form.h"
#include "ui/InplaceEdit.h"

#include <algorithm>

namespace {
// How near a border the pointer must be to size, and how far it must go to start moving a column.
constexpr int kSizingSlack = 3;
constexpr int kDragThreshold = 3;
constexpr int kMinCellExtent = 1;

TGridRect normalised(TGridCoord a, TGridCoord b) {
    return {std::min(a.X, b.X), std::min(a.Y, b.Y), std::max(a.X, b.X), std::max(a.Y, b.Y)};
}

// The start pixel of a cell on an axis, or -1 when the cell is not shown.
int cellStart(const TGridAxisDrawInfo& a, int index) {
    if (index < 0 || index >= a.GridCellCount)
        return -1;
    int pos = 0;
    if (index < a.FixedCellCount) {
        for (int i = 0; i < index; ++i)
            pos += a.GetExtent(i) + a.EffectiveLineWidth;
        return pos < a.GridExtent ? pos : -1;
    }
    if (index < a.FirstGridCell)
        return -1;
    pos = a.FixedBoundary;
    for (int i = a.FirstGridCell; i < index && pos < a.GridExtent; ++i)
        pos += a.GetExtent(i) + a.EffectiveLineWidth;
    return pos < a.GridExtent ? pos : -1;
}

// The cell whose area (the cell and the line after it) holds a coordinate; -1 when none.
int cellAt(const TGridAxisDrawInfo& a, int p) {
    if (p < 0 || p >= a.GridBoundary)
        return -1;
    int pos = 0;
    for (int i = 0; i < a.FixedCellCount && i < a.GridCellCount; ++i) {
        pos += a.GetExtent(i) + a.EffectiveLineWidth;
        if (p < pos)
            return i;
    }
    pos = a.FixedBoundary;
    for (int i = a.FirstGridCell; i < a.GridCellCount; ++i) {
        pos += a.GetExtent(i) + a.EffectiveLineWidth;
        if (p < pos)
            return i;
    }
    return -1;
}
} // namespace

void TCustomGrid::DefineProperties(ClassInfo& info) {
    info.Add("ColCount", &TCustomGrid::ColCount, &TCustomGrid::SetColCount);
    info.Add("RowCount", &TCustomGrid::RowCount, &TCustomGrid::SetRowCount);
    info.Add("FixedCols", &TCustomGrid::FixedCols, &TCustomGrid::SetFixedCols);
    info.Add("FixedRows", &TCustomGrid::FixedRows, &TCustomGrid::SetFixedRows);
    info.Add("DefaultColWidth", &TCustomGrid::DefaultColWidth, &TCustomGrid::SetDefaultColWidth);
    info.Add("DefaultRowHeight", &TCustomGrid::DefaultRowHeight, &TCustomGrid::SetDefaultRowHeight);
    info.Add("GridLineWidth", &TCustomGrid::GridLineWidth, &TCustomGrid::SetGridLineWidth);
    info.Add("FixedColor", &TCustomGrid::FixedColor, &TCustomGrid::SetFixedColor);
    info.Add("DefaultDrawing", &TCustomGrid::DefaultDrawing, &TCustomGrid::SetDefaultDrawing);
    info.AddSet("Options", &TCustomGrid::Options, &TCustomGrid::SetOptions);
}

TCustomGrid::TCustomGrid(TComponent* owner) : TCustomControl(owner) {
    options_ = {goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine};
    colWidths_.assign(5, defaultColWidth_);
    rowHeights_.assign(5, defaultRowHeight_);
    tabStops_.assign(5, 1);
    fixedCols_ = fixedRows_ = 1;
    current_ = anchor_ = topLeft_ = {1, 1};
    SetColor(clWindow);
    SetTabStop(true);
    SetCtl3DBorder(true);
    SetScrollBars(ssBoth);
    SetBounds(0, 0, 320, 120);
}

TCustomGrid::~TCustomGrid() = default;

// ---- geometry ----

void TCustomGrid::resizeCells(std::vector<int>& cells, int count, int extent) {
    cells.resize(size_t(std::max(count, 0)), extent);
}

void TCustomGrid::SetColCount(int v) {
    v = std::max(v, 1);
    if (v == ColCount())
        return;
    int oldCols = ColCount(), oldRows = RowCount();
    resizeCells(colWidths_, v, defaultColWidth_);
    tabStops_.resize(size_t(v), 1);
    fixedCols_ = std::min(fixedCols_, v - 1);
    current_.X = std::clamp(current_.X, fixedCols_, v - 1);
    anchor_.X = std::clamp(anchor_.X, fixedCols_, v - 1);
    topLeft_.X = std::clamp(topLeft_.X, fixedCols_, v - 1);
    SizeChanged(oldCols, oldRows);
}

void TCustomGrid::SetRowCount(int v) {
    v = std::max(v, 1);
    if (v == RowCount())
        return;
    int oldCols = ColCount(), oldRows = RowCount();
    resizeCells(rowHeights_, v, defaultRowHeight_);
    fixedRows_ = std::min(fixedRows_, v - 1);
    current_.Y = std::clamp(current_.Y, fixedRows_, v - 1);
    anchor_.Y = std::clamp(anchor_.Y, fixedRows_, v - 1);
    topLeft_.Y = std::clamp(topLeft_.Y, fixedRows_, v - 1);
    SizeChanged(oldCols, oldRows);
}

void TCustomGrid::SizeChanged(int, int) {
    // The scrolled position may now leave room that the remaining cells could fill.
    MoveTopLeft(topLeft_.X, topLeft_.Y);
    UpdateScrollRange();
    InvalidateEditor();
    Invalidate();
}

void TCustomGrid::SetFixedCols(int v) {
    if (v < 0 || v >= ColCount())
        throw EInvalidGridOperation("Fixed column count must be less than column count");
    fixedCols_ = v;
    current_.X = std::max(current_.X, v);
    anchor_.X = std::max(anchor_.X, v);
    topLeft_.X = std::max(topLeft_.X, v);
    MoveTopLeft(topLeft_.X, topLeft_.Y);
    UpdateScrollRange();
    InvalidateEditor();
    Invalidate();
}

void TCustomGrid::SetFixedRows(int v) {
    if (v < 0 || v >= RowCount())
        throw EInvalidGridOperation("Fixed row count must be less than row count");
    fixedRows_ = v;
    current_.Y = std::max(current_.Y, v);
    anchor_.Y = std::max(anchor_.Y, v);
    topLeft_.Y = std::max(topLeft_.Y, v);
    MoveTopLeft(topLeft_.X, topLeft_.Y);
    UpdateScrollRange();
    InvalidateEditor();
    Invalidate();
}

void TCustomGrid::SetDefaultColWidth(int v) {
    defaultColWidth_ = std::max(v, 0);
    std::fill(colWidths_.begin(), colWidths_.end(), defaultColWidth_);
    ColWidthsChanged();
}

void TCustomGrid::SetDefaultRowHeight(int v) {
    defaultRowHeight_ = std::max(v, 0);
    std::fill(rowHeights_.begin(), rowHeights_.end(), defaultRowHeight_);
    RowHeightsChanged();
}

void TCustomGrid::SetColWidths(int col, int width) {
    int& w = colWidths_.at(size_t(col));
    width = std::max(width, 0);
    if (w == width)
        return;
    w = width;
    ColWidthsChanged();
}

void TCustomGrid::SetRowHeights(int row, int height) {
    int& h = rowHeights_.at(size_t(row));
    height = std::max(height, 0);
    if (h == height)
        return;
    h = height;
    RowHeightsChanged();
}

void TCustomGrid::ColWidthsChanged() {
    MoveTopLeft(topLeft_.X, topLeft_.Y);
    UpdateScrollRange();
    InvalidateEditor();
    Invalidate();
}

void TCustomGrid::RowHeightsChanged() {
    MoveTopLeft(topLeft_.X, topLeft_.Y);
    UpdateScrollRange();
    InvalidateEditor();
    Invalidate();
}

void TCustomGrid::SetGridLineWidth(int v) {
    gridLineWidth_ = std::max(v, 0);
    ColWidthsChanged();
}

void TCustomGrid::SetOptions(TGridOptions v) {
    if (v == options_)
        return;
    if (v.Contains(goRowSelect) || !v.Contains(goEditing))
        HideEditor();
    options_ = v;
    if (v.Contains(goAlwaysShowEditor))
        ShowEditor();
    MoveTopLeft(topLeft_.X, topLeft_.Y);
    UpdateScrollRange();
    Invalidate();
}

void TCustomGrid::SetFixedColor(TColor v) {
    fixedColor_ = v;
    Invalidate();
}

void TCustomGrid::SetDefaultDrawing(bool v) {
    defaultDrawing_ = v;
    Invalidate();
}

void TCustomGrid::calcAxis(TGridAxisDrawInfo& a, int extent, int fixed, int first, const std::vector<int>& cells,
                           int lineWidth) const {
    a.EffectiveLineWidth = lineWidth;
    a.GridExtent = extent;
    a.FixedCellCount = fixed;
    a.FirstGridCell = first;
    a.GridCellCount = int(cells.size());
    a.Extents = &cells;
    int pos = 0;
    for (int i = 0; i < fixed; ++i)
        pos += cells[size_t(i)] + lineWidth;
    a.FixedBoundary = pos;
    a.GridBoundary = std::min(pos, extent);
    a.FullVisBoundary = pos;
    a.LastFullVisibleCell = first;
    for (int i = first; i < a.GridCellCount && pos < extent; ++i) {
        int end = pos + cells[size_t(i)];
        if (end <= extent) {
            a.LastFullVisibleCell = i;
            a.FullVisBoundary = end + lineWidth;
        }
        pos = end + lineWidth;
        a.GridBoundary = std::min(pos, extent);
    }
}

void TCustomGrid::CalcDrawInfo(TGridDrawInfo& info) const {
    const TRect c = ClientRect();
    int hl = options_.Contains(goFixedVertLine) || options_.Contains(goVertLine) ? gridLineWidth_ : 0;
    int vl = options_.Contains(goFixedHorzLine) || options_.Contains(goHorzLine) ? gridLineWidth_ : 0;
    calcAxis(info.Horz, c.Width(), fixedCols_, topLeft_.X, colWidths_, hl);
    calcAxis(info.Vert, c.Height(), fixedRows_, topLeft_.Y, rowHeights_, vl);
}

void TCustomGrid::CalcFixedInfo(TGridDrawInfo& info) const {
    CalcDrawInfo(info);
    // As if the first scrolling cells were at the top left.
    const TRect c = ClientRect();
    calcAxis(info.Horz, c.Width(), fixedCols_, fixedCols_, colWidths_, info.Horz.EffectiveLineWidth);
    calcAxis(info.Vert, c.Height(), fixedRows_, fixedRows_, rowHeights_, info.Vert.EffectiveLineWidth);
}

TRect TCustomGrid::BoxRect(int left, int top, int right, int bottom) const {
    TGridDrawInfo di;
    CalcDrawInfo(di);
    auto span = [](const TGridAxisDrawInfo& a, int lo, int hi, int& from, int& to) {
        lo = std::max(lo, 0);
        hi = std::min(hi, a.GridCellCount - 1);
        from = -1;
        for (int i = lo; i <= hi; ++i) {
            int s = cellStart(a, i);
            if (s < 0)
                continue;
            if (from < 0)
                from = s;
            to = s + a.GetExtent(i);
        }
        return from >= 0;
    };
    int l = 0, r = 0, t = 0, b = 0;
    if (!span(di.Horz, left, right, l, r) || !span(di.Vert, top, bottom, t, b))
        return {};
    return Rect(l, t, r, b);
}

TRect TCustomGrid::CellRect(int col, int row) const { return BoxRect(col, row, col, row); }

TGridCoord TCustomGrid::MouseCoord(int x, int y) const {
    TGridDrawInfo di;
    CalcDrawInfo(di);
    TGridCoord c{cellAt(di.Horz, x), cellAt(di.Vert, y)};
    if (c.X < 0 || c.Y < 0)
        return {-1, -1};
    return c;
}

int TCustomGrid::VisibleColCount() const {
    TGridDrawInfo di;
    CalcDrawInfo(di);
    return std::max(1, di.Horz.LastFullVisibleCell - topLeft_.X + 1);
}

int TCustomGrid::VisibleRowCount() const {
    TGridDrawInfo di;
    CalcDrawInfo(di);
    return std::max(1, di.Vert.LastFullVisibleCell - topLeft_.Y + 1);
}

// ---- current cell and scrolling ----

TGridRect TCustomGrid::Selection() const {
    TGridRect r = normalised(anchor_, current_);
    if (options_.Contains(goRowSelect)) {
        r.Left = fixedCols_;
        r.Right = ColCount() - 1;
    }
    return r;
}

bool TCustomGrid::SelectCell(int col, int row) {
    bool can = true;
    if (OnSelectCell)
        OnSelectCell(this, col, row, can);
    return can;
}

void TCustomGrid::invalidateSelection(const TGridRect& r) {
    TRect box = BoxRect(r.Left, r.Top, r.Right, r.Bottom);
    if (!box.IsEmpty())
        InvalidateRect(InflateRect(box, 1, 1));
}

void TCustomGrid::moveCurrent(int col, int row, bool moveAnchor, bool show) {
    if (col < 0 || row < 0 || col >= ColCount() || row >= RowCount())
        throw EInvalidGridOperation("Grid index out of range");
    if (!SelectCell(col, row))
        return;
    TGridRect old = Selection();
    current_ = {col, row};
    if (!options_.Contains(goAlwaysShowEditor))
        HideEditor();
    if (moveAnchor || !options_.Contains(goRangeSelect))
        anchor_ = current_;
    if (show)
        ClampInView(current_);
    invalidateSelection(old);
    invalidateSelection(Selection());
}

void TCustomGrid::MoveColRow(int col, int row, bool moveAnchor, bool show) {
    moveCurrent(col, row, moveAnchor, show);
    UpdateEdit();
}

void TCustomGrid::FocusCell(int col, int row, bool moveAnchor) {
    moveCurrent(col, row, moveAnchor, true);
    UpdateEdit();
    Click();
}

int TCustomGrid::maxTopLeft(const TGridAxisDrawInfo& a) const {
    int last = a.GridCellCount - 1;
    if (last < a.FixedCellCount)
        return a.FixedCellCount;
    int avail = a.GridExtent - a.FixedBoundary;
    int used = a.GetExtent(last);
    int i = last;
    while (i - 1 >= a.FixedCellCount && used + a.EffectiveLineWidth + a.GetExtent(i - 1) <= avail) {
        used += a.EffectiveLineWidth + a.GetExtent(i - 1);
        --i;
    }
    return i;
}

void TCustomGrid::MoveTopLeft(int left, int top) {
    TGridDrawInfo di;
    CalcDrawInfo(di);
    TGridCoord n{std::clamp(left, fixedCols_, std::max(fixedCols_, maxTopLeft(di.Horz))),
                 std::clamp(top, fixedRows_, std::max(fixedRows_, maxTopLeft(di.Vert)))};
    n.X = std::min(n.X, ColCount() - 1);
    n.Y = std::min(n.Y, RowCount() - 1);
    if (n == topLeft_)
        return;
    topLeft_ = n;
    UpdateScrollRange();
    Invalidate();
    InvalidateEditor();
    TopLeftChanged();
}

void TCustomGrid::TopLeftChanged() {
    if (OnTopLeftChanged)
        OnTopLeftChanged(this);
}

void TCustomGrid::ClampInView(TGridCoord cell) {
    if (!HandleAllocated() && ClientWidth() <= 0)
        return;
    TGridDrawInfo di;
    CalcDrawInfo(di);
    auto firstFor = [](const TGridAxisDrawInfo& a, int index, int first) {
        if (index < a.FixedCellCount)
            return first;
        if (index < first)
            return index;
        if (index <= a.LastFullVisibleCell)
            return first;
        // The first cell that still shows `index` whole at the far edge.
        int avail = a.GridExtent - a.FixedBoundary;
        int used = a.GetExtent(index);
        int i = index;
        while (i - 1 >= a.FixedCellCount && used + a.EffectiveLineWidth + a.GetExtent(i - 1) <= avail) {
            used += a.EffectiveLineWidth + a.GetExtent(i - 1);
            --i;
        }
        return std::max(i, first);
    };
    MoveTopLeft(firstFor(di.Horz, cell.X, topLeft_.X), firstFor(di.Vert, cell.Y, topLeft_.Y));
}

void TCustomGrid::MoveColumn(int fromIndex, int toIndex) {
    if (fromIndex == toIndex || fromIndex < 0 || toIndex < 0 || fromIndex >= ColCount() || toIndex >= ColCount())
        return;
    HideEdit();
    auto move = [&](auto& v) {
        auto item = v[size_t(fromIndex)];
        v.erase(v.begin() + fromIndex);
        v.insert(v.begin() + toIndex, item);
    };
    move(colWidths_);
    move(tabStops_);
    auto follow = [&](int& c) {
        if (c == fromIndex)
            c = toIndex;
        else if (fromIndex < c && c <= toIndex)
            --c;
        else if (toIndex <= c && c < fromIndex)
            ++c;
    };
    follow(current_.X);
    follow(anchor_.X);
    ColumnMoved(fromIndex, toIndex);
    Invalidate();
    UpdateEdit();
}

void TCustomGrid::ColumnMoved(int fromIndex, int toIndex) {
    if (OnColumnMoved)
        OnColumnMoved(this, fromIndex, toIndex);
}

void TCustomGrid::UpdateScrollRange() {
    TScrollStyle bars = ScrollBars();
    if (bars == ssNone)
        return;
    TGridDrawInfo di;
    CalcDrawInfo(di);
    auto info = [&](const TGridAxisDrawInfo& a) {
        TScrollInfo s;
        int page = std::max(1, a.LastFullVisibleCell - a.FirstGridCell + 1);
        s.Min = 0;
        s.Page = page;
        s.Max = std::max(0, maxTopLeft(a) - a.FixedCellCount) + page - 1;
        s.Pos = a.FirstGridCell - a.FixedCellCount;
        return s;
    };
    if (bars == ssHorizontal || bars == ssBoth)
        SetScrollInfo(sbHorizontal, info(di.Horz));
    if (bars == ssVertical || bars == ssBoth)
        SetScrollInfo(sbVertical, info(di.Vert));
}

void TCustomGrid::WMHScroll(int code, int pos) {
    int left = topLeft_.X;
    switch (code) {
    case SB_LINELEFT:
        --left;
        break;
    case SB_LINERIGHT:
        ++left;
        break;
    case SB_PAGELEFT:
        left -= VisibleColCount();
        break;
    case SB_PAGERIGHT:
        left += VisibleColCount();
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        left = fixedCols_ + pos;
        break;
    case SB_LEFT:
        left = fixedCols_;
        break;
    case SB_RIGHT:
        left = ColCount() - 1;
        break;
    default:
        return;
    }
    MoveTopLeft(left, topLeft_.Y);
}

void TCustomGrid::WMVScroll(int code, int pos) {
    int top = topLeft_.Y;
    switch (code) {
    case SB_LINEUP:
        --top;
        break;
    case SB_LINEDOWN:
        ++top;
        break;
    case SB_PAGEUP:
        top -= VisibleRowCount();
        break;
    case SB_PAGEDOWN:
        top += VisibleRowCount();
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        top = fixedRows_ + pos;
        break;
    case SB_TOP:
        top = fixedRows_;
        break;
    case SB_BOTTOM:
        top = RowCount() - 1;
        break;
    default:
        return;
    }
    MoveTopLeft(topLeft_.X, top);
}

void TCustomGrid::Resize() {
    TCustomControl::Resize();
    MoveTopLeft(topLeft_.X, topLeft_.Y);
    UpdateScrollRange();
    InvalidateEditor();
}

void TCustomGrid::CreateWnd() {
    TCustomControl::CreateWnd();
    UpdateScrollRange();
}

// ---- invalidation ----

void TCustomGrid::InvalidateCell(int col, int row) {
    TRect r = CellRect(col, row);
    if (!r.IsEmpty())
        InvalidateRect(InflateRect(r, 1, 1));
}

void TCustomGrid::InvalidateCol(int col) {
    TRect r = BoxRect(col, 0, col, RowCount() - 1);
    if (!r.IsEmpty())
        InvalidateRect(InflateRect(r, 1, 1));
}

void TCustomGrid::InvalidateRow(int row) {
    TRect r = BoxRect(0, row, ColCount() - 1, row);
    if (!r.IsEmpty())
        InvalidateRect(InflateRect(r, 1, 1));
}

void TCustomGrid::InvalidateEditor() {
    if (!EditorShowing())
        return;
    // The editor follows its cell; a cell scrolled out of view takes the editor with it.
    TRect r = CellRect(current_.X, current_.Y);
    if (r.IsEmpty())
        HideEdit();
    else
        editor_->SetBoundsRect(r);
}

// ---- the editor ----

bool TCustomGrid::EditorShowing() const { return editor_ && editor_->Visible(); }

bool TCustomGrid::FocusedWithin() const {
    TForm* f = GetParentForm();
    TWinControl* active = f ? f->ActiveControl() : nullptr;
    return active && (active == this || (editor_ && active == editor_));
}

bool TCustomGrid::CanEditAcceptKey(char) { return true; }
bool TCustomGrid::CanEditModify() { return options_.Contains(goEditing); }

bool TCustomGrid::CanEditShow() {
    return options_.Contains(goEditing) && !options_.Contains(goRowSelect) && editorMode_ && HandleAllocated() &&
           (options_.Contains(goAlwaysShowEditor) || FocusedWithin());
}

AnsiString TCustomGrid::GetEditText(int, int) { return {}; }
void TCustomGrid::SetEditText(int, int, const AnsiString&) {}
AnsiString TCustomGrid::GetEditMask(int, int) { return {}; }
int TCustomGrid::GetEditLimit() { return 0; }

TInplaceEdit* TCustomGrid::CreateEditor() { return new TInplaceEdit(this); }

void TCustomGrid::ShowEditor() {
    editorMode_ = true;
    UpdateEdit();
}

void TCustomGrid::HideEditor() {
    editorMode_ = false;
    HideEdit();
}

void TCustomGrid::updateEditorText() {
    if (editor_ && editCell_.X >= 0 && editCell_.Y >= 0)
        SetEditText(editCell_.X, editCell_.Y, editor_->Text());
}

void TCustomGrid::HideEdit() {
    if (!editor_)
        return;
    try {
        updateEditorText();
    } catch (...) {
        editCell_ = {-1, -1};
        throw;
    }
    editCell_ = {-1, -1};
    if (!editor_->Visible())
        return;
    // The focus comes back to the grid before its editor goes.
    if (editor_->Focused() && CanFocus())
        SetFocus();
    editor_->Hide();
}

void TCustomGrid::UpdateEdit() {
    if (!CanEditShow())
        return;
    if (!editor_) {
        editor_ = CreateEditor();
        editor_->Hide();
        editor_->SetParent(this);
    }
    if (editCell_ != current_ || !editor_->Visible()) {
        HideEdit();
        editCell_ = current_;
        editor_->UpdateContents();
    }
    TRect r = CellRect(current_.X, current_.Y);
    if (r.IsEmpty()) {
        HideEdit();
        return;
    }
    editor_->Move(r);
}

void TCustomGrid::ShowEditorChar(char ch) {
    ShowEditor();
    if (!EditorShowing())
        return;
    if (!editor_->Focused() && editor_->CanFocus())
        editor_->SetFocus();
    editor_->DispatchChar(ch);
}

// ---- focus ----

void TCustomGrid::DoEnter() {
    if (focusInside_)
        return;
    focusInside_ = true;
    GridEnter();
}

void TCustomGrid::DoExit() {
    if (!focusInside_ || FocusedWithin())
        return;
    focusInside_ = false;
    GridExit();
}

void TCustomGrid::GridEnter() {
    TCustomControl::DoEnter();
    InvalidateCell(current_.X, current_.Y);
}

void TCustomGrid::GridExit() {
    TCustomControl::DoExit();
    Invalidate();
}

// ---- keyboard ----

int TCustomGrid::DialogCode() const {
    return DLGC_WANTARROWS | DLGC_WANTCHARS | (options_.Contains(goTabs) ? DLGC_WANTTAB : 0);
}

int TCustomGrid::NextTabStop(int col, bool forward) const {
    for (int c = forward ? col + 1 : col - 1; c >= fixedCols_ && c < ColCount(); c += forward ? 1 : -1)
        if (TabStops(c))
            return c;
    return -1;
}

void TCustomGrid::KeyDown(Word& key, TShiftState shift) {
    TCustomControl::KeyDown(key, shift);
    if (key != 0)
        GridKeyDown(key, shift);
}

void TCustomGrid::GridKeyDown(Word& key, TShiftState shift) {
    const bool ctrl = shift.Contains(ssCtrl);
    const bool rowSelect = options_.Contains(goRowSelect);
    TGridCoord n = current_;
    switch (key) {
    case VK_UP:
        --n.Y;
        break;
    case VK_DOWN:
        ++n.Y;
        break;
    case VK_PRIOR:
        n.Y -= VisibleRowCount();
        MoveTopLeft(topLeft_.X, topLeft_.Y - VisibleRowCount());
        break;
    case VK_NEXT:
        n.Y += VisibleRowCount();
        MoveTopLeft(topLeft_.X, topLeft_.Y + VisibleRowCount());
        break;
    case VK_HOME:
        if (ctrl)
            n.Y = fixedRows_;
        n.X = fixedCols_;
        break;
    case VK_END:
        if (ctrl)
            n.Y = RowCount() - 1;
        n.X = ColCount() - 1;
        break;
    case VK_LEFT:
        if (rowSelect) {
            MoveTopLeft(topLeft_.X - 1, topLeft_.Y);
            return;
        }
        n.X = ctrl ? fixedCols_ : n.X - 1;
        break;
    case VK_RIGHT:
        if (rowSelect) {
            MoveTopLeft(topLeft_.X + 1, topLeft_.Y);
            return;
        }
        n.X = ctrl ? ColCount() - 1 : n.X + 1;
        break;
    case VK_TAB: {
        if (!options_.Contains(goTabs) || shift.Contains(ssAlt))
            return;
        const bool forward = !shift.Contains(ssShift);
        // The next tab stop in this row, else from the row's far end in the next row; the search
        // stops where it began.
        TGridCoord c = current_;
        for (int guard = ColCount() * RowCount(); guard > 0; --guard) {
            int next = NextTabStop(c.X, forward);
            if (next >= 0) {
                c.X = next;
                break;
            }
            c.Y += forward ? 1 : -1;
            if (c.Y < fixedRows_ || c.Y >= RowCount())
                c.Y = forward ? fixedRows_ : RowCount() - 1;
            c.X = forward ? fixedCols_ - 1 : ColCount();
        }
        n = c;
        break;
    }
    case VK_F2:
        ShowEditor();
        return;
    default:
        return;
    }
    n.X = std::clamp(n.X, fixedCols_, ColCount() - 1);
    n.Y = std::clamp(n.Y, fixedRows_, RowCount() - 1);
    if (n != current_)
        FocusCell(n.X, n.Y, !shift.Contains(ssShift));
}

void TCustomGrid::KeyPress(char& key) {
    TCustomControl::KeyPress(key);
    if (key == 0)
        return;
    const auto b = static_cast<unsigned char>(key);
    if (key == '\r' && !options_.Contains(goAlwaysShowEditor)) {
        SetEditorMode(!editorMode_);
        key = 0;
    } else if (options_.Contains(goEditing) && (b == 8 || b >= 32) && !EditorShowing()) {
        // A character typed on the grid opens the editor with that character.
        ShowEditorChar(key);
        key = 0;
    }
}

// ---- mouse ----

void TCustomGrid::CalcSizingState(int x, int y, TGridState& state, int& index, int& sizingPos, int& sizingOfs,
                                  const TGridDrawInfo& fixedInfo) {
    state = gsNormal;
    index = -1;
    TGridDrawInfo di;
    CalcDrawInfo(di);
    // The border a point is on: a cell's far edge, within a few pixels either side of its line.
    auto border = [](const TGridAxisDrawInfo& a, int p, int& idx, int& pos) {
        auto test = [&](int i, int start) {
            int edge = start + a.GetExtent(i);
            if (p >= edge - kSizingSlack && p < edge + a.EffectiveLineWidth + kSizingSlack) {
                idx = i;
                pos = edge;
            }
        };
        int start = 0;
        for (int i = 0; i < a.FixedCellCount; ++i) {
            test(i, start);
            start += a.GetExtent(i) + a.EffectiveLineWidth;
        }
        start = a.FixedBoundary;
        for (int i = a.FirstGridCell; i < a.GridCellCount && start < a.GridExtent; ++i) {
            test(i, start);
            start += a.GetExtent(i) + a.EffectiveLineWidth;
        }
        return idx >= 0;
    };
    int idx = -1, pos = 0;
    if (options_.Contains(goColSizing) && y >= 0 && y < fixedInfo.Vert.FixedBoundary && border(di.Horz, x, idx, pos)) {
        state = gsColSizing;
    } else if (options_.Contains(goRowSizing) && x >= 0 && x < fixedInfo.Horz.FixedBoundary &&
               border(di.Vert, y, idx = -1, pos)) {
        state = gsRowSizing;
    } else {
        return;
    }
    index = idx;
    sizingPos = pos;
    sizingOfs = (state == gsColSizing ? x : y) - pos;
}

void TCustomGrid::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TCustomControl::MouseDown(button, shift, x, y);
    if (button != mbLeft || shift.Contains(ssDouble))
        return;
    if (CanFocus() && !FocusedWithin())
        SetFocus();
    TGridDrawInfo fixedInfo;
    CalcFixedInfo(fixedInfo);
    TGridState state = gsNormal;
    int index = -1, pos = 0, ofs = 0;
    CalcSizingState(x, y, state, index, pos, ofs, fixedInfo);
    if (state == gsColSizing || state == gsRowSizing) {
        HideEdit();
        gridState_ = state;
        sizingIndex_ = index;
        sizingOfs_ = ofs;
        sizingPos_ = state == gsColSizing ? x : y;
        SetMouseCapture(true);
        Invalidate();
        return;
    }
    TGridCoord cell = MouseCoord(x, y);
    if (cell.X < 0)
        return;
    if (cell.Y < fixedRows_ && cell.X >= fixedCols_ && options_.Contains(goColMoving)) {
        // A press on a title may become a column drag once the pointer moves.
        gridState_ = gsColMoving;
        moveIndex_ = movePos_ = cell.X;
        movePress_ = {x, y};
        moveStarted_ = false;
        SetMouseCapture(true);
        return;
    }
    if (cell.X < fixedCols_ || cell.Y < fixedRows_)
        return;
    if (options_.Contains(goEditing) && cell == current_) {
        ShowEditor();
        return;
    }
    moveCurrent(cell.X, cell.Y, !shift.Contains(ssShift), true);
    UpdateEdit();
}

void TCustomGrid::MouseMove(TShiftState shift, int x, int y) {
    TCustomControl::MouseMove(shift, x, y);
    switch (gridState_) {
    case gsColSizing:
        sizingPos_ = x;
        Invalidate();
        break;
    case gsRowSizing:
        sizingPos_ = y;
        Invalidate();
        break;
    case gsColMoving: {
        if (!moveStarted_ &&
            std::abs(x - movePress_.X) <= kDragThreshold && std::abs(y - movePress_.Y) <= kDragThreshold)
            break;
        moveStarted_ = true;
        TGridDrawInfo di;
        CalcDrawInfo(di);
        int target = cellAt(di.Horz, std::clamp(x, di.Horz.FixedBoundary, std::max(di.Horz.FixedBoundary, di.Horz.GridBoundary - 1)));
        if (x >= di.Horz.GridBoundary)
            target = di.Horz.LastFullVisibleCell < ColCount() - 1 && x < di.Horz.GridExtent ? target : ColCount() - 1;
        if (target < fixedCols_)
            target = fixedCols_;
        if (target != movePos_) {
            movePos_ = target;
            Invalidate();
        }
        break;
    }
    default:
        break;
    }
}

void TCustomGrid::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TGridState state = gridState_;
    gridState_ = gsNormal;
    if (state != gsNormal)
        SetMouseCapture(false);
    try {
        if (state == gsColSizing || state == gsRowSizing) {
            TGridDrawInfo di;
            CalcDrawInfo(di);
            const TGridAxisDrawInfo& a = state == gsColSizing ? di.Horz : di.Vert;
            int start = cellStart(a, sizingIndex_);
            if (start >= 0) {
                int size = std::max(kMinCellExtent, (state == gsColSizing ? x : y) - sizingOfs_ - start);
                if (state == gsColSizing)
                    SetColWidths(sizingIndex_, size);
                else
                    SetRowHeights(sizingIndex_, size);
            }
            Invalidate();
            UpdateEdit();
        } else if (state == gsColMoving) {
            Invalidate();
            if (moveStarted_ && movePos_ != moveIndex_)
                MoveColumn(moveIndex_, movePos_);
        }
    } catch (...) {
        sizingIndex_ = moveIndex_ = movePos_ = -1;
        throw;
    }
    sizingIndex_ = moveIndex_ = movePos_ = -1;
    TCustomControl::MouseUp(button, shift, x, y);
}

bool TCustomGrid::DoMouseWheelDown(TShiftState, TPoint) {
    if (current_.Y < RowCount() - 1)
        FocusCell(current_.X, current_.Y + 1, true);
    return true;
}

bool TCustomGrid::DoMouseWheelUp(TShiftState, TPoint) {
    if (current_.Y > fixedRows_)
        FocusCell(current_.X, current_.Y - 1, true);
    return true;
}

// ---- painting ----

void TCustomGrid::DrawCell(int col, int row, const TRect& rect, TGridDrawState state) {
    if (OnDrawCell)
        OnDrawCell(this, col, row, rect, state);
}

void TCustomGrid::paintLines(TCanvas& canvas, const TGridDrawInfo& di) {
    const TGridAxisDrawInfo& h = di.Horz;
    const TGridAxisDrawInfo& v = di.Vert;
    // A line follows every cell shown: black where it borders fixed cells, silver between scrolling
    // ones. In the band of fixed rows (columns) the fixed lines apply to every column (row).
    const bool fixedV = options_.Contains(goFixedVertLine), dataV = options_.Contains(goVertLine);
    const bool fixedH = options_.Contains(goFixedHorzLine), dataH = options_.Contains(goHorzLine);
    auto fill = [&](const TRect& r, TColor color) {
        canvas.Brush()->SetColor(color);
        canvas.FillRect(r);
    };
    auto forEachLine = [](const TGridAxisDrawInfo& a, auto&& draw) {
        int pos = 0;
        for (int i = 0; i < a.FixedCellCount; ++i) {
            pos += a.GetExtent(i);
            draw(i, pos);
            pos += a.EffectiveLineWidth;
        }
        pos = a.FixedBoundary;
        for (int i = a.FirstGridCell; i < a.GridCellCount && pos < a.GridExtent; ++i) {
            pos += a.GetExtent(i);
            draw(i, pos);
            pos += a.EffectiveLineWidth;
        }
    };
    const int fixedBottom = std::min(v.FixedBoundary, v.GridBoundary);
    const int fixedRight = std::min(h.FixedBoundary, h.GridBoundary);
    if (h.EffectiveLineWidth > 0)
        forEachLine(h, [&](int i, int x) {
            const int w = h.EffectiveLineWidth;
            const bool fixedCol = i < fixedCols_;
            if (fixedV)
                fill(Rect(x, 0, x + w, fixedBottom), clBlack);
            if (fixedCol ? fixedV : dataV)
                fill(Rect(x, v.FixedBoundary, x + w, v.GridBoundary), fixedCol ? clBlack : clSilver);
        });
    if (v.EffectiveLineWidth > 0)
        forEachLine(v, [&](int i, int y) {
            const int w = v.EffectiveLineWidth;
            const bool fixedRow = i < fixedRows_;
            if (fixedH)
                fill(Rect(0, y, fixedRight, y + w), clBlack);
            if (fixedRow ? fixedH : dataH)
                fill(Rect(h.FixedBoundary, y, h.GridBoundary, y + w), fixedRow ? clBlack : clSilver);
        });
}

void TCustomGrid::Paint() {
    TCanvas& canvas = *Canvas();
    TGridDrawInfo di;
    CalcDrawInfo(di);
    const bool focused = FocusedWithin();
    const TGridRect sel = Selection();
    auto region = [&](int col0, int col1, int x0, int row0, int row1, int y0, bool fixedRegion) {
        int y = y0;
        for (int r = row0; r < row1 && y < di.Vert.GridExtent; ++r) {
            int x = x0;
            const int rh = rowHeights_[size_t(r)];
            for (int c = col0; c < col1 && x < di.Horz.GridExtent; ++c) {
                const int cw = colWidths_[size_t(c)];
                TRect rect = Rect(x, y, x + cw, y + rh);
                TGridDrawState state;
                if (fixedRegion)
                    state.Include(gdFixed);
                else {
                    if (focused && c == current_.X && r == current_.Y)
                        state.Include(gdFocused);
                    if (sel.Contains(c, r))
                        state.Include(gdSelected);
                }
                if (!rect.IsEmpty()) {
                    if (defaultDrawing_) {
                        const bool highlight = state.Contains(gdSelected) && focused && !EditorShowing();
                        canvas.Brush()->SetColor(fixedRegion ? fixedColor_ : highlight ? clHighlight : Color());
                        canvas.FillRect(rect);
                        canvas.SetFont(*Font());
                        if (highlight)
                            canvas.Font()->SetColor(clHighlightText);
                    }
                    DrawCell(c, r, rect, state);
                    if (defaultDrawing_ && fixedRegion && options_.Contains(goFixedVertLine) &&
                        options_.Contains(goFixedHorzLine))
                        canvas.DrawEdge(rect, BDR_RAISEDINNER);
                }
                x += cw + di.Horz.EffectiveLineWidth;
            }
            y += rh + di.Vert.EffectiveLineWidth;
        }
    };
    region(0, fixedCols_, 0, 0, fixedRows_, 0, true);
    region(topLeft_.X, ColCount(), di.Horz.FixedBoundary, 0, fixedRows_, 0, true);
    region(0, fixedCols_, 0, topLeft_.Y, RowCount(), di.Vert.FixedBoundary, true);
    region(topLeft_.X, ColCount(), di.Horz.FixedBoundary, topLeft_.Y, RowCount(), di.Vert.FixedBoundary, false);
    paintLines(canvas, di);
    if (focused && defaultDrawing_ && !options_.Contains(goRowSelect) && !EditorShowing()) {
        TRect r = CellRect(current_.X, current_.Y);
        if (!r.IsEmpty())
            canvas.DrawFocusRect(r);
    }
    // While sizing, a line follows the pointer; while moving a column, a bar marks where it goes.
    canvas.Brush()->SetColor(clBlack);
    if (gridState_ == gsColSizing)
        canvas.FillRect(Rect(sizingPos_ - sizingOfs_, 0, sizingPos_ - sizingOfs_ + 1, di.Vert.GridBoundary));
    else if (gridState_ == gsRowSizing)
        canvas.FillRect(Rect(0, sizingPos_ - sizingOfs_, di.Horz.GridBoundary, sizingPos_ - sizingOfs_ + 1));
    else if (gridState_ == gsColMoving && moveStarted_) {
        TRect r = CellRect(movePos_, 0);
        if (!r.IsEmpty()) {
            int x = movePos_ > moveIndex_ ? r.Right : r.Left;
            canvas.FillRect(Rect(x - 1, 0, x + 2, di.Vert.GridBoundary));
        }
    }
}
