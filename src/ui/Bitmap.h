#pragma once
// An off-screen picture of 24-bit colour with its own canvas: loaded from the bytes of an
// uncompressed device-independent bitmap file, or sized and painted into (a grid paints its frame
// into one before copying it to the window). Sizes and pixel positions are logical; a bitmap made for
// a dense screen holds DevicePixelRatio() device pixels per logical one (a loaded picture holds 1).
#include "ui/Graphics.h"

#include <memory>
#include <string_view>

class QImage;
class TCanvas;

class TBitmap : public TPersistent {
    MORVANE_CLASS(TBitmap, TPersistent)
public:
    TBitmap();
    ~TBitmap() override;
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;
    void Assign(const TBitmap& other);

    int Width() const;
    int Height() const;
    void SetWidth(int w) { SetSize(w, Height()); }
    void SetHeight(int h) { SetSize(Width(), h); }
    // Keeps the pixels that still fit; new pixels are white.
    void SetSize(int w, int h);
    bool Empty() const { return Width() == 0 || Height() == 0; }
    // Device pixels per logical pixel; setting another ratio makes a white picture of the same
    // logical size.
    double DevicePixelRatio() const;
    void SetDevicePixelRatio(double ratio);

    // A file image with the 14-byte file header, a 40-byte information header, 24 bits per pixel,
    // no compression, rows padded to four bytes (bottom-up, or top-down for a negative height).
    // Anything else fails with EInvalidGraphic "Bitmap image is not valid".
    void LoadFromBytes(std::string_view bytes);
    void LoadFromFile(const AnsiString& path);
    bool SaveToPngFile(const AnsiString& path) const;

    // Drawn transparently, pixels of the transparent colour are left out; by default that colour is
    // the bottom-left pixel's.
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool v) { transparent_ = v; }
    TColor TransparentColor() const;
    void SetTransparentColor(TColor c) { transparentColor_ = c; }

    TColor Pixel(int x, int y) const;
    void SetPixel(int x, int y, TColor c);

    TCanvas* Canvas();
    // The framework's own access to the picture; the canvas is released first.
    QImage& Image();
    const QImage& Image() const;

private:
    std::unique_ptr<QImage> image_;
    std::unique_ptr<TCanvas> canvas_;
    bool transparent_ = false;
    TColor transparentColor_ = clDefault;
};
