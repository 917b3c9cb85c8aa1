#include "ui/QtBridge.h"

#include <QFont>

#include <cstdlib>
#include <algorithm>

namespace bridge {

AnsiString FromQStringRefusing(const QString& s, int& refused) {
    // The conversion writes "?" for a character the code page lacks: a text with as many "?" after it
    // as before lost nothing.
    refused = 0;
    AnsiString out = FromQString(s);
    if (std::count(out.begin(), out.end(), '?') == s.count(QLatin1Char('?')))
        return out;
    out.clear();
    for (qsizetype i = 0; i < s.size();) {
        // A surrogate pair is one character.
        const qsizetype n = s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate() ? 2 : 1;
        const QString one = s.mid(i, n);
        const AnsiString bytes = FromQString(one);
        if (bytes == "?" && one != QLatin1String("?"))
            ++refused;
        else
            out += bytes;
        i += n;
    }
    return out;
}

void InstallFontSubstitutions() {
    static const bool done = [] {
        QFont::insertSubstitution(QString::fromUtf8("細明體"), QStringLiteral("AR PL UMing TW"));
        QFont::insertSubstitution(QString::fromUtf8("新細明體"), QStringLiteral("AR PL UMing TW"));
        return true;
    }();
    (void)done;
}

QFont ToQFont(const TFont& font) {
    InstallFontSubstitutions();
    QFont f(ToQString(font.Name()));
    // A negative height means its absolute value (the form stores the window's fonts as -15).
    f.setPixelSize(std::max(1, std::abs(font.Height())));
    f.setBold(font.Style().Contains(TFontStyle::fsBold));
    f.setItalic(font.Style().Contains(TFontStyle::fsItalic));
    f.setUnderline(font.Style().Contains(TFontStyle::fsUnderline));
    f.setStrikeOut(font.Style().Contains(TFontStyle::fsStrikeOut));
    f.setStyleStrategy(QFont::NoAntialias);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

QCursor ToQCursor(TCursor cursor) {
    switch (cursor) {
    case crNone:
        return Qt::BlankCursor;
    case crCross:
        return Qt::CrossCursor;
    case crIBeam:
        return Qt::IBeamCursor;
    case crSizeNESW:
        return Qt::SizeBDiagCursor;
    case crSizeNS:
    case crVSplit:
        return Qt::SizeVerCursor;
    case crSizeNWSE:
        return Qt::SizeFDiagCursor;
    case crSizeWE:
    case crHSplit:
        return Qt::SizeHorCursor;
    case crUpArrow:
        return Qt::UpArrowCursor;
    case crHourGlass:
    case crSQLWait:
        return Qt::WaitCursor;
    case crDrag:
    case crMultiDrag:
        return Qt::DragMoveCursor;
    case crNoDrop:
    case crNo:
        return Qt::ForbiddenCursor;
    case crAppStart:
        return Qt::BusyCursor;
    case crHelp:
        return Qt::WhatsThisCursor;
    case crHandPoint:
        return Qt::PointingHandCursor;
    case crSizeAll:
        return Qt::SizeAllCursor;
    default:
        return Qt::ArrowCursor;
    }
}

} // namespace bridge
