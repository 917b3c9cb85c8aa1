#include "grid/support/GridPicture.h"

#include "ui/ScreenPicture.h"

#include <cstdlib>

bool IsInk(TColor c) {
    const TColor rgb = ColorToRGB(c);
    return GetRValue(rgb) + GetGValue(rgb) + GetBValue(rgb) < 300;
}

GridPicture::GridPicture(TkxCustomDBGrid* grid, const std::string& name) {
    DeliverPaints();
    grid->PaintTo(bitmap);
    border = grid->Ctl3DBorder() ? 2 : 0;
    if (const char* dir = std::getenv("MORVANE_TEST_SHOTS"))
        bitmap.SaveToPngFile(std::string(dir) + "/" + name + ".png");
}

int GridPicture::Count(const TRect& r, const std::function<bool(TColor)>& test) const {
    int n = 0;
    for (int y = r.Top; y < r.Bottom; ++y)
        for (int x = r.Left; x < r.Right; ++x)
            n += test(At(x, y)) ? 1 : 0;
    return n;
}

int GridPicture::CountColor(const TRect& r, TColor color) const {
    const TColor rgb = ColorToRGB(color);
    return Count(r, [rgb](TColor c) { return c == rgb; });
}

int GridPicture::Ink(const TRect& r) const {
    return Count(r, IsInk);
}
