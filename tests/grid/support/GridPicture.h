#pragma once
// The picture of a grid as the window system shows it, read in the grid's client coordinates, with
// counts of the pixels of a kind in a rectangle. MORVANE_TEST_SHOTS=folder also saves each picture
// there (name.png), to look at when a painting test fails.
#include "grid/KxCustomDBGrid.h"
#include "ui/Bitmap.h"

#include <functional>
#include <string>

struct GridPicture {
    TBitmap bitmap;
    int border = 0;

    // Delivers pending paints and takes the picture of the whole grid.
    GridPicture(TkxCustomDBGrid* grid, const std::string& name);
    // A pixel at a client point.
    TColor At(int x, int y) const { return bitmap.Pixel(x + border, y + border); }
    // Pixels in a client rectangle that satisfy `test`.
    int Count(const TRect& r, const std::function<bool(TColor)>& test) const;
    int CountColor(const TRect& r, TColor color) const;
    // Dark pixels (text and marks): red + green + blue below 300.
    int Ink(const TRect& r) const;
    // Every pixel of the rectangle has this colour.
    bool All(const TRect& r, TColor color) const { return CountColor(r, color) == r.Width() * r.Height(); }
};

bool IsInk(TColor c);
