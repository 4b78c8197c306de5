// The whole vocabulary of user-defaults keys, with their defaults and typed readers.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/ai/TranslateLang.h"
#include "core/ai/WriteMode.h"
#include "ports/Preferences.h"

/// Readers return the documented default when a key is absent or holds another type. Keys
/// whose default belongs to another subsystem (read-aloud rate, automatic update, translation
/// target) are read as optionals and defaulted there.
namespace veska::UserDefaults {

inline constexpr char kSttProvider[] = "v2.sttProvider";
inline constexpr char kDictationOutput[] = "v2.dictationOutput";
inline constexpr char kDictationOutputLast[] = "v2.dictationOutputLast";
inline constexpr char kAutoFix[] = "v2.autoFix";
inline constexpr char kOpenedOnce[] = "v2.openedOnce";
inline constexpr char kLaunchLoginPrimed[] = "v2.launchLoginPrimed";
inline constexpr char kLocalCoreURL[] = "localCoreURL";
inline constexpr char kTtsVoice[] = "v2.ttsVoice";
inline constexpr char kTtsRate[] = "v2.ttsRate";
inline constexpr const char* kTranslateTargetAuto = kTranslateTargetAutoKey;
inline constexpr const char* kWriteMode = Translator::kWriteModeKey;
inline constexpr char kAutoUpdate[] = "v2.autoUpdate";
inline constexpr char kUpdateNotified[] = "v2.updateNotified";

/// The two speech sources.
inline constexpr char kClaudeWeb[] = "claude_web";
inline constexpr char kChatGPTWeb[] = "chatgpt_web";

/// "chatgpt_web" stays; anything else becomes "claude_web".
[[nodiscard]] std::string normalizeSttProvider(std::string_view value);

/// The speech source, normalised; "claude_web" when absent.
[[nodiscard]] std::string sttProvider(const ports::Preferences& prefs);

/// The stored dictation output code: nothing when absent, "" for "as spoken".
[[nodiscard]] std::optional<std::string> dictationOutputCode(const ports::Preferences& prefs);

/// The dictation output language: the stored code looked up with `TranslateLang::find`;
/// nothing (as spoken) when absent, empty or unknown.
[[nodiscard]] std::optional<TranslateLang> dictationOutput(const ports::Preferences& prefs);

/// The last non-empty dictation output code, restored by the output toggle.
[[nodiscard]] std::optional<std::string> dictationOutputLast(const ports::Preferences& prefs);

[[nodiscard]] bool autoFix(const ports::Preferences& prefs);
[[nodiscard]] bool openedOnce(const ports::Preferences& prefs);
[[nodiscard]] bool launchLoginPrimed(const ports::Preferences& prefs);
[[nodiscard]] std::optional<std::string> localCoreURL(const ports::Preferences& prefs);
[[nodiscard]] std::optional<std::string> ttsVoice(const ports::Preferences& prefs);
[[nodiscard]] std::optional<double> ttsRate(const ports::Preferences& prefs);
[[nodiscard]] std::optional<std::string> translateTargetAuto(const ports::Preferences& prefs);
[[nodiscard]] std::optional<bool> autoUpdate(const ports::Preferences& prefs);
[[nodiscard]] std::optional<std::string> updateNotified(const ports::Preferences& prefs);

}  // namespace veska::UserDefaults
