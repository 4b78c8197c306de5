// Puts the process-wide interface strings back to their start-up state around each test.
#pragma once

#include <gtest/gtest.h>

#include "core/ui/AppStrings.h"
#include "platform/sim/SimSystemLanguages.h"

namespace veska::testing {

class AppStringsTest : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }

    static void useLocale(AppStrings::Locale locale) {
        sim::SimSystemLanguages system({});
        nlohmann::json prefs{{"locale", locale == AppStrings::Locale::en ? "en" : "vi"}};
        AppStrings::setLocale(prefs, system);
        ASSERT_EQ(AppStrings::locale(), locale);
    }

private:
    static void reset() {
        useLocale(AppStrings::Locale::vi);
        AppStrings::setServiceNames({});
        AppStrings::setTranslateEngineProvider({});
    }
};

}  // namespace veska::testing
