#include "app/ButtonPicture.h"

#include <cmath>

namespace {
constexpr int kSize = 23;
constexpr int kRowBytes = 72;  // 23 pixels of 3 bytes, padded to a multiple of 4
constexpr int kHeaderBytes = 54;

void put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = v & 0xFF;
    b[at + 1] = (v >> 8) & 0xFF;
}
void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

struct Rgb {
    uint8_t r, g, b;
};

// The colour at (x, y), y counted from the top.
Rgb pixel(int x, int y) {
    const Rgb white{255, 255, 255};
    double dx = x - 11.0, dy = y - 11.0;
    double r = std::sqrt(dx * dx + dy * dy);
    if (r > 10.6)
        return white;
    // Arrow head: tip at the left (x 6), base at x 14, from row 6 to row 16.
    if (x >= 6 && x <= 14) {
        double half = (x - 6) * 5.0 / 8.0;
        if (std::abs(dy) <= half)
            return white;
    }
    if (r > 8.6)
        return Rgb{96, 16, 16};
    // A lighter top left, as light falls on a raised button.
    int shade = static_cast<int>(40 - (dx + dy) * 3);
    int red = std::min(255, 200 + shade / 2);
    return Rgb{static_cast<uint8_t>(red), 32, 32};
}
} // namespace

std::vector<uint8_t> ConfirmButtonPicture() {
    const uint32_t imageBytes = kRowBytes * kSize;
    std::vector<uint8_t> bmp(kHeaderBytes + imageBytes, 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(bmp, 2, static_cast<uint32_t>(bmp.size()));
    put32(bmp, 10, kHeaderBytes);
    put32(bmp, 14, 40);
    put32(bmp, 18, kSize);
    put32(bmp, 22, kSize);
    put16(bmp, 26, 1);
    put16(bmp, 28, 24);
    put32(bmp, 34, imageBytes);
    put32(bmp, 38, 2835);
    put32(bmp, 42, 2835);
    for (int y = 0; y < kSize; ++y) {
        // Rows are stored bottom-up, each pixel as blue, green, red.
        size_t row = kHeaderBytes + static_cast<size_t>(kSize - 1 - y) * kRowBytes;
        for (int x = 0; x < kSize; ++x) {
            Rgb c = pixel(x, y);
            bmp[row + 3 * x] = c.b;
            bmp[row + 3 * x + 1] = c.g;
            bmp[row + 3 * x + 2] = c.r;
        }
    }
    return bmp;
}
