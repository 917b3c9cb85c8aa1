// Grid lines, the raised look of title and fixed cells, the pad areas right of the last column and
// below the last record, the background picture with its tinted copies, alternating rows and the
// footer band of the selection grid.
//
// Costs: lines and pads are a few fills per row and column shown. The picture and its tinted copies
// are made once per change of a paint option (at the next paint: one pass over the grid's pixels
// each), after which a cell's background is one rectangle copied from them.
#include "data/DataSource.h"
#include "grid/KxCustomDBGrid.h"
#include "grid/KxGridDataLink.h"

#include <algorithm>

namespace {
constexpr TColor kWhite = RGB(255, 255, 255);

// A copy of `source` with every pixel moved towards `color`: each channel c becomes
// c + (k div 2) - 128 with k the colour's channel, kept within 0..255 (white darkens by 1).
std::unique_ptr<TBitmap> tintedCopy(const TBitmap& source, TColor color, int rows = -1) {
    auto copy = std::make_unique<TBitmap>();
    copy->Assign(source);
    const TColor k = ColorToRGB(color);
    const int dr = GetRValue(k) / 2 - 128, dg = GetGValue(k) / 2 - 128, db = GetBValue(k) / 2 - 128;
    const bool transparent = source.Transparent();
    const TColor skip = transparent ? ColorToRGB(source.TransparentColor()) : clNone;
    auto clamp = [](int v) { return std::clamp(v, 0, 255); };
    const int h = rows < 0 ? copy->Height() : std::min(rows, copy->Height());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < copy->Width(); ++x) {
            const TColor p = copy->Pixel(x, y);
            if (transparent && p == skip) continue;
            copy->SetPixel(x, y,
                           RGB(clamp(GetRValue(p) + dr), clamp(GetGValue(p) + dg), clamp(GetBValue(p) + db)));
        }
    return copy;
}
} // namespace

// ---- line colours ----

void TkxGridLineColors::DefineProperties(ClassInfo& info) {
    info.Add("DataColor", &TkxGridLineColors::DataColor, &TkxGridLineColors::SetDataColor);
    info.Add("HighlightColor", &TkxGridLineColors::HighlightColor, &TkxGridLineColors::SetHighlightColor);
    info.Add("ShadowColor", &TkxGridLineColors::ShadowColor, &TkxGridLineColors::SetShadowColor);
    info.Add("FixedColor", &TkxGridLineColors::FixedColor, &TkxGridLineColors::SetFixedColor);
}

void TkxGridLineColors::Assign(const TkxGridLineColors& other) {
    dataColor_ = other.dataColor_;
    highlightColor_ = other.highlightColor_;
    shadowColor_ = other.shadowColor_;
    fixedColor_ = other.fixedColor_;
    changed();
}

void TkxGridLineColors::changed() {
    if (grid_) grid_->Invalidate();
}

void TkxGridLineColors::SetDataColor(TColor v) {
    dataColor_ = v;
    changed();
}

void TkxGridLineColors::SetHighlightColor(TColor v) {
    highlightColor_ = v;
    changed();
}

void TkxGridLineColors::SetShadowColor(TColor v) {
    shadowColor_ = v;
    changed();
}

void TkxGridLineColors::SetFixedColor(TColor v) {
    fixedColor_ = v;
    changed();
}

// ---- paint options ----

void TkxGridPaintOptions::DefineProperties(ClassInfo& info) {
    using O = TkxGridPaintOptions;
    info.Add("AlternatingRowColor", &O::AlternatingRowColor, &O::SetAlternatingRowColor);
    info.Add("ActiveRecordColor", &O::ActiveRecordColor, &O::SetActiveRecordColor);
    info.AddSet("BackgroundOptions", &O::BackgroundOptions, &O::SetBackgroundOptions);
    info.Add("BackgroundDrawStyle", &O::BackgroundDrawStyle, &O::SetBackgroundDrawStyle);
    info.AddSet("AlternatingRowRegions", &O::AlternatingRowRegions, &O::SetAlternatingRowRegions);
    info.Add("FastRecordScrolling", &O::FastRecordScrolling, &O::SetFastRecordScrolling);
}

TkxGridPaintOptions::TkxGridPaintOptions(TkxCustomDBGrid* grid)
    : grid_(grid), backgroundBitmap_(std::make_unique<TBitmap>()) {}

TkxGridPaintOptions::~TkxGridPaintOptions() = default;

void TkxGridPaintOptions::rebuildAndRepaint() {
    rebuildNeeded_ = true;
    if (grid_) grid_->Invalidate();
}

void TkxGridPaintOptions::SetAlternatingRowColor(TColor v) {
    alternatingRowColor_ = v;
    rebuildAndRepaint();
}

void TkxGridPaintOptions::SetActiveRecordColor(TColor v) {
    activeRecordColor_ = v;
    rebuildAndRepaint();
}

void TkxGridPaintOptions::SetBackgroundOptions(TkxBackgroundOptions v) {
    backgroundOptions_ = v;
    rebuildAndRepaint();
}

void TkxGridPaintOptions::SetBackgroundBitmap(const TBitmap& picture) {
    backgroundBitmap_->Assign(picture);
    rebuildAndRepaint();
}

void TkxGridPaintOptions::SetBackgroundDrawStyle(TkxBackgroundDrawStyle v) {
    backgroundDrawStyle_ = v;
    rebuildAndRepaint();
}

void TkxGridPaintOptions::SetAlternatingRowRegions(TkxAlternatingRowRegions v) {
    alternatingRowRegions_ = v;
    if (grid_) grid_->Invalidate();
}

// ---- the grid's settings ----

void TkxCustomDBGrid::SetLineStyle(TkxGridLineStyle v) {
    lineStyle_ = v;
    Invalidate();
}

void TkxCustomDBGrid::SetLineColors(const TkxGridLineColors* v) {
    if (v) lineColors_->Assign(*v);
}

void TkxCustomDBGrid::SetHideAllLines(bool v) {
    hideAllLines_ = v;
    Invalidate();
}

void TkxCustomDBGrid::SetFooterColor(TColor v) {
    footerColor_ = v;
    Invalidate();
}

void TkxCustomDBGrid::SetFooterCellColor(TColor v) {
    footerCellColor_ = v;
    Invalidate();
}

void TkxCustomDBGrid::SetFooterHeight(int v) {
    v = std::max(v, 0);
    if (v == footerHeight_) return;
    footerHeight_ = v;
    // The cell area changes: the rows shown and the record window follow.
    if (options_.Contains(dgShowFooter)) RebuildLayout();
    Invalidate();
}

int TkxCustomDBGrid::FooterBandHeight() const {
    if (!options_.Contains(dgShowFooter)) return 0;
    int h = footerHeight_;
    if (h == 0) {
        // One line of the grid font; measured again only when the font changed.
        if (footerAutoHeight_ < 0 || !footerAutoFont_.SameAs(Font())) {
            footerAutoFont_.Assign(Font());
            footerAutoHeight_ = TextHeightIn(Font(), "W") + 6;
        }
        h = footerAutoHeight_;
    }
    return h + (options_.Contains(dgFooter3DCells) ? 2 : 0);
}

TRect TkxCustomDBGrid::CellArea() const {
    TRect r = ClientRect();
    r.Bottom = std::max(r.Top, r.Bottom - FooterBandHeight());
    return r;
}

// ---- backgrounds ----

void TkxCustomDBGrid::prepareBackground() {
    TkxGridPaintOptions& o = *paintOptions_;
    // The fixed row and column are tinted with the title colour of the moment.
    if (o.fixedRowColor_ != titleColor_ || o.fixedColumnColor_ != titleColor_) {
        o.fixedRowColor_ = o.fixedColumnColor_ = titleColor_;
        o.rebuildNeeded_ = true;
    }
    TBitmap& picture = *o.backgroundBitmap_;
    if (o.prepared_ && (o.prepared_->Width() != Width() || o.prepared_->Height() != Height()))
        o.rebuildNeeded_ = true;
    if (!o.rebuildNeeded_) return;
    struct Clear {
        bool& flag;
        ~Clear() { flag = false; }
    } clear{o.rebuildNeeded_};
    o.prepared_.reset();
    o.activeRecordTint_.reset();
    o.alternatingTint_.reset();
    o.fixedRowTint_.reset();
    o.fixedColumnTint_.reset();
    if (picture.Empty() || Width() <= 0 || Height() <= 0) return;
    // The picture over the grid's bounds.
    auto work = std::make_unique<TBitmap>();
    work->SetSize(Width(), Height());
    TCanvas& w = *work->Canvas();
    w.Brush()->SetColor(kWhite);
    w.FillRect(Rect(0, 0, Width(), Height()));
    const int pw = picture.Width(), ph = picture.Height();
    switch (o.backgroundDrawStyle_) {
    case bdsTile:
        for (int row = 0; row <= Height() / ph; ++row)
            for (int col = 0; col <= Width() / pw; ++col)
                w.Draw(col * pw, row * ph, picture);
        break;
    case bdsStretch:
        w.StretchDraw(Rect(0, 0, Width(), Height()), picture);
        break;
    case bdsTopLeft:
        w.Draw(0, 0, picture);
        break;
    case bdsCenter:
        w.Draw((Width() - pw) / 2, (Height() - ph) / 2, picture);
        break;
    }
    o.prepared_ = std::move(work);
    const TkxBackgroundOptions opts = o.backgroundOptions_;
    if (o.activeRecordColor_ != clNone && opts.Contains(coBlendActiveRecord))
        o.activeRecordTint_ = tintedCopy(*o.prepared_, o.activeRecordColor_);
    if (o.alternatingRowColor_ != clNone && !o.alternatingRowRegions_.Empty() &&
        opts.Contains(coBlendAlternatingRow))
        o.alternatingTint_ = tintedCopy(*o.prepared_, o.alternatingRowColor_);
    if (opts.Contains(coBlendFixedRow))
        o.fixedRowTint_ =
            tintedCopy(*o.prepared_, o.fixedRowColor_, TitleRowCount() > 0 ? RowHeights(0) + 1 : 0);
    if (opts.Contains(coBlendFixedColumn)) o.fixedColumnTint_ = tintedCopy(*o.prepared_, o.fixedColumnColor_);
}

bool TkxCustomDBGrid::backgroundFillsDataCells() const {
    return paintOptions_->prepared_ && paintOptions_->backgroundOptions_.Contains(coFillDataCells);
}

bool TkxCustomDBGrid::whiteGrid() const {
    return ColorToRGB(Color()) == kWhite || backgroundFillsDataCells();
}

void TkxCustomDBGrid::fillBackground(const TRect& rect) {
    TCanvas& c = *paintCanvas_;
    if (paintOptions_->prepared_) {
        c.CopyRect(rect, *paintOptions_->prepared_->Canvas(), rect);
        return;
    }
    c.Brush()->SetColor(Color());
    c.Brush()->SetStyle(bsSolid);
    c.FillRect(rect);
}

namespace {
bool alternateRow(int dataRow, bool phase) {
    return dataRow >= 0 && (dataRow & 1) != (phase ? 1 : 0);
}
} // namespace

void TkxCustomDBGrid::dataBackground(const TRect& rect, int dataRow, TColor color) {
    TCanvas& c = *paintCanvas_;
    const TkxGridPaintOptions& o = *paintOptions_;
    const bool down = !options_.Contains(dgRowLines) && !options_.Contains(dgHideBottomDataLine);
    if (o.alternatingRowColor_ != clNone && o.alternatingRowRegions_.Contains(arrDataColumns) &&
        alternateRow(dataRow, alternatePhase_)) {
        TRect r = rect;
        if (!options_.Contains(dgColLinesDisableFixed)) --r.Left;
        if (down) ++r.Bottom;
        if (o.alternatingTint_) {
            c.CopyRect(r, *o.alternatingTint_->Canvas(), r);
        } else {
            c.Brush()->SetColor(o.alternatingRowColor_);
            c.FillRect(r);
        }
        return;
    }
    if (backgroundFillsDataCells()) {
        TRect r = rect;
        if (down) ++r.Bottom;
        c.CopyRect(r, *o.prepared_->Canvas(), r);
        return;
    }
    if (OnBeforePaint) return;
    if (color != clNone) c.Brush()->SetColor(color);
    c.FillRect(rect);
}

void TkxCustomDBGrid::fixedBackground(const TRect& rect, int dataRow, TColor color) {
    TCanvas& c = *paintCanvas_;
    const TkxGridPaintOptions& o = *paintOptions_;
    if (o.alternatingRowColor_ != clNone && o.alternatingRowRegions_.Contains(arrFixedColumns) &&
        alternateRow(dataRow, alternatePhase_)) {
        if (o.alternatingTint_) {
            c.CopyRect(rect, *o.alternatingTint_->Canvas(), rect);
        } else {
            c.Brush()->SetColor(o.alternatingRowColor_);
            c.FillRect(rect);
        }
        return;
    }
    if (o.fixedColumnTint_) {
        c.CopyRect(rect, *o.fixedColumnTint_->Canvas(), rect);
        return;
    }
    if (color != clNone) c.Brush()->SetColor(color);
    c.FillRect(rect);
}

void TkxCustomDBGrid::titleBackgroundFill(const TRect& rect) {
    TCanvas& c = *paintCanvas_;
    if (paintOptions_->fixedRowTint_)
        c.CopyRect(rect, *paintOptions_->fixedRowTint_->Canvas(), rect);
    else
        c.FillRect(rect);
}

// ---- lines ----

void TkxCustomDBGrid::hline(int x0, int x1, int y, TColor color) {
    if (x1 <= x0) return;
    TCanvas& c = *paintCanvas_;
    const TColor saved = c.Brush()->Color();
    const TBrushStyle style = c.Brush()->Style();
    c.Brush()->SetStyle(bsSolid);
    c.Brush()->SetColor(color);
    c.FillRect(Rect(x0, y, x1, y + 1));
    c.Brush()->SetColor(saved);
    c.Brush()->SetStyle(style);
}

void TkxCustomDBGrid::vline(int x, int y0, int y1, TColor color) {
    if (y1 <= y0) return;
    TCanvas& c = *paintCanvas_;
    const TColor saved = c.Brush()->Color();
    const TBrushStyle style = c.Brush()->Style();
    c.Brush()->SetStyle(bsSolid);
    c.Brush()->SetColor(color);
    c.FillRect(Rect(x, y0, x + 1, y1));
    c.Brush()->SetColor(saved);
    c.Brush()->SetStyle(style);
}

int TkxCustomDBGrid::lastDataRowShown() const {
    const TGridAxisDrawInfo& v = DrawInfo().Vert;
    if (v.ShownCount() == v.FixedShown) return -1;
    const int t = TitleRowCount();
    int last = v.LastFullVisibleCell;
    TDataSet* ds = DataSet();
    if (link_->Active() && ds && ds->Active())
        last = std::min(last, t + std::max(link_->RecordCount(), 1) - 1);
    else
        last = std::min(last, t);
    const int start = v.CellStart(last);
    if (start < 0 || start + RowHeights(last) > v.GridExtent) return -1;
    return last;
}

void TkxCustomDBGrid::drawCellRowLines(int col, int row, const TRect& rect, TGridDrawState state,
                                       bool highlighted) {
    if (rowLineDrawn_ || hideAllLines_) return;
    rowLineDrawn_ = true;
    const bool fixed = state.Contains(gdFixed);
    if (fixed ? options_.Contains(dgRowLinesDisableFixed) : !options_.Contains(dgRowLines)) return;
    if (options_.Contains(dgHideBottomDataLine) && row == lastDataRowShown()) return;
    const TkxCustomDrawGridCellInfo& info = *cellInfo_;
    const TColor brush = ColorToRGB(paintCanvas_->Brush()->Color());
    const TColor background = lineStyle_ == glsDynamic ? brush : ColorToRGB(Color());
    const TColor active = paintOptions_->ActiveRecordColor();
    const bool highlightBrush = highlighted && (brush == ColorToRGB(clHighlight) ||
                                                (active != clNone && brush == ColorToRGB(active)));
    const bool single = lineStyle_ == glsSingle || (lineStyle_ == glsDynamic && background == kWhite) ||
                        backgroundFillsDataCells() || (whiteGrid() && highlightBrush);
    const int y = rect.Top + RowHeights(row);
    if (single) {
        if (info.DrawBottomLine) hline(rect.Left, rect.Right, y, lineColors_->DataColor());
        return;
    }
    if (info.DrawBottomLine) hline(rect.Left, rect.Right, y, lineColors_->ShadowColor());
    const bool currentRow = row == Row();
    const bool keepTop = currentRow && (gridFocused_ || options_.Contains(dgAlwaysShowEditor)) &&
                         (options_.Contains(dgRowSelect) || active != clNone);
    if (!keepTop && info.DrawTopLine) hline(rect.Left, rect.Right, rect.Top, lineColors_->HighlightColor());
    (void)col;
}

void TkxCustomDBGrid::paintLines() {
    if (hideAllLines_) return;
    const TGridDrawInfo& di = DrawInfo();
    const TGridAxisDrawInfo& h = di.Horz;
    const TGridAxisDrawInfo& v = di.Vert;
    const TkxGridLineColors& lc = *lineColors_;
    const bool themed = ThemedLook();
    const int t = TitleRowCount(), ind = IndicatorOffset();
    const bool titles = options_.Contains(dgTitles) && t > 0 && v.FixedShown > 0;
    const bool lineRoom = options_.Contains(dgRowLines) || !options_.Contains(dgRowLinesDisableFixed);
    const int titleBottom = titles ? RowHeights(0) - (lineRoom ? 0 : 1) : 0;
    const int clientW = CellArea().Width();
    const int lastRow = lastDataRowShown();
    const int dataBottom = lastRow >= 0 ? v.CellStart(lastRow) + RowHeights(lastRow) : -1;
    const bool single = lineStyle_ == glsSingle || (lineStyle_ == glsDynamic && whiteGrid());
    const int lastCol = ColCount() - 1;
    const int lastStart = h.CellStart(lastCol);
    const int lastRight = lastStart >= 0 ? lastStart + ColWidths(lastCol) : -1;
    const bool padded = padColumnStyle_ != pcsPlain || paintOptions_->prepared_;

    // 1. Data column lines, from under the titles to one pixel past the last row shown.
    if (options_.Contains(dgColLines) && lastRow >= 0) {
        const int top = titles ? v.FixedBoundary : 0;
        h.ForEachScrolled(0, h.GridExtent, [&](int c, int x) {
            const int right = x + ColWidths(c);
            if (single) {
                vline(right, top, dataBottom + 1, lc.DataColor());
            } else {
                vline(right, top, dataBottom + 1, lc.ShadowColor());
                vline(right + 1, top, dataBottom + 1, lc.HighlightColor());
            }
        });
    }
    // 2. The row line under the current cell, again.
    if (options_.Contains(dgRowLines) && !options_.Contains(dgRowSelect) && link_->Active()) {
        const TRect r = CellRect(Col(), Row());
        if (!r.IsEmpty() && Row() <= lastRow)
            hline(r.Left, r.Right, r.Bottom, single ? lc.DataColor() : lc.ShadowColor());
    }
    // 3. The raised fixed columns, in the classic look.
    if (!themed && h.FixedShown > 0 && lastRow >= 0) {
        const int fixedRight = h.FixedBoundary;
        const bool noFixedRowLines = options_.Contains(dgRowLinesDisableFixed);
        v.ForEachScrolled(0, v.GridExtent, [&](int r, int y) {
            if (r > lastRow || (noFixedRowLines && r != lastRow)) return;
            if (options_.Contains(dgHideBottomDataLine) && r == lastRow) return;
            const int yb = y + RowHeights(r);
            const int x1 = noFixedRowLines ? std::max(fixedRight, lastRight + 1) : fixedRight;
            // Cells whose handler cleared their bottom line keep it off.
            const int dataRow = r - t;
            bool perCell = false;
            if (dataRow < TkxColumn::kRowDrawFlagRows)
                for (int c = ind; c < h.FixedShown; ++c)
                    if (const uint8_t* f = ColumnAt(c - ind).RowDrawFlagsIfAny(); f && (f[dataRow] & 1))
                        perCell = true;
            if (!perCell) {
                hline(0, x1, yb, lc.FixedColor());
                hline(0, x1, yb + 1, lc.HighlightColor());
                return;
            }
            h.ForEachFixed(0, fixedRight, [&](int c, int x) {
                const uint8_t* f = c >= ind ? ColumnAt(c - ind).RowDrawFlagsIfAny() : nullptr;
                if (f && (f[dataRow] & 1)) return;
                hline(x, x + ColWidths(c) + h.EffectiveLineWidth, yb, lc.FixedColor());
                hline(x, x + ColWidths(c) + h.EffectiveLineWidth, yb + 1, lc.HighlightColor());
            });
        });
        if (!options_.Contains(dgColLinesDisableFixed)) {
            const int yEnd = dataBottom + 1 - (options_.Contains(dgRowLines) ? 1 : 0);
            h.ForEachFixed(0, h.GridExtent, [&](int c, int x) {
                const int xr = x + ColWidths(c) - (options_.Contains(dgColLines) ? 0 : 1);
                vline(xr, 0, yEnd, lc.FixedColor());
                vline(xr + 1, 0, yEnd, lc.HighlightColor());
                if (c == 0 && ind == 1) vline(x, 0, yEnd, lc.HighlightColor());
            });
        }
    }
    // 4. The raised titles, in the classic look (themed, the indicator's title is a header item on
    // the same face as the others, not a classic corner among them).
    if (titles && !themed) {
        h.ForEachShown(0, h.GridExtent, [&](int c, int x) {
            const int right = x + ColWidths(c);
            const int dataCol = c - ind;
            int first = 0, last = 0;
            const bool grouped = dataCol >= 0 && GroupHeaderRun(dataCol, true, first, last);
            const int bandBottom = grouped ? GroupBandRect(dataCol).Bottom : 0;
            const bool isLast = c == lastCol;
            hline(x, isLast && padded ? std::max(clientW, right) : right, 0, lc.HighlightColor());
            vline(x, grouped && dataCol != first ? bandBottom : 0, titleBottom, lc.HighlightColor());
            vline(right, grouped && dataCol != last ? bandBottom : 0, titleBottom + 1, lc.FixedColor());
            hline(x, isLast && padColumnStyle_ == pcsPadHeader ? std::max(clientW, right + 1) : right + 1,
                  titleBottom, lc.FixedColor());
            if (grouped) {
                // The band's lower edge; the member titles are raised under it.
                hline(x, right + 1, bandBottom - 1, lc.FixedColor());
                hline(x, right, bandBottom, lc.HighlightColor());
            }
            if (TitleButtonsShown()) {
                if (!(pressedTitleCol_ == dataCol && dataCol >= 0))
                    vline(right - 1, grouped ? bandBottom + 1 : 1, titleBottom, lc.ShadowColor());
                hline(x + 1, right, titleBottom - 1, lc.ShadowColor());
            }
        });
    }
    // 5. The grid's right end.
    if (link_->Active() && lastStart >= 0) {
        if (titles && (!options_.Contains(dgRowLines) || !options_.Contains(dgColLines)))
            vline(padColumnStyle_ == pcsPadHeader ? clientW - 1 : lastRight, 0, titleBottom + 1,
                  lc.FixedColor());
        if (padColumnStyle_ != pcsPlain && lastRow >= 0) {
            const TColor end = padColumnStyle_ == pcsPadHeaderAndData ? lc.FixedColor()
                               : whiteGrid()                          ? lc.DataColor()
                                                                      : lc.ShadowColor();
            const int top = titles ? v.FixedBoundary : 0;
            vline(lastRight, top, dataBottom + 1, end);
            vline(lastRight + 1, top, dataBottom + 1, lc.HighlightColor());
        }
    }
}

// ---- pads ----

void TkxCustomDBGrid::paintPad() {
    TCanvas& c = *paintCanvas_;
    const TGridDrawInfo& di = DrawInfo();
    const TGridAxisDrawInfo& h = di.Horz;
    const TGridAxisDrawInfo& v = di.Vert;
    const TkxGridLineColors& lc = *lineColors_;
    const TRect area = CellArea();
    const int clientW = area.Width(), fullH = area.Height();
    const bool picture = paintOptions_->prepared_ != nullptr;
    const bool padAll = padColumnStyle_ == pcsPadHeaderAndData || picture;
    const int lastCol = ColCount() - 1;
    const int lastStart = h.CellStart(lastCol);
    if (lastStart < 0) return;
    const int lastRight = lastStart + ColWidths(lastCol);
    // 1. Right of the last column.
    const int x0 = lastRight - (options_.Contains(dgColLines) ? 0 : 1);
    if (x0 < clientW) {
        if (padAll) {
            fixedBackground(Rect(x0, 0, clientW, fullH), -1, titleColor_);
            if (!hideAllLines_) vline(x0, 0, fullH, lc.HighlightColor());
        } else if (padColumnStyle_ == pcsPadHeader) {
            fixedBackground(Rect(x0, 0, clientW, v.FixedBoundary), -1, titleColor_);
            dataBackground(Rect(x0, v.FixedBoundary, clientW, fullH), -1, Color());
        } else {
            c.Brush()->SetColor(Color());
            c.FillRect(Rect(x0, 0, clientW, fullH));
        }
    }
    // 2. Below the last record.
    // Only when the records end above the rows there is room for (the buffer holds as many rows as
    // are shown whole).
    TDataSet* ds = DataSet();
    if (!padAll || !link_->Active() || !ds || !ds->Active() || link_->RecordCount() >= link_->BufferCount())
        return;
    // The first row after the records (the rows there do not exist: the grid holds the records' rows).
    const int last = TitleRowCount() + std::max(link_->RecordCount(), 1) - 1;
    const int lastTop = v.CellStart(last);
    if (lastTop < 0) return;
    const int y = lastTop + RowHeights(last) + v.EffectiveLineWidth;
    if (y >= fullH) return;
    if (!hideAllLines_) {
        const int fixedRight = std::min(h.FixedBoundary, clientW);
        const TColor dataLine = lineStyle_ == glsSingle || (lineStyle_ == glsDynamic && whiteGrid())
                                    ? lc.DataColor()
                                    : lc.ShadowColor();
        hline(0, fixedRight, y - 1, lc.FixedColor());
        hline(fixedRight, lastRight + 1, y - 1, dataLine);
        vline(0, y, fullH, lc.HighlightColor());
        hline(0, clientW, y, lc.HighlightColor());
    }
    // Without lines the fill takes their places too.
    const int inset = hideAllLines_ ? 0 : 1;
    if (padColumnStyle_ == pcsPadHeaderAndData)
        fixedBackground(Rect(inset, y + inset, clientW, fullH), -1, titleColor_);
}

// ---- the footer ----

void TkxCustomDBGrid::paintFooter() {
    TCanvas& c = *paintCanvas_;
    const TGridAxisDrawInfo& h = DrawInfo().Horz;
    const TkxGridLineColors& lc = *lineColors_;
    const int top = CellArea().Bottom, bottom = ClientRect().Bottom;
    if (bottom <= top) return;
    const int clientW = ClientWidth(), ind = IndicatorOffset();
    const int lastCol = ColCount() - 1;
    const int lastStart = h.CellStart(lastCol);
    const int lastRight = lastStart >= 0 ? lastStart + ColWidths(lastCol) : clientW;
    const int right = padColumnStyle_ != pcsPlain ? clientW : std::min(clientW, lastRight + 1);
    // 2. The band.
    c.Brush()->SetStyle(bsSolid);
    c.Brush()->SetColor(footerColor_);
    c.FillRect(Rect(0, top, right, bottom));
    vline(0, top, bottom, lc.HighlightColor());
    if (padColumnStyle_ == pcsPlain || (padColumnStyle_ == pcsPadHeader && Ctl3DBorder())) {
        hline(0, right, top, clBlack);
        vline(right - 1, top, bottom, clBlack);
        hline(1, right - 1, top + 1, lc.HighlightColor());
        vline(1, top + 1, bottom - 1, lc.HighlightColor());
        hline(0, right, bottom - 2, clBlack);
    }
    hline(0, right, bottom - 1, clBlack);
    // 3. A cell per fixed and per shown column.
    const bool cells3D = options_.Contains(dgFooter3DCells);
    h.ForEachShown(0, h.GridExtent, [&](int col, int x) {
        const int w = ColWidths(col);
        const TRect cell = Rect(x, top + 2, x + w, bottom - 2);
        TField* field = col >= ind ? MappedField(col - ind) : nullptr;
        const AnsiString text = col >= ind ? ColumnAt(col - ind).FooterText() : AnsiString();
        c.Brush()->SetColor(footerCellColor_);
        c.SetFont(*Font());
        bool defaultDrawing = true;
        if (OnDrawFooterCell) OnDrawFooterCell(this, &c, cell, field, text, defaultDrawing);
        if (!defaultDrawing || text.empty()) return;
        fixedBackground(cell, -1, footerCellColor_);
        TRect frame = Rect(x - 1, top + 1, x + w, bottom - 1);
        if (col == lastCol && padColumnStyle_ != pcsPlain && frame.Right < clientW) ++frame.Right;
        vline(frame.Left, frame.Top, frame.Bottom, lc.ShadowColor());
        hline(frame.Left, frame.Right, frame.Top, lc.ShadowColor());
        if (cells3D) {
            vline(frame.Left + 1, frame.Top + 1, frame.Bottom - 1, clBlack);
            hline(frame.Left + 1, frame.Right - 1, frame.Top + 1, clBlack);
            hline(frame.Left, frame.Right, frame.Bottom - 1, lc.HighlightColor());
            vline(frame.Right - 1, frame.Top, frame.Bottom, lc.HighlightColor());
            hline(frame.Left + 1, frame.Right - 1, frame.Bottom - 2, clBtnFace);
            vline(frame.Right - 2, frame.Top + 1, frame.Bottom - 1, clBtnFace);
        } else {
            hline(frame.Left, frame.Right, frame.Bottom - 1, lc.HighlightColor());
            vline(frame.Right - 1, frame.Top, frame.Bottom, lc.HighlightColor());
        }
        const int th = c.TextHeight("A");
        const int ty = top + (bottom - top - th) / 2;
        TRect r = Rect(x + 5, ty, x + w - 2, bottom);
        const TAlignment a = field ? field->Alignment() : taLeftJustify;
        unsigned format = DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX;
        // Text wider than the cell is cut at its end, as in data cells: it starts at the left.
        TRect measured = r;
        c.DrawText(text, measured, format | DT_CALCRECT);
        if (measured.Width() <= r.Width()) format |= a == taRightJustify ? DT_RIGHT : a == taCenter ? DT_CENTER : DT_LEFT;
        // Inside the frame only: a second line or a long number never paints over it.
        const int edge = cells3D ? 2 : 1;
        c.SaveClip();
        c.IntersectClipRect(Rect(frame.Left + edge, frame.Top + edge, frame.Right - edge, frame.Bottom - edge));
        c.Brush()->SetStyle(bsClear);
        c.DrawText(text, r, format);
        c.Brush()->SetStyle(bsSolid);
        c.RestoreClip();
    });
}
