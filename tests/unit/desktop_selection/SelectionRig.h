// A selection service on a simulated desktop and virtual time, with a "Notes" app in front.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/desktop/SelectionService.h"
#include "platform/sim/SimDesktop.h"
#include "runtime/VirtualLoop.h"

namespace veska::testing {

struct SelectionRig {
    SelectionRig() {
        appPid = desktop.launchApp({.bundleIdentifier = "org.example.Notes", .localizedName = "Notes"}, true);
    }

    /// A focused field of the app in front.
    std::uint64_t field(const std::string& role, const std::string& text, std::optional<ports::TextRange> selection = {}) {
        return desktop.addFocusedField(appPid, {.role = role, .text = text, .selection = selection});
    }
    void setPasteboard(std::optional<std::string> text, std::optional<std::string> html = {},
                       std::optional<std::string> rtf = {}) {
        desktop.pasteboard().writeFromApp(appPid, {.plainText = std::move(text), .html = std::move(html), .rtf = std::move(rtf)});
    }
    [[nodiscard]] std::vector<sim::TraceEntry> posted() { return desktop.trace().ofKind(sim::TraceKind::keyPosted); }
    SelectionLookup lookup() { return loop.run(service.lookupSelectionAsync()); }
    AXOnlySelection lookupAXOnly() { return loop.run(service.selectedTextAXOnlyAsync()); }

    rt::VirtualLoop loop;
    sim::SimDesktop desktop{loop.main()};
    DesktopServices services{loop.main(),
                             loop.lane("lookups"),
                             loop.lane("veska.live-typer"),
                             desktop.keyboard(),
                             desktop.keyPoster(),
                             desktop.pasteboard(),
                             desktop.accessibility(),
                             desktop.workspace(),
                             desktop.permissions()};
    SelectionService service{services};
    std::int32_t appPid = 0;
};

inline std::string repeated(const std::string& piece, int times) {
    std::string out;
    out.reserve(piece.size() * static_cast<std::size_t>(times));
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

/// The element answers no "AXSelectedText": its selection is only a range.
inline void refuseSelectedText(sim::SimElement& e) {
    e.readFaults[ports::AXAttribute::selectedText] = {.error = ports::AXError::attributeUnsupported};
}

}  // namespace veska::testing
