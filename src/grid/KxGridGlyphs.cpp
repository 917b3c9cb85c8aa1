// Outlines of the grid's glyphs, in pixels of their boxes. A device pixel is painted when its centre
// lies inside, so at a device pixel ratio of 1 each glyph has exactly the pixels its picture calls
// for (the triangle 1, 2, ... 6, ... 2, 1 pixels wide), and at 2 the same shape with smooth edges.
#include "grid/KxGridGlyphs.h"

#include <cmath>

namespace {
using Contour = std::vector<TPointF>;
using Shape = std::vector<Contour>;

Contour box(double l, double t, double r, double b) {
    return {{l, t}, {r, t}, {r, b}, {l, b}};
}

Contour ellipse(double l, double t, double r, double b) {
    Contour c;
    const double cx = (l + r) / 2, cy = (t + b) / 2, rx = (r - l) / 2, ry = (b - t) / 2;
    constexpr int kSteps = 48;
    for (int i = 0; i < kSteps; ++i) {
        const double a = 2 * M_PI * i / kSteps;
        c.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
    }
    return c;
}

Shape glyphShape(int glyph) {
    switch (glyph) {
    case igCurrent:
        return {{{0, 0}, {6, 5.5}, {0, 11}}};
    case igEdit:
        // A 2-pixel stem, 2-pixel serifs either side at the top and the bottom.
        return {box(2, 0, 4, 11), box(0, 0, 2, 1), box(4, 0, 6, 1), box(0, 10, 2, 11), box(4, 10, 6, 11)};
    case igInsert:
        // Three strokes through the middle of a 6 by 5 box, rows 3 to 7.
        return {box(2, 3, 4, 8),
                {{0, 2.3}, {6, 7.3}, {6, 8.7}, {0, 3.7}},
                {{0, 7.3}, {6, 2.3}, {6, 3.7}, {0, 8.7}}};
    case igSelected:
        return {ellipse(1, 3, 5, 8)};
    case igCurrentSelected:
        // The triangle's outline: the inner triangle runs the other way round and is left out.
        return {{{0, 0}, {6, 5.5}, {0, 11}}, {{1.1, 2.6}, {1.1, 8.4}, {3.7, 5.5}}};
    default:
        return {};
    }
}

void fill(TCanvas& canvas, int x, int y, int w, int h, Shape shape, TColor color) {
    for (Contour& c : shape)
        for (TPointF& p : c)
            p = {p.X + x, p.Y + y};
    TBrush saved;
    saved.Assign(*canvas.Brush());
    canvas.SaveClip();
    // A stroke that runs past its box is cut at the box.
    canvas.IntersectClipRect(Bounds(x, y, w, h));
    canvas.Brush()->SetStyle(bsSolid);
    canvas.Brush()->SetColor(color);
    canvas.FillPolygons(shape);
    canvas.RestoreClip();
    canvas.Brush()->Assign(saved);
}
} // namespace

void DrawIndicatorGlyph(TCanvas& canvas, int x, int y, int glyph, TColor color) {
    fill(canvas, x, y, kIndicatorGlyphWidth, kIndicatorGlyphHeight, glyphShape(glyph), color);
}

void DrawColumnMoveArrow(TCanvas& canvas, int x, int y, bool pointsRight, TColor color) {
    // A shaft 4 pixels thick and a head 7 pixels long over the whole height.
    Shape s = {box(0, 5, 7, 9), {{6, 0}, {13, 7}, {6, 14}}};
    if (!pointsRight)
        for (Contour& c : s)
            for (TPointF& p : c)
                p.X = kColumnMoveArrowWidth - p.X;
    fill(canvas, x, y, kColumnMoveArrowWidth, kColumnMoveArrowHeight, std::move(s), color);
}
