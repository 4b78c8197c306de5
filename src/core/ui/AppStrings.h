// The interface language and the user-facing messages that several places share.
#pragma once

#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "core/ai/AISource.h"
#include "core/ai/TranslateError.h"
#include "core/ai/TranslateLang.h"
#include "core/ai/WriteMode.h"
#include "ports/SystemLanguages.h"

/// Every message exists in Vietnamese and English; the text is chosen when the message is
/// built, from the one process-wide interface language. Messages used by a single place live
/// there and choose their text with `pick`.
namespace veska::AppStrings {

enum class Locale { vi, en };

/// The interface language; `vi` until `setLocale` says otherwise. Lock-free, any thread.
[[nodiscard]] Locale locale();

/// Sets the interface language from the local core's preferences (a JSON object, or nothing
/// when they could not be fetched): "locale" = "en" or "vi" decides; otherwise English when the
/// system's first preferred language begins with "en", Vietnamese in every other case.
void setLocale(const std::optional<nlohmann::json>& prefs, const ports::SystemLanguages& system);

/// `en` when the interface language is English, `vi` otherwise.
[[nodiscard]] std::string pick(std::string_view vi, std::string_view en);

/// Names of outside services that appear inside messages. Configuration: installed once at
/// start-up from the service configuration; the defaults name the real services.
struct ServiceNames {
    std::string claudeDisplayName = "claude.ai";  ///< the Claude web service
    std::string xaiDomain = "x.ai";               ///< shown as "Grok (x.ai)"

    bool operator==(const ServiceNames&) const = default;
};

void setServiceNames(ServiceNames names);
[[nodiscard]] ServiceNames serviceNames();

/// What the translation engine line needs from the AI configuration.
struct TranslateEngineConfig {
    AISource source = AISource::grok;              ///< the source chosen for translation
    std::string deepseekModel = "deepseek-flash";  ///< the configured DeepSeek model
};

/// Asked every time an engine line is built, so a configuration change shows at once.
using TranslateEngineProvider = std::function<TranslateEngineConfig()>;

/// Installs the provider (normally: read the AI configuration). An empty function, a provider
/// that throws, or none installed gives the defaults of `TranslateEngineConfig`.
void setTranslateEngineProvider(TranslateEngineProvider provider);

/// The source's name inside messages: "Grok (x.ai)", "Gemini API", "DeepSeek API", "ChatGPT".
[[nodiscard]] std::string sourceName(AISource source);

/// The source's name in the engine line: as in messages, except "DeepSeek API · <model>" and
/// "ChatGPT (web)".
[[nodiscard]] std::string engineLineName(AISource source, std::string_view deepseekModel);

/// The engine-line name of the source configured for translation, asked of the provider now.
[[nodiscard]] std::string translateEngineName();

/// The one-line message of a failed translation, rewrite or fix.
[[nodiscard]] std::string translateMessage(const TranslateError& error);
/// Same, for whatever was thrown: anything that is not a TranslateError (a cancelled request
/// included) gives the message of `failed`.
[[nodiscard]] std::string translateMessage(const std::exception_ptr& error);

[[nodiscard]] std::string menuTooltipUpdate(std::string_view version);
[[nodiscard]] std::string menuTooltipNeedsSetup(int missing);
/// `provider`: the speech source, "chatgpt_web" or anything else for the Claude web service.
[[nodiscard]] std::string menuTooltipSignIn(std::string_view provider);
/// The status item's tooltip when nothing needs the user's attention.
[[nodiscard]] std::string menuTooltipDefault();
/// The settings dashboard window's title.
[[nodiscard]] std::string dashboardTitle();
/// The HUD message when a ChatGPT access token could not be handed to the local core.
[[nodiscard]] std::string saveTokenFailed();
/// The ChatGPT sign-in window: its note on the session, its help once polling gave up, and its
/// cancel button.
[[nodiscard]] std::string chatgptLoginNote();
[[nodiscard]] std::string chatgptLoginHelp();
[[nodiscard]] std::string cancelButton();
[[nodiscard]] std::string modeName(Translator::WriteMode mode);
[[nodiscard]] std::string permsProgress(int done, int total);
[[nodiscard]] std::string permsSummary(int missing);

/// The language's name in the interface language, from ICU's display names ("Tiếng Pháp",
/// "French"); its English name when ICU has none. The first character is upper-cased.
[[nodiscard]] std::string languageName(const TranslateLang& lang);

/// The engine line of the translation card for the source configured for translation.
[[nodiscard]] std::string translateEngine();
/// The engine line after a measured answer: source, model and seconds with one decimal (a
/// decimal comma in Vietnamese). Without a model, the same as `translateEngine()`.
[[nodiscard]] std::string translateEngine(AISource source, std::optional<std::string_view> model,
                                          double seconds);

[[nodiscard]] std::string voiceSample(std::string_view name);
[[nodiscard]] std::string updateNoticeTitle(std::string_view version);
/// First line of the popover's status section.
[[nodiscard]] std::string statusLine(bool sttReady, std::string_view provider,
                                     std::optional<std::string_view> email, int missingPerms);
[[nodiscard]] std::string popoverFooter(std::string_view version);
[[nodiscard]] std::string updateAvailable(std::string_view version);
[[nodiscard]] std::string hudInsertedInto(std::string_view app);
[[nodiscard]] std::string popoverReadDetail(std::string_view voice);
[[nodiscard]] std::string popoverTranslateDetail();
/// `currentMode`: the current writing mode (`Translator::current`).
[[nodiscard]] std::string hudFixing(Translator::WriteMode currentMode);
/// `fraction` of the download done (0…1); no fraction, or none above 0, gives the text
/// without a percentage.
[[nodiscard]] std::string updateDownloading(std::optional<double> fraction);

/// Labels of the status item's menu entries.
[[nodiscard]] std::string menuStop();
[[nodiscard]] std::string menuSettings();
[[nodiscard]] std::string menuPermissions();
[[nodiscard]] std::string menuSignInChatGPT();
[[nodiscard]] std::string menuOpenAtLogin();
[[nodiscard]] std::string menuQuit();

}  // namespace veska::AppStrings
