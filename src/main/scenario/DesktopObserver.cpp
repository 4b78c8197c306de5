// Trace lines for what happened on the simulated desktop.
#include "main/scenario/DesktopObserver.h"

#include "main/scenario/KeyChord.h"
#include "platform/sim/SimKeyNames.h"

namespace veska::scenario {

namespace {

using Fields = TraceWriter::Fields;
using sim::TraceKind;

bool isModifier(ports::KeyCode code) { return ports::modifierFlagOf(code) != 0; }

Fields keyFields(const sim::TraceEntry& e) {
    Fields out{{"key", sim::keyName(e.keyCode)}};
    // A modifier arrives as a change of flags: its state is in "modifiers".
    const bool posted = e.kind == TraceKind::keyPosted || e.kind == TraceKind::keyPostDropped;
    if (posted || !isModifier(e.keyCode)) out["down"] = e.down;
    out["modifiers"] = modifierNames(e.flags);
    return out;
}

}  // namespace

void DesktopObserver::sync(TraceWriter& writer, double now) {
    const sim::SimTrace& trace = world_.desktop().trace();
    const std::size_t total = trace.dropped() + trace.entries().size();
    if (reported_ < trace.dropped()) {
        writer.emit(now, "traceOverflow", Fields{{"lost", trace.dropped() - reported_}});
        reported_ = trace.dropped();
    }
    for (; reported_ < total; ++reported_) entry(writer, trace.entries()[reported_ - trace.dropped()]);
    fields(writer, now);
}

void DesktopObserver::entry(TraceWriter& writer, const sim::TraceEntry& e) {
    const auto app = world_.appLabel(e.pid);
    switch (e.kind) {
    case TraceKind::keyPosted:
    case TraceKind::keyPostDropped:
    case TraceKind::keySwallowed: {
        Fields out = keyFields(e);
        if (e.pid != 0) out["front"] = app;
        writer.emit(e.time, sim::traceKindName(e.kind), std::move(out));
        return;
    }
    case TraceKind::keyReceived: {
        Fields out{{"app", app}};
        out.update(keyFields(e));
        writer.emit(e.time, "keyReceived", std::move(out));
        return;
    }
    case TraceKind::keyHandled:
        writer.emit(e.time, "keyHandled",
                    Fields{{"app", app}, {"key", chordName(e.keyCode, e.flags & ports::flags::kModifierMask)},
                           {"action", e.detail}});
        return;
    case TraceKind::pasteboardWrite:
    case TraceKind::pasteboardClear: {
        Fields out = Fields::object();
        if (e.pid != 0) out["by"] = app;
        out["text"] = e.kind == TraceKind::pasteboardWrite ? Fields(e.detail) : Fields(nullptr);
        writer.emit(e.time, "clipboard", std::move(out));
        return;
    }
    case TraceKind::activated: writer.emit(e.time, "activated", Fields{{"app", app}}); return;
    case TraceKind::accessibilityWrite:
        writer.emit(e.time, "accessibilityWrite", Fields{{"app", app}, {"detail", e.detail}});
        return;
    case TraceKind::accessibilityTimeout:
        writer.emit(e.time, "accessibilityTimeout", Fields{{"app", app}, {"attribute", e.detail}, {"seconds", e.seconds}});
        return;
    case TraceKind::permissionRequested:
    case TraceKind::settingsOpened:
        writer.emit(e.time, sim::traceKindName(e.kind), Fields{{"permission", e.detail}});
        return;
    default: {
        // A kind of entry this runner does not know yet still shows, with what it carries.
        Fields out{{"app", app}};
        if (!e.detail.empty()) out["detail"] = e.detail;
        writer.emit(e.time, sim::traceKindName(e.kind), std::move(out));
        return;
    }
    }
}

void DesktopObserver::fields(TraceWriter& writer, double now) {
    std::map<std::uint64_t, FieldState> seen;
    for (const sim::SimElement* element : world_.textElements()) {
        FieldState state{element->text, element->selection};
        auto before = fields_.find(element->id);
        const bool changed = before == fields_.end() || before->second.text != state.text ||
                             before->second.selection != state.selection;
        if (changed) {
            Fields out{{"app", world_.appLabel(element->pid)}, {"element", element->id}, {"role", element->role}};
            if (!element->title.empty()) out["title"] = element->title;
            out["text"] = element->textUtf8();
            out["selection"] = Fields::array({element->selection.location, element->selection.length});
            writer.emit(now, "field", std::move(out));
        }
        seen.emplace(element->id, std::move(state));
    }
    fields_ = std::move(seen);
}

}  // namespace veska::scenario
