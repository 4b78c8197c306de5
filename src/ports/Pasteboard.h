// The general pasteboard (the system clipboard) with plain text, HTML and RTF.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace veska::ports {

/// What one write puts on the pasteboard, or what a read finds. `plainText` is UTF-8;
/// `html` and `rtf` are the raw bytes of those types.
struct PasteboardContents {
    std::optional<std::string> plainText{};
    std::optional<std::string> html{};
    std::optional<std::string> rtf{};
    /// A short-lived payload (a piece of text on its way into another application): clipboard
    /// managers are asked not to record it. Never set on what a read finds.
    bool transient = false;

    [[nodiscard]] bool empty() const { return !plainText && !html && !rtf; }
    friend bool operator==(const PasteboardContents&, const PasteboardContents&) = default;
};

/// The clipboard shared by every application. Synchronous; used from one executor at a time.
/// Any other application may change it between two calls.
class Pasteboard {
public:
    virtual ~Pasteboard() = default;

    /// Grows by at least one at every change of the contents, by anyone.
    [[nodiscard]] virtual std::int64_t changeCount() const = 0;
    [[nodiscard]] virtual std::optional<std::string> plainText() const = 0;
    [[nodiscard]] virtual std::optional<std::string> html() const = 0;
    [[nodiscard]] virtual std::optional<std::string> rtf() const = 0;
    /// Empties the pasteboard; returns the new change count.
    virtual std::int64_t clear() = 0;
    /// Replaces the whole contents with the types given, as one change. Writing nothing is the
    /// same as `clear()`. False when the platform refused the write.
    virtual bool write(const PasteboardContents& contents) = 0;
};

}  // namespace veska::ports
