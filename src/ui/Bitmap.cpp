#include "ui/Bitmap.h"

#include "core/Exception.h"
#include "ui/Canvas.h"
#include "ui/QtBridge.h"

#include <QImage>
#include <QPainter>

#include <cmath>
#include <fstream>
#include <sstream>

using namespace bridge;

namespace {
uint32_t le32(std::string_view b, size_t at) {
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
           uint32_t(uint8_t(b[at + 3])) << 24;
}
uint16_t le16(std::string_view b, size_t at) { return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8); }

[[noreturn]] void invalid() { throw EInvalidGraphic("Bitmap image is not valid"); }
} // namespace

TBitmap::TBitmap() : image_(std::make_unique<QImage>()) {}

TBitmap::~TBitmap() = default;

void TBitmap::Assign(const TBitmap& other) {
    if (canvas_)
        canvas_->Release();
    *image_ = other.Image().copy();
    if (canvas_)
        canvas_->SetTarget(image_.get());
    transparent_ = other.transparent_;
    transparentColor_ = other.transparentColor_;
}

int TBitmap::Width() const { return int(std::lround(image_->width() / image_->devicePixelRatio())); }
int TBitmap::Height() const { return int(std::lround(image_->height() / image_->devicePixelRatio())); }

double TBitmap::DevicePixelRatio() const { return image_->devicePixelRatio(); }

void TBitmap::SetDevicePixelRatio(double ratio) {
    if (ratio <= 0 || ratio == DevicePixelRatio())
        return;
    const int w = Width(), h = Height();
    if (canvas_)
        canvas_->Release();
    QImage next(int(std::lround(w * ratio)), int(std::lround(h * ratio)), QImage::Format_RGB32);
    next.setDevicePixelRatio(ratio);
    next.fill(0xFFFFFFFFu);
    *image_ = std::move(next);
    if (canvas_)
        canvas_->SetTarget(image_.get());
}

void TBitmap::SetSize(int w, int h) {
    w = std::max(w, 0);
    h = std::max(h, 0);
    if (w == Width() && h == Height())
        return;
    if (canvas_)
        canvas_->Release();
    const double ratio = image_->devicePixelRatio();
    QImage next(int(std::lround(w * ratio)), int(std::lround(h * ratio)), QImage::Format_RGB32);
    next.setDevicePixelRatio(ratio);
    next.fill(0xFFFFFFFFu);
    if (!image_->isNull()) {
        QPainter p(&next);
        p.drawImage(0, 0, *image_);
    }
    *image_ = std::move(next);
    if (canvas_)
        canvas_->SetTarget(image_.get());
}

void TBitmap::LoadFromBytes(std::string_view b) {
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M')
        invalid();
    uint32_t offBits = le32(b, 10);
    uint32_t headerSize = le32(b, 14);
    int32_t width = int32_t(le32(b, 18));
    int32_t height = int32_t(le32(b, 22));
    uint16_t bitCount = le16(b, 28);
    uint32_t compression = le32(b, 30);
    if (headerSize < 40 || bitCount != 24 || compression != 0 || width <= 0 || height == 0 || width > 32767 ||
        height > 32767 || height < -32767)
        invalid();
    const bool bottomUp = height > 0;
    const int h = bottomUp ? height : -height;
    const size_t stride = (size_t(width) * 3 + 3) / 4 * 4;
    if (offBits < 54 || offBits > b.size() || (b.size() - offBits) / stride < size_t(h))
        invalid();
    if (canvas_)
        canvas_->Release();
    QImage img(width, h, QImage::Format_RGB32);
    for (int row = 0; row < h; ++row) {
        size_t at = offBits + size_t(row) * stride;
        int y = bottomUp ? h - 1 - row : row;
        auto* line = reinterpret_cast<uint32_t*>(img.scanLine(y));
        for (int x = 0; x < width; ++x, at += 3)
            line[x] = 0xFF000000u | uint32_t(uint8_t(b[at + 2])) << 16 | uint32_t(uint8_t(b[at + 1])) << 8 |
                      uint8_t(b[at]);
    }
    *image_ = std::move(img);
    if (canvas_)
        canvas_->SetTarget(image_.get());
}

void TBitmap::LoadFromFile(const AnsiString& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw EInOutError("Cannot open file \"" + path + "\"");
    std::ostringstream bytes;
    bytes << in.rdbuf();
    LoadFromBytes(bytes.str());
}

bool TBitmap::SaveToPngFile(const AnsiString& path) const {
    if (canvas_)
        canvas_->Release();
    return image_->save(QString::fromStdString(path), "PNG");
}

TColor TBitmap::TransparentColor() const {
    if (transparentColor_ != clDefault)
        return transparentColor_;
    return Empty() ? clNone : Pixel(0, Height() - 1);
}

TColor TBitmap::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= Width() || y >= Height())
        return clNone;
    if (canvas_)
        canvas_->Release();
    const double r = image_->devicePixelRatio();
    return FromPixel(image_->pixel(int(std::floor(x * r + 0.5)), int(std::floor(y * r + 0.5))));
}

void TBitmap::SetPixel(int x, int y, TColor c) {
    if (x < 0 || y < 0 || x >= Width() || y >= Height())
        return;
    if (canvas_)
        canvas_->Release();
    // Every device pixel of the logical one.
    const double r = image_->devicePixelRatio();
    auto edge = [r](int v) { return int(std::floor(v * r + 0.5)); };
    const int x0 = edge(x), x1 = std::min(edge(x + 1), image_->width());
    const int y0 = edge(y), y1 = std::min(edge(y + 1), image_->height());
    for (int dy = y0; dy < y1; ++dy)
        for (int dx = x0; dx < x1; ++dx)
            image_->setPixel(dx, dy, ToPixel(c));
}

TCanvas* TBitmap::Canvas() {
    if (!canvas_)
        canvas_ = std::make_unique<TCanvas>(image_.get());
    return canvas_.get();
}

QImage& TBitmap::Image() {
    if (canvas_)
        canvas_->Release();
    return *image_;
}

const QImage& TBitmap::Image() const {
    if (canvas_)
        canvas_->Release();
    return *image_;
}
