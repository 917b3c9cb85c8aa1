#include "ui/ImageList.h"

#include "ui/Bitmap.h"
#include "ui/Canvas.h"

#include <algorithm>

void TImageList::DefineProperties(ClassInfo& info) {
    info.Add("Width", &TImageList::Width, &TImageList::SetWidth);
    info.Add("Height", &TImageList::Height, &TImageList::SetHeight);
}

TImageList::TImageList(TComponent* owner) : TComponent(owner) {}

TImageList::~TImageList() = default;

void TImageList::changed() {
    if (OnChange) OnChange(this);
}

void TImageList::SetWidth(int v) {
    v = std::max(v, 1);
    if (v == width_) return;
    width_ = v;
    Clear();
}

void TImageList::SetHeight(int v) {
    v = std::max(v, 1);
    if (v == height_) return;
    height_ = v;
    Clear();
}

void TImageList::Clear() {
    images_.clear();
    changed();
}

int TImageList::AddMasked(const TBitmap& picture, TColor mask) {
    const int first = Count();
    const int parts = std::max(1, picture.Width() / width_);
    auto& source = const_cast<TBitmap&>(picture);
    for (int i = 0; i < parts; ++i) {
        Image image{std::make_unique<TBitmap>(), mask};
        image.picture->SetSize(width_, height_);
        TCanvas* c = image.picture->Canvas();
        // Padding takes the mask colour, so it stays transparent.
        c->Brush()->SetColor(mask == clNone ? clWhite : mask);
        c->FillRect(Rect(0, 0, width_, height_));
        const int w = std::min(width_, picture.Width() - i * width_), h = std::min(height_, picture.Height());
        if (w > 0 && h > 0) c->CopyRect(Rect(0, 0, w, h), *source.Canvas(), Bounds(i * width_, 0, w, h));
        images_.push_back(std::move(image));
    }
    changed();
    return first;
}

void TImageList::Draw(TCanvas& canvas, int x, int y, int index, bool enabled) const {
    if (index < 0 || index >= Count()) return;
    const Image& image = images_[size_t(index)];
    TBitmap& picture = *image.picture;
    if (enabled) {
        if (image.mask == clNone)
            canvas.Draw(x, y, picture);
        else
            canvas.BrushCopy(Bounds(x, y, width_, height_), picture, Rect(0, 0, width_, height_), image.mask);
        return;
    }
    // Disabled: every shown pixel in a grey of its brightness, lightened.
    TBitmap grey;
    grey.Assign(picture);
    for (int py = 0; py < height_; ++py)
        for (int px = 0; px < width_; ++px) {
            const TColor c = grey.Pixel(px, py);
            if (image.mask != clNone && c == ColorToRGB(image.mask)) continue;
            const int l = (GetRValue(c) * 30 + GetGValue(c) * 59 + GetBValue(c) * 11) / 100;
            const int v = 128 + l / 2;
            grey.SetPixel(px, py, RGB(v, v, v));
        }
    if (image.mask == clNone)
        canvas.Draw(x, y, grey);
    else
        canvas.BrushCopy(Bounds(x, y, width_, height_), grey, Rect(0, 0, width_, height_), image.mask);
}

void TImageList::StretchDraw(TCanvas& canvas, const TRect& rect, int index) const {
    if (index < 0 || index >= Count() || rect.IsEmpty()) return;
    const Image& image = images_[size_t(index)];
    if (image.mask == clNone) {
        canvas.StretchDraw(rect, *image.picture);
        return;
    }
    image.picture->SetTransparent(true);
    image.picture->SetTransparentColor(image.mask);
    canvas.StretchDraw(rect, *image.picture);
}
