// The simulated desktop's record of events.
#include "platform/sim/SimTrace.h"

#include <nlohmann/json.hpp>

namespace veska::sim {

std::string_view traceKindName(TraceKind kind) {
    switch (kind) {
    case TraceKind::keyPosted: return "keyPosted";
    case TraceKind::keyPostDropped: return "keyPostDropped";
    case TraceKind::keySwallowed: return "keySwallowed";
    case TraceKind::keyReceived: return "keyReceived";
    case TraceKind::keyHandled: return "keyHandled";
    case TraceKind::pasteboardWrite: return "pasteboardWrite";
    case TraceKind::pasteboardClear: return "pasteboardClear";
    case TraceKind::activated: return "activated";
    case TraceKind::accessibilityWrite: return "accessibilityWrite";
    case TraceKind::accessibilityTimeout: return "accessibilityTimeout";
    case TraceKind::permissionRequested: return "permissionRequested";
    case TraceKind::settingsOpened: return "settingsOpened";
    }
    return "unknown";
}

void SimTrace::add(TraceEntry entry) {
    entry.time = executor_.now();
    if (entries_.size() >= kMaxEntries) {
        entries_.pop_front();
        ++dropped_;
    }
    entries_.push_back(std::move(entry));
}

std::vector<TraceEntry> SimTrace::ofKind(TraceKind kind) const {
    std::vector<TraceEntry> out;
    for (const auto& entry : entries_) {
        if (entry.kind == kind) out.push_back(entry);
    }
    return out;
}

std::vector<ports::KeyCode> SimTrace::keysReceivedBy(std::int32_t pid) const {
    std::vector<ports::KeyCode> out;
    for (const auto& entry : entries_) {
        if (entry.kind == TraceKind::keyReceived && entry.pid == pid && entry.down) out.push_back(entry.keyCode);
    }
    return out;
}

void SimTrace::clear() {
    entries_.clear();
    dropped_ = 0;
}

nlohmann::json SimTrace::toJson() const {
    nlohmann::json out = nlohmann::json::array();
    for (const auto& e : entries_) {
        nlohmann::json item{{"time", e.time}, {"kind", traceKindName(e.kind)}, {"pid", e.pid}};
        if (e.kind == TraceKind::keyPosted || e.kind == TraceKind::keyPostDropped ||
            e.kind == TraceKind::keySwallowed || e.kind == TraceKind::keyReceived ||
            e.kind == TraceKind::keyHandled) {
            item["keyCode"] = e.keyCode;
            item["flags"] = e.flags;
            item["down"] = e.down;
        }
        if (e.seconds != 0) item["seconds"] = e.seconds;
        if (!e.detail.empty()) item["detail"] = e.detail;
        out.push_back(std::move(item));
    }
    return out;
}

}  // namespace veska::sim
