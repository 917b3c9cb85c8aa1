#include "ui/Canvas.h"

#include "ui/Bitmap.h"
#include "ui/QtBridge.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QRawFont>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QStringList>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOption>

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

using namespace bridge;

namespace {
bool themesEnabled = true;

QStyle* fusion() {
    static QStyle* style = qApp ? QStyleFactory::create(QStringLiteral("Fusion")) : nullptr;
    return style;
}

uint32_t opSet(uint32_t, uint32_t arg) { return arg; }
uint32_t opNot(uint32_t dst, uint32_t) { return ~dst; }
uint32_t opXor(uint32_t dst, uint32_t arg) { return dst ^ arg; }

bool isWide(QChar c) { return c.unicode() >= 0x2E80; }

// The first device pixel of logical coordinate v at a device pixel ratio.
int deviceEdge(int v, double ratio) { return ratio == 1.0 ? v : int(std::floor(v * ratio + 0.5)); }
// The logical pixel that holds device pixel d (the inverse of deviceEdge).
int logicalOf(int d, double ratio) { return ratio == 1.0 ? d : int(std::floor((d + 0.5) / ratio)); }
// At a ratio between whole numbers logical pixels are alternately wider and narrower on the device;
// a line one logical pixel thick is drawn as this many device pixels from the first device pixel of
// its place, so that every such line looks alike (one device pixel at 1.5, two at 2.5).
bool fractional(double ratio) { return ratio != std::floor(ratio); }
int lineDeviceWidth(double ratio) { return std::max(1, int(std::floor(ratio))); }

// Relative luminance and contrast ratio of the accessibility guidelines.
double luminance(QRgb c) {
    auto channel = [](int v) {
        const double x = v / 255.0;
        return x <= 0.04045 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
}
double contrast(QRgb a, QRgb b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}
QRgb mix(QRgb a, QRgb b, double part) {
    auto m = [&](int x, int y) { return int(std::lround(x * part + y * (1 - part))); };
    return qRgb(m(qRed(a), qRed(b)), m(qGreen(a), qGreen(b)), m(qBlue(a), qBlue(b)));
}

// Can a line break after character i?
bool canBreakAfter(const QString& s, int i) {
    return s[i] == u' ' || isWide(s[i]) || (i + 1 < s.size() && isWide(s[i + 1]));
}

QStringList wrapLine(const QString& line, int width, const QFontMetrics& fm, bool breakWords) {
    QStringList out;
    const int n = int(line.size());
    if (n == 0)
        return {QString()};
    int start = 0;
    while (start < n) {
        int fitEnd = start, lastBreak = -1;
        for (int i = start; i < n; ++i) {
            if (fm.horizontalAdvance(line.mid(start, i - start + 1)) > width)
                break;
            fitEnd = i + 1;
            if (canBreakAfter(line, i))
                lastBreak = i + 1;
        }
        int end;
        if (fitEnd == n)
            end = n;
        else if (lastBreak > start)
            end = lastBreak;
        else if (breakWords && fitEnd > start)
            end = fitEnd;
        else {
            // A word wider than the line stays whole (and is clipped).
            end = std::max(fitEnd, start + 1);
            while (end < n && !canBreakAfter(line, end - 1))
                ++end;
        }
        QString piece = line.mid(start, end - start);
        while (piece.endsWith(u' '))
            piece.chop(1);
        out << piece;
        start = end;
        while (start < n && line[start] == u' ')
            ++start;
    }
    return out;
}

// Characters that are drawn as they come, one glyph each, without shaping: Latin and common
// punctuation, the CJK blocks and full-width forms. Anything else goes through Qt's text layout.
bool plainCharacter(char16_t c) {
    return (c >= 0x20 && c < 0x0300) || (c >= 0x2000 && c < 0x2070) || (c >= 0x2E80 && c < 0xD800) ||
           (c >= 0xF900 && c < 0xFB00) || (c >= 0xFF00 && c < 0xFFF0);
}

// Cuts a line that is wider than `width` where the most of it fits with "..." after it, and appends
// "...". The prefix widths are summed from the characters' advances once, as far as the room goes
// (never over the whole of a long line), and the cut is searched among them; only the few
// characters at the cut are measured as a whole. Answers whether the line was cut.
bool elideEnd(QString& l, int width, const QFontMetrics& fm) {
    const int n = int(l.size());
    std::vector<int> prefix{0};
    bool plain = true;
    for (int i = 0; i < n && prefix.back() <= width; ++i) {
        prefix.push_back(prefix.back() + fm.horizontalAdvance(l[i]));
        plain = plain && plainCharacter(l[i].unicode());
    }
    // A line the sums went through to its end fits when they say so for plain characters (drawn by
    // their advances); another is measured whole (its layout may differ from the sum).
    if (int(prefix.size()) > n && (plain ? prefix.back() : fm.horizontalAdvance(l)) <= width)
        return false;
    const QString dots = QStringLiteral("...");
    const int room = width - fm.horizontalAdvance(dots);
    int k = int(std::upper_bound(prefix.begin(), prefix.end(), room) - prefix.begin()) - 1;
    k = std::max(k, 0);
    while (k > 0 && fm.horizontalAdvance(l.left(k) + dots) > width)
        --k;
    if (k > 0 && k < n && l[k - 1].isHighSurrogate())
        --k;
    l = l.left(k) + dots;
    return true;
}

QString expandTabs(const QString& s) {
    QString out;
    int column = 0;
    for (QChar c : s) {
        if (c == u'\t') {
            int spaces = 8 - column % 8;
            out += QString(spaces, u' ');
            column += spaces;
        } else {
            out += c;
            column = (c == u'\n' || c == u'\r') ? 0 : column + 1;
        }
    }
    return out;
}
} // namespace

bool ThemeServicesEnabled() { return themesEnabled && qApp; }
void SetThemeServicesEnabled(bool enabled) { themesEnabled = enabled; }

TCanvas::TCanvas(QImage* target) : target_(target) {}

const QFont& TCanvas::qfont() {
    if (!qfont_ || !madeFor_.SameAs(font_)) {
        qfont_ = std::make_unique<QFont>(ToQFont(font_));
        metrics_ = std::make_unique<QFontMetrics>(*qfont_);
        madeFor_.Assign(font_);
        ++fontGeneration_;
    }
    return *qfont_;
}

const QFontMetrics& TCanvas::metrics() {
    qfont();
    return *metrics_;
}

TCanvas::~TCanvas() { Release(); }

void TCanvas::Release() {
    if (painter_) {
        painter_->end();
        painter_.reset();
    }
}

void TCanvas::SetTarget(QImage* target) {
    Release();
    target_ = target;
    targetPlace_ = {};
    clip_.reset();
    stateDirty_ = true;
}

void TCanvas::SetOrigin(TPoint origin) {
    origin_ = origin;
    stateDirty_ = true;
}

QPainter& TCanvas::painter() {
    if (!painter_) {
        painter_ = std::make_unique<QPainter>(target_);
        stateDirty_ = true;
        fontOnPainter_ = -1;
    }
    if (stateDirty_) {
        painter_->setRenderHint(QPainter::Antialiasing, false);
        painter_->setRenderHint(QPainter::TextAntialiasing, false);
        painter_->resetTransform();
        painter_->translate(origin_.X, origin_.Y);
        if (clip_)
            painter_->setClipRegion(clip_->translated(-origin_.X, -origin_.Y));
        else
            painter_->setClipping(false);
        stateDirty_ = false;
    }
    return *painter_;
}

double TCanvas::ratio() const { return target_ ? target_->devicePixelRatio() : 1.0; }

double TCanvas::DevicePixelRatio() const { return ratio(); }

QRect TCanvas::logicalBounds() const {
    if (!target_)
        return {};
    const double s = ratio();
    if (s == 1.0)
        return target_->rect();
    return QRect(0, 0, int(std::ceil(target_->width() / s)), int(std::ceil(target_->height() / s)));
}

bool TCanvas::inClip(int tx, int ty) const {
    if (!target_ || !logicalBounds().contains(tx, ty))
        return false;
    return !clip_ || clip_->contains(QPoint(tx, ty));
}

void TCanvas::plot(int x, int y, uint32_t (*op)(uint32_t, uint32_t), uint32_t arg) {
    const int tx = x + origin_.X, ty = y + origin_.Y;
    if (!inClip(tx, ty))
        return;
    const double s = ratio();
    if (s == 1.0) {
        auto* line = reinterpret_cast<uint32_t*>(target_->scanLine(ty));
        line[tx] = 0xFF000000u | (op(line[tx], arg) & 0xFFFFFF);
        return;
    }
    // Every device pixel of the logical one.
    const int x0 = deviceEdge(tx, s), x1 = std::min(deviceEdge(tx + 1, s), target_->width());
    const int y0 = deviceEdge(ty, s), y1 = std::min(deviceEdge(ty + 1, s), target_->height());
    for (int dy = y0; dy < y1; ++dy) {
        auto* line = reinterpret_cast<uint32_t*>(target_->scanLine(dy));
        for (int dx = x0; dx < x1; ++dx)
            line[dx] = 0xFF000000u | (op(line[dx], arg) & 0xFFFFFF);
    }
}

// ---- lines and shapes ----

void TCanvas::LineTo(int x, int y) {
    TPoint from = penPos_;
    penPos_ = {x, y};
    if (pen_.Style() == psClear || !target_)
        return;
    if (pen_.Width() > 1) {
        QPainter& p = painter();
        QPen qp(ToQColor(pen_.Color()), pen_.Width(), Qt::SolidLine, Qt::RoundCap);
        p.setPen(qp);
        p.drawLine(from.X, from.Y, x, y);
        return;
    }
    if (pen_.Mode() == pmCopy && pen_.Style() == psSolid && (from.X == x || from.Y == y)) {
        // A straight line in one colour is a rectangle one pixel thick: from the start point towards
        // the end point, which is left out.
        if (from.X == x && from.Y == y)
            return;
        TRect r;
        if (from.Y == y)
            r = x > from.X ? Rect(from.X, y, x, y + 1) : Rect(x + 1, y, from.X + 1, y + 1);
        else
            r = y > from.Y ? Rect(x, from.Y, x + 1, y) : Rect(x, y + 1, x + 1, from.Y + 1);
        fillArea(r, ToQColor(pen_.Color()));
        return;
    }
    auto op = pen_.Mode() == pmNot ? opNot : pen_.Mode() == pmXor ? opXor : opSet;
    uint32_t arg = ToPixel(pen_.Color());
    // The end point itself is not drawn.
    int x0 = from.X, y0 = from.Y;
    int dx = std::abs(x - x0), sx = x0 < x ? 1 : -1;
    int dy = -std::abs(y - y0), sy = y0 < y ? 1 : -1;
    int err = dx + dy;
    int n = 0;
    while (x0 != x || y0 != y) {
        if (pen_.Style() != psDot || n % 2 == 0)
            plot(x0, y0, op, arg);
        ++n;
        int e2 = 2 * err;
        if (e2 >= dy) {
            if (x0 == x)
                break;
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            if (y0 == y)
                break;
            err += dx;
            y0 += sy;
        }
    }
}

void TCanvas::Polyline(const std::vector<TPoint>& points) {
    if (points.empty())
        return;
    TPoint saved = penPos_;
    MoveTo(points[0].X, points[0].Y);
    for (size_t i = 1; i < points.size(); ++i)
        LineTo(points[i].X, points[i].Y);
    penPos_ = saved;
}

void TCanvas::Rectangle(const TRect& r) {
    if (r.IsEmpty())
        return;
    if (pen_.Style() == psClear) {
        FillRect(Rect(r.Left, r.Top, r.Right - 1, r.Bottom - 1));
        return;
    }
    FillRect(Rect(r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1));
    TPoint saved = penPos_;
    MoveTo(r.Left, r.Top);
    LineTo(r.Right - 1, r.Top);
    LineTo(r.Right - 1, r.Bottom - 1);
    LineTo(r.Left, r.Bottom - 1);
    LineTo(r.Left, r.Top);
    penPos_ = saved;
}

void TCanvas::Ellipse(const TRect& r) {
    if (r.IsEmpty() || !target_)
        return;
    QPainter& p = painter();
    p.setPen(pen_.Style() == psClear ? QPen(Qt::NoPen) : QPen(ToQColor(pen_.Color()), 0));
    p.setBrush(brush_.Style() == bsClear ? QBrush(Qt::NoBrush) : QBrush(ToQColor(brush_.Color())));
    p.drawEllipse(QRect(r.Left, r.Top, r.Width() - 1, r.Height() - 1));
}

void TCanvas::FillRect(const TRect& r) {
    if (r.IsEmpty() || brush_.Style() == bsClear || !target_)
        return;
    fillArea(r, ToQColor(brush_.Color()));
}

void TCanvas::fillArea(const TRect& r, const QColor& colour) {
    const double s = ratio();
    if (!fractional(s) || (r.Width() != 1 && r.Height() != 1)) {
        painter().fillRect(ToQRect(r), colour);
        return;
    }
    // A line: snapped to the device pixels (see lineDeviceWidth), written pixel by pixel through the
    // clip; every device pixel it covers lies in its own logical pixels.
    Release();
    const int lw = lineDeviceWidth(s);
    const TRect t = OffsetRect(r, origin_.X, origin_.Y);
    const int x0 = deviceEdge(t.Left, s), y0 = deviceEdge(t.Top, s);
    const int x1 = r.Width() == 1 ? x0 + lw : deviceEdge(t.Right, s);
    const int y1 = r.Height() == 1 ? y0 + lw : deviceEdge(t.Bottom, s);
    const uint32_t pixel = 0xFF000000u | (colour.rgb() & 0xFFFFFF);
    for (int dy = std::max(y0, 0); dy < std::min(y1, target_->height()); ++dy) {
        auto* line = reinterpret_cast<uint32_t*>(target_->scanLine(dy));
        const int ty = logicalOf(dy, s);
        for (int dx = std::max(x0, 0); dx < std::min(x1, target_->width()); ++dx)
            if (!clip_ || clip_->contains(QPoint(logicalOf(dx, s), ty)))
                line[dx] = pixel;
    }
}

void TCanvas::FillPolygons(const std::vector<std::vector<TPointF>>& contours) {
    if (brush_.Style() == bsClear || !target_)
        return;
    Release();  // pending drawing first, then the pixels
    const double s = ratio();
    struct Edge {
        double x0, y0, x1, y1;
    };
    std::vector<Edge> edges;
    double top = 1e300, bottom = -1e300;
    for (const auto& contour : contours)
        for (size_t i = 0; i < contour.size(); ++i) {
            const TPointF& a = contour[i];
            const TPointF& b = contour[(i + 1) % contour.size()];
            const Edge e{(a.X + origin_.X) * s, (a.Y + origin_.Y) * s, (b.X + origin_.X) * s,
                         (b.Y + origin_.Y) * s};
            top = std::min({top, e.y0, e.y1});
            bottom = std::max({bottom, e.y0, e.y1});
            if (e.y0 != e.y1)
                edges.push_back(e);
        }
    if (edges.empty())
        return;
    const uint32_t colour = ToPixel(brush_.Color());
    // Where the row crosses an outline, and which way the outline runs there (down +1, up -1).
    std::vector<std::pair<double, int>> xs;
    const int y0 = std::max(0, int(std::floor(top)));
    const int y1 = std::min(target_->height(), int(std::ceil(bottom)));
    for (int dy = y0; dy < y1; ++dy) {
        // The row is sampled through the centres of its pixels.
        const double yc = dy + 0.5;
        xs.clear();
        for (const Edge& e : edges)
            if ((e.y0 <= yc && yc < e.y1) || (e.y1 <= yc && yc < e.y0))
                xs.emplace_back(e.x0 + (yc - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0), e.y1 > e.y0 ? 1 : -1);
        std::sort(xs.begin(), xs.end());
        auto* line = reinterpret_cast<uint32_t*>(target_->scanLine(dy));
        const int ty = logicalOf(dy, s);
        int winding = 0;
        for (size_t k = 0; k + 1 < xs.size(); ++k) {
            winding += xs[k].second;
            if (winding == 0)
                continue;
            const int from = std::max(0, int(std::ceil(xs[k].first - 0.5)));
            const int to = std::min(target_->width(), int(std::ceil(xs[k + 1].first - 0.5)));
            for (int dx = from; dx < to; ++dx)
                if (inClip(logicalOf(dx, s), ty))
                    line[dx] = colour;
        }
    }
}

void TCanvas::FrameRect(const TRect& r) {
    if (r.IsEmpty() || !target_)
        return;
    const QColor c = ToQColor(brush_.Color());
    fillArea(Rect(r.Left, r.Top, r.Right, r.Top + 1), c);
    fillArea(Rect(r.Left, r.Bottom - 1, r.Right, r.Bottom), c);
    fillArea(Rect(r.Left, r.Top, r.Left + 1, r.Bottom), c);
    fillArea(Rect(r.Right - 1, r.Top, r.Right, r.Bottom), c);
}

void TCanvas::DrawFocusRect(const TRect& r) {
    if (r.IsEmpty() || !target_)
        return;
    // Every other pixel of the frame, counted on the target's surface, is inverted.
    auto dot = [&](int x, int y) {
        if ((x + origin_.X + targetPlace_.X + y + origin_.Y + targetPlace_.Y) % 2 == 0)
            plot(x, y, opNot, 0);
    };
    for (int x = r.Left; x < r.Right; ++x) {
        dot(x, r.Top);
        if (r.Bottom - 1 > r.Top)
            dot(x, r.Bottom - 1);
    }
    for (int y = r.Top + 1; y < r.Bottom - 1; ++y) {
        dot(r.Left, y);
        if (r.Right - 1 > r.Left)
            dot(r.Right - 1, y);
    }
}

TColor TCanvas::Pixels(int x, int y) const {
    const int tx = x + origin_.X, ty = y + origin_.Y;
    if (!target_ || !logicalBounds().contains(tx, ty))
        return clNone;
    // The first device pixel of the logical one.
    const double s = ratio();
    return FromPixel(target_->pixel(std::min(deviceEdge(tx, s), target_->width() - 1),
                                    std::min(deviceEdge(ty, s), target_->height() - 1)));
}

void TCanvas::SetPixels(int x, int y, TColor color) { plot(x, y, opSet, ToPixel(color)); }

// ---- text ----


void TCanvas::drawTextLine(int x, int y, const QString& line) {
    QPainter& p = painter();
    const QFont& f = qfont();
    p.setPen(ToQColor(font_.Color()));
    // A line of plain characters that the font has: its glyphs are placed by their advances, which
    // is what the layout would do, without its cost.
    // (Glyph runs carry no underline or strike-out: such a font goes through the layout.)
    bool plain = !line.isEmpty() && !f.underline() && !f.strikeOut();
    for (QChar ch : line)
        plain = plain && plainCharacter(ch.unicode());
    if (plain) {
        if (rawFontGeneration_ != fontGeneration_) {
            rawFont_ = std::make_unique<QRawFont>(QRawFont::fromFont(f));
            rawFontGeneration_ = fontGeneration_;
        }
        if (rawFont_->isValid()) {
            const QList<quint32> glyphs = rawFont_->glyphIndexesForString(line);
            if (!glyphs.contains(0u)) {
                const QList<QPointF> advances = rawFont_->advancesForGlyphIndexes(glyphs);
                // Glyphs past the drawable part's right edge are left out (a title of a hundred
                // thousand characters shows its first few hundred).
                const qreal visible = (clip_ ? clip_->boundingRect().right() + 1 : logicalBounds().width()) -
                                      origin_.X - x;
                QList<QPointF> positions;
                positions.reserve(advances.size());
                qreal at = 0;
                for (const QPointF& a : advances) {
                    if (at > visible)
                        break;
                    positions.append(QPointF(at, 0));
                    at += a.x();
                }
                QGlyphRun run;
                run.setRawFont(*rawFont_);
                run.setGlyphIndexes(positions.size() < glyphs.size() ? glyphs.first(positions.size()) : glyphs);
                run.setPositions(positions);
                p.drawGlyphRun(QPointF(x, y + metrics().ascent()), run);
                return;
            }
        }
    }
    // Setting the painter's font costs a resolution of the font; only another font is set.
    if (fontOnPainter_ != fontGeneration_) {
        p.setFont(f);
        fontOnPainter_ = fontGeneration_;
    }
    p.drawText(QPoint(x, y + metrics().ascent()), line);
}

void TCanvas::TextOut(int x, int y, const AnsiString& text) {
    if (!target_)
        return;
    QString s = ToQString(text);
    const QFontMetrics& fm = metrics();
    int w = fm.horizontalAdvance(s);
    if (brush_.Style() == bsSolid)
        painter().fillRect(QRect(x, y, w, fm.height()), ToQColor(brush_.Color()));
    drawTextLine(x, y, s);
    penPos_ = {x + w, y};
}

void TCanvas::TextRect(const TRect& r, int x, int y, const AnsiString& text) {
    if (!target_)
        return;
    SaveClip();
    IntersectClipRect(r);
    FillRect(r);
    drawTextLine(x, y, ToQString(text));
    RestoreClip();
}

int TCanvas::TextWidth(const AnsiString& text) { return metrics().horizontalAdvance(ToQString(text)); }
// The font's line height, whatever the text.
int TCanvas::TextHeight(const AnsiString&) { return metrics().height(); }

TSize TCanvas::TextExtent(const AnsiString& text) {
    const QFontMetrics& fm = metrics();
    return {fm.horizontalAdvance(ToQString(text)), fm.height()};
}

int TCanvas::DrawText(const AnsiString& text, TRect& rect, unsigned flags) {
    const QFontMetrics fm = metrics();
    QString s = ToQString(text);
    // "&" marks the next character for underlining; "&&" is one "&".
    int underline = -1;
    if (!(flags & DT_NOPREFIX)) {
        QString out;
        for (int i = 0; i < s.size(); ++i) {
            if (s[i] == u'&') {
                if (i + 1 < s.size() && s[i + 1] == u'&')
                    ++i;
                else {
                    if (i + 1 < s.size())
                        underline = int(out.size());
                    continue;
                }
            }
            out += s[i];
        }
        s = out;
    }
    if (flags & DT_EXPANDTABS)
        s = expandTabs(s);
    QStringList lines;
    if (flags & DT_SINGLELINE) {
        s.remove(u'\r');
        s.remove(u'\n');
        lines << s;
    } else {
        s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        s.replace(u'\r', u'\n');
        lines = s.split(u'\n');
    }
    const int width = rect.Width();
    if ((flags & DT_WORDBREAK) && !(flags & DT_SINGLELINE)) {
        QStringList wrapped;
        for (const QString& l : lines)
            wrapped << wrapLine(l, width, fm, flags & DT_EDITCONTROL);
        lines = wrapped;
    }
    if (flags & DT_END_ELLIPSIS)
        for (QString& l : lines)
            if (elideEnd(l, width, fm))
                underline = -1;
    const int lineH = fm.height();
    const int totalH = int(lines.size()) * lineH;
    if (flags & DT_CALCRECT) {
        int maxW = 0;
        for (const QString& l : lines)
            maxW = std::max(maxW, fm.horizontalAdvance(l));
        rect.Right = rect.Left + maxW;
        rect.Bottom = rect.Top + totalH;
        return totalH;
    }
    if (!target_)
        return totalH;
    int y = rect.Top;
    if (flags & DT_SINGLELINE) {
        if (flags & DT_VCENTER)
            y = rect.Top + (rect.Height() - lineH) / 2;
        else if (flags & DT_BOTTOM)
            y = rect.Bottom - lineH;
    }
    // A line's width is measured only where something needs it: alignment, the fill behind it, an
    // underline, or a line that might not fit (then the text is clipped to the rectangle).
    const bool leftAligned = !(flags & (DT_RIGHT | DT_CENTER));
    const bool solid = brush_.Style() == bsSolid;
    const int bound = fm.maxWidth();
    bool fits = y >= rect.Top && y + totalH <= rect.Bottom;
    std::vector<int> widths(size_t(lines.size()), -1);
    for (int i = 0; i < lines.size(); ++i) {
        const QString& l = lines[i];
        if (!leftAligned || solid || (i == 0 && underline >= 0)) {
            widths[size_t(i)] = fm.horizontalAdvance(l);
            fits = fits && widths[size_t(i)] <= width;
        } else if (int(l.size()) * bound > width) {
            // The characters' own widths tell cheaply whether the line may not fit (then it is
            // clipped); left-aligned text needs no more.
            int sum = 0;
            for (int k = 0; k < l.size() && sum + 2 <= width; ++k)
                sum += fm.horizontalAdvance(l[k]);
            fits = fits && sum + 2 <= width;
        }
    }
    const bool clip = !(flags & DT_NOCLIP) && !fits;
    if (clip) {
        QPainter& p = painter();
        p.save();
        p.setClipRect(ToQRect(rect), Qt::IntersectClip);
    }
    for (int i = 0; i < lines.size(); ++i, y += lineH) {
        const QString& l = lines[i];
        const int w = widths[size_t(i)];
        int x = (flags & DT_RIGHT) ? rect.Right - w : (flags & DT_CENTER) ? rect.Left + (width - w) / 2 : rect.Left;
        if (solid)
            painter().fillRect(QRect(x, y, w, lineH), ToQColor(brush_.Color()));
        drawTextLine(x, y, l);
        if (i == 0 && underline >= 0 && underline < l.size()) {
            int ux = x + fm.horizontalAdvance(l.left(underline));
            int uw = fm.horizontalAdvance(l.mid(underline, 1));
            painter().fillRect(QRect(ux, y + fm.ascent() + 1, uw, 1), ToQColor(font_.Color()));
        }
    }
    if (clip)
        painter().restore();
    return totalH;
}

// ---- pictures ----

void TCanvas::blit(const TRect& dest, const QImage& src, const TRect& srcRect, bool useTransparent,
                   uint32_t transparent) {
    if (dest.IsEmpty() || !target_)
        return;
    Release();  // pending drawing first, then the pixels
    // Both rectangles in device pixels: each picture at its own device pixel ratio.
    const double ts = ratio(), ss = src.devicePixelRatio();
    const int dl = deviceEdge(dest.Left + origin_.X, ts), dt = deviceEdge(dest.Top + origin_.Y, ts);
    const int dw = deviceEdge(dest.Right + origin_.X, ts) - dl;
    const int dh = deviceEdge(dest.Bottom + origin_.Y, ts) - dt;
    const int sl = deviceEdge(srcRect.Left, ss), st = deviceEdge(srcRect.Top, ss);
    const int sw = deviceEdge(srcRect.Right, ss) - sl, sh = deviceEdge(srcRect.Bottom, ss) - st;
    if (dw <= 0 || dh <= 0)
        return;
    if (copyMode_ == SRCCOPY && !useTransparent && dw == sw && dh == sh && sl >= 0 && st >= 0 &&
        sl + sw <= src.width() && st + sh <= src.height()) {
        // A plain copy, pixel for pixel, through the clip.
        QPainter& p = painter();
        p.drawImage(QRectF(dest.Left, dest.Top, dw / ts, dh / ts), src, QRectF(sl, st, sw, sh));
        Release();
        return;
    }
    const uint32_t pattern = ToPixel(brush_.Color()) & 0xFFFFFF;
    for (int y = 0; y < dh; ++y) {
        const int dy = dt + y;
        if (dy < 0 || dy >= target_->height())
            continue;
        const int ty = logicalOf(dy, ts);
        const int sy = st + (sh > 0 ? int(int64_t(y) * sh / dh) : 0);
        auto* line = reinterpret_cast<uint32_t*>(target_->scanLine(dy));
        for (int x = 0; x < dw; ++x) {
            const int dx = dl + x;
            if (dx < 0 || dx >= target_->width() || !inClip(logicalOf(dx, ts), ty))
                continue;
            const int sx = sl + (sw > 0 ? int(int64_t(x) * sw / dw) : 0);
            const bool inside = sx >= 0 && sy >= 0 && sx < src.width() && sy < src.height();
            const uint32_t s = inside ? src.pixel(sx, sy) & 0xFFFFFF : 0;
            if (useTransparent && s == transparent)
                continue;
            line[dx] = 0xFF000000u | ApplyRop(copyMode_, pattern, s, line[dx] & 0xFFFFFF);
        }
    }
}

void TCanvas::Draw(int x, int y, TBitmap& bitmap) {
    StretchDraw(Bounds(x, y, bitmap.Width(), bitmap.Height()), bitmap);
}

void TCanvas::StretchDraw(const TRect& dest, TBitmap& bitmap) {
    if (bitmap.Empty())
        return;
    QImage src = bitmap.Image().copy();
    blit(dest, src, Rect(0, 0, bitmap.Width(), bitmap.Height()), bitmap.Transparent(),
         ToPixel(bitmap.TransparentColor()) & 0xFFFFFF);
}

void TCanvas::DrawGhost(int x, int y, TBitmap& bitmap, double opacity) {
    if (bitmap.Empty() || !target_)
        return;
    QPainter& p = painter();
    p.save();
    p.setOpacity(std::clamp(opacity, 0.0, 1.0));
    p.drawImage(QRectF(x, y, bitmap.Width(), bitmap.Height()), bitmap.Image());
    p.restore();
    Release();
}

void TCanvas::CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect) {
    if (!source.target_)
        return;
    source.Release();
    // A copy first, so source and destination may overlap on the same target.
    const TRect sr = OffsetRect(sourceRect, source.origin_.X, source.origin_.Y);
    const double ss = source.ratio();
    const int l = deviceEdge(sr.Left, ss), t = deviceEdge(sr.Top, ss);
    const QRect part(l, t, deviceEdge(sr.Right, ss) - l, deviceEdge(sr.Bottom, ss) - t);
    QImage src = source.target_->copy(part);
    src.setDevicePixelRatio(ss);
    blit(dest, src, Rect(0, 0, sr.Width(), sr.Height()), false, 0);
}

void TCanvas::BrushCopy(const TRect& dest, TBitmap& source, const TRect& sourceRect, TColor transparent) {
    QImage src = source.Image().copy();
    TCopyMode saved = copyMode_;
    copyMode_ = SRCCOPY;
    blit(dest, src, sourceRect, true, ToPixel(transparent) & 0xFFFFFF);
    copyMode_ = saved;
}

// ---- clipping ----

TRect TCanvas::ClipRect() const {
    QRect r = clip_ ? clip_->boundingRect() : logicalBounds();
    return OffsetRect(FromQRect(r), -origin_.X, -origin_.Y);
}

void TCanvas::SetClipRect(const TRect& r) {
    clip_ = std::make_unique<QRegion>(ToQRect(OffsetRect(r, origin_.X, origin_.Y)));
    stateDirty_ = true;
}

void TCanvas::IntersectClipRect(const TRect& r) {
    QRegion current = clip_ ? *clip_ : QRegion(logicalBounds());
    clip_ = std::make_unique<QRegion>(current.intersected(ToQRect(OffsetRect(r, origin_.X, origin_.Y))));
    stateDirty_ = true;
}

void TCanvas::ExcludeClipRect(const TRect& r) {
    QRegion current = clip_ ? *clip_ : QRegion(logicalBounds());
    clip_ = std::make_unique<QRegion>(current.subtracted(ToQRect(OffsetRect(r, origin_.X, origin_.Y))));
    stateDirty_ = true;
}

void TCanvas::ResetClip() {
    clip_.reset();
    stateDirty_ = true;
}

void TCanvas::SaveClip() { savedClips_.push_back(clip_ ? std::make_unique<QRegion>(*clip_) : nullptr); }

void TCanvas::RestoreClip() {
    if (savedClips_.empty())
        return;
    clip_ = std::move(savedClips_.back());
    savedClips_.pop_back();
    stateDirty_ = true;
}

// ---- platform elements ----

void TCanvas::DrawFrameControlCheck(const TRect& r, unsigned state) {
    TBrush savedBrush;
    savedBrush.Assign(brush_);
    TPen savedPen;
    savedPen.Assign(pen_);
    const bool inactive = state & DFCS_INACTIVE;
    TRect inner = r;
    if (state & DFCS_FLAT) {
        brush_.SetColor(clBtnShadow);
        FrameRect(r);
        inner = InflateRect(r, -1, -1);
    } else {
        DrawEdge(r, EDGE_SUNKEN);
        inner = InflateRect(r, -2, -2);
    }
    brush_.SetColor(inactive || (state & DFCS_PUSHED) ? clBtnFace : clWindow);
    FillRect(inner);
    if (state & DFCS_CHECKED) {
        // The classic check mark: a seven-pixel hook three pixels thick.
        static const char* mark[] = {"......#", ".....##", "#...###", "##.###.", "#####..", ".###...", "..#...."};
        int x0 = inner.Left + (inner.Width() - 7) / 2, y0 = inner.Top + (inner.Height() - 7) / 2;
        uint32_t c = ToPixel(inactive ? clGrayText : clWindowText);
        Release();
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 7; ++x)
                if (mark[y][x] == '#')
                    plot(x0 + x, y0 + y, opSet, c);
    }
    brush_.Assign(savedBrush);
    pen_.Assign(savedPen);
}

namespace {
// The platform's elements as pictures: each drawn once per size, state and device pixel ratio, then
// copied (a grid draws the same check box and header item in every row). A few hundred at most.
struct ElementKey {
    int kind, w, h, state, leftmost;
    double ratio;
    uint32_t ink, inside;
    bool operator<(const ElementKey& o) const {
        return std::tie(kind, w, h, state, leftmost, ratio, ink, inside) <
               std::tie(o.kind, o.w, o.h, o.state, o.leftmost, o.ratio, o.ink, o.inside);
    }
};

template <class Draw> const QImage& elementPicture(const ElementKey& key, Draw draw) {
    constexpr size_t kMostPictures = 256;
    static std::map<ElementKey, QImage> pictures;
    if (auto it = pictures.find(key); it != pictures.end())
        return it->second;
    if (pictures.size() >= kMostPictures)
        pictures.clear();
    QImage img(int(std::lround(key.w * key.ratio)), int(std::lround(key.h * key.ratio)),
               QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(key.ratio);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        draw(p, QRect(0, 0, key.w, key.h));
    }
    return pictures.emplace(key, std::move(img)).first->second;
}
} // namespace

void TCanvas::DrawThemedCheckBox(const TRect& r, TThemedCheckBox state) { DrawThemedCheckBox(r, state, r); }

void TCanvas::DrawThemedCheckBox(const TRect& r, TThemedCheckBox state, const TRect& within) {
    const bool checked = state >= CBS_CHECKEDNORMAL;
    const int kind = (state - 1) % 4;  // normal, hot, pressed, disabled
    if (!fusion()) {
        DrawFrameControlCheck(r, (checked ? unsigned(DFCS_CHECKED) : 0u) | (kind == 3 ? unsigned(DFCS_INACTIVE) : 0u));
        return;
    }
    if (r.IsEmpty() || !target_ || target_->isNull())
        return;
    Release();  // pending drawing first, then the pixels
    // The box at the device's pixels, centred in `within` (its extra pixel, if any, left and above
    // of the middle, as the 13-pixel square lies around a 10-pixel box).
    const double s = ratio();
    const int w = std::max(1, int(std::lround(r.Width() * s))), h = std::max(1, int(std::lround(r.Height() * s)));
    auto start = [&](int a, int b, int len) {
        const int d0 = deviceEdge(a, s), spare = deviceEdge(b, s) - d0 - len + 1;
        return d0 + (spare >= 0 ? spare / 2 : -((1 - spare) / 2));
    };
    const int x0 = start(within.Left + origin_.X, within.Right + origin_.X, w);
    const int y0 = start(within.Top + origin_.Y, within.Bottom + origin_.Y, h);
    // Border and tick in the colour, dark or light, that stands out most from the cell beneath the
    // box (at least 3.5 : 1 for any background); a disabled box halfway to the background.
    const int cx = std::clamp(x0 + w / 2, 0, target_->width() - 1), cy = std::clamp(y0 + h / 2, 0, target_->height() - 1);
    const QRgb background = target_->pixel(cx, cy) & 0xFFFFFF;
    const QRgb dark = qRgb(0x33, 0x33, 0x33), light = qRgb(0xFF, 0xFF, 0xFF);
    QRgb ink = contrast(dark, background) >= contrast(light, background) ? dark : light;
    if (kind == 3)
        ink = mix(ink, background, 0.45);
    const QRgb inside = kind == 2 ? mix(ink, background, 0.2) : background;
    const ElementKey key{1, w, h, int(state), 0, 1.0, uint32_t(ink & 0xFFFFFF), uint32_t(inside & 0xFFFFFF)};
    const QImage& picture = elementPicture(key, [&](QPainter& p, QRect) {
        p.setRenderHint(QPainter::Antialiasing, false);
        if (inside != background)
            p.fillRect(QRect(0, 0, w, h), QColor::fromRgb(inside));
        // A border of one line's width, and a tick about two pixels thick, without smoothing: every
        // pixel of either is the full colour.
        const QColor c = QColor::fromRgb(ink);
        const int bw = lineDeviceWidth(s);
        p.fillRect(QRect(0, 0, w, bw), c);
        p.fillRect(QRect(0, h - bw, w, bw), c);
        p.fillRect(QRect(0, 0, bw, h), c);
        p.fillRect(QRect(w - bw, 0, bw, h), c);
        if (checked) {
            const double u = w / 13.0, v = h / 13.0;
            QPen pen(c, std::max(2.0, 1.9 * u), Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
            p.setPen(pen);
            p.drawPolyline(QPolygonF({QPointF(3.2 * u, 6.4 * v), QPointF(5.4 * u, 8.8 * v), QPointF(9.8 * u, 3.8 * v)}));
        }
    });
    for (int y = 0; y < picture.height(); ++y) {
        const int dy = y0 + y;
        if (dy < 0 || dy >= target_->height())
            continue;
        const int ty = logicalOf(dy, s);
        auto* line = reinterpret_cast<uint32_t*>(target_->scanLine(dy));
        const auto* src = reinterpret_cast<const uint32_t*>(picture.constScanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            const int dx = x0 + x;
            if (qAlpha(src[x]) == 0 || dx < 0 || dx >= target_->width() || !inClip(logicalOf(dx, s), ty))
                continue;
            line[dx] = 0xFF000000u | (src[x] & 0xFFFFFF);
        }
    }
}

void TCanvas::DrawThemedHeaderItem(const TRect& r, TThemedHeader state, bool) {
    if (r.IsEmpty() || !target_)
        return;
    // One face with the fixed cells and pads around it: the brush's colour (lighter under the
    // mouse, darker pressed), flat, with a shadow line along the right and bottom edges that parts
    // it from its neighbour and from the rows.
    TBrush saved;
    saved.Assign(brush_);
    const QColor face = ToQColor(brush_.Color());
    const QColor fill = state == HIS_HOT ? face.lighter(106) : state == HIS_PRESSED ? face.darker(112) : face;
    brush_.SetStyle(bsSolid);
    brush_.SetColor(RGB(fill.red(), fill.green(), fill.blue()));
    FillRect(r);
    brush_.SetColor(clBtnShadow);
    FillRect(Rect(r.Right - 1, r.Top, r.Right, r.Bottom));
    FillRect(Rect(r.Left, r.Bottom - 1, r.Right, r.Bottom));
    brush_.Assign(saved);
}

void TCanvas::DrawEdge(const TRect& r, unsigned edge) {
    TRect box = r;
    if (edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER)) {
        bool raised = edge & BDR_RAISEDOUTER;
        Frame3D(box, raised ? cl3DLight : clBtnShadow, raised ? cl3DDkShadow : clBtnHighlight, 1);
        box = InflateRect(box, -1, -1);
    }
    if (edge & (BDR_RAISEDINNER | BDR_SUNKENINNER)) {
        bool raised = edge & BDR_RAISEDINNER;
        Frame3D(box, raised ? clBtnHighlight : cl3DDkShadow, raised ? clBtnShadow : cl3DLight, 1);
    }
}

void TCanvas::Frame3D(const TRect& r, TColor topColor, TColor bottomColor, int width) {
    TPen saved;
    saved.Assign(pen_);
    pen_.SetStyle(psSolid);
    pen_.SetWidth(1);
    pen_.SetMode(pmCopy);
    TRect box{r.Left, r.Top, r.Right - 1, r.Bottom - 1};
    for (int i = 0; i < width; ++i) {
        pen_.SetColor(topColor);
        Polyline({{box.Left, box.Bottom}, {box.Left, box.Top}, {box.Right, box.Top}});
        pen_.SetColor(bottomColor);
        Polyline({{box.Right, box.Top}, {box.Right, box.Bottom}, {box.Left - 1, box.Bottom}});
        box = InflateRect(box, -1, -1);
    }
    pen_.Assign(saved);
}
