// What this version lacks says so: each such action leaves a message on the HUD, in the
// interface language, and reports no success.
#include <gtest/gtest.h>

#include "core/ui/AppStrings.h"
#include "main/app/Unbuilt.h"
#include "main/appsim/AppRecorders.h"
#include "platform/sim/SimSystemLanguages.h"
#include "runtime/VirtualLoop.h"

namespace veska::app {
namespace {

TEST(Unbuilt, EveryMissingActionTellsTheUserOnTheHUD) {
    rt::VirtualLoop loop;
    appsim::SimHUDPanel panel(loop.main());
    FloatingHUD hud(loop.main(), panel);
    UnbuiltSelectionActions actions(hud);
    UnbuiltWebLoginWindow web(hud);
    bool signedIn = false;
    web.onLoginSuccess = [&] { signedIn = true; };

    struct Row {
        const char* name;
        std::function<void()> act;
        const char* en;
        const char* vi;
    };
    const std::vector<Row> rows{
        {"read", [&] { actions.readSelection(); }, "Reading aloud", "Đọc to"},
        {"translate", [&] { actions.translateSelection(); }, "Translating the selection", "Dịch vùng chọn"},
        {"fix", [&] { actions.fixSelection(); }, "Fixing the selection", "Sửa vùng chọn"},
        {"service", [&] { actions.translateFromService("x"); }, "Translating the selection",
         "Dịch vùng chọn"},
        {"readText", [&] { actions.readText("x"); }, "Reading aloud", "Đọc to"},
        {"replace", [&] { actions.replaceWithTranslation(); }, "The translation card", "Thẻ dịch"},
        {"web", [&] { web.showLogin(true); }, "The sign-in window", "Cửa sổ đăng nhập"},
    };
    for (const char* locale : {"en", "vi"}) {
        AppStrings::setLocale(nlohmann::json{{"locale", locale}}, sim::SimSystemLanguages({"en-US"}));
        for (const Row& row : rows) {
            hud.show(HUDState(HUDState::Kind::idle));
            loop.runFor(1);
            row.act();
            const HUDState& shown = hud.model().state;
            EXPECT_EQ(shown.kind(), HUDState::Kind::info) << row.name;
            const std::string expected = std::string(locale) == "en"
                                             ? std::string(row.en) + " is not in this version of Veska"
                                             : std::string(row.vi) + " chưa có trong phiên bản Veska này";
            EXPECT_EQ(shown.message(), expected) << row.name;
        }
    }
    EXPECT_FALSE(signedIn);
    EXPECT_FALSE(actions.togglePause());
    AppStrings::setLocale(nlohmann::json{{"locale", "en"}}, sim::SimSystemLanguages({"en-US"}));
}

}  // namespace
}  // namespace veska::app
