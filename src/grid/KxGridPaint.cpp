// Cell and title painting of the selection grid: the paint cycle in both styles, the draw state and
// colours of each cell, data text, check boxes, pictures, images, link cells, titles with their
// images and group bands, the indicator column, the focus rectangle and the cell hint.
//
// Costs: a paint in the direct style draws only the cells meeting the area the window asks for (one
// changed cell repaints one cell) and reads no record: the rows it draws are the data link's buffer,
// whose active record it moves and puts back. The bitmap style draws every cell shown into a picture
// kept for the grid's lifetime and copies the asked area to the window.
#include "core/Guard.h"
#include "data/DataSource.h"
#include "grid/KxCustomDBGrid.h"
#include "grid/KxDBGrid.h"
#include "grid/KxGridDataLink.h"
#include "grid/KxGridGlyphs.h"
#include "grid/KxListLines.h"
#include "grid/support/KxIntl.h"
#include "ui/Application.h"
#include "ui/Form.h"
#include "ui/ImageList.h"
#include "ui/InplaceEdit.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {
// Text-writer flags.
constexpr unsigned kUnderlinePrefix = 1, kEllipsis = 2, kWordBreak = 4, kTransparent = 16;
// The hint's timer.
constexpr int kHintTimer = 1, kHintTick = 250, kHintLeastTicks = 16;

TkxGridPaintStyle paintStyle() {
    return kxProcessIntl ? kxProcessIntl->GridPaintStyle() : gpsDynamicDeviceContext;
}
TkxCheckBoxInGridStyle checkBoxStyle() {
    return kxProcessIntl ? kxProcessIntl->CheckBoxInGridStyle() : cbStyleAuto;
}

unsigned alignmentFormat(TAlignment a) {
    return a == taRightJustify ? DT_RIGHT : a == taCenter ? DT_CENTER : DT_LEFT;
}

// Restores a canvas's font, brush and pen when it goes (also when a hook raises).
class ToolsScope {
public:
    explicit ToolsScope(TCanvas& c) : c_(c) {
        font_.Assign(*c.Font());
        brush_.Assign(*c.Brush());
        pen_.Assign(*c.Pen());
    }
    ~ToolsScope() {
        c_.Font()->Assign(font_);
        c_.Brush()->Assign(brush_);
        c_.Pen()->Assign(pen_);
    }
    ToolsScope(const ToolsScope&) = delete;
    ToolsScope& operator=(const ToolsScope&) = delete;

private:
    TCanvas& c_;
    TFont font_;
    TBrush brush_;
    TPen pen_;
};
} // namespace

// ---- settings ----

void TkxCustomDBGrid::SetDefaultDrawing(bool v) {
    if (v == defaultDrawing_) return;
    defaultDrawing_ = v;
    Invalidate();
}

void TkxCustomDBGrid::SetTitleImageList(TImageList* v) {
    if (v == titleImageList_) return;
    if (titleImageList_) RemoveFreeNotification(titleImageList_);
    titleImageList_ = v;
    if (v) FreeNotification(v);
    Invalidate();
}

void TkxCustomDBGrid::SetImageList(TImageList* v) {
    if (v == imageList_) return;
    if (imageList_) RemoveFreeNotification(imageList_);
    imageList_ = v;
    if (v) FreeNotification(v);
    Invalidate();
}

void TkxCustomDBGrid::SetIndicatorColor(TIndicatorColorType v) {
    indicatorColor_ = v;
    SetIndicatorIconColor(v == icYellow ? clYellow : clBlack);
}

void TkxCustomDBGrid::SetIndicatorIconColor(TColor v) {
    if (v == indicatorIconColor_) return;
    indicatorIconColor_ = v;
    InvalidateRow(Row());
}

bool TkxCustomDBGrid::ThemedLook() const {
    return ThemeServicesEnabled();
}

bool TkxDBGrid::ThemedLook() const {
    return ThemeServicesEnabled() && !DisableThemes();
}

// ---- the paint cycle ----

void TkxCustomDBGrid::Paint() {
    TCanvas& window = *Canvas();
    const TRect area = UpdateRect();
    scrollsUnpainted_ = 0;
    rowsInvalid_ = false;
    if (paintStyle() == gpsBitmapCanvas) {
        // Every cell into the grid's own picture, at the window's device pixels; then the asked
        // area (the whole client area when none is asked) goes to the window.
        offscreen_->SetDevicePixelRatio(window.DevicePixelRatio());
        offscreen_->SetSize(ClientWidth(), ClientHeight());
        TCanvas& c = *offscreen_->Canvas();
        c.ResetClip();
        c.SetOrigin({});
        c.SetFont(*Font());
        c.Brush()->SetColor(Color());
        c.Brush()->SetStyle(bsSolid);
        c.Pen()->SetColor(clBlack);
        const TRect copy = area.IsEmpty() ? window.ClipRect() : IntersectRect(area, ClientRect());
        try {
            paintAll(c, ClientRect(), true);
        } catch (...) {
            // What was painted before a hook raised is shown, not the window's fill.
            window.CopyRect(copy, c, copy);
            throw;
        }
        window.CopyRect(copy, c, copy);
        DrawDragArrows(window);
        return;
    }
    paintAll(window, area, false);
    DrawDragArrows(window);
}

void TkxCustomDBGrid::paintAll(TCanvas& canvas, const TRect& area, bool allCells) {
    TCanvas* savedCanvas = paintCanvas_;
    const TRect savedArea = paintArea_;
    paintCanvas_ = &canvas;
    paintArea_ = area;
    struct Restore {
        TkxCustomDBGrid* g;
        TCanvas* c;
        TRect a;
        ~Restore() { g->paintCanvas_ = c, g->paintArea_ = a; }
    } restore{this, savedCanvas, savedArea};
    ToolsScope tools(canvas);
    pressedTitles_.clear();

    // 1. The background, 2. the inactive layout, 3. the hook.
    prepareBackground();
    // (Painting straight to the window, the window's own paint has filled the area with Color.)
    if (allCells || paintOptions_->prepared_) fillBackground(area);
    const TGridDrawInfo di = DrawInfo(); // a copy: a hook may change the geometry
    if (!link_->Active()) {
        // The fixed columns in the title colour down the whole cell area, the title row across.
        canvas.Brush()->SetColor(titleColor_);
        canvas.FillRect(IntersectRect(Rect(0, 0, di.Horz.FixedBoundary, CellArea().Height()), area));
        canvas.FillRect(IntersectRect(Rect(0, 0, di.Horz.GridBoundary, di.Vert.FixedBoundary), area));
    }
    Fire(OnBeforePaint);

    // 4. The cells of four regions: fixed rows by fixed columns, fixed rows by scrolling columns,
    // fixed columns by scrolling rows, then the scrolling cells; the last two only while active.
    const TRect walk = allCells ? ClientRect() : area;
    const bool focused = gridFocused_;
    const TGridRect sel = Selection();
    const int t = TitleRowCount(), ind = IndicatorOffset();
    std::vector<int> bandsDrawn; // first data column of each group band drawn in this paint
    auto region = [&](bool fixedRows, bool fixedCols) {
        // (Rows from the one whose line meets the area to the one whose top edge lies on its last line.)
        const int below = walk.Bottom + di.Vert.EffectiveLineWidth;
        auto rows = [&](auto&& f) {
            fixedRows ? di.Vert.ForEachFixed(walk.Top, below, f)
                      : di.Vert.ForEachScrolled(walk.Top, below, f);
        };
        auto cols = [&](auto&& f) {
            fixedCols ? di.Horz.ForEachFixed(walk.Left, walk.Right, f)
                      : di.Horz.ForEachScrolled(walk.Left, walk.Right, f);
        };
        rows([&](int r, int y) {
            const int rh = RowHeights(r);
            cols([&](int c, int x) {
                const TRect rect = Rect(x, y, x + ColWidths(c), y + rh);
                // A cell draws onto the row lines above and below it (its own row line, the edge of an
                // indicator cell): a cell whose lines alone meet the area is drawn too, or the area's
                // fill would leave those lines otherwise than a whole paint leaves them.
                const int line = di.Vert.EffectiveLineWidth;
                const TRect withLines = Rect(x, y - line, rect.Right, rect.Bottom + line);
                if (rect.IsEmpty() || IntersectRect(withLines, walk).IsEmpty()) return;
                TGridDrawState state;
                if (fixedRows || fixedCols) state.Include(gdFixed);
                if (focused && c == Col() && r == Row()) state.Include(gdFocused);
                if (sel.Contains(c, r)) state.Include(gdSelected);
                // The in-place editor covers the current cell.
                if (state.Contains(gdFocused) && TCustomGrid::Options().Contains(goEditing) && EditorMode() &&
                    EditorShowing())
                    return;
                // A grouped title is drawn twice: its group's band (once for the group) and its own
                // lower half.
                if (r < t && c >= ind && options_.Contains(dgTitles)) {
                    int first = 0, last = 0;
                    if (GroupHeaderRun(c - ind, true, first, last)) {
                        if (std::find(bandsDrawn.begin(), bandsDrawn.end(), first) == bandsDrawn.end()) {
                            bandsDrawn.push_back(first);
                            const TRect band = GroupBandRect(c - ind);
                            if (!band.IsEmpty()) {
                                TFlagGuard drawingBand(drawingBand_);
                                DrawCell(c, r, band, state);
                            }
                        }
                        const TRect own = TitleCellRect(c);
                        if (!own.IsEmpty()) DrawCell(c, r, own, state);
                        return;
                    }
                }
                DrawCell(c, r, rect, state);
            });
        });
    };
    region(true, true);
    region(true, false);
    if (link_->Active()) {
        region(false, true);
        region(false, false);
    }

    // 5. Pad and lines, the classic pressed titles' edges; 6. the focus; 7. the footer.
    canvas.SaveClip();
    canvas.IntersectClipRect(CellArea());
    paintPad();
    paintLines();
    for (const TRect& r : pressedTitles_) {
        hline(r.Left, r.Right, r.Top, clBlack);
        vline(r.Left, r.Top, r.Bottom, clBlack);
        hline(r.Left + 1, r.Right - 1, r.Top + 1, RGB(128, 128, 128));
        vline(r.Left + 1, r.Top + 1, r.Bottom - 1, RGB(128, 128, 128));
    }
    drawFocusRect();
    canvas.RestoreClip();
    if (options_.Contains(dgShowFooter)) paintFooter();
}

// ---- one cell ----

void TkxCustomDBGrid::DrawCell(int col, int row, const TRect& cellRect, TGridDrawState state) {
    if (!paintCanvas_) return; // cells are drawn by the paint only
    TCanvas& c = *paintCanvas_;
    const int t = TitleRowCount(), ind = IndicatorOffset();
    const int dataCol = col - ind, dataRow = row - t;
    // 1. Rows not shown whole, and rows past the records, keep the background.
    if (row >= t) {
        if (row > DrawInfo().Vert.LastFullVisibleCell) return;
        TDataSet* ds = DataSet();
        if (link_->Active() && ds && ds->Active() && link_->RecordCount() > 0 &&
            dataRow >= link_->RecordCount())
            return;
    }
    // 2.
    rowLineDrawn_ = false;
    brushChanged_ = false;
    TRect rect = cellRect;
    rect.Right = std::min(rect.Right, 2 * Width());
    ToolsScope tools(c);
    // 3. The font, the cell's description and the hook that may change it.
    const bool fixed = state.Contains(gdFixed);
    c.SetFont(fixed ? titleFont_ : *Font());
    TField* field = dataCol >= 0 ? MappedField(dataCol) : nullptr;
    TkxCustomDrawGridCellInfo& info = *cellInfo_;
    info = TkxCustomDrawGridCellInfo{};
    info.Rect = rect;
    info.Field = field;
    info.State = state;
    info.DataCol = dataCol;
    info.DataRow = dataRow;
    const bool recordRow = row >= t && link_->Active() && dataRow < link_->RecordCount();
    auto fireCellEvent = [&](const TkxDrawCellInfoEvent& event) {
        if (!event) return;
        if (recordRow) {
            TActiveRecordScope scope(*link_, dataRow);
            event(this, &info);
        } else {
            event(this, &info);
        }
    };
    if (OnBeforeDrawCell) {
        fireCellEvent(OnBeforeDrawCell);
        // The line switches of the first 256 rows, per column, for the line painter.
        TkxColumn& column = ColumnAt(dataCol);
        if (row >= t && dataRow < TkxColumn::kRowDrawFlagRows && !column.IsNullColumn()) {
            uint8_t& flags = column.RowDrawFlags()[dataRow];
            flags = uint8_t((info.DrawBottomLine ? 0 : 1) | (info.DrawTopLine ? 0 : 2));
        }
    }
    // 4.
    c.Brush()->SetColor(fixed ? titleColor_ : Color());
    c.Brush()->SetStyle(bsSolid);
    // 5. and 6.
    const AnsiString& type = CacheItem(col).Type;
    if (row < t) {
        drawTitleCell(col, row, rect, state, drawingBand_);
    } else if (dataCol < 0) {
        drawIndicatorCell(row, rect);
    } else if (field && type == "CheckBox") {
        drawCheckBoxCell(col, row, rect, state);
    } else if (field && type == "Bitmap") {
        drawBitmapCell(col, row, rect, state);
    } else if (field && type == "ImageIndex" && imageList_) {
        drawImageIndexCell(col, row, rect, state);
    } else if (field && (type == "CustomEdit" || type == "RichEdit") && CacheItem(col).Control) {
        drawEmbeddedControlCell(col, row, rect, state);
    } else {
        drawDataCell(col, row, rect, state);
    }
    // 7.
    fireCellEvent(OnAfterDrawCell);
}

// ---- colours ----

bool TkxCustomDBGrid::embeddedControlHasFocus() const {
    return currentEmbeddedControl_ && currentEmbeddedControl_->Focused();
}

bool TkxCustomDBGrid::IsCellHighlighted(int, int dataRow, TGridDrawState state) const {
    if (options_.Contains(dgMultiSelect) && !state.Contains(gdFixed)) return IsRowSelected(dataRow);
    bool highlight = state.Contains(gdSelected) ||
                     (dataRow == Row() - TitleRowCount() && paintOptions_->ActiveRecordColor() != clNone);
    if (!options_.Contains(dgAlwaysShowSelection))
        highlight = highlight && gridFocused_ && !embeddedControlHasFocus();
    return highlight;
}

bool TkxCustomDBGrid::chooseCellColors(int col, int row, TField* field, TGridDrawState state) {
    TCanvas& c = *paintCanvas_;
    const int dataRow = row - TitleRowCount();
    const bool highlight = IsCellHighlighted(col - IndicatorOffset(), dataRow, state);
    if (highlight) {
        const TColor active = paintOptions_->ActiveRecordColor();
        c.Brush()->SetColor(active != clNone ? active : clHighlight);
        if (!options_.Contains(dgRowSelect) && col == Col() && row == Row()) c.Brush()->SetColor(clHighlight);
        c.Font()->SetColor(clHighlightText);
    }
    // Link cells: underlined, blue, red under the pointer.
    if (CacheItem(col).Type == "URL-Link") {
        TFontStyles style = c.Font()->Style();
        style.Include(TFontStyle::fsUnderline);
        c.Font()->SetStyle(style);
        c.Font()->SetColor(hotLinkCell_ == TGridCoord{col, row} ? RGB(255, 0, 0) : RGB(0, 0, 255));
    }
    const TColor before = c.Brush()->Color();
    if (OnCalcCellColors) {
        // The hook reads the cell's record, whichever kind of cell asks.
        std::optional<TActiveRecordScope> scope;
        if (link_->Active() && dataRow >= 0 && dataRow < link_->RecordCount()) scope.emplace(*link_, dataRow);
        OnCalcCellColors(this, field, state, highlight, c.Font(), c.Brush());
    }
    brushChanged_ = c.Brush()->Color() != before;
    return highlight;
}

// ---- the text writer ----

void TkxCustomDBGrid::WriteCellText(TCanvas& canvas, const TRect& rect, int dx, int dy,
                                    const AnsiString& text, TAlignment alignment, unsigned flags) {
    if (!(flags & kTransparent)) canvas.FillRect(rect);
    const int w = rect.Width(), h = rect.Height();
    TRect r;
    switch (alignment) {
    case taRightJustify:
        r = Rect(dx, dy, w - 2, h - 1);
        break;
    case taCenter:
        r = dx < 3 ? Rect(0, dy, w, h - 1) : Rect(2, dy, w, h - 1);
        break;
    default:
        r = Rect(dx, dy, w, h - 1);
        break;
    }
    r = OffsetRect(r, rect.Left, rect.Top);
    unsigned format = alignmentFormat(alignment) | DT_EXPANDTABS;
    if (!(flags & kUnderlinePrefix)) format |= DT_NOPREFIX;
    if (flags & kEllipsis) format |= DT_END_ELLIPSIS;
    // A cell of one line breaks no words, nor does an ellipsis.
    const bool oneLine = canvas.TextHeight(" ") + 3 + 2 * GetSystemMetrics(SM_CYBORDER) >= h;
    if ((flags & kWordBreak) && !(flags & kEllipsis) && !oneLine) format |= DT_WORDBREAK;
    const TBrushStyle saved = canvas.Brush()->Style();
    canvas.Brush()->SetStyle(bsClear);
    canvas.DrawText(text, r, format);
    canvas.Brush()->SetStyle(saved);
}

// ---- data cells ----

void TkxCustomDBGrid::drawDataCell(int col, int row, const TRect& rect, TGridDrawState state) {
    TCanvas& c = *paintCanvas_;
    const int t = TitleRowCount(), dataCol = col - IndicatorOffset(), dataRow = row - t;
    TField* field = MappedField(dataCol);
    const bool recordRow = link_->Active() && dataRow < link_->RecordCount();
    std::optional<TActiveRecordScope> scope;
    if (recordRow) scope.emplace(*link_, dataRow);
    // 2. Text, 3. colours, 4. alignment.
    const AnsiString text = recordRow ? GetCellText(dataCol) : AnsiString();
    const bool highlight = chooseCellColors(col, row, field, state);
    TAlignment alignment = field ? field->Alignment() : taLeftJustify;
    if (CacheItem(col).Control && IsEmbeddedControlType(CacheItem(col).Type)) alignment = taLeftJustify;
    // 5. Background.
    const TkxCustomDrawGridCellInfo& info = *cellInfo_;
    if (info.DefaultDrawBackground) {
        if (state.Contains(gdFixed)) {
            TRect r = Rect(rect.Left, rect.Top, rect.Right, rect.Bottom + 1);
            if (options_.Contains(dgHideBottomDataLine)) --r.Bottom;
            fixedBackground(r, dataRow, titleColor_);
        } else if (backgroundFillsDataCells()) {
            if (highlight && paintOptions_->activeRecordTint_ && dataRow == Row() - t)
                c.CopyRect(rect, *paintOptions_->activeRecordTint_->Canvas(), rect);
            else
                dataBackground(rect, dataRow, clNone);
        }
    }
    // 6. Text. While the themed look's editor has the focus, a highlighted cell shows none (the
    // editor does).
    const bool editorHasFocus = ThemedLook() && InplaceEditor() && InplaceEditor()->Focused();
    if (defaultDrawing_ && info.DefaultDrawContents && !(highlight && editorHasFocus)) {
        const bool lineRoom = options_.Contains(dgRowLines) || !options_.Contains(dgRowLinesDisableFixed);
        unsigned flags = 0;
        const bool ellipsis = options_.Contains(dgTrailingEllipsis);
        if (options_.Contains(dgWordWrap)) {
            flags |= kWordBreak;
            const bool oneLine = c.TextHeight(" ") + 3 + 2 * GetSystemMetrics(SM_CYBORDER) >= rect.Height();
            if (oneLine && ellipsis) flags |= kEllipsis;
        } else if (ellipsis) {
            flags |= kEllipsis;
        }
        const bool tintedActive = highlight && paintOptions_->activeRecordTint_ && backgroundFillsDataCells();
        if (!(highlight || brushChanged_) || tintedActive) flags |= kTransparent;
        WriteCellText(c, rect, 2, lineRoom ? 2 : 1, text, alignment, flags);
    }
    // 7.
    if (OnDrawDataCell) try {
            OnDrawDataCell(this, rect, field, state);
        } catch (...) {
            // A handler's failure, whatever it throws, does not stop the painting.
        }
    scope.reset();
    drawCellRowLines(col, row, rect, state, highlight);
}

void TkxCustomDBGrid::drawCheckBoxCell(int col, int row, const TRect& rect, TGridDrawState state) {
    TCanvas& c = *paintCanvas_;
    const int t = TitleRowCount(), dataCol = col - IndicatorOffset(), dataRow = row - t;
    TField* field = MappedField(dataCol);
    const bool recordRow = link_->Active() && dataRow < link_->RecordCount();
    // 1. Background.
    if (cellInfo_->DefaultDrawBackground) {
        if (state.Contains(gdFixed)) {
            TRect r = Rect(rect.Left - 1, rect.Top, rect.Right, rect.Bottom);
            if (options_.Contains(dgRowLinesDisableFixed) && options_.Contains(dgRowLines)) --r.Top;
            fixedBackground(r, dataRow, titleColor_);
        } else {
            dataBackground(rect, dataRow, c.Brush()->Color());
        }
    }
    // 2. The value, with the cell's record active. A row without a record (the empty dataset's one
    // row) shows no box: a box there would offer a customer to tick where the list has none.
    bool checked = false;
    if (recordRow) {
        TActiveRecordScope scope(*link_, dataRow);
        checked = field->FieldKind() == fkCalculated && SameText(field->FieldName(), "selected")
                      ? IsActiveRecordSelected()
                      : CellShowsChecked(col);
    }
    // 3. Colours.
    const bool highlight = chooseCellColors(col, row, field, state);
    if ((highlight && !(embeddedControlHasFocus() && !options_.Contains(dgRowSelect) &&
                        paintOptions_->ActiveRecordColor() == clNone)) ||
        brushChanged_)
        c.FillRect(rect);
    // 4. The box, centred.
    if (recordRow) {
        const int left = (rect.Left + rect.Right - 10) / 2, top = (rect.Top + rect.Bottom - 10) / 2;
        PaintCheckBox(Rect(left, top, left + 10, top + 10), col, checked, row);
    }
    // 5.
    drawCellRowLines(col, row, rect, state, highlight);
}

void TkxCustomDBGrid::PaintCheckBox(const TRect& box, int gridCol, bool checked, int) {
    TCanvas& c = *paintCanvas_;
    const bool readOnly = ColumnAt(gridCol - IndicatorOffset()).ReadOnly();
    const TkxCheckBoxInGridStyle style = checkBoxStyle();
    // The 13 by 13 square around the box.
    const TRect frame = Rect(box.Left - 1, box.Top - 1, box.Right + 2, box.Bottom + 2);
    if (style != cbStyleXmark) {
        if (ThemedLook()) {
            // Centred in its cell at the device's pixels (the 13-pixel square of a 10-pixel box
            // lies half a pixel off the cell's middle, which a fractional scale would make more).
            const TRect& cell = cellInfo_->Rect;
            const bool inCell = cell.Contains({frame.Left, frame.Top}) && cell.Contains({frame.Right - 1, frame.Bottom - 1});
            c.DrawThemedCheckBox(frame,
                                 checked ? (readOnly ? CBS_CHECKEDDISABLED : CBS_CHECKEDNORMAL)
                                         : (readOnly ? CBS_UNCHECKEDDISABLED : CBS_UNCHECKEDNORMAL),
                                 inCell ? cell : frame);
        } else {
            unsigned s = DFCS_BUTTONCHECK;
            if (checked) s |= DFCS_CHECKED;
            if (style == cbStyleCheckmarkFlat) s |= DFCS_FLAT;
            if (readOnly) s |= DFCS_INACTIVE;
            c.DrawFrameControlCheck(frame, s);
        }
        return;
    }
    // The X mark: the empty classic box, then a cross three pixels thick.
    c.DrawFrameControlCheck(frame, readOnly ? unsigned(DFCS_INACTIVE) : 0u);
    if (!checked) return;
    const int L = box.Left, T = box.Top, R = box.Right, B = box.Bottom;
    TPen saved;
    saved.Assign(*c.Pen());
    c.Pen()->SetColor(clBlack);
    c.Pen()->SetWidth(1);
    c.Pen()->SetStyle(psSolid);
    c.Pen()->SetMode(pmCopy);
    const TPoint strokes[6][2] = {{{R - 2, T + 2}, {L + 1, B - 1}}, {{R - 3, T + 2}, {L + 1, B - 2}},
                                  {{R - 2, T + 3}, {L + 2, B - 1}}, {{L + 2, T + 2}, {R - 1, B - 1}},
                                  {{L + 3, T + 2}, {R - 1, B - 2}}, {{L + 2, T + 3}, {R - 2, B - 1}}};
    for (const auto& s : strokes) {
        c.MoveTo(s[0].X, s[0].Y);
        c.LineTo(s[1].X, s[1].Y);
    }
    c.Pen()->Assign(saved);
}

namespace {
// A picture stored in a blob: a bitmap file, possibly behind the 8-byte header of a packed picture
// (words 1 and 256, then the length of the rest). Empty when it is none.
bool loadBlobPicture(const AnsiString& bytes, TBitmap& picture) {
    std::string_view b = bytes;
    if (b.size() >= 8) {
        auto u16 = [&](size_t at) { return unsigned(uint8_t(b[at])) | unsigned(uint8_t(b[at + 1])) << 8; };
        const uint32_t rest = u16(4) | uint32_t(u16(6)) << 16;
        if (u16(0) == 1 && u16(2) == 256 && rest == b.size() - 8) b.remove_prefix(8);
    }
    try {
        picture.LoadFromBytes(b);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

TCopyMode copyModeNamed(std::string_view name) {
    static const std::pair<const char*, TCopyMode> modes[] = {
        {"Source Copy", SRCCOPY},          {"Source Paint", SRCPAINT}, {"Source And", SRCAND},
        {"Source Invert", SRCINVERT},      {"Source Erase", SRCERASE}, {"Not Source Copy", NOTSRCCOPY},
        {"Not Source Erase", NOTSRCERASE}, {"Merge Paint", MERGEPAINT}};
    for (const auto& [n, m] : modes)
        if (name == n) return m;
    return SRCCOPY;
}
} // namespace

// A picture cell's background, unless a handler draws it: the fixed background in a fixed column
// (from one pixel left, over the column line), the data background elsewhere.
void TkxCustomDBGrid::pictureCellBackground(const TRect& rect, int dataRow, TGridDrawState state) {
    if (!cellInfo_->DefaultDrawBackground) return;
    if (state.Contains(gdFixed))
        fixedBackground(Rect(rect.Left - 1, rect.Top, rect.Right, rect.Bottom), dataRow, titleColor_);
    else
        dataBackground(rect, dataRow, paintCanvas_->Brush()->Color());
}

void TkxCustomDBGrid::drawBitmapCell(int col, int row, const TRect& rect, TGridDrawState state) {
    TCanvas& c = *paintCanvas_;
    const int dataCol = col - IndicatorOffset(), dataRow = row - TitleRowCount();
    TField* field = MappedField(dataCol);
    pictureCellBackground(rect, dataRow, state);
    const bool highlight = chooseCellColors(col, row, field, state);
    if (brushChanged_) c.FillRect(rect);
    TBitmap picture;
    bool found = false;
    if (link_->Active() && dataRow < link_->RecordCount()) {
        TActiveRecordScope scope(*link_, dataRow);
        found = field->IsBlob() && !field->IsNull() && loadBlobPicture(field->AsString(), picture);
    }
    if (found && cellInfo_->DefaultDrawContents) {
        const std::vector<AnsiString> params = SplitListLine(CacheItem(col).Parameters, ';');
        // A line may stop after the type or the size mode: the plain size and a plain copy then.
        const AnsiString size = params.size() > 0 ? params[0] : AnsiString();
        const AnsiString mode = params.size() > 1 ? params[1] : AnsiString();
        const int pw = picture.Width(), ph = picture.Height();
        TRect dest;
        if (size == "Stretch To Fit") {
            dest = rect;
        } else if (size == "Fit Height" || size == "Fit Width") {
            // Scaled keeping its proportions; nothing when the scaled side is 2 pixels or less.
            const bool byHeight = size == "Fit Height";
            const int h = byHeight ? rect.Height() : MulDiv(ph, rect.Width(), std::max(pw, 1));
            const int w = byHeight ? MulDiv(pw, rect.Height(), std::max(ph, 1)) : rect.Width();
            if ((byHeight ? w : h) > 2) dest = Bounds(rect.Left, rect.Top, w, h);
        } else {
            dest =
                Bounds(rect.Left, rect.Top, std::min(pw, rect.Width() - 1), std::min(ph, rect.Height() - 1));
        }
        if (!dest.IsEmpty()) {
            c.SaveClip();
            c.IntersectClipRect(rect);
            const TCopyMode saved = c.CopyMode();
            c.SetCopyMode(copyModeNamed(mode));
            if (size == "Original Size" || size.empty() ||
                (size != "Stretch To Fit" && size != "Fit Height" && size != "Fit Width"))
                c.CopyRect(dest, *picture.Canvas(), Rect(0, 0, dest.Width(), dest.Height()));
            else
                c.StretchDraw(dest, picture);
            c.SetCopyMode(saved);
            c.RestoreClip();
        }
    }
    if (highlight) {
        c.Brush()->SetColor(clHighlight);
        c.FrameRect(rect);
    }
    drawCellRowLines(col, row, rect, state, highlight);
}

void TkxCustomDBGrid::drawImageIndexCell(int col, int row, const TRect& rect, TGridDrawState state) {
    TCanvas& c = *paintCanvas_;
    const int dataCol = col - IndicatorOffset(), dataRow = row - TitleRowCount();
    TField* field = MappedField(dataCol);
    pictureCellBackground(rect, dataRow, state);
    const bool highlight = chooseCellColors(col, row, field, state);
    if (highlight || brushChanged_) c.FillRect(rect);
    int index = -1;
    if (link_->Active() && dataRow < link_->RecordCount()) {
        TActiveRecordScope scope(*link_, dataRow);
        const TFieldType type = field->DataType();
        if (!field->IsNull() &&
            (type == ftSmallint || type == ftInteger || type == ftWord || type == ftLargeint ||
             type == ftAutoInc || type == ftFloat || type == ftCurrency || type == ftBCD || type == ftFMTBcd))
            index = int(std::lround(field->AsFloat()));
    }
    if (index >= 0 && cellInfo_->DefaultDrawContents) {
        c.SaveClip();
        c.IntersectClipRect(rect);
        if (CacheItem(col).Parameters == "Shrink To Fit")
            imageList_->StretchDraw(c, rect, index);
        else
            imageList_->Draw(c, (rect.Left + rect.Right - imageList_->Width()) / 2,
                             (rect.Top + rect.Bottom - imageList_->Height()) / 2, index);
        c.RestoreClip();
    }
    drawCellRowLines(col, row, rect, state, highlight);
}

void TkxCustomDBGrid::drawEmbeddedControlCell(int col, int row, const TRect& rect, TGridDrawState state) {
    const TkxCacheColInfoItem& item = CacheItem(col);
    TWinControl* control = item.Control;
    const bool paints = item.PaintFlag || control->InheritsFrom("TkxCheckBox") ||
                        control->InheritsFrom("TkxRadioGroup") || control->InheritsFrom("TkxExpandButton") ||
                        control->InheritsFrom("TkxMonthCalendar");
    const int dataRow = row - TitleRowCount();
    // The control shown over the current cell paints itself there.
    const bool shownHere = control->Visible() && col == Col() && row == Row();
    if (!paints || shownHere || !link_->Active() || dataRow >= link_->RecordCount()) {
        if (!shownHere) drawDataCell(col, row, rect, state);
        return;
    }
    TCanvas& c = *paintCanvas_;
    TActiveRecordScope scope(*link_, dataRow);
    const TPoint origin = c.Origin();
    c.SaveClip();
    c.IntersectClipRect(rect);
    c.SetOrigin({origin.X + rect.Left, origin.Y + rect.Top});
    try {
        control->PaintWindow(c, Rect(0, 0, rect.Width(), rect.Height()));
    } catch (...) {
        c.SetOrigin(origin);
        c.RestoreClip();
        throw;
    }
    c.SetOrigin(origin);
    c.RestoreClip();
    drawCellRowLines(col, row, rect, state, false);
}

// ---- titles ----

void TkxCustomDBGrid::drawTitleCell(int col, int, const TRect& rect, TGridDrawState, bool band) {
    TCanvas& c = *paintCanvas_;
    ToolsScope tools(c);
    c.SetFont(titleFont_);
    c.Brush()->SetColor(titleColor_);
    c.Brush()->SetStyle(bsSolid);
    brushChanged_ = false;
    const int ind = IndicatorOffset(), dataCol = col - ind;
    const bool themed = ThemedLook();
    const bool blended = paintOptions_->fixedRowTint_ != nullptr;
    TField* field = dataCol >= 0 ? MappedField(dataCol) : nullptr;
    const bool hasColumn = dataCol >= 0 && dataCol < DataColumnCount() &&
                           (field || (!useTFields_ && dataCol < selected_.Count()));
    // 8. The indicator's title and titles past the last column: the background only.
    if (!hasColumn) {
        if (cellInfo_->DefaultDrawBackground || band) {
            if (themed && !blended)
                c.DrawThemedHeaderItem(Rect(rect.Left, rect.Top, rect.Right + 1, rect.Bottom), HIS_NORMAL,
                                       true);
            else
                titleBackgroundFill(rect);
        }
        return;
    }
    // 1. and 2.
    TAlignment alignment = titleAlignment_;
    const TkxColumn& column = ColumnAt(dataCol);
    AnsiString text = TitleText(dataCol);
    if (band) {
        text = column.GroupHeaderName();
        alignment = taCenter;
    }
    // 3.
    if (OnCalcTitleAttributes) {
        const TColor before = c.Brush()->Color();
        OnCalcTitleAttributes(this, GridColumnFieldName(col), c.Font(), c.Brush(), alignment);
        brushChanged_ = c.Brush()->Color() != before;
    }
    // 4. Background: pressed, hot or normal.
    // A band is drawn once for its group: it is pressed or hot through any of the group's columns.
    int first = dataCol, last = dataCol;
    if (band) GroupHeaderRun(dataCol, false, first, last);
    auto inBand = [&](int c) { return c >= first && c <= last; };
    const bool pressed = TitleButtonsShown() && pressedTitleBand_ == band &&
                         (band ? inBand(pressedTitleCol_) : pressedTitleCol_ == dataCol);
    bool hot = false;
    if (TitleButtonsShown() && hotTitle_.X >= 0 && GridState() != gsColSizing) {
        if (band)
            hot = hotTitleBand_ && inBand(hotTitle_.X - IndicatorOffset());
        else
            hot = !hotTitleBand_ && hotTitle_.X == col;
    }
    const int p = pressed ? 1 : 0;
    if (cellInfo_->DefaultDrawBackground) {
        if (themed && !blended) {
            c.DrawThemedHeaderItem(Rect(rect.Left, rect.Top, rect.Right + 1, rect.Bottom),
                                   pressed ? HIS_PRESSED
                                   : hot   ? HIS_HOT
                                           : HIS_NORMAL);
        } else {
            titleBackgroundFill(Rect(rect.Left - 1, rect.Top, rect.Right, rect.Bottom));
            if (pressed)
                pressedTitles_.push_back(band ? rect : Rect(rect.Left, rect.Top, rect.Right, rect.Bottom));
        }
    }
    // 5. The title image (a column's: not in its group's band).
    TRect textRect = rect;
    TkxTitleImageAttributes image;
    if (OnCalcTitleImage && !band) OnCalcTitleImage(this, field, image);
    bool centredImage = false;
    if (titleImageList_ && image.ImageIndex >= 0) {
        const int iw = titleImageList_->Width(), ih = titleImageList_->Height();
        const int y = (rect.Top + rect.Bottom - ih) / 2 + p;
        int x;
        if (image.ImageAlignment == taLeftJustify) {
            x = rect.Left + image.ImageMargin + p;
            textRect.Left = std::min(rect.Left + image.ImageMargin + iw, rect.Right);
        } else if (image.ImageAlignment == taRightJustify) {
            x = rect.Right + p - iw - image.ImageMargin;
            textRect.Right = std::max(rect.Right - iw - image.ImageMargin, rect.Left);
        } else {
            x = (rect.Left + rect.Right - iw) / 2 + p;
            centredImage = true;
        }
        titleImageList_->Draw(c, x, y, image.ImageIndex, true);
    }
    // 6. The hook, 7. the text.
    bool defaultDrawing = true;
    if (band) {
        if (OnDrawGroupHeaderCell) OnDrawGroupHeaderCell(this, &c, text, rect, defaultDrawing);
    } else if (OnDrawTitleCell) {
        OnDrawTitleCell(this, &c, field, rect, defaultDrawing);
    }
    if (!defaultDrawing || centredImage || !cellInfo_->DefaultDrawContents) return;
    // "~" breaks the line: found character by character, as the column model finds it, so a
    // double-byte character whose trail byte is "~" stays whole.
    int breaks = 0;
    for (size_t i = 0; i < text.size(); i += codepage::CharLength(text, i))
        if (text[i] == '~') text[i] = '\n', ++breaks;
    const int lines = titleLines_ == 1 ? 1 : breaks + 1;
    const int dy = int(rect.Height() / 2.0 - c.TextHeight("W") * lines / 2.0) + p;
    unsigned flags = kEllipsis | kTransparent;
    if (!useTFields_) flags |= kUnderlinePrefix;
    // A band reaching left of the scrolling columns draws no text over the fixed ones.
    const int fixedRight = DrawInfo().Horz.FixedBoundary;
    const bool exclude = rect.Left < 0 || (col >= TCustomGrid::FixedCols() && rect.Left < fixedRight);
    if (exclude) {
        c.SaveClip();
        c.ExcludeClipRect(Rect(0, 0, fixedRight, ClientHeight()));
    }
    WriteCellText(c, Rect(textRect.Left, rect.Top, textRect.Right, rect.Bottom), 2 + p, dy, text, alignment,
                  flags);
    if (exclude) c.RestoreClip();
}

// ---- the indicator column ----

void TkxCustomDBGrid::drawIndicatorCell(int row, const TRect& rect) {
    TCanvas& c = *paintCanvas_;
    const int dataRow = row - TitleRowCount();
    if (cellInfo_->DefaultDrawBackground) {
        TRect r = Rect(rect.Left - 1, rect.Top - 1, rect.Right, rect.Bottom + 1);
        if (options_.Contains(dgHideBottomDataLine)) --r.Bottom;
        if (ThemedLook())
            c.DrawThemedHeaderItem(r, HIS_NORMAL, true);
        else
            fixedBackground(r, dataRow, titleColor_);
    }
    if (!link_->Active()) return;
    int glyph = -1;
    TDataSet* ds = DataSet();
    const bool multi = options_.Contains(dgMultiSelect);
    if (!ds) {
        glyph = igCurrent;
    } else if (dataRow == link_->ActiveRecord()) {
        if (ds->State() == dsEdit)
            glyph = igEdit;
        else if (ds->State() == dsInsert)
            glyph = igInsert;
        else
            glyph = multi && IsRowSelected(dataRow) ? igCurrentSelected : igCurrent;
        indicatorRow_ = row;
    } else if (multi && IsRowSelected(dataRow)) {
        glyph = igSelected;
    }
    if (glyph >= 0 && cellInfo_->DefaultDrawContents)
        DrawIndicatorGlyph(c, (rect.Right - kIndicatorGlyphWidth) / 2 + 1,
                           (2 * rect.Top + DefaultRowHeight() - kIndicatorGlyphHeight) / 2, glyph,
                           indicatorIconColor_);
}

// ---- the focus rectangle ----

void TkxCustomDBGrid::drawFocusRect() {
    TForm* form = GetParentForm();
    const bool embeddedShown = currentEmbeddedControl_ && currentEmbeddedControl_->Visible();
    if (!form || form->ActiveControl() != this || !link_->Active() || embeddedShown || !gridFocused_ ||
        options_.Contains(dgAlwaysShowEditor) || options_.Contains(dgRowSelect))
        return;
    const int fixedCols = TCustomGrid::FixedCols();
    const bool fixedDataColumn = Col() < fixedCols && Col() >= IndicatorOffset();
    if (Col() < LeftCol() && !(options_.Contains(dgFixedEditable) && fixedDataColumn)) return;
    TRect r = CellRect(Col(), Row());
    if (r.IsEmpty()) return;
    r = Bounds(r.Left, r.Top, ColWidths(Col()), DefaultRowHeight());
    TCanvas& c = *paintCanvas_;
    ToolsScope tools(c);
    c.Pen()->SetColor(clHighlight);
    c.Pen()->SetStyle(psSolid);
    c.Pen()->SetWidth(1);
    c.Brush()->SetStyle(bsClear);
    c.Rectangle(r);
    c.Font()->SetColor(clHighlight);
    c.DrawFocusRect(r);
}

// ---- the cell hint ----

TkxGridHintWindow::TkxGridHintWindow(TkxCustomDBGrid* grid) : TCustomControl(nullptr), grid_(grid) {
    SetColor(clInfoBk);
    TFont f;
    f.Assign(*grid->Font());
    f.SetColor(clInfoText);
    SetFont(f);
    SetVisible(false);
}

TkxGridHintWindow::~TkxGridHintWindow() = default;

void TkxGridHintWindow::WMTimer(int) {
    grid_->CellHintTimer();
}

void TkxGridHintWindow::Paint() {
    TCanvas& c = *Canvas();
    c.Brush()->SetColor(clInfoBk);
    c.Pen()->SetColor(clBlack);
    c.Rectangle(ClientRect());
    c.Font()->SetColor(clInfoText);
    TRect r = OffsetRect(ClientRect(), 1, 2);
    unsigned format = alignmentFormat(alignment_) | DT_NOPREFIX | DT_EXPANDTABS;
    if (wordWrap_) format |= DT_WORDBREAK;
    c.Brush()->SetStyle(bsClear);
    c.DrawText(Text(), r, format);
    c.Brush()->SetStyle(bsSolid);
}

void TkxCustomDBGrid::HideCellHint() {
    if (!hintWindow_) return;
    hintWindow_->KillTimer(kHintTimer);
    hintWindow_->Hide();
    // The window itself goes when the next hint is made (or with the grid): this may run inside its
    // own timer.
}

void TkxCustomDBGrid::CellHintMouseMove(int x, int y) {
    if (!options_.Contains(dgShowCellHint) || !link_->Active()) return;
    const TGridCoord cell = MouseCoord(x, y);
    if (cell == hintCell_) return;
    HideCellHint();
    hintCell_ = cell;
    const int t = TitleRowCount(), ind = IndicatorOffset();
    if (cell.X < ind || cell.Y < t) return;
    const bool editing = EditorShowing() || (currentEmbeddedControl_ && currentEmbeddedControl_->Visible());
    if (editing && cell.X == Col() && cell.Y == Row()) return;
    const int dataRow = cell.Y - t;
    if (dataRow >= link_->RecordCount()) return;
    TField* field = MappedField(cell.X - ind);
    if (!field) return;
    AnsiString text;
    {
        TActiveRecordScope scope(*link_, dataRow);
        if (field->IsBlob() && !IsMemoField(field) && field->DataType() != ftOraBlob) return;
        text = GetCellText(cell.X - ind);
    }
    if (text.empty()) return;
    const TRect rect = CellRect(cell.X, cell.Y);
    // Measured in the grid font after the colour hook.
    TCanvas& m = *Canvas();
    m.SetFont(*Font());
    if (OnCalcCellColors) {
        // (On the hinted cell's record, as the cell's own colours are chosen.)
        TActiveRecordScope scope(*link_, dataRow);
        TBrush brush;
        OnCalcCellColors(this, field, TGridDrawState{}, false, m.Font(), &brush);
    }
    unsigned format = DT_CALCRECT | DT_NOPREFIX;
    if (options_.Contains(dgWordWrap)) format |= DT_WORDBREAK | DT_EDITCONTROL;
    if (text.find('\t') != AnsiString::npos) format |= DT_EXPANDTABS;
    TRect measured = Rect(0, 0, rect.Width() - 4, 0);
    m.DrawText(text, measured, format);
    if (measured.Height() <= rect.Height() && measured.Width() < rect.Width() - 1) return;

    hintWindow_ = std::make_unique<TkxGridHintWindow>(this);
    hintWindow_->SetFont(*m.Font());
    hintWindow_->Font()->SetColor(clInfoText);
    hintWindow_->SetText(text);
    hintWindow_->SetTimer(kHintTimer, kHintTick);
    hintTicks_ = 0;
    hintRect_ = rect;
    bool wordWrap = true, doDefault = true;
    int maxHeight = rect.Height() - 2, maxWidth = Screen().Width();
    const bool fromControl = CacheItem(cell.X).Control && IsEmbeddedControlType(CacheItem(cell.X).Type);
    hintWindow_->SetAlignment(field->Alignment() == taRightJustify && !fromControl ? taRightJustify
                                                                                   : taLeftJustify);
    if (OnCreateHintWindow)
        OnCreateHintWindow(this, hintWindow_.get(), field, rect, wordWrap, maxWidth, maxHeight, doDefault);
    if (!doDefault) {
        HideCellHint();
        return;
    }
    hintWindow_->SetWordWrap(wordWrap);
    TCanvas& hc = *hintWindow_->Canvas();
    TRect r = Rect(0, 0, std::min(rect.Width() - 4, maxWidth), 0);
    format = DT_CALCRECT | DT_NOPREFIX | (wordWrap ? DT_WORDBREAK : 0u);
    hc.DrawText(text, r, format);
    const int w = r.Width() + 8,
              h = std::min(std::max(r.Height() + 4, rect.Height()), std::max(maxHeight, 1) + 4);
    const TPoint topLeft = ClientToScreen({rect.Left, rect.Top - 1});
    const TPoint topRight = ClientToScreen({rect.Right, rect.Top - 1});
    int left;
    if (hintWindow_->Alignment() == taRightJustify) {
        left = topRight.X - r.Width() - 8;
    } else {
        left = topLeft.X;
        if (left + w > Screen().Width()) left = std::max(0, Screen().Width() - w);
    }
    hintWindow_->SetBounds(left, topLeft.Y, w, h);
    hintWindow_->Show();
    hintWindow_->HandleNeeded();
}

void TkxCustomDBGrid::CellHintTimer() {
    if (!hintWindow_ || !hintWindow_->Visible()) return;
    const TPoint p = ScreenToClient(GetCursorPos());
    const bool inside = InflateRect(hintRect_, 1, 1).Contains(p) && ClientRect().Contains(p);
    if (!inside) {
        HideCellHint();
        hintCell_ = {-1, -1};
        return;
    }
    ++hintTicks_;
    if (hintTicks_ > std::max(Application->HintHidePause() / kHintTick, kHintLeastTicks)) HideCellHint();
}
