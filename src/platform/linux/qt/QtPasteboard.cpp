// The clipboard (X11 CLIPBOARD selection) through Qt: plain text, HTML and RTF.
#include "platform/linux/qt/QtPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace veska::platform {

namespace {

constexpr const char* kPlain = "text/plain;charset=utf-8";
constexpr const char* kHtml = "text/html";
constexpr const char* kRtf = "text/rtf";
/// Clipboard managers (Klipper, GPaste, CopyQ...) skip contents carrying this type.
constexpr const char* kManagerHint = "x-kde-passwordManagerHint";

}  // namespace

QtPasteboard::QtPasteboard() : clipboard_(QGuiApplication::clipboard()) {
    QObject::connect(clipboard_, &QClipboard::changed, &receiver_, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard) ++changes_;
    });
}

QtPasteboard::~QtPasteboard() = default;

std::int64_t QtPasteboard::changeCount() const {
    return changes_;
}

std::optional<std::string> QtPasteboard::read(const char* mimeType) const {
    const QMimeData* data = clipboard_->mimeData(QClipboard::Clipboard);
    if (data == nullptr) return std::nullopt;
    if (std::string_view(mimeType) == kPlain) {
        if (!data->hasText()) return std::nullopt;
        return data->text().toStdString();
    }
    if (!data->hasFormat(QString::fromLatin1(mimeType))) return std::nullopt;
    const QByteArray bytes = data->data(QString::fromLatin1(mimeType));
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::optional<std::string> QtPasteboard::plainText() const {
    return read(kPlain);
}

std::optional<std::string> QtPasteboard::html() const {
    return read(kHtml);
}

std::optional<std::string> QtPasteboard::rtf() const {
    return read(kRtf);
}

std::int64_t QtPasteboard::clear() {
    clipboard_->clear(QClipboard::Clipboard);
    return ++changes_;
}

bool QtPasteboard::write(const ports::PasteboardContents& contents) {
    if (contents.empty()) {
        clear();
        return true;
    }
    auto* data = new QMimeData();
    if (contents.plainText) data->setText(QString::fromStdString(*contents.plainText));
    if (contents.html) data->setData(QString::fromLatin1(kHtml), QByteArray::fromStdString(*contents.html));
    if (contents.rtf) data->setData(QString::fromLatin1(kRtf), QByteArray::fromStdString(*contents.rtf));
    if (contents.transient) data->setData(QString::fromLatin1(kManagerHint), QByteArrayLiteral("secret"));
    clipboard_->setMimeData(data, QClipboard::Clipboard);  // the clipboard owns it now
    ++changes_;
    return true;
}

}  // namespace veska::platform
