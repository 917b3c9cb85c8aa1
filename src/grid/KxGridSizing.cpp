// Column sizing and moving: a width the user dragged written back into the fields (TFields mode) or
// the column list, a moved column reordering the fields or the list (a grouped column with its
// group), best fit over the records shown, proportional sizing over the client width, and the row
// height percentage a row drag chooses.
//
// Costs: a write-back or a move is O(columns x line length) and one layout rebuild; FitColumn reads
// the records of the window (one screen at most) and measures one text each; proportional sizing is
// O(columns). None of it depends on the number of records.
#include "core/Exception.h"
#include "core/Guard.h"
#include "core/SysUtils.h"
#include "data/DataSource.h"
#include "grid/KxDBGrid.h"
#include "grid/KxGridDataLink.h"
#include "grid/KxGridGlyphs.h"
#include "grid/KxListLines.h"

#include <algorithm>

namespace {
constexpr int kCellMargin = 4;

// A pixel width in characters of a "0" w0 pixels wide: (p + r - 4) div w0, r = max(0, w0 div 2 - 3).
int charsOf(int pixels, int w0) {
    const int r = std::max(0, w0 / 2 - 3);
    return (pixels + r - kCellMargin) / w0;
}
} // namespace

// ---- widths written back ----

void TkxCustomDBGrid::ColWidthsChanged() {
    TCustomGrid::ColWidthsChanged();
    // Widths the grid assigns itself (a layout, the column widths, proportional sizing) are not the
    // user's and go nowhere.
    if (widthSetting_ > 0 || layoutBusy_ > 0 || !link_ || !link_->Active() || !HandleAllocated() ||
        !DataSet())
        return;
    const int w0 = TextWidthIn(*Font(), "0");
    if (w0 <= 0) return;
    const int ind = IndicatorOffset();
    {
        // The fields' changes would rebuild the layout halfway; it is rebuilt once, at the end.
        TCountGuard busy(layoutBusy_);
        if (useTFields_) {
            for (int i = 0; i < MappedFieldCount() && ind + i < ColCount(); ++i)
                if (TField* f = MappedField(i)) f->SetDisplayWidth(charsOf(ColWidths(ind + i), w0));
        } else {
            const std::vector<AnsiString> old = selected_.Lines();
            TStringList lines;
            for (size_t i = 0; i < old.size(); ++i) {
                const int c = ind + int(i);
                if (c >= ColCount()) {
                    lines.Add(old[i]);
                    continue;
                }
                std::vector<AnsiString> parts = SplitListLine(old[i], '\t');
                if (parts.size() < 3) {
                    // A short line stops the write-back; the lines not yet written keep their text.
                    for (size_t k = i; k < old.size(); ++k)
                        lines.Add(old[k]);
                    selected_.Assign(lines);
                    (void)ListLinePart(parts, 2);
                }
                AnsiString line = parts[0] + "\t" + IntToStr(charsOf(ColWidths(c), w0)) + "\t" + parts[2];
                // The flag and the group name go back as they stood, empty ones included.
                if (parts.size() > 3) line += "\t" + parts[3];
                if (parts.size() > 4) line += "\t" + parts[4];
                lines.Add(line);
            }
            selected_.Assign(lines);
        }
    }
    RebuildLayout();
}

// ---- moving ----

void TkxCustomDBGrid::DrawDragArrows(TCanvas& canvas) {
    if (GridState() != gsColMoving || !MoveStarted()) {
        DrawDragMarks(canvas);
        return;
    }
    const TRect r = CellRect(MovePos(), 0);
    if (r.IsEmpty()) return;
    // The column goes before the target when it comes from the right, after it from the left: the
    // arrows point at that edge from both sides, in the middle of the title row.
    const int x = MovePos() > MoveIndex() ? r.Right : r.Left;
    const int y = std::max(0, (r.Top + r.Bottom - kColumnMoveArrowHeight) / 2);
    DrawColumnMoveArrow(canvas, x - kColumnMoveArrowWidth, y, true);
    DrawColumnMoveArrow(canvas, x + 1, y, false);
    // The dragged titles go over the marks as a ghost, so that the marks show through.
    if (dragPicture_) canvas.DrawGhost(dragPictureRect_.Left, dragPictureRect_.Top, *dragPicture_, 0.6);
}

void TkxCustomDBGrid::MakeDragPicture() {
    const int ind = IndicatorOffset(), t = TitleRowCount();
    const int col = MoveIndex() - ind;
    if (col < 0 || col >= DataColumnCount() || t <= 0) return;
    // A grouped column takes its band and the titles of its group along.
    int first = col, last = col;
    if (!GroupHeaderRun(col, false, first, last)) first = last = col;
    TRect r;
    for (int c = first; c <= last; ++c)
        r = UnionRect(r, UnionRect(CellRect(ind + c, 0), CellRect(ind + c, t - 1)));
    if (r.IsEmpty()) return;
    // No wider than the cells' part of the grid.
    r.Right = std::min(r.Right, r.Left + std::max(1, ClientWidth() - DrawInfo().Horz.FixedBoundary));
    auto picture = std::make_unique<TBitmap>();
    picture->SetDevicePixelRatio(DevicePixelRatio());
    picture->SetSize(r.Width(), r.Height());
    TCanvas& c = *picture->Canvas();
    c.SetOrigin({-r.Left, -r.Top});
    c.SetClipRect(r);
    c.Brush()->SetColor(titleColor_);
    c.FillRect(r);
    paintAll(c, r, false);
    c.ResetClip();
    dragPictureGrip_ = pressPoint_.X - r.Left;
    dragPictureRect_ = r;
    dragPicture_ = std::move(picture);
}

void TkxCustomDBGrid::MoveDragPicture(int x) {
    if (!dragPicture_) return;
    const TRect to = Bounds(x - dragPictureGrip_, dragPictureRect_.Top, dragPictureRect_.Width(),
                            dragPictureRect_.Height());
    if (to == dragPictureRect_) return;
    InvalidateRect(dragPictureRect_);
    InvalidateRect(to);
    dragPictureRect_ = to;
}

void TkxCustomDBGrid::DropDragPicture() {
    if (!dragPicture_) return;
    InvalidateRect(dragPictureRect_);
    dragPicture_.reset();
}

void TkxCustomDBGrid::ColumnMoved(int fromIndex, int toIndex) {
    const int ind = IndicatorOffset();
    const int from = fromIndex - ind, to = toIndex - ind;
    if (from < 0 || to < 0 || from >= DataColumnCount() || to >= DataColumnCount()) {
        RebuildLayout();
        return;
    }
    // A grouped column moves with its group: the member at the near end moves once per member.
    int first = from, last = from;
    if (!GroupHeaderRun(from, false, first, last)) first = last = from;
    if (to >= first && to <= last) {
        // Within its own group there is nowhere to go: the base grid's move is undone.
        RebuildLayout();
        return;
    }
    const int moving = to > from ? first : last;
    const int count = last - first + 1;
    if (!useTFields_) {
        for (int k = 0; k < count && moving < selected_.Count() && to < selected_.Count(); ++k)
            selected_.Move(moving, to);
        RebuildLayout();
    } else if (link_->Active() && MappedFieldCount() > 0) {
        // Each field move tells the dataset's controls, which rebuilds the map before the next.
        for (int k = 0; k < count; ++k) {
            TField* f = MappedField(moving);
            TField* target = MappedField(to);
            if (!f || !target) break;
            f->SetIndex(target->Index());
        }
    } else {
        RebuildLayout();
    }
    // The footer shows the columns' texts in their new order.
    Invalidate();
    if (OnColumnMoved) OnColumnMoved(this, from, to);
}

void TkxDBGrid::ColumnMoved(int fromIndex, int toIndex) {
    HideEmbeddedControl();
    TkxCustomDBGrid::ColumnMoved(fromIndex, toIndex);
}

// ---- best fit ----

void TkxCustomDBGrid::FitColumn(int gridCol) {
    const int ind = IndicatorOffset();
    if (gridCol < ind || gridCol >= ColCount() || !link_->Active() || !DataSet()) return;
    TkxColumn& column = ColumnAt(gridCol - ind);
    TField* f = column.IsNullColumn() ? nullptr : DataSet()->FindField(column.FieldName());
    if (!f) return;
    int widest = 0;
    for (int r = 0; r < link_->RecordCount(); ++r) {
        TActiveRecordScope scope(*link_, r);
        widest = std::max(widest, TextWidthIn(*Font(), f->DisplayText()));
    }
    const int needed = widest + kCellMargin, width = ColWidths(gridCol), half = Width() / 2;
    // Widening stops at half the grid; narrowing always fits.
    if (width < needed && (width > half || needed > half)) return;
    const int w0 = TextWidthIn(*Font(), "0");
    if (w0 > 0) column.SetDisplayWidth(needed / w0);
}

// ---- proportional sizing ----

void TkxCustomDBGrid::ProportionalResize() {
    const int n = ColCount(), ind = IndicatorOffset();
    if (referenceWidths_.empty() || int(referenceWidths_.size()) - 1 < n - 1 || useTFields_ ||
        selected_.Count() == 0)
        return;
    const int w0 = TextWidthIn(*Font(), "0");
    if (w0 <= 0) return;
    TCountGuard setting(widthSetting_);
    const int lw = options_.Contains(dgColLines) ? 1 : 0;
    const int minimum = 2 * w0 + kCellMargin;
    auto ref = [this](int c) { return int(referenceWidths_[size_t(c)]); };
    const int s = sizedCol_ >= ind && sizedCol_ < n ? sizedCol_ : -1;

    // The sized column closes its group: the group shares its new total.
    int first = 0, last = 0;
    if (s >= 0 && GroupHeaderRun(s - ind, false, first, last) && s - ind == last) {
        int d = ColWidths(s) - sizedColStartWidth_;
        int sum = 0;
        for (int k = first; k <= last; ++k)
            sum += (k == last ? sizedColStartWidth_ : ref(k + ind)) + lw;
        for (int k = first; k < last; ++k) {
            const int r = ref(k + ind);
            const int w = sum > 0 ? std::max(minimum, int(int64_t(r) * (sum + d) / sum)) : minimum;
            SetColWidths(k + ind, w);
            d += r - w;
            sum -= r;
        }
        SetColWidths(s, std::max(minimum, sizedColStartWidth_ + d));
    }

    // The columns right of the sized one (all without one) fill the rest of the client width.
    const int from = s >= 0 ? s + 1 : ind;
    int total = -1;
    for (int k = from; k < n; ++k)
        total += ref(k) + lw;
    if (total <= 0) return;
    int avail = ClientWidth() - 2;
    const int leftOfRange = s >= 0 ? s : ind - 1;
    if (leftOfRange >= 0) {
        const int line = DrawInfo().Horz.EffectiveLineWidth;
        int64_t edge = 0;
        for (int c = 0; c < leftOfRange; ++c)
            edge += ColWidths(c) + line;
        avail = int(std::max<int64_t>(avail - edge - ColWidths(leftOfRange), -TCustomGrid::kMostCellExtent));
    }
    // Room for the vertical scroll bar that is not shown yet.
    if (ShowVertScrollBar() && Width() - ClientWidth() < 10) avail -= GetSystemMetrics(SM_CXHTHUMB) + 1;
    for (int k = from; k < n; ++k) {
        const int share = total > 0 ? int(int64_t(ref(k) + 1) * avail / total) : 0;
        const int px = std::max(minimum, (share - kCellMargin) / w0 * w0 + kCellMargin);
        const int assigned = k == n - 1 ? std::max(avail, 0) : px;
        SetColWidths(k, assigned);
        const int line = k - ind;
        if (line >= 0 && line < selected_.Count())
            selected_.SetStrings(
                line, SetListLineField(selected_[line], 1, IntToStr((assigned - kCellMargin) / w0)));
        avail -= px + lw;
        total -= ref(k) + lw;
    }
}

void TkxCustomDBGrid::ProportionalResizeForWindow() {
    if (!options_.Contains(dgFixedProportionalResize) || TCustomGrid::FixedCols() < 2) {
        ProportionalResize();
        return;
    }
    // The last frozen column counts as sized: the frozen columns keep their widths.
    const int savedCol = sizedCol_, savedWidth = sizedColStartWidth_;
    sizedCol_ = TCustomGrid::FixedCols() - 1;
    sizedColStartWidth_ = ColWidths(sizedCol_);
    try {
        ProportionalResize();
    } catch (...) {
        sizedCol_ = savedCol;
        sizedColStartWidth_ = savedWidth;
        throw;
    }
    sizedCol_ = savedCol;
    sizedColStartWidth_ = savedWidth;
}

// ---- row height ----

void TkxCustomDBGrid::SetRowHeightPercentFromDrag(int v) {
    if (v <= 0 || v == rowHeightPercent_) return;
    rowHeightPercent_ = v;
    RebuildLayout();
}

void TkxDBGrid::RowResized(int row) {
    if (!Options().Contains(dgRowResize) || row < 0 || row >= RowCount()) return;
    const int room = TitleRowCount() > 0 ? ClientHeight() - RowHeights(0) - 1 : ClientHeight() - 1;
    const int h = std::min(RowHeights(row), room);
    // One text line and its room, as the rows are laid out (KxGridColumns.cpp, ApplyRowHeights).
    const int lineRoom =
        Options().Contains(dgRowLines) || !Options().Contains(dgRowLinesDisableFixed) ? 1 : 0;
    const int base = TextHeightIn(*Font(), "W") + 2 + lineRoom;
    if (base <= 0) return;
    // Rows are never dragged below the height RowHeightPercent was given.
    const int floor = RowHeightFloor();
    const int percent = std::max(h * 100 / base, floor);
    if (percent != RowHeightPercent()) {
        SetRowHeightPercentFromDrag(percent);
    } else {
        SetRowHeights(row, base * floor / 100);
        RebuildLayout();
    }
}
