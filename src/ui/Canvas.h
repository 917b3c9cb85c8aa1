#pragma once
// Drawing on a window or an off-screen bitmap with the device-context rules: a line ends one pixel
// before its end point, rectangles are half-open, nothing is antialiased, text is code-page text
// placed by its top-left corner. Copies go through the platform's raster operations with exact
// per-pixel results; the focus rectangle inverts every other pixel, so drawing it twice removes it.
//
// Coordinates are logical pixels. The target may hold the screen's device pixels (an image with a
// device pixel ratio above 1): logical pixel x covers device pixels [round(x * ratio), round((x + 1)
// * ratio)); a one-pixel line, floor(ratio) of them from the first (alike at a fractional ratio). Text,
// shapes and the platform's elements are drawn at the device's full resolution. Pixel-exact operations
// (lines, raster operations, the focus rectangle) cost one write per device pixel they cover.
#include "ui/Graphics.h"

#include <memory>
#include <vector>

class QColor;
class QFont;
class QFontMetrics;
class QRawFont;
class QImage;
class QRect;
class QPainter;
class QRegion;
class QString;
class TBitmap;

// Classic frame-control states of a check box.
enum : unsigned { DFCS_BUTTONCHECK = 0x0, DFCS_INACTIVE = 0x100, DFCS_PUSHED = 0x200, DFCS_CHECKED = 0x400,
                  DFCS_FLAT = 0x4000 };
// Themed check-box states and header-item states.
enum TThemedCheckBox { CBS_UNCHECKEDNORMAL = 1, CBS_UNCHECKEDHOT, CBS_UNCHECKEDPRESSED, CBS_UNCHECKEDDISABLED,
                       CBS_CHECKEDNORMAL, CBS_CHECKEDHOT, CBS_CHECKEDPRESSED, CBS_CHECKEDDISABLED };
enum TThemedHeader { HIS_NORMAL = 1, HIS_HOT, HIS_PRESSED };
// Edges: a raised or sunken border of one or two pixels.
enum : unsigned { BDR_RAISEDOUTER = 0x1, BDR_SUNKENOUTER = 0x2, BDR_RAISEDINNER = 0x4, BDR_SUNKENINNER = 0x8,
                  EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER, EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER };

// Visual styles: the themed look is available unless switched off for the process.
bool ThemeServicesEnabled();
void SetThemeServicesEnabled(bool enabled);

class TCanvas : public TPersistent {
    MORVANE_CLASS(TCanvas, TPersistent)
public:
    // A canvas draws on an image it does not own (a bitmap's, or a window's while it paints).
    explicit TCanvas(QImage* target);
    ~TCanvas() override;
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    TFont* Font() { return &font_; }
    TBrush* Brush() { return &brush_; }
    TPen* Pen() { return &pen_; }
    void SetFont(const TFont& f) { font_.Assign(f); }
    TCopyMode CopyMode() const { return copyMode_; }
    void SetCopyMode(TCopyMode mode) { copyMode_ = mode; }
    TPoint PenPos() const { return penPos_; }
    void SetPenPos(TPoint p) { penPos_ = p; }

    // Lines and shapes.
    void MoveTo(int x, int y) { penPos_ = {x, y}; }
    void LineTo(int x, int y);
    void Polyline(const std::vector<TPoint>& points);
    // Outline with the pen on the rectangle's edge pixels, inside filled with the brush.
    void Rectangle(const TRect& r);
    void Rectangle(int l, int t, int r, int b) { Rectangle(Rect(l, t, r, b)); }
    void Ellipse(const TRect& r);
    void FillRect(const TRect& r);
    // Fills the inside of closed outlines with the brush: a device pixel is inside when its centre is,
    // so a shape keeps its outline at every device pixel ratio. Overlapping outlines add up; an
    // outline running the other way round inside another cuts a hole (non-zero winding).
    void FillPolygons(const std::vector<std::vector<TPointF>>& contours);
    // A one-pixel frame in the brush colour.
    void FrameRect(const TRect& r);
    void DrawFocusRect(const TRect& r);
    TColor Pixels(int x, int y) const;
    void SetPixels(int x, int y, TColor color);

    // Text. With a solid brush the text's cells are filled first; with a clear brush only the
    // characters are drawn.
    void TextOut(int x, int y, const AnsiString& text);
    // Text clipped to the rectangle, which a solid brush fills first.
    void TextRect(const TRect& r, int x, int y, const AnsiString& text);
    int TextWidth(const AnsiString& text);
    int TextHeight(const AnsiString& text);
    TSize TextExtent(const AnsiString& text);
    // Formats text in a rectangle with DT_ flags; answers the height of the text. With DT_CALCRECT
    // nothing is drawn and the rectangle's right and bottom are set to fit the text.
    int DrawText(const AnsiString& text, TRect& rect, unsigned flags);

    // Pictures, through the copy mode's raster operation (the brush is the pattern).
    void Draw(int x, int y, TBitmap& bitmap);
    void StretchDraw(const TRect& dest, TBitmap& bitmap);
    // A picture let through by `opacity` (0 to 1) over what is there: a ghost of it.
    void DrawGhost(int x, int y, TBitmap& bitmap, double opacity);
    void CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect);
    // Copies leaving out the pixels of one colour of the source (shows what is below).
    void BrushCopy(const TRect& dest, TBitmap& source, const TRect& sourceRect, TColor transparent);

    // Clipping, in this canvas's coordinates. With no clip the whole target is drawable.
    TRect ClipRect() const;
    void SetClipRect(const TRect& r);
    void IntersectClipRect(const TRect& r);
    void ExcludeClipRect(const TRect& r);
    void ResetClip();
    // Saves and restores the clip region (as nested as needed).
    void SaveClip();
    void RestoreClip();

    // The platform's drawing elements.
    void DrawFrameControlCheck(const TRect& r, unsigned state);
    // The themed box of r's size; with `within`, centred in that rectangle at the device's pixels.
    // Its border and tick take the dark or light colour that stands out from what lies beneath.
    void DrawThemedCheckBox(const TRect& r, TThemedCheckBox state);
    void DrawThemedCheckBox(const TRect& r, TThemedCheckBox state, const TRect& within);
    // A header item on the brush's colour, the face the fixed cells around it have; `leftmost`:
    // the first item of a header (the row indicator's).
    void DrawThemedHeaderItem(const TRect& r, TThemedHeader state, bool leftmost = false);
    void DrawEdge(const TRect& r, unsigned edge);
    // Top-left lines in one colour, bottom-right in another, `width` pixels thick, inside the rectangle.
    void Frame3D(const TRect& r, TColor topColor, TColor bottomColor, int width);

    // The framework's own: where (0, 0) of this canvas lies on the target, and the target.
    TPoint Origin() const { return origin_; }
    void SetOrigin(TPoint origin);
    QImage* Target() const { return target_; }
    // Device pixels per logical pixel of the target (1 without a target).
    double DevicePixelRatio() const;
    // Where the target lies on the surface it is a piece of (a window painted in parts), so that
    // patterns counted on that surface (the focus rectangle's dots) fall as on the whole.
    void SetTargetPlace(TPoint place) { targetPlace_ = place; }
    // Ends any pending drawing so the target can be used or resized.
    void Release();
    void SetTarget(QImage* target);

private:
    QPainter& painter();
    double ratio() const;
    // The target's extent in logical pixels.
    QRect logicalBounds() const;
    // Target coordinates (origin applied): is the logical pixel drawable?
    bool inClip(int tx, int ty) const;
    void plot(int x, int y, uint32_t (*op)(uint32_t dst, uint32_t arg), uint32_t arg);
    // Fills a rectangle; one a logical pixel thick is a line, snapped to the device's pixels.
    void fillArea(const TRect& r, const QColor& colour);
    void blit(const TRect& dest, const QImage& src, const TRect& srcRect, bool useTransparent, uint32_t transparent);
    void drawTextLine(int x, int y, const QString& line);
    // The Qt font of the canvas font and its metrics, made again only when the font changed.
    const QFont& qfont();
    const QFontMetrics& metrics();

    QImage* target_;
    std::unique_ptr<QPainter> painter_;
    std::unique_ptr<QRegion> clip_;  // device coordinates; null = no clip
    std::vector<std::unique_ptr<QRegion>> savedClips_;
    bool stateDirty_ = true;
    TPoint origin_;
    TPoint targetPlace_;
    TFont font_;
    TFont madeFor_;
    std::unique_ptr<QFont> qfont_;
    std::unique_ptr<QFontMetrics> metrics_;
    int fontGeneration_ = 0;  // counts the Qt fonts made
    int fontOnPainter_ = -1;  // the one the painter has
    std::unique_ptr<QRawFont> rawFont_;  // the font's glyphs, for plain text
    int rawFontGeneration_ = -1;
    TBrush brush_;
    TPen pen_;
    TPoint penPos_;
    TCopyMode copyMode_ = SRCCOPY;
};
