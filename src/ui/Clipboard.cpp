#include "ui/Clipboard.h"

#include "ui/QtBridge.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

using namespace bridge;

namespace {
QString mimeOf(const AnsiString& format) {
    if (SameText(format, CF_TEXT_NAME))
        return QStringLiteral("text/plain");
    if (SameText(format, CF_SYLK_NAME))
        return QStringLiteral("application/x-sylk");
    // A registered format travels under its name, as Qt names the platform's registered formats.
    return QStringLiteral("application/x-qt-windows-mime;value=\"%1\"").arg(ToQString(format));
}
} // namespace

struct TClipboard::Impl {
    int openCount = 0;
    std::unique_ptr<QMimeData> pending;
};

TClipboard::TClipboard() : impl_(std::make_unique<Impl>()) {}
TClipboard::~TClipboard() = default;

TClipboard& Clipboard() {
    static TClipboard clipboard;
    return clipboard;
}

void TClipboard::Open() {
    if (impl_->openCount++ == 0)
        impl_->pending = std::make_unique<QMimeData>();
}

void TClipboard::Close() {
    if (impl_->openCount == 0 || --impl_->openCount > 0)
        return;
    if (qApp && impl_->pending && !impl_->pending->formats().isEmpty())
        QGuiApplication::clipboard()->setMimeData(impl_->pending.release());
    impl_->pending.reset();
}

void TClipboard::Clear() {
    if (impl_->openCount > 0)
        impl_->pending = std::make_unique<QMimeData>();
    else if (qApp)
        QGuiApplication::clipboard()->clear();
}

void TClipboard::SetAsText(const AnsiString& text) { SetFormat(CF_TEXT_NAME, text); }

AnsiString TClipboard::AsText() const { return GetFormat(CF_TEXT_NAME); }

void TClipboard::SetAsHtml(const AnsiString& html) {
    bool single = impl_->openCount == 0;
    if (single)
        Open();
    impl_->pending->setHtml(ToQString(html));
    if (single)
        Close();
}

void TClipboard::SetFormat(const AnsiString& format, const std::string& bytes) {
    bool single = impl_->openCount == 0;
    if (single)
        const_cast<TClipboard*>(this)->Open();
    if (SameText(format, CF_TEXT_NAME))
        impl_->pending->setText(ToQString(bytes));
    else
        impl_->pending->setData(mimeOf(format), QByteArray(bytes.data(), qsizetype(bytes.size())));
    if (single)
        Close();
}

std::string TClipboard::GetFormat(const AnsiString& format) const {
    if (!qApp)
        return {};
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data)
        return {};
    if (SameText(format, CF_TEXT_NAME))
        return FromQString(data->text());
    QByteArray bytes = data->data(mimeOf(format));
    return std::string(bytes.constData(), size_t(bytes.size()));
}

bool TClipboard::HasFormat(const AnsiString& format) const {
    if (!qApp)
        return false;
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasFormat(mimeOf(format));
}
