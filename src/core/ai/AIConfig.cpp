// Reading the AI configuration: "ai" of v2.json for sources and models, v2.env for the keys.
#include "core/ai/AIConfig.h"

#include <nlohmann/json.hpp>

#include "core/ai/ConfigFiles.h"
#include "text/Characters.h"
#include "text/Utf.h"
#include "text/WhiteSpace.h"

namespace veska {

namespace {

constexpr std::string_view kGeminiKeyName = "GEMINI_API_KEY";
constexpr std::string_view kDeepseekKeyName = "DEEPSEEK_API_KEY";

std::optional<AISource> sourceAt(const nlohmann::json& ai, const char* key) {
    auto it = ai.find(key);
    if (it == ai.end() || !it->is_string()) return std::nullopt;
    return aiSourceFromRaw(it->get_ref<const std::string&>());
}

// "models" of the "gemini" object, only when it is a list of strings throughout.
std::vector<std::string> geminiModelsIn(const nlohmann::json& ai) {
    auto gemini = ai.find("gemini");
    if (gemini == ai.end() || !gemini->is_object()) return {};
    auto models = gemini->find("models");
    if (models == gemini->end() || !models->is_array()) return {};
    std::vector<std::string> out;
    for (const auto& model : *models) {
        if (!model.is_string()) return {};
        out.push_back(model.get<std::string>());
    }
    return out;
}

std::string deepseekModelIn(const nlohmann::json& ai) {
    auto deepseek = ai.find("deepseek");
    if (deepseek == ai.end() || !deepseek->is_object()) return std::string(AIConfig::kDefaultDeepseekModel);
    auto model = deepseek->find("model");
    if (model == deepseek->end() || !model->is_string() || model->get_ref<const std::string&>().empty()) {
        return std::string(AIConfig::kDefaultDeepseekModel);
    }
    return model->get<std::string>();
}

void readSources(AIConfig& config, const std::optional<std::string>& v2Json) {
    if (!v2Json) return;
    auto root = nlohmann::json::parse(*v2Json, nullptr, /*allow_exceptions=*/false);
    if (!root.is_object()) return;
    auto ai = root.find("ai");
    if (ai == root.end() || !ai->is_object()) return;
    config.translate = sourceAt(*ai, "translate").value_or(AISource::grok);
    config.write = sourceAt(*ai, "write").value_or(AISource::grok);
    config.fix = sourceAt(*ai, "fix").value_or(config.write);
    config.geminiModels = geminiModelsIn(*ai);
    config.deepseekModel = deepseekModelIn(*ai);
}

// Byte length of the line break starting at `at`, 0 when there is none: LF, CR, VT, FF, NEL,
// LINE SEPARATOR, PARAGRAPH SEPARATOR.
std::size_t breakLength(std::string_view text, std::size_t at) {
    const auto c = static_cast<unsigned char>(text[at]);
    if (c == '\n' || c == '\r' || c == '\v' || c == '\f') return 1;
    std::string_view rest = text.substr(at);
    if (rest.starts_with("\xC2\x85")) return 2;
    if (rest.starts_with("\xE2\x80\xA8") || rest.starts_with("\xE2\x80\xA9")) return 3;
    return 0;
}

std::vector<std::string_view> envLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t length = breakLength(text, at);
        if (length == 0) {
            ++at;
            continue;
        }
        if (at > start) lines.push_back(text.substr(start, at - start));
        at += length;
        start = at;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// Without one pair of matching quotes around it, when the value is at least two characters.
std::string_view unquoted(std::string_view value) {
    std::vector<std::size_t> bounds = text::characterBounds(value);
    if (bounds.size() < 3) return value;
    std::string_view first = value.substr(0, bounds[1]);
    std::string_view last = value.substr(bounds[bounds.size() - 2]);
    if (first != last || (first != "\"" && first != "'")) return value;
    return value.substr(1, value.size() - 2);
}

void readKeys(AIConfig& config, const std::optional<std::string>& v2Env) {
    if (!v2Env || !text::isValidUtf8(*v2Env)) return;
    for (std::string_view line : envLines(*v2Env)) {
        line = text::trimmedBlanks(line);
        if (line.starts_with('#')) continue;
        auto equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        std::string_view key = text::trimmedBlanks(line.substr(0, equals));
        std::string_view value = unquoted(text::trimmedBlanks(line.substr(equals + 1)));
        if (key == kGeminiKeyName) config.geminiKey = std::string(value);
        if (key == kDeepseekKeyName) config.deepseekKey = std::string(value);
    }
}

}  // namespace

AIConfig AIConfig::parse(const std::optional<std::string>& v2Json, const std::optional<std::string>& v2Env) {
    AIConfig config;
    readSources(config, v2Json);
    readKeys(config, v2Env);
    return config;
}

AIConfig AIConfig::load(const ports::Environment& env) {
    const std::string directory = dir(env);
    return parse(ConfigFiles::readText(directory + "/v2.json"), ConfigFiles::readText(directory + "/v2.env"));
}

std::string AIConfig::dir(const ports::Environment& env) {
    return ConfigFiles::configDirectory(env);
}

AISource AIConfig::source(AITask task) const {
    switch (task) {
        case AITask::translate:
            return translate;
        case AITask::write:
            return write;
        case AITask::fix:
            return fix;
    }
    return translate;
}

}  // namespace veska
