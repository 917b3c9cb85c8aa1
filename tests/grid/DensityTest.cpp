// The grid on a dense screen: the same program at QT_SCALE_FACTOR 1 and 2 (each run in a process of
// its own, as the factor is read when the application starts). At 2 every logical pixel is two by
// two device pixels: a one-pixel line is two device pixels wide, while text is drawn at the
// device's full resolution, not as the 1x text with its pixels doubled.
#include "grid/support/GridFixture.h"
#include "grid/support/GridPicture.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {
const char* const kOut = "MORVANE_DENSITY_PICTURE";

// Runs this test in a new process at a scale factor; answers the picture and the logical rectangle
// of the measured cell (CUST_NAME, second row) in picture coordinates.
QImage pictureAt(int factor, TRect& cell) {
    const std::string dir = ::testing::TempDir();
    const std::string png = dir + "density-" + std::to_string(factor) + ".png";
    std::remove(png.c_str());
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string cmd = "QT_SCALE_FACTOR=" + std::to_string(factor) + " " + kOut + "='" + png + "' '" +
                            self + "' --gtest_filter=Density.* > '" + png + ".log' 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    std::ifstream geometry(png + ".txt");
    geometry >> cell.Left >> cell.Top >> cell.Right >> cell.Bottom;
    return QImage(QString::fromStdString(png)).convertToFormat(QImage::Format_RGB32);
}

bool ink(QRgb p) {
    return qRed(p) + qGreen(p) + qBlue(p) < 300;
}
} // namespace

TEST(Density, LinesAreTwoDevicePixelsWideAndTextIsDrawnAtFullResolution) {
    if (const char* out = std::getenv(kOut)) {
        // The child: the window's grid, its picture at the device's pixels, the cell's place.
        GridHarness h(CustomersDb(5));
        h.ShowLikeTheWindow();
        GridPicture p(h.grid, "density");
        ASSERT_TRUE(p.bitmap.SaveToPngFile(out));
        const TRect r = OffsetRect(h.grid->CellRect(3, 2), p.border, p.border);
        std::ofstream(std::string(out) + ".txt")
            << r.Left << " " << r.Top << " " << r.Right << " " << r.Bottom;
        return;
    }
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
