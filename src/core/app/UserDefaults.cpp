// Typed readers of the user defaults.
#include "core/app/UserDefaults.h"

namespace veska::UserDefaults {

std::string normalizeSttProvider(std::string_view value) {
    return value == kChatGPTWeb ? kChatGPTWeb : kClaudeWeb;
}

std::string sttProvider(const ports::Preferences& prefs) {
    return normalizeSttProvider(prefs.string(kSttProvider).value_or(kClaudeWeb));
}

std::optional<std::string> dictationOutputCode(const ports::Preferences& prefs) {
    return prefs.string(kDictationOutput);
}

std::optional<TranslateLang> dictationOutput(const ports::Preferences& prefs) {
    return TranslateLang::find(prefs.string(kDictationOutput));
}

std::optional<std::string> dictationOutputLast(const ports::Preferences& prefs) {
    return prefs.string(kDictationOutputLast);
}

bool autoFix(const ports::Preferences& prefs) {
    return prefs.boolean(kAutoFix).value_or(false);
}

bool openedOnce(const ports::Preferences& prefs) {
    return prefs.boolean(kOpenedOnce).value_or(false);
}

bool launchLoginPrimed(const ports::Preferences& prefs) {
    return prefs.boolean(kLaunchLoginPrimed).value_or(false);
}

std::optional<std::string> localCoreURL(const ports::Preferences& prefs) {
    return prefs.string(kLocalCoreURL);
}

std::optional<std::string> ttsVoice(const ports::Preferences& prefs) {
    return prefs.string(kTtsVoice);
}

std::optional<double> ttsRate(const ports::Preferences& prefs) {
    return prefs.number(kTtsRate);
}

std::optional<std::string> translateTargetAuto(const ports::Preferences& prefs) {
    return prefs.string(kTranslateTargetAuto);
}

std::optional<bool> autoUpdate(const ports::Preferences& prefs) {
    return prefs.boolean(kAutoUpdate);
}

std::optional<std::string> updateNotified(const ports::Preferences& prefs) {
    return prefs.string(kUpdateNotified);
}

}  // namespace veska::UserDefaults
