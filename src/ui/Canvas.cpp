#include "ui/Canvas.h"

#include "ui/Bitmap.h"
#include "ui/QtBridge.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QStringList>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOption>

#include <algorithm>

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

bool TCanvas::inClip(int dx, int dy) const {
    if (!target_ || dx < 0 || dy < 0 || dx >= target_->width() || dy >= target_->height())
        return false;
    return !clip_ || clip_->contains(QPoint(dx, dy));
}

void TCanvas::plot(int x, int y, uint32_t (*op)(uint32_t, uint32_t), uint32_t arg) {
    int dx = x + origin_.X, dy = y + origin_.Y;
    if (!inClip(dx, dy))
        return;
    auto* line = reinterpret_cast<uint32_t*>(target_->scanLine(dy));
    line[dx] = 0xFF000000u | (op(line[dx], arg) & 0xFFFFFF);
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
    painter().fillRect(ToQRect(r), ToQColor(brush_.Color()));
}

void TCanvas::FrameRect(const TRect& r) {
    if (r.IsEmpty() || !target_)
        return;
    QPainter& p = painter();
    QColor c = ToQColor(brush_.Color());
    p.fillRect(QRect(r.Left, r.Top, r.Width(), 1), c);
    p.fillRect(QRect(r.Left, r.Bottom - 1, r.Width(), 1), c);
    p.fillRect(QRect(r.Left, r.Top, 1, r.Height()), c);
    p.fillRect(QRect(r.Right - 1, r.Top, 1, r.Height()), c);
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
    int dx = x + origin_.X, dy = y + origin_.Y;
    if (!target_ || dx < 0 || dy < 0 || dx >= target_->width() || dy >= target_->height())
        return clNone;
    return FromPixel(target_->pixel(dx, dy));
}

void TCanvas::SetPixels(int x, int y, TColor color) { plot(x, y, opSet, ToPixel(color)); }

// ---- text ----

void TCanvas::drawTextLine(int x, int y, const QString& line) {
    QPainter& p = painter();
    QFont f = ToQFont(font_);
    p.setFont(f);
    p.setPen(ToQColor(font_.Color()));
    p.drawText(QPoint(x, y + QFontMetrics(f).ascent()), line);
}

void TCanvas::TextOut(int x, int y, const AnsiString& text) {
    if (!target_)
        return;
    QString s = ToQString(text);
    QFontMetrics fm(ToQFont(font_));
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

int TCanvas::TextWidth(const AnsiString& text) { return TextExtent(text).cx; }
int TCanvas::TextHeight(const AnsiString& text) { return TextExtent(text).cy; }

TSize TCanvas::TextExtent(const AnsiString& text) {
    QFontMetrics fm(ToQFont(font_));
    return {fm.horizontalAdvance(ToQString(text)), fm.height()};
}

int TCanvas::DrawText(const AnsiString& text, TRect& rect, unsigned flags) {
    QFont qf = ToQFont(font_);
    QFontMetrics fm(qf);
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
            if (fm.horizontalAdvance(l) > width) {
                while (!l.isEmpty() && fm.horizontalAdvance(l + QStringLiteral("...")) > width)
                    l.chop(1);
                l += QStringLiteral("...");
                underline = -1;
            }
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
    const bool clip = !(flags & DT_NOCLIP);
    if (clip) {
        SaveClip();
        IntersectClipRect(rect);
    }
    for (int i = 0; i < lines.size(); ++i, y += lineH) {
        const QString& l = lines[i];
        int w = fm.horizontalAdvance(l);
        int x = (flags & DT_RIGHT) ? rect.Right - w : (flags & DT_CENTER) ? rect.Left + (width - w) / 2 : rect.Left;
        if (brush_.Style() == bsSolid)
            painter().fillRect(QRect(x, y, w, lineH), ToQColor(brush_.Color()));
        drawTextLine(x, y, l);
        if (i == 0 && underline >= 0 && underline < l.size()) {
            int ux = x + fm.horizontalAdvance(l.left(underline));
            int uw = fm.horizontalAdvance(l.mid(underline, 1));
            painter().fillRect(QRect(ux, y + fm.ascent() + 1, uw, 1), ToQColor(font_.Color()));
        }
    }
    if (clip)
        RestoreClip();
    return totalH;
}

// ---- pictures ----

void TCanvas::blit(const TRect& dest, const QImage& src, const TRect& srcRect, bool useTransparent,
                   uint32_t transparent) {
    const int dw = dest.Width(), dh = dest.Height(), sw = srcRect.Width(), sh = srcRect.Height();
    if (dw <= 0 || dh <= 0 || !target_)
        return;
    Release();  // pending drawing first, then the pixels
    const uint32_t pattern = ToPixel(brush_.Color()) & 0xFFFFFF;
    for (int y = 0; y < dh; ++y) {
        int dy = dest.Top + y + origin_.Y;
        int sy = srcRect.Top + (sh > 0 ? int(int64_t(y) * sh / dh) : 0);
        for (int x = 0; x < dw; ++x) {
            int dx = dest.Left + x + origin_.X;
            if (!inClip(dx, dy))
                continue;
            int sx = srcRect.Left + (sw > 0 ? int(int64_t(x) * sw / dw) : 0);
            uint32_t s = (sx >= 0 && sy >= 0 && sx < src.width() && sy < src.height()) ? src.pixel(sx, sy) & 0xFFFFFF : 0;
            if (useTransparent && s == transparent)
                continue;
            auto* line = reinterpret_cast<uint32_t*>(target_->scanLine(dy));
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

void TCanvas::CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect) {
    if (!source.target_)
        return;
    source.Release();
    // A copy first, so source and destination may overlap on the same target.
    TRect sr = OffsetRect(sourceRect, source.origin_.X, source.origin_.Y);
    QImage src = source.target_->copy(ToQRect(sr));
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
    QRect r = clip_ ? clip_->boundingRect() : (target_ ? target_->rect() : QRect());
    return OffsetRect(FromQRect(r), -origin_.X, -origin_.Y);
}

void TCanvas::SetClipRect(const TRect& r) {
    clip_ = std::make_unique<QRegion>(ToQRect(OffsetRect(r, origin_.X, origin_.Y)));
    stateDirty_ = true;
}

void TCanvas::IntersectClipRect(const TRect& r) {
    QRegion current = clip_ ? *clip_ : QRegion(target_ ? target_->rect() : QRect());
    clip_ = std::make_unique<QRegion>(current.intersected(ToQRect(OffsetRect(r, origin_.X, origin_.Y))));
    stateDirty_ = true;
}

void TCanvas::ExcludeClipRect(const TRect& r) {
    QRegion current = clip_ ? *clip_ : QRegion(target_ ? target_->rect() : QRect());
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

void TCanvas::DrawThemedCheckBox(const TRect& r, TThemedCheckBox state) {
    QStyle* style = fusion();
    bool checked = state >= CBS_CHECKEDNORMAL;
    int kind = (state - 1) % 4;  // normal, hot, pressed, disabled
    if (!style) {
        DrawFrameControlCheck(r, (checked ? unsigned(DFCS_CHECKED) : 0u) | (kind == 3 ? unsigned(DFCS_INACTIVE) : 0u));
        return;
    }
    QStyleOptionButton opt;
    opt.rect = ToQRect(r);
    opt.palette = style->standardPalette();
    opt.state = (checked ? QStyle::State_On : QStyle::State_Off);
    if (kind != 3)
        opt.state |= QStyle::State_Enabled;
    else
        opt.palette.setCurrentColorGroup(QPalette::Disabled);
    if (kind == 1)
        opt.state |= QStyle::State_MouseOver;
    if (kind == 2)
        opt.state |= QStyle::State_Sunken;
    QPainter& p = painter();
    p.save();
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &opt, &p, nullptr);
    p.restore();
}

void TCanvas::DrawThemedHeaderItem(const TRect& r, TThemedHeader state) {
    QStyle* style = fusion();
    if (!style) {
        brush_.SetColor(clBtnFace);
        FillRect(r);
        DrawEdge(r, state == HIS_PRESSED ? EDGE_SUNKEN : EDGE_RAISED);
        return;
    }
    QStyleOptionHeader opt;
    opt.rect = ToQRect(r);
    opt.palette = style->standardPalette();
    opt.state = QStyle::State_Enabled | QStyle::State_Horizontal;
    opt.orientation = Qt::Horizontal;
    opt.position = QStyleOptionHeader::Middle;
    // The style draws the section from the button colour: lighter under the mouse, darker pressed.
    QColor button = opt.palette.color(QPalette::Button);
    if (state == HIS_HOT) {
        opt.state |= QStyle::State_MouseOver | QStyle::State_Raised;
        opt.palette.setColor(QPalette::Button, button.lighter(106));
    } else if (state == HIS_PRESSED) {
        opt.state |= QStyle::State_Sunken;
        opt.palette.setColor(QPalette::Button, button.darker(112));
    } else {
        opt.state |= QStyle::State_Raised;
    }
    QPainter& p = painter();
    p.save();
    style->drawControl(QStyle::CE_HeaderSection, &opt, &p, nullptr);
    p.restore();
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
