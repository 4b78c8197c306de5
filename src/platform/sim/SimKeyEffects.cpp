// Key actions of the simulated applications.
#include "platform/sim/SimKeyEffects.h"

#include <algorithm>

#include "platform/sim/SimKeyNames.h"
#include "platform/sim/SimText.h"
#include "text/Utf.h"

namespace veska::sim {

namespace keys = ports::keys;
namespace flags = ports::flags;
using ports::KeyCode;
using ports::KeyFlags;

void SimKeyEffects::receive(std::int32_t pid, const ports::KeyEvent& event, KeyFlags effective) {
    if (event.kind != ports::KeyEventKind::keyDown) return;
    const SimApp* app = workspace_.find(pid);
    if (app == nullptr) return;
    const double now = executor_.now();
    double& busy = busyUntil_[pid];
    const double delay = app->desc.keyDelaySeconds;
    if (delay <= 0 && busy <= now) {
        handle(pid, event.keyCode, effective);
        return;
    }
    // Keys wait in line: each is handled `delay` after arrival, never before the one ahead.
    busy = std::max(now + std::max(delay, 0.0), busy);
    std::erase_if(pending_, [](const rt::Timer& timer) { return !timer.pending(); });
    const KeyCode code = event.keyCode;
    pending_.push_back(executor_.postAfter(busy - now, [this, pid, code, effective] { handle(pid, code, effective); }));
}

void SimKeyEffects::handle(std::int32_t pid, KeyCode code, KeyFlags effective) {
    if (!workspace_.isRunning(pid)) return;
    const SimApp& app = *workspace_.find(pid);
    SimElement* element = tree_.find(tree_.focusedOf(pid));
    const std::string did = act(app, element, code, effective & flags::kModifierMask);
    if (did.empty()) return;
    trace_.add({.kind = TraceKind::keyHandled, .pid = pid, .keyCode = code, .flags = effective, .down = true,
                .detail = did});
}

std::string SimKeyEffects::act(const SimApp& app, SimElement* element, KeyCode code, KeyFlags modifiers) {
    if (element == nullptr) return {};
    const bool isShortcutKey = code == keys::kV || code == keys::kC || code == keys::kA;
    if (isShortcutKey && modifiers == app.desc.shortcutFlags) return shortcut(element, code);
    if (!element->editable || !element->hasText) return {};
    if (code == keys::kDelete) {
        auto unit = SimElement::DeleteUnit::cluster;
        if ((modifiers & flags::kCommand) != 0) {
            unit = SimElement::DeleteUnit::line;
        } else if ((modifiers & (flags::kOption | flags::kControl)) != 0) {
            unit = SimElement::DeleteUnit::word;
        }
        element->deleteBackward(unit);
        return "delete";
    }
    if (code == keys::kLeftArrow || code == keys::kRightArrow) {
        const bool left = code == keys::kLeftArrow;
        const ports::TextRange selection = element->selection;
        auto to = static_cast<std::size_t>(left ? selection.location : selection.end());
        if (selection.length == 0) to = left ? previousClusterStart(element->text, to) : nextClusterEnd(element->text, to);
        element->selection = {static_cast<std::int64_t>(to), 0};
        return "move";
    }
    if ((modifiers & (flags::kCommand | flags::kControl)) != 0) return {};
    if (code == keys::kReturn) {
        if (element->role == ports::roles::kTextField || element->role == ports::roles::kSearchField) return {};
        element->replaceSelection(u"\n");
        return "type";
    }
    const auto typed = typedCharacter(code, (modifiers & flags::kShift) != 0);
    if (!typed) return {};
    element->replaceSelection(text::toUtf16(*typed));
    return "type";
}

std::string SimKeyEffects::shortcut(SimElement* element, KeyCode code) {
    if (code == keys::kC) {
        if (!element->hasText || element->selection.length <= 0) return {};
        pasteboard_.writeFromApp(element->pid, {.plainText = element->selectedTextUtf8(),
                                                .html = element->html,
                                                .rtf = element->rtf});
        return "copy";
    }
    if (!element->editable || !element->hasText) return {};
    if (code == keys::kA) {
        element->selection = {0, static_cast<std::int64_t>(element->text.size())};
        return "selectAll";
    }
    const auto text = pasteboard_.plainText();
    if (!text) return {};
    element->replaceSelection(text::toUtf16(*text));
    return "paste";
}

}  // namespace veska::sim
