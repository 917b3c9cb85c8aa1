#pragma once
// TImageList: a numbered row of small pictures of one size (title images, images chosen by a cell's
// value). A picture added to the list is cut into images of the list's width; pixels of a mask colour
// are left out when an image is drawn. Adding costs a copy of the picture; drawing one image costs one
// transparent copy of its pixels.
#include "ui/Control.h"
#include "ui/Graphics.h"

#include <memory>
#include <vector>

class TBitmap;
class TCanvas;

class TImageList : public TComponent {
    MORVANE_CLASS_PROPS(TImageList, TComponent)
public:
    explicit TImageList(TComponent* owner);
    ~TImageList() override;

    // Image size in pixels (16 by 16 unless set); changing it empties the list.
    int Width() const { return width_; }
    void SetWidth(int v);
    int Height() const { return height_; }
    void SetHeight(int v);
    int Count() const { return int(images_.size()); }
    void Clear();

    // Adds the picture as Width() / picture width images (at least one), left to right, cut or padded
    // to the list's size; answers the index of the first. Pixels of `mask` (clNone: none) are
    // transparent when drawn.
    int AddMasked(const TBitmap& picture, TColor mask);
    int Add(const TBitmap& picture) { return AddMasked(picture, clNone); }

    // Draws image `index` with its top-left corner at (x, y); nothing for an index out of range.
    // Disabled: in grey tones.
    void Draw(TCanvas& canvas, int x, int y, int index, bool enabled = true) const;
    // The image stretched over a rectangle.
    void StretchDraw(TCanvas& canvas, const TRect& rect, int index) const;

    TNotifyEvent OnChange;

private:
    struct Image {
        std::unique_ptr<TBitmap> picture;
        TColor mask = clNone;
    };
    void changed();

    int width_ = 16;
    int height_ = 16;
    std::vector<Image> images_;
};
