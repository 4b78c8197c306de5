// The parts of Veska this version does not have yet: each tells the user so when asked for,
// and none pretends to have done anything.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "core/app/AppCollaborators.h"
#include "core/ui/FloatingHUD.h"

namespace veska::app {

/// "<feature> is not in this version of Veska", in the interface language.
[[nodiscard]] std::string notInThisVersion(std::string_view viFeature, std::string_view enFeature);

/// Translating, fixing and reading the selection, and the translation card's buttons. Every
/// user action shows on the HUD that the feature is missing; cancelling does nothing, since
/// nothing of theirs ever runs.
class UnbuiltSelectionActions final : public SelectionActions {
public:
    explicit UnbuiltSelectionActions(FloatingHUD& hud) : hud_(hud) {}
    void readSelection() override;
    void translateSelection() override;
    void fixSelection() override;
    void stopReading() override {}
    void cycleReadingRate() override;
    bool togglePause() override { return false; }
    void listenOriginal() override;
    void listenTranslation() override;
    void replaceWithTranslation() override;
    void signInForTranslation() override;
    void showTranslateTargetMenu() override;
    void cancelTranslation() override {}
    void translateFromService(const std::string& text) override;
    void readText(const std::string& text) override;

private:
    void tell(std::string_view viFeature, std::string_view enFeature);
    FloatingHUD& hud_;
};

/// The translation card never opens in this version.
class AbsentTranslationCard final : public TranslationCardWindow {
public:
    [[nodiscard]] bool isVisible() const override { return false; }
    void close() override {}
};

/// No self-update in this version: no notices, no checks, never an update.
class AbsentUpdater final : public UpdaterHooks {
public:
    bool canNotify() override { return false; }
    void registerNotificationCategories() override {}
    void startChecking() override {}
    bool updateAvailable() override { return false; }
    std::optional<std::string> availableVersion() override { return std::nullopt; }
    /// Never offered: no update is ever waiting.
    void install() override {}
};

/// A web sign-in window (Claude or Grok): opening it says it is missing.
class UnbuiltWebLoginWindow final : public WebLoginWindow {
public:
    explicit UnbuiltWebLoginWindow(FloatingHUD& hud) : hud_(hud) {}
    void showLogin(bool forceRelogin) override;

private:
    FloatingHUD& hud_;
};

}  // namespace veska::app
