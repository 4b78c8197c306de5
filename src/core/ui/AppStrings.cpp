// The interface language, the configured service names and the names of AI sources.
#include "core/ui/AppStrings.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <utility>

#include <unicode/locdspnm.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace veska::AppStrings {

namespace {

std::atomic<Locale> gLocale{Locale::vi};
static_assert(std::atomic<Locale>::is_always_lock_free);

// Service names and the engine provider change once at start-up; a mutex keeps the rare
// concurrent reader safe. The locale above is the only value read on hot paths.
struct Configured {
    std::mutex mutex;
    ServiceNames names;
    TranslateEngineProvider provider;
};

Configured& configured() {
    static Configured instance;
    return instance;
}

TranslateEngineConfig currentEngineConfig() {
    TranslateEngineProvider provider;
    {
        std::lock_guard lock(configured().mutex);
        provider = configured().provider;
    }
    if (!provider) return {};
    try {
        return provider();
    } catch (...) {
        return {};
    }
}

bool beginsWithEn(const std::string& tag) {
    return tag.rfind("en", 0) == 0;
}

// The first character upper-cased with the full case mapping of the display language.
std::string capitalizeFirst(const icu::UnicodeString& name, const icu::Locale& display) {
    std::string result;
    if (name.isEmpty()) return result;
    int32_t firstLength = U16_LENGTH(name.char32At(0));
    icu::UnicodeString first = name.tempSubString(0, firstLength);
    first.toUpper(display);
    first.append(name.tempSubString(firstLength));
    first.toUTF8String(result);
    return result;
}

}  // namespace

Locale locale() {
    return gLocale.load(std::memory_order_acquire);
}

void setLocale(const std::optional<nlohmann::json>& prefs, const ports::SystemLanguages& system) {
    if (prefs && prefs->is_object()) {
        auto it = prefs->find("locale");
        if (it != prefs->end() && it->is_string()) {
            const auto& chosen = it->get_ref<const std::string&>();
            if (chosen == "en" || chosen == "vi") {
                gLocale.store(chosen == "en" ? Locale::en : Locale::vi, std::memory_order_release);
                return;
            }
        }
    }
    auto languages = system.preferredLanguages();
    bool english = !languages.empty() && beginsWithEn(languages.front());
    gLocale.store(english ? Locale::en : Locale::vi, std::memory_order_release);
}

std::string pick(std::string_view vi, std::string_view en) {
    return std::string(locale() == Locale::en ? en : vi);
}

void setServiceNames(ServiceNames names) {
    std::lock_guard lock(configured().mutex);
    configured().names = std::move(names);
}

ServiceNames serviceNames() {
    std::lock_guard lock(configured().mutex);
    return configured().names;
}

void setTranslateEngineProvider(TranslateEngineProvider provider) {
    std::lock_guard lock(configured().mutex);
    configured().provider = std::move(provider);
}

std::string sourceName(AISource source) {
    switch (source) {
        case AISource::grok:
            return "Grok (" + serviceNames().xaiDomain + ")";
        case AISource::gemini:
            return "Gemini API";
        case AISource::deepseek:
            return "DeepSeek API";
        case AISource::chatgpt:
            return "ChatGPT";
    }
    return "Grok (" + serviceNames().xaiDomain + ")";
}

std::string engineLineName(AISource source, std::string_view deepseekModel) {
    switch (source) {
        case AISource::deepseek:
            return "DeepSeek API · " + std::string(deepseekModel);
        case AISource::chatgpt:
            return "ChatGPT (web)";
        case AISource::grok:
        case AISource::gemini:
            return sourceName(source);
    }
    return sourceName(source);
}

std::string translateEngineName() {
    TranslateEngineConfig config = currentEngineConfig();
    return engineLineName(config.source, config.deepseekModel);
}

std::string translateEngine() {
    std::string engine = translateEngineName();
    return pick("dịch bằng AI · " + engine, "AI · " + engine);
}

std::string languageName(const TranslateLang& lang) {
    icu::Locale display(locale() == Locale::en ? "en" : "vi");
    UDisplayContext contexts[] = {UDISPCTX_NO_SUBSTITUTE};
    std::unique_ptr<icu::LocaleDisplayNames> names(
        icu::LocaleDisplayNames::createInstance(display, contexts, 1));
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale language = icu::Locale::forLanguageTag(lang.code, status);
    icu::UnicodeString name;
    if (names && U_SUCCESS(status) && !lang.code.empty()) names->localeDisplayName(language, name);
    if (name.isBogus() || name.isEmpty()) name = icu::UnicodeString::fromUTF8(lang.english);
    return capitalizeFirst(name, display);
}

}  // namespace veska::AppStrings
