// What a long title costs to paint: a title or group name is written into its cell with an end
// ellipsis, so only what fits is drawn, however long the text. Titles of 4,000, 16,000 and 100,000
// bytes (Big5, two bytes a character; the window's font, a 64-pixel title cell as the customer grid's
// CUST_ID has) against a title of 40 bytes, measured in the same run. The figure per size is the
// time of one title and its ratio to the short one; the growth column is the time's ratio to the
// size before, beside the size's own ratio; the last column is the same title in a column as wide as
// the title itself (what the layout makes of a long title, up to a million pixels), where nothing is
// cut and the picture shows the title's start. Target: no growth far above the size's (a cut found
// by search, not by measuring again at every character), and the 100 KB title under 50 ms both ways.
//
//   title_ellipsis [RUNS]
//
// Runs on the offscreen platform when no display is set. Needs no database.
#include "support/BenchApplication.h"
#include "support/FbReference.h"
#include "ui/Application.h"
#include "ui/Bitmap.h"
#include "ui/Canvas.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    StartBenchApplication("title_ellipsis");
    TBitmap picture;
    picture.SetSize(401, 30);
    TCanvas& c = *picture.Canvas();
    c.Font()->SetName(Ansi("細明體"));
    c.Font()->SetHeight(-15);
    c.Brush()->SetStyle(bsClear);
    const AnsiString unit = Ansi("客戶代號品名年度外幣"); // 20 bytes, some ending in "~"
    const size_t sizes[] = {40, 4000, 16000, 100000};
    double best[4], wide[4];
    std::fill(best, best + 4, 1e300);
    std::fill(wide, wide + 4, 1e300);
    for (int run = 0; run < runs; ++run)
        for (int k = 0; k < 4; ++k) {
            AnsiString title;
            while (title.size() < sizes[k])
                title += unit;
            const int repeat = k == 0 ? 2000 : 20;
            double start = NowSeconds();
            for (int i = 0; i < repeat; ++i) {
                TRect r = Rect(2, 2, 66, 28);
                c.DrawText(title, r, DT_LEFT | DT_END_ELLIPSIS | DT_EXPANDTABS | DT_NOPREFIX);
            }
            c.Release();
            best[k] = std::min(best[k], (NowSeconds() - start) / repeat);
            // The same title in a column sized to it (the layout makes a title's column as wide as
            // the title, up to a million pixels): nothing to cut, the picture shows its start.
            const int own = std::min(c.TextWidth(title) + 4, 1000000);
            start = NowSeconds();
            for (int i = 0; i < repeat; ++i) {
                TRect r = Rect(2, 2, own, 28);
                c.DrawText(title, r, DT_LEFT | DT_END_ELLIPSIS | DT_EXPANDTABS | DT_NOPREFIX);
            }
            c.Release();
            wide[k] = std::min(wide[k], (NowSeconds() - start) / repeat);
        }
    std::printf("title bytes   ms a title   x the 40-byte title   growth (size grew)   ms in a column as wide\n");
    for (int k = 0; k < 4; ++k) {
        std::printf("%11zu %12.3f %21.1f", sizes[k], best[k] * 1e3, best[k] / best[0]);
        if (k > 0)
            std::printf("   %6.1f (%5.1f)", best[k] / best[k - 1], double(sizes[k]) / double(sizes[k - 1]));
        else
            std::printf("%17s", "");
        std::printf("   %10.3f\n", wide[k] * 1e3);
    }
    return 0;
}
