#include "core/ui/HUDState.h"

namespace veska {

namespace {
constexpr double kErrorSeconds = 2.2;
constexpr double kInfoSeconds = 1.4;
constexpr double kFinishedSeconds = 1.0;
}  // namespace

double HUDState::autoHideSeconds() const {
    switch (kind_) {
        case Kind::error: return kErrorSeconds;
        case Kind::info: return kInfoSeconds;
        case Kind::done:
        case Kind::stopped: return kFinishedSeconds;
        default: return 0;
    }
}

std::string_view name(HUDState::Kind kind) {
    using K = HUDState::Kind;
    switch (kind) {
        case K::error: return "error";
        case K::info: return "info";
        case K::idle: return "idle";
        case K::listening: return "listening";
        case K::transcribing: return "transcribing";
        case K::done: return "done";
        case K::stopped: return "stopped";
        case K::readying: return "readying";
        case K::speaking: return "speaking";
        case K::translating: return "translating";
        case K::composing: return "composing";
        case K::fixing: return "fixing";
    }
    return "idle";
}

std::string_view hudSymbol(const HUDState& state) {
    using K = HUDState::Kind;
    switch (state.kind()) {
        case K::error: return "exclamationmark.triangle.fill";
        case K::info:
        case K::done: return "checkmark.circle.fill";
        case K::idle: return "waveform";
        case K::listening:
        case K::speaking: return "mic.fill";
        case K::stopped: return "stop.circle";
        case K::transcribing:
        case K::readying:
        case K::translating:
        case K::composing:
        case K::fixing: return "ellipsis.circle";
    }
    return "waveform";
}

}  // namespace veska
