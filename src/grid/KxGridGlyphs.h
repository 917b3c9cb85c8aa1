#pragma once
// The grid's small pictures: the five indicator glyphs (6 by 11 pixels) and the two column-move
// arrows (13 by 14), drawn from their outlines in one colour at the canvas's device resolution, so
// they stay sharp on a dense screen. Drawing one costs a scan of its box's device pixels; nothing is
// kept between calls.
#include "ui/Canvas.h"

enum TkxIndicatorGlyph {
    igCurrent = 0,        // solid triangle pointing right: the current record
    igEdit = 1,           // I-beam: the current record is being edited
    igInsert = 2,         // six-armed star: the current record is being inserted
    igSelected = 3,       // filled dot: a selected record that is not current
    igCurrentSelected = 4 // hollow arrow: the current record, also selected
};
constexpr int kIndicatorGlyphWidth = 6;
constexpr int kIndicatorGlyphHeight = 11;
constexpr int kColumnMoveArrowWidth = 13;
constexpr int kColumnMoveArrowHeight = 14;

// Draws glyph `glyph` with its box's top-left corner at (x, y) in `color`; the rest of the box is left
// as it is. Nothing for an unknown glyph.
void DrawIndicatorGlyph(TCanvas& canvas, int x, int y, int glyph, TColor color);
// The arrow that marks where a dragged column goes: pointing right, or left.
void DrawColumnMoveArrow(TCanvas& canvas, int x, int y, bool pointsRight, TColor color = clBlack);
