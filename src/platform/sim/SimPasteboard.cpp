// The simulated pasteboard.
#include "platform/sim/SimPasteboard.h"

namespace veska::sim {

void SimPasteboard::replace(std::int32_t pid, const ports::PasteboardContents& contents) {
    contents_ = contents;
    ++changeCount_;
    if (contents.empty()) {
        trace_.add({.kind = TraceKind::pasteboardClear, .pid = pid});
        return;
    }
    trace_.add({.kind = TraceKind::pasteboardWrite, .pid = pid, .detail = contents.plainText.value_or("")});
}

void SimPasteboard::writeFromApp(std::int32_t pid, const ports::PasteboardContents& contents) { replace(pid, contents); }

std::int64_t SimPasteboard::clear() {
    replace(ownPid_, {});
    return changeCount_;
}

bool SimPasteboard::write(const ports::PasteboardContents& contents) {
    if (refusesWrites_) return false;
    replace(ownPid_, contents);
    return true;
}

}  // namespace veska::sim
