// The last resort for reading a selection: a synthetic Command+C on a borrowed pasteboard.
#include "core/desktop/SelectionService.h"

#include <utility>

#include "runtime/Sleep.h"
#include "text/Characters.h"
#include "text/WhiteSpace.h"

namespace veska {

namespace {

constexpr double kModifierReleaseWaitSeconds = 0.03;
constexpr double kBeforeCopySeconds = 0.04;
constexpr double kPollIntervalSeconds = 0.06;
constexpr int kCopyPolls = 10;

/// Gives the user's plain text back to the pasteboard when the copy ends, however it ends
/// (also when the look-up is cancelled or its task destroyed mid-copy).
class BorrowedPasteboard {
public:
    explicit BorrowedPasteboard(ports::Pasteboard& pasteboard)
        : pasteboard_(pasteboard), before_(pasteboard.plainText()) {
        pasteboard_.clear();
    }
    BorrowedPasteboard(const BorrowedPasteboard&) = delete;
    BorrowedPasteboard& operator=(const BorrowedPasteboard&) = delete;
    ~BorrowedPasteboard() { giveBack(); }

    void giveBack() {
        if (returned_) return;
        returned_ = true;
        pasteboard_.clear();
        if (before_) pasteboard_.write({.plainText = std::move(before_)});
    }

private:
    ports::Pasteboard& pasteboard_;
    std::optional<std::string> before_;
    bool returned_ = false;
};

}  // namespace

rt::Task<std::optional<std::string>> SelectionService::copySelectionViaCommandC(std::shared_ptr<Oversized> record) {
    if (!hasInputMonitoring()) {
        record->blind = true;
        co_return std::nullopt;
    }
    rt::AsyncMutex::Guard copying = co_await copyLock_.lock();
    ports::Pasteboard& pasteboard = services_.pasteboard;
    BorrowedPasteboard borrowed(pasteboard);

    if (postModifierReleases()) co_await rt::sleepFor(kModifierReleaseWaitSeconds);
    co_await rt::sleepFor(kBeforeCopySeconds);
    (void)postCommandC(ports::keys::kC);

    std::string copied;
    for (int poll = 0; poll < kCopyPolls; ++poll) {
        co_await rt::sleepFor(kPollIntervalSeconds);
        std::optional<std::string> text = pasteboard.plainText();
        if (text && !text->empty()) {
            copied = std::move(*text);
            break;
        }
    }
    // One rich form is enough to keep the formatting; HTML is the better of the two.
    std::optional<std::string> html = pasteboard.html();
    std::optional<std::string> rtf;
    if (!html) rtf = pasteboard.rtf();
    if (copied.empty()) {
        keepRich(std::nullopt);
    } else {
        keepRich(RichCopy{.plain = copied, .html = std::move(html), .rtf = std::move(rtf)});
    }
    borrowed.giveBack();

    if (text::isBlank(copied)) co_return std::nullopt;
    if (text::longerThan(copied, kSelectionLimit)) {
        record->note(copied);
        co_return std::nullopt;
    }
    co_return copied;
}

}  // namespace veska
