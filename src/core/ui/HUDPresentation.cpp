#include "core/ui/HUDPresentation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <vector>

#include "core/ui/AppStrings.h"
#include "core/ui/HUDColor.h"
#include "text/Characters.h"

namespace veska::HUDPresentation {

using AppStrings::pick;
using Kind = HUDState::Kind;

namespace {

constexpr char kClaudeEngine[] = "claude_web";

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::vector<std::string> words(std::string_view text) {
    std::vector<std::string> out;
    std::string current;
    for (char c : text) {
        if (isSpace(c)) {
            if (!current.empty()) out.push_back(std::move(current));
            current.clear();
            continue;
        }
        current.push_back(c);
    }
    if (!current.empty()) out.push_back(std::move(current));
    return out;
}

std::string join(const std::vector<std::string>& parts, std::size_t from, std::size_t to) {
    std::string out;
    for (std::size_t i = from; i < to; ++i) {
        if (!out.empty()) out += ' ';
        out += parts[i];
    }
    return out;
}

}  // namespace

std::string pillText(const HUDModel& model, Translator::WriteMode currentMode) {
    const HUDState& state = model.state;
    switch (state.kind()) {
        case Kind::error:
            if (state.message().empty()) return pick("Lỗi", "Error");
            return std::string(text::firstCharacters(state.message(), kPillErrorCharacters));
        case Kind::info: return state.message();
        case Kind::transcribing:
            if (model.engine == kClaudeEngine) return pick("Đang chốt đủ câu…", "Finishing the sentence…");
            return pick("Đang chuyển thành chữ…", "Transcribing…");
        case Kind::done:
            if (model.targetApp && !model.targetApp->empty()) return AppStrings::hudInsertedInto(*model.targetApp);
            return pick("Xong", "Done");
        case Kind::stopped: return pick("Đã dừng", "Stopped");
        case Kind::readying: return pick("Đang lấy giọng đọc…", "Getting the voice…");
        case Kind::translating: return pick("Đang dịch…", "Translating…");
        case Kind::composing: return pick("AI đang viết…", "AI is writing…");
        case Kind::fixing: return AppStrings::hudFixing(currentMode);
        default: return {};
    }
}

PillIcon pillIcon(const HUDState& state) {
    switch (state.kind()) {
        case Kind::error: return {PillIconKind::symbol, "exclamationmark.circle", 19, "semibold", HUDColor::orangeDeep, {}, 0};
        case Kind::info:
        case Kind::done: return {PillIconKind::disc, "checkmark", 12, "heavy", HUDColor::ink, HUDColor::orange, 24};
        case Kind::transcribing:
        case Kind::readying:
        case Kind::translating:
        case Kind::composing:
        case Kind::fixing: return {PillIconKind::pulseDots, "", 0, "", HUDColor::orange, {}, 0};
        default: return {PillIconKind::symbol, "stop.circle", 19, "semibold", HUDColor::muted, {}, 0};
    }
}

std::string listeningTitle() { return pick("Đang nghe", "Listening"); }

std::string elapsed(double seconds) {
    const long whole = seconds > 0 && std::isfinite(seconds) ? static_cast<long>(seconds) : 0;
    char out[32];
    std::snprintf(out, sizeof out, "%ld:%02ld", whole / 60, whole % 60);
    return out;
}

std::string transcriptPlaceholder(const HUDModel& model) {
    if (model.engine != kClaudeEngine) {
        return pick("ChatGPT · chữ hiện khi thả fn", "ChatGPT · text appears when you release fn");
    }
    return pick("Nói đi…", "Go ahead");
}

std::string rateLabel(double rate) {
    char out[32];
    if (std::isfinite(rate) && rate == std::floor(rate)) {
        std::snprintf(out, sizeof out, "%.0f", rate);
    } else {
        std::snprintf(out, sizeof out, "%.2g", rate);
    }
    return std::string(out) + "×";
}

TranscriptParts split(std::string_view text) {
    std::string joined = join(words(text), 0, words(text).size());
    if (text::characterCount(joined, kTranscriptLimit) >= kTranscriptLimit) {
        joined = "…" + std::string(text::lastCharacters(joined, kTranscriptTail));
    }
    const std::vector<std::string> parts = words(joined);
    const std::size_t freshFrom = parts.size() > kFreshWords ? parts.size() - kFreshWords : 0;
    TranscriptParts out;
    out.fresh = join(parts, freshFrom, parts.size());
    if (freshFrom > 0) out.older = join(parts, 0, freshFrom) + " ";
    return out;
}

double waveformBarHeight(double t, int index, double level, double idle, double height, double barWidth) {
    const double wave = std::sin(9 * t + 1.1 * index) * 0.5 + 0.5;
    const double lv = std::min(1.8 * level, 1.0);
    const double h = 0.08 * wave + idle + (1 - idle) * lv * (0.5 * wave + 0.5);
    return std::max(std::min(h, 1.0) * height, barWidth);
}

double pulseDotOpacity(double t, int index) {
    return (std::sin(5 * t - 0.9 * index) * 0.5 + 0.5) * 0.65 + 0.35;
}

std::vector<KeyHint> listeningKeyHints() {
    return {{"fn", pick("chốt", "finish")}, {"esc", pick("huỷ", "cancel")}};
}

std::string speedHelp() { return pick("Tốc độ đọc", "Speed"); }

std::string accessibleName(const HUDModel& model, Translator::WriteMode currentMode) {
    switch (model.state.kind()) {
        case Kind::listening: return listeningTitle();
        case Kind::speaking: return pick("Đang đọc", "Reading aloud");
        default: return pillText(model, currentMode);
    }
}

std::string accessibleDescription(const HUDModel& model) {
    switch (model.state.kind()) {
        case Kind::error:
        case Kind::info: return model.state.message();
        case Kind::listening: {
            std::string out = model.text.empty() ? transcriptPlaceholder(model) : model.text;
            if (model.outputChip && !model.outputChip->empty()) out = *model.outputChip + " · " + out;
            return out;
        }
        case Kind::speaking: {
            std::string out = speedHelp() + " " + rateLabel(model.rate);
            if (model.paused) out = pick("Đã tạm dừng", "Paused") + " · " + out;
            return out;
        }
        default: return {};
    }
}

}  // namespace veska::HUDPresentation
