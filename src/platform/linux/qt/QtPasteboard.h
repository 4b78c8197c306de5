// The clipboard (X11 CLIPBOARD selection) through Qt: plain text, HTML and RTF.
#pragma once

#include <QObject>

#include "ports/Pasteboard.h"

class QClipboard;

namespace veska::platform {

/// The pasteboard port over QClipboard, on the GUI thread. Veska stays the owner of what it
/// wrote for as long as it runs (X11 has no clipboard without an owner). The change count
/// grows at every change Qt reports, ours or another program's, and at every write. A write
/// marked transient carries the hint that tells clipboard managers not to record it.
class QtPasteboard final : public ports::Pasteboard {
public:
    QtPasteboard();
    ~QtPasteboard() override;
    QtPasteboard(const QtPasteboard&) = delete;
    QtPasteboard& operator=(const QtPasteboard&) = delete;

    [[nodiscard]] std::int64_t changeCount() const override;
    [[nodiscard]] std::optional<std::string> plainText() const override;
    [[nodiscard]] std::optional<std::string> html() const override;
    [[nodiscard]] std::optional<std::string> rtf() const override;
    std::int64_t clear() override;
    bool write(const ports::PasteboardContents& contents) override;

private:
    [[nodiscard]] std::optional<std::string> read(const char* mimeType) const;

    QClipboard* clipboard_;
    QObject receiver_;
    std::int64_t changes_ = 0;
};

}  // namespace veska::platform
