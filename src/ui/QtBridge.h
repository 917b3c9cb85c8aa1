#pragma once
// Conversions at the Qt boundary, for the framework's own sources only: text of the process code
// page to and from QString, colours, fonts, rectangles and cursors.
#include "core/AnsiString.h"
#include "ui/Graphics.h"
#include "ui/Screen.h"

#include <QColor>
#include <QCursor>
#include <QFont>
#include <QRect>
#include <QString>

namespace bridge {

// Plain ASCII text (most cell texts) needs no conversion through the code page.
inline QString ToQString(std::string_view ansi) {
    for (char c : ansi)
        if (static_cast<unsigned char>(c) >= 0x80)
            return QString::fromStdString(codepage::ToUtf8(ansi));
    return QString::fromLatin1(ansi.data(), qsizetype(ansi.size()));
}
inline AnsiString FromQString(const QString& s) { return codepage::FromUtf8(s.toStdString()); }
// Text coming in from the user (an input method, a key, the clipboard) in the code page, character by
// character: a character the code page cannot hold is left out, never turned into "?", and counted
// in `refused`.
AnsiString FromQStringRefusing(const QString& s, int& refused);

// A colour as the 32-bit pixel of an RGB32 image.
inline uint32_t ToPixel(TColor c) {
    TColor rgb = ColorToRGB(c);
    return 0xFF000000u | uint32_t(GetRValue(rgb)) << 16 | uint32_t(GetGValue(rgb)) << 8 | uint32_t(GetBValue(rgb));
}
inline TColor FromPixel(uint32_t p) { return RGB((p >> 16) & 255, (p >> 8) & 255, p & 255); }
inline QColor ToQColor(TColor c) { return QColor::fromRgb(ToPixel(c)); }

inline QRect ToQRect(const TRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }
inline TRect FromQRect(const QRect& r) { return Bounds(r.x(), r.y(), r.width(), r.height()); }

// The face substitutions of this platform, registered once (the Ming face of the window font).
void InstallFontSubstitutions();
// A font's pixel height is its character height; text is drawn without antialiasing.
QFont ToQFont(const TFont& font);
QCursor ToQCursor(TCursor cursor);

} // namespace bridge
