// The grid on a dense screen: the same program at QT_SCALE_FACTOR 1 and 2 (each run in a process of
// its own, as the factor is read when the application starts). At 2 every logical pixel is two by
// two device pixels: a one-pixel line is two device pixels wide, while text is drawn at the
// device's full resolution, not as the 1x text with its pixels doubled.
#include "grid/support/GridFixture.h"
#include "grid/support/GridPicture.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {
const char* const kOut = "MORVANE_DENSITY_PICTURE";

// Runs the calling test in a new process at a scale factor; answers the picture and the logical
// rectangles the child wrote (in picture coordinates).
QImage pictureAt(const std::string& factor, std::vector<TRect>& cells) {
    const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    const std::string png = ::testing::TempDir() + "density-" + test + "-" + factor + ".png";
    std::remove(png.c_str());
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string cmd = "QT_SCALE_FACTOR=" + factor + " " + kOut + "='" + png + "' '" + self +
                            "' --gtest_filter=Density." + test + " > '" + png + ".log' 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    std::ifstream geometry(png + ".txt");
    for (TRect r; geometry >> r.Left >> r.Top >> r.Right >> r.Bottom;)
        cells.push_back(r);
    return QImage(QString::fromStdString(png)).convertToFormat(QImage::Format_RGB32);
}

QImage pictureAt(int factor, TRect& cell) {
    std::vector<TRect> cells;
    QImage picture = pictureAt(std::to_string(factor), cells);
    cell = cells.empty() ? TRect() : cells[0];
    return picture;
}

// The child's part: the window's grid at the process's scale, its picture and the rectangles of the
// given cells.
void writeChildPicture(const char* out, const std::vector<std::pair<int, int>>& cells) {
    GridHarness h(CustomersDb(5));
    h.ShowLikeTheWindow();
    GridPicture p(h.grid, "density");
    ASSERT_TRUE(p.bitmap.SaveToPngFile(out));
    std::ofstream geometry(std::string(out) + ".txt");
    for (const auto& [col, row] : cells) {
        const TRect r = OffsetRect(h.grid->CellRect(col, row), p.border, p.border);
        geometry << r.Left << " " << r.Top << " " << r.Right << " " << r.Bottom << "\n";
    }
}

bool ink(QRgb p) {
    return qRed(p) + qGreen(p) + qBlue(p) < 300;
}
} // namespace

TEST(Density, LinesAreTwoDevicePixelsWideAndTextIsDrawnAtFullResolution) {
    if (const char* out = std::getenv(kOut))
        return writeChildPicture(out, {{3, 2}});
    TRect cell1, cell2;
    const QImage one = pictureAt(1, cell1), two = pictureAt(2, cell2);
    ASSERT_FALSE(one.isNull());
    ASSERT_FALSE(two.isNull());
    EXPECT_EQ(cell1, cell2);
    EXPECT_EQ(two.size(), one.size() * 2);
    const TRect c = cell1;
    const QRgb silver = qRgb(192, 192, 192);
    // The row line under the cell: one pixel at 1x, two device pixels at 2x, at twice the place.
    const int x = c.Left + c.Width() - 4;
    EXPECT_EQ(one.pixel(x, c.Bottom), silver);
    EXPECT_NE(one.pixel(x, c.Bottom - 1), silver);
    EXPECT_NE(one.pixel(x, c.Bottom + 1), silver);
    EXPECT_EQ(two.pixel(2 * x, 2 * c.Bottom), silver);
    EXPECT_EQ(two.pixel(2 * x, 2 * c.Bottom + 1), silver);
    EXPECT_NE(two.pixel(2 * x, 2 * c.Bottom - 1), silver);
    EXPECT_NE(two.pixel(2 * x, 2 * c.Bottom + 2), silver);
    // The column line right of it likewise.
    const int y = c.Top + c.Height() / 2;
    EXPECT_EQ(one.pixel(c.Right, y), silver);
    EXPECT_EQ(two.pixel(2 * c.Right, 2 * y), silver);
    EXPECT_EQ(two.pixel(2 * c.Right + 1, 2 * y), silver);
    EXPECT_NE(two.pixel(2 * c.Right + 2, 2 * y), silver);
    // The text: more than twice the ink, and blocks of two by two device pixels that are partly
    // ink, which a doubled 1x picture never has.
    int ink1 = 0, ink2 = 0, mixed = 0;
    for (int py = c.Top; py < c.Bottom; ++py)
        for (int px = c.Left; px < c.Right; ++px) {
            ink1 += ink(one.pixel(px, py));
            int block = 0;
            for (int d = 0; d < 4; ++d)
                block += ink(two.pixel(2 * px + d % 2, 2 * py + d / 2));
            ink2 += block;
            mixed += block > 0 && block < 4;
        }
    EXPECT_GT(ink1, 20);
    EXPECT_GT(ink2, 2 * ink1);
    EXPECT_GT(mixed, ink1 / 4);
}

TEST(Density, LinesOfAKindHaveOneWidthAndBoxesAreCentredAtEveryScale) {
    // The tick boxes of rows 2 to 5 (not the current row) and the CUST_NAME cell of row 2.
    if (const char* out = std::getenv(kOut))
        return writeChildPicture(out, {{1, 2}, {1, 3}, {1, 4}, {1, 5}, {3, 2}});
    const QRgb silver = qRgb(192, 192, 192), white = qRgb(255, 255, 255);
    for (const char* factor : {"1", "1.5", "2"}) {
        SCOPED_TRACE(factor);
        const double f = std::stod(factor);
        std::vector<TRect> cells;
        const QImage p = pictureAt(factor, cells);
        ASSERT_EQ(cells.size(), 5u);
        // The lengths of the runs of silver along a device row or column.
        auto runs = [&](bool down, int fixed, int from, int to) {
            std::set<int> lengths;
            int run = 0;
            for (int i = from; i < to; ++i) {
                const bool line = (down ? p.pixel(fixed, i) : p.pixel(i, fixed)) == silver;
                if (!line && run) lengths.insert(run);
                run = line ? run + 1 : 0;
            }
            return lengths;
        };
        // Row lines down the empty right end of the CUST_NAME cells, column lines across row 2.
        const TRect name = cells[4];
        const std::set<int> rowLines = runs(true, int((name.Right - 3) * f), int(name.Top * f) - 2, p.height());
        const std::set<int> colLines = runs(false, int((name.Top + name.Height() / 2) * f), 0, p.width());
        EXPECT_EQ(rowLines.size(), 1u);
        EXPECT_EQ(colLines.size(), 1u);
        if (!rowLines.empty() && !colLines.empty()) {
            EXPECT_EQ(*rowLines.begin(), *colLines.begin());
            EXPECT_EQ(*rowLines.begin(), std::max(1, int(f)));
        }
        // Each (empty) box: its border found from its middle outwards; the margins between it and
        // its cell's edges on opposite sides differ by one device pixel at most.
        auto edge = [&](int v) { return int(std::floor(v * f + 0.5)); };
        for (int k = 0; k < 4; ++k) {
            const TRect c = cells[size_t(k)];
            const int cx = (edge(c.Left) + edge(c.Right)) / 2, cy = (edge(c.Top) + edge(c.Bottom)) / 2;
            auto border = [&](int dx, int dy) {
                int x = cx, y = cy;
                while ((p.pixel(x, y) & 0xFFFFFF) == (white & 0xFFFFFF)) x += dx, y += dy;
                return dx ? x : y;
            };
            const int up = border(0, -1) - edge(c.Top), down = edge(c.Bottom) - 1 - border(0, 1);
            const int left = border(-1, 0) - edge(c.Left), right = edge(c.Right) - 1 - border(1, 0);
            EXPECT_LE(std::abs(up - down), 1) << "row " << k + 2 << ": " << up << " above, " << down << " below";
            EXPECT_LE(std::abs(left - right), 1) << "row " << k + 2 << ": " << left << " left, " << right << " right";
            EXPECT_GE(std::min({up, down, left, right}), 1);
        }
    }
}
