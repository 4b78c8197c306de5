// Reading the "app" member of a scenario: Veska's settings and its simulated services.
#include <algorithm>
#include <array>

#include "main/scenario/ParseParts.h"

namespace veska::scenario::parse {

namespace {

constexpr std::array<std::string_view, 4> kVoiceErrors = {"needLogin", "noMic", "connect", "server"};
constexpr std::array<std::string_view, 8> kTranslateErrors = {"noKey",     "badKey",      "apiFailed", "needLogin",
                                                              "signedOut", "unreachable", "tooLong",   "failed"};
constexpr std::size_t kMaxTextBytes = 100'000;

template <std::size_t N>
std::string choice(const JsonNode& node, const std::array<std::string_view, N>& allowed, std::string_view what) {
    std::string value = node.string();
    if (std::find(allowed.begin(), allowed.end(), value) == allowed.end()) node.fail(what);
    return value;
}

std::string boundedText(const JsonNode& node) {
    std::string value = node.string();
    if (value.size() > kMaxTextBytes) node.fail("is longer than 100000 bytes");
    return value;
}

AIAnswer answer(const JsonNode& node) {
    node.allowOnly({"text", "error", "seconds"});
    AIAnswer out;
    if (auto text = node.find("text")) out.text = boundedText(*text);
    if (auto error = node.find("error")) {
        out.error = choice(*error, kTranslateErrors,
                           "is a failure of AI text (noKey, badKey, apiFailed, needLogin, signedOut, unreachable, "
                           "tooLong, failed)");
    }
    out.seconds = node.seconds("seconds", 3600, 0.4);
    return out;
}

}  // namespace

bool isVoiceError(const std::string& name) {
    return std::find(kVoiceErrors.begin(), kVoiceErrors.end(), name) != kVoiceErrors.end();
}

AppSpec appSpec(const JsonNode& node) {
    node.allowOnly({"provider", "locale", "prefs", "transcript", "transcribeError", "transcribeSeconds", "ai",
                    "claudeSignedIn", "claudeAccount", "micFailure", "finishFailure", "finishSeconds"});
    AppSpec out;
    if (auto provider = node.find("provider")) {
        out.provider = choice(*provider, std::array<std::string_view, 2>{"claude_web", "chatgpt_web"},
                              "is \"claude_web\" or \"chatgpt_web\"");
    }
    if (auto locale = node.find("locale")) {
        out.locale = choice(*locale, std::array<std::string_view, 2>{"en", "vi"}, "is \"en\" or \"vi\"");
    }
    if (auto prefs = node.find("prefs")) {
        if (!prefs->isObject()) prefs->fail("must be an object of user defaults");
        for (const auto& [key, value] : prefs->json().items()) {
            if (!value.is_string() && !value.is_boolean() && !value.is_number()) {
                prefs->at(key).fail("must be a string, a boolean or a number");
            }
        }
        out.prefs = prefs->json();
    }
    if (auto transcript = node.find("transcript")) out.transcript = boundedText(*transcript);
    if (auto error = node.find("transcribeError")) out.transcribeError = boundedText(*error);
    out.transcribeSeconds = node.seconds("transcribeSeconds", 3600, 0.5);
    if (auto ai = node.find("ai")) {
        ai->allowOnly({"fix", "translate", "write"});
        for (std::string_view task : {"fix", "translate", "write"}) {
            if (auto reply = ai->find(task)) out.ai.emplace_back(std::string(task), answer(*reply));
        }
    }
    out.claudeSignedIn = node.boolean("claudeSignedIn", true);
    if (auto account = node.find("claudeAccount")) {
        out.claudeAccount = choice(*account, std::array<std::string_view, 3>{"signedIn", "signedOut", "unknown"},
                                   "is \"signedIn\", \"signedOut\" or \"unknown\"");
    }
    if (auto mic = node.find("micFailure")) out.micFailure = choice(*mic, kVoiceErrors, "is a voice failure");
    if (auto finish = node.find("finishFailure")) {
        out.finishFailure = choice(*finish, kVoiceErrors, "is a voice failure (needLogin, noMic, connect, server)");
    }
    out.finishSeconds = node.seconds("finishSeconds", 3600, 0.3);
    return out;
}

}  // namespace veska::scenario::parse
