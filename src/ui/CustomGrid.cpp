#include "ui/CustomGrid.h"

#include "core/Exception.h"
#include "ui/Accessible.h"
#include "ui/Form.h"
#include "ui/InplaceEdit.h"

#include <algorithm>
#include <cassert>

namespace {
// How near a border the pointer must be to size, and how far it must go to start moving a column.
constexpr int kSizingSlack = 3;
constexpr int kDragThreshold = 3;
constexpr int kMinCellExtent = 1;

TGridRect normalised(TGridCoord a, TGridCoord b) {
    return {std::min(a.X, b.X), std::min(a.Y, b.Y), std::max(a.X, b.X), std::max(a.Y, b.Y)};
}

} // namespace

// ---- one axis ----

int TGridAxisDrawInfo::firstEndingAfter(int k0, int k1, int pos) const {
    // The shown cells' areas follow each other without gaps, so their ends only grow.
    while (k0 < k1) {
        const int mid = k0 + (k1 - k0) / 2;
        const int end = Starts[size_t(mid)] + GetExtent(ShownCell(mid)) + EffectiveLineWidth;
        if (end > pos)
            k1 = mid;
        else
            k0 = mid + 1;
    }
    return k0;
}

int TGridAxisDrawInfo::CellStart(int index) const {
    if (index < 0 || index >= GridCellCount)
        return -1;
    if (index < FixedCellCount)
        return index < FixedShown ? Starts[size_t(index)] : -1;
    if (index < FirstGridCell)
        return -1;
    const int k = FixedShown + (index - FirstGridCell);
    return k < ShownCount() ? Starts[size_t(k)] : -1;
}

int TGridAxisDrawInfo::CellAt(int pos) const {
    if (pos < 0 || pos >= GridBoundary)
        return -1;
    const int k = firstEndingAfter(0, ShownCount(), pos);
    return k < ShownCount() ? ShownCell(k) : -1;
}

int TGridAxisDrawInfo::FirstCellShowing(int index) const {
    const int avail = GridExtent - FixedBoundary;
    int used = GetExtent(index);
    int i = index;
    while (i - 1 >= FixedCellCount && used + EffectiveLineWidth + GetExtent(i - 1) <= avail) {
        used += EffectiveLineWidth + GetExtent(i - 1);
        --i;
    }
    return std::max(i, FixedCellCount);
}

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
    dropDrawInfo();
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
    dropDrawInfo();
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
    dropDrawInfo();
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
    dropDrawInfo();
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
    defaultColWidth_ = std::clamp(v, 0, kMostCellExtent);
    dropDrawInfo();
    std::fill(colWidths_.begin(), colWidths_.end(), defaultColWidth_);
    ColWidthsChanged();
}

void TCustomGrid::SetDefaultRowHeight(int v) {
    defaultRowHeight_ = std::clamp(v, 0, kMostCellExtent);
    dropDrawInfo();
    std::fill(rowHeights_.begin(), rowHeights_.end(), defaultRowHeight_);
    RowHeightsChanged();
}

void TCustomGrid::SetColWidths(int col, int width) {
    int& w = colWidths_.at(size_t(col));
    width = std::clamp(width, 0, kMostCellExtent);
    if (w == width)
        return;
    w = width;
    dropDrawInfo();
    ColWidthsChanged();
}

void TCustomGrid::SetRowHeights(int row, int height) {
    int& h = rowHeights_.at(size_t(row));
    height = std::clamp(height, 0, kMostCellExtent);
    if (h == height)
        return;
    h = height;
    dropDrawInfo();
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
    gridLineWidth_ = std::clamp(v, 0, kMostCellExtent);
    dropDrawInfo();
    ColWidthsChanged();
}

void TCustomGrid::SetOptions(TGridOptions v) {
    if (v == options_)
        return;
    if (v.Contains(goRowSelect) || !v.Contains(goEditing))
        HideEditor();
    options_ = v;
    dropDrawInfo();
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

void TCustomGrid::calcAxis(TGridAxisDrawInfo& a, int extent, int fixed, int first,
                           const std::vector<int>& cells, int lineWidth) {
    a.EffectiveLineWidth = lineWidth;
    a.GridExtent = extent;
    a.FixedCellCount = fixed;
    a.FirstGridCell = first;
    a.GridCellCount = int(cells.size());
    a.Extents = &cells;
    a.Starts.clear();
    int pos = 0;
    for (int i = 0; i < fixed; ++i) {
        if (pos < extent)
            a.Starts.push_back(pos);
        // (Past the extent only the boundary counts: it stops far below the int's end.)
        pos = int(std::min<int64_t>(int64_t(pos) + cells[size_t(i)] + lineWidth, int64_t(extent) + 2 * kMostCellExtent));
    }
    a.FixedShown = int(a.Starts.size());
    a.FixedBoundary = pos;
    a.GridBoundary = std::min(pos, extent);
    a.FullVisBoundary = pos;
    a.LastFullVisibleCell = first;
    for (int i = first; i < a.GridCellCount && pos < extent; ++i) {
        a.Starts.push_back(pos);
        int end = pos + cells[size_t(i)];
        if (end <= extent) {
            a.LastFullVisibleCell = i;
            a.FullVisBoundary = end + lineWidth;
        }
        pos = end + lineWidth;
        a.GridBoundary = std::min(pos, extent);
    }
}

void TCustomGrid::computeDrawInfo(TGridDrawInfo& info) const {
    const TRect c = CellArea();
    int hl = options_.Contains(goFixedVertLine) || options_.Contains(goVertLine) ? gridLineWidth_ : 0;
    int vl = options_.Contains(goFixedHorzLine) || options_.Contains(goHorzLine) ? gridLineWidth_ : 0;
    calcAxis(info.Horz, c.Width(), fixedCols_, topLeft_.X, colWidths_, hl);
    calcAxis(info.Vert, c.Height(), fixedRows_, topLeft_.Y, rowHeights_, vl);
}

const TGridDrawInfo& TCustomGrid::DrawInfo() const {
    // The cell area's size is compared at every use; every other input drops the kept layout when it
    // changes.
    const TRect c = CellArea();
    if (!drawInfoValid_ || drawInfo_.Horz.GridExtent != c.Width() ||
        drawInfo_.Vert.GridExtent != c.Height()) {
        computeDrawInfo(drawInfo_);
        drawInfoValid_ = true;
    }
#ifndef NDEBUG
    // A change that forgot to drop the kept layout shows here, in the checked builds.
    TGridDrawInfo fresh;
    computeDrawInfo(fresh);
    for (auto [kept, now] :
         {std::pair{&drawInfo_.Horz, &fresh.Horz}, std::pair{&drawInfo_.Vert, &fresh.Vert}}) {
        assert(kept->Starts == now->Starts && kept->FixedShown == now->FixedShown);
        assert(kept->GridBoundary == now->GridBoundary && kept->FixedBoundary == now->FixedBoundary);
        assert(kept->LastFullVisibleCell == now->LastFullVisibleCell);
        assert(kept->FirstGridCell == now->FirstGridCell && kept->GridCellCount == now->GridCellCount);
        assert(kept->EffectiveLineWidth == now->EffectiveLineWidth);
        (void)kept;
        (void)now;
    }
#endif
    return drawInfo_;
}

void TCustomGrid::CalcDrawInfo(TGridDrawInfo& info) const { info = DrawInfo(); }

void TCustomGrid::CalcFixedInfo(TGridDrawInfo& info) const {
    info = DrawInfo();
    // As if the first scrolling cells were at the top left.
    TGridAxisDrawInfo& h = info.Horz;
    TGridAxisDrawInfo& v = info.Vert;
    calcAxis(h, h.GridExtent, fixedCols_, fixedCols_, colWidths_, h.EffectiveLineWidth);
    calcAxis(v, v.GridExtent, fixedRows_, fixedRows_, rowHeights_, v.EffectiveLineWidth);
}

namespace {
// The first and last cells shown of the block [lo, hi] on an axis, by the order of Starts (which is
// the order of the indices): false when none of them is shown.
bool shownSpan(const TGridAxisDrawInfo& a, int lo, int hi, int& first, int& last) {
    lo = std::max(lo, 0);
    hi = std::min(hi, a.GridCellCount - 1);
    if (lo > hi || a.ShownCount() == 0)
        return false;
    // The fixed cells shown are 0 .. FixedShown - 1, the scrolled ones FirstGridCell .. LastShownCell.
    const int lastScrolled = a.LastShownCell();
    const bool scrolled = a.FirstGridCell <= lastScrolled;
    auto nextShown = [&](int i) {  // the first shown cell at or after i, or -1
        if (i < a.FixedShown)
            return i;
        if (!scrolled || i > lastScrolled)
            return -1;
        return std::max(i, a.FirstGridCell);
    };
    auto prevShown = [&](int i) {  // the last shown cell at or before i, or -1
        if (scrolled && i >= a.FirstGridCell)
            return std::min(i, lastScrolled);
        return std::min(i, a.FixedShown - 1);
    };
    first = nextShown(lo);
    last = prevShown(hi);
    return first >= 0 && last >= 0 && first <= last;
}
} // namespace

TRect TCustomGrid::BoxRect(int left, int top, int right, int bottom) const {
    const TGridDrawInfo& di = DrawInfo();
    int c0 = 0, c1 = 0, r0 = 0, r1 = 0;
    if (!shownSpan(di.Horz, left, right, c0, c1) || !shownSpan(di.Vert, top, bottom, r0, r1))
        return {};
    return Rect(di.Horz.CellStart(c0), di.Vert.CellStart(r0), di.Horz.CellStart(c1) + colWidths_[size_t(c1)],
                di.Vert.CellStart(r1) + rowHeights_[size_t(r1)]);
}

TRect TCustomGrid::CellRect(int col, int row) const { return BoxRect(col, row, col, row); }

TGridCoord TCustomGrid::MouseCoord(int x, int y) const {
    const TGridDrawInfo& di = DrawInfo();
    TGridCoord c{di.Horz.CellAt(x), di.Vert.CellAt(y)};
    if (c.X < 0 || c.Y < 0)
        return {-1, -1};
    return c;
}

int TCustomGrid::VisibleColCount() const {
    return std::max(1, DrawInfo().Horz.LastFullVisibleCell - topLeft_.X + 1);
}

int TCustomGrid::VisibleRowCount() const {
    return std::max(1, DrawInfo().Vert.LastFullVisibleCell - topLeft_.Y + 1);
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

void TCustomGrid::invalidateSelection(const TGridRect& r) { invalidateBox(r.Left, r.Top, r.Right, r.Bottom); }

void TCustomGrid::moveCurrent(int col, int row, bool moveAnchor, bool show) {
    if (col < 0 || row < 0 || col >= ColCount() || row >= RowCount())
        throw EInvalidGridOperation("Grid index out of range");
    if (!SelectCell(col, row))
        return;
    TGridRect old = Selection();
    const int oldCol = current_.X;
    current_ = {col, row};
    if (!options_.Contains(goAlwaysShowEditor))
        HideEditor();
    if (moveAnchor || !options_.Contains(goRangeSelect))
        anchor_ = current_;
    if (show)
        ClampInView(current_);
    invalidateSelection(old);
    invalidateSelection(Selection());
    // A reader hears the new column; a new record is announced where the grid follows its dataset.
    if (col != oldCol)
        accessibility::TableChanged(this);
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

int TCustomGrid::maxTopLeft(const TGridAxisDrawInfo& a) {
    int last = a.GridCellCount - 1;
    if (last < a.FixedCellCount)
        return a.FixedCellCount;
    return a.FirstCellShowing(last);
}

void TCustomGrid::MoveTopLeft(int left, int top) {
    const TGridDrawInfo& di = DrawInfo();
    TGridCoord n{std::clamp(left, fixedCols_, std::max(fixedCols_, maxTopLeft(di.Horz))),
                 std::clamp(top, fixedRows_, std::max(fixedRows_, maxTopLeft(di.Vert)))};
    n.X = std::min(n.X, ColCount() - 1);
    n.Y = std::min(n.Y, RowCount() - 1);
    if (n == topLeft_)
        return;
    topLeft_ = n;
    dropDrawInfo();
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
    const TGridDrawInfo& di = DrawInfo();
    auto firstFor = [](const TGridAxisDrawInfo& a, int index, int first) {
        if (index < a.FixedCellCount)
            return first;
        if (index < first)
            return index;
        if (index <= a.LastFullVisibleCell)
            return first;
        return std::max(a.FirstCellShowing(index), first);
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
    dropDrawInfo();
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
    const TGridDrawInfo& di = DrawInfo();
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

void TCustomGrid::InvalidateCell(int col, int row) { invalidateBox(col, row, col, row); }

void TCustomGrid::InvalidateCol(int col) { invalidateBox(col, 0, col, RowCount() - 1); }

void TCustomGrid::InvalidateRow(int row) { invalidateBox(0, row, ColCount() - 1, row); }

void TCustomGrid::invalidateBox(int left, int top, int right, int bottom) {
    // The lines around the cells go too: a cell's painting may reach onto them (a frame, a highlight
    // widened by a pixel), and no neighbouring cell meets them.
    const TRect box = BoxRect(left, top, right, bottom);
    if (box.IsEmpty())
        return;
    const TGridDrawInfo& di = DrawInfo();
    InvalidateRect(InflateRect(box, di.Horz.EffectiveLineWidth, di.Vert.EffectiveLineWidth));
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
    // The selection looks otherwise with the focus: the current cell, or its whole row with row select.
    invalidateSelection(Selection());
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
    const TGridDrawInfo& di = DrawInfo();
    // The border a point is on: a cell's far edge, within a few pixels either side of its line (the
    // last such cell when borders crowd). Only the cells whose area comes that near are asked.
    auto border = [](const TGridAxisDrawInfo& a, int p, int& idx, int& pos) {
        idx = -1;
        a.ForEachShown(p - kSizingSlack, p + kSizingSlack + 1, [&](int i, int start) {
            const int edge = start + a.GetExtent(i);
            if (p >= edge - kSizingSlack && p < edge + a.EffectiveLineWidth + kSizingSlack) {
                idx = i;
                pos = edge;
            }
        });
        return idx >= 0;
    };
    int idx = -1, pos = 0;
    if (options_.Contains(goColSizing) && y >= 0 && y < fixedInfo.Vert.FixedBoundary &&
        border(di.Horz, x, idx, pos)) {
        state = gsColSizing;
    } else if (options_.Contains(goRowSizing) && x >= 0 && x < fixedInfo.Horz.FixedBoundary &&
               border(di.Vert, y, idx, pos)) {
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
    if (StartSizing(x, y))
        return;
    const TGridCoord cell = MouseCoord(x, y);
    if (cell.X < 0 || StartColumnMove(cell, x, y))
        return;
    if (cell.X >= fixedCols_ && cell.Y >= fixedRows_)
        ClickCell(cell, shift);
}

bool TCustomGrid::StartSizing(int x, int y) {
    TGridDrawInfo fixedInfo;
    CalcFixedInfo(fixedInfo);
    TGridState state = gsNormal;
    int index = -1, pos = 0, ofs = 0;
    CalcSizingState(x, y, state, index, pos, ofs, fixedInfo);
    if (state != gsColSizing && state != gsRowSizing)
        return false;
    HideEdit();
    gridState_ = state;
    sizingIndex_ = index;
    sizingOfs_ = ofs;
    sizingPos_ = state == gsColSizing ? x : y;
    SetMouseCapture(true);
    Invalidate();
    return true;
}

bool TCustomGrid::StartColumnMove(TGridCoord cell, int x, int y) {
    if (cell.Y >= fixedRows_ || cell.X < fixedCols_ || !options_.Contains(goColMoving))
        return false;
    // A press on a title may become a column drag once the pointer moves.
    gridState_ = gsColMoving;
    moveIndex_ = movePos_ = cell.X;
    movePress_ = {x, y};
    moveStarted_ = false;
    SetMouseCapture(true);
    return true;
}

void TCustomGrid::ClickCell(TGridCoord cell, TShiftState shift) {
    if (options_.Contains(goEditing) && cell == current_) {
        ShowEditor();
        return;
    }
    moveCurrent(cell.X, cell.Y, !shift.Contains(ssShift), true);
    UpdateEdit();
}

void TCustomGrid::MouseMove(TShiftState shift, int x, int y) {
    TCustomControl::MouseMove(shift, x, y);
    MouseDrag(shift, x, y);
}

void TCustomGrid::MouseDrag(TShiftState, int x, int y) {
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
        const TGridAxisDrawInfo& h = DrawInfo().Horz;
        int target = h.CellAt(std::clamp(x, h.FixedBoundary, std::max(h.FixedBoundary, h.GridBoundary - 1)));
        if (x >= h.GridBoundary)
            target = h.LastFullVisibleCell < ColCount() - 1 && x < h.GridExtent ? target : ColCount() - 1;
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
    MouseRelease(button, shift, x, y);
    TCustomControl::MouseUp(button, shift, x, y);
}

void TCustomGrid::MouseRelease(TMouseButton, TShiftState, int x, int y) {
    TGridState state = gridState_;
    gridState_ = gsNormal;
    if (state != gsNormal)
        SetMouseCapture(false);
    try {
        if (state == gsColSizing || state == gsRowSizing) {
            const TGridDrawInfo& di = DrawInfo();
            int start = (state == gsColSizing ? di.Horz : di.Vert).CellStart(sizingIndex_);
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

void TCustomGrid::paintLines(TCanvas& canvas, const TGridDrawInfo& di, const TRect& area) {
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
    const int fixedBottom = std::min(v.FixedBoundary, v.GridBoundary);
    const int fixedRight = std::min(h.FixedBoundary, h.GridBoundary);
    if (h.EffectiveLineWidth > 0)
        h.ForEachShown(area.Left, area.Right, [&](int i, int start) {
            const int x = start + h.GetExtent(i), w = h.EffectiveLineWidth;
            const bool fixedCol = i < fixedCols_;
            if (fixedV)
                fill(Rect(x, 0, x + w, fixedBottom), clBlack);
            if (fixedCol ? fixedV : dataV)
                fill(Rect(x, v.FixedBoundary, x + w, v.GridBoundary), fixedCol ? clBlack : clSilver);
        });
    if (v.EffectiveLineWidth > 0)
        v.ForEachShown(area.Top, area.Bottom, [&](int i, int start) {
            const int y = start + v.GetExtent(i), w = v.EffectiveLineWidth;
            const bool fixedRow = i < fixedRows_;
            if (fixedH)
                fill(Rect(0, y, fixedRight, y + w), clBlack);
            if (fixedRow ? fixedH : dataH)
                fill(Rect(h.FixedBoundary, y, h.GridBoundary, y + w), fixedRow ? clBlack : clSilver);
        });
}

void TCustomGrid::Paint() {
    TCanvas& canvas = *Canvas();
    // A copy: a cell's drawing may change the geometry, which must not pull the walk from under it.
    const TGridDrawInfo di = DrawInfo();
    const TRect area = UpdateRect();
    const bool focused = FocusedWithin();
    const TGridRect sel = Selection();
    // The cells meeting the update rectangle, in four regions: fixed rows by fixed columns, fixed rows
    // by scrolling columns, fixed columns by scrolling rows, then the scrolling cells.
    auto region = [&](bool fixedRowPart, bool fixedColPart) {
        const bool fixedRegion = fixedRowPart || fixedColPart;
        auto rows = [&](auto&& f) {
            fixedRowPart ? di.Vert.ForEachFixed(area.Top, area.Bottom, f)
                         : di.Vert.ForEachScrolled(area.Top, area.Bottom, f);
        };
        auto cols = [&](auto&& f) {
            fixedColPart ? di.Horz.ForEachFixed(area.Left, area.Right, f)
                         : di.Horz.ForEachScrolled(area.Left, area.Right, f);
        };
        rows([&](int r, int y) {
            const int rh = rowHeights_[size_t(r)];
            cols([&](int c, int x) {
                const TRect rect = Rect(x, y, x + colWidths_[size_t(c)], y + rh);
                if (rect.IsEmpty() || IntersectRect(rect, area).IsEmpty())
                    return;
                TGridDrawState state;
                if (fixedRegion)
                    state.Include(gdFixed);
                else {
                    if (focused && c == current_.X && r == current_.Y)
                        state.Include(gdFocused);
                    if (sel.Contains(c, r))
                        state.Include(gdSelected);
                }
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
            });
        });
    };
    region(true, true);
    region(true, false);
    region(false, true);
    region(false, false);
    paintLines(canvas, di, area);
    if (focused && defaultDrawing_ && !options_.Contains(goRowSelect) && !EditorShowing()) {
        TRect r = CellRect(current_.X, current_.Y);
        if (!r.IsEmpty())
            canvas.DrawFocusRect(r);
    }
    DrawDragMarks(canvas);
}

void TCustomGrid::DrawDragMarks(TCanvas& canvas) {
    const TGridDrawInfo& di = DrawInfo();
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

// ---- scrolling pictures ----

bool TCustomGrid::ScrollRowImages(int rows) {
    if (rows == 0 || !HandleAllocated())
        return rows == 0;
    const TGridAxisDrawInfo& v = DrawInfo().Vert;
    const int shown = v.ShownCount() - v.FixedShown;
    if (shown <= 0 || std::abs(rows) >= shown)
        return false;
    const int height = v.GetExtent(v.FirstGridCell);
    for (int r = v.FirstGridCell; r <= v.LastShownCell(); ++r)
        if (v.GetExtent(r) != height)
            return false;
    // From the first scrolling row to the end of the last one shown (the area below it, if any, is
    // not a row's and stays); the fixed columns go with their rows.
    const TRect area = Rect(0, v.FixedBoundary, ClientWidth(), v.GridBoundary);
    ScrollWindow(0, -rows * (height + v.EffectiveLineWidth), area);
    // The focus and the highlight belong to cells, not to the picture: where the picture took them
    // and where they are are painted again.
    const TGridRect sel = Selection();
    invalidateBox(sel.Left, std::max(sel.Top - rows, fixedRows_), sel.Right, sel.Bottom - rows);
    invalidateSelection(sel);
    return true;
}

TPoint TCustomGrid::KeyboardMenuPoint() const {
    const TRect r = CellRect(Col(), Row());
    if (r.Width() <= 0 || r.Height() <= 0)
        return TCustomControl::KeyboardMenuPoint();
    return {r.Left + r.Width() / 2, r.Bottom};
}
