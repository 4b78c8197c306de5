// Whether a session can carry Veska, and what the user is told when it cannot.
#include <gtest/gtest.h>

#include "main/app/DisplayCheck.h"
#include "platform/sim/SimEnvironment.h"

namespace veska::app {
namespace {

TEST(DisplayCheck, EachMissingDisplaySaysWhy) {
    struct Row {
        std::map<std::string, std::string> variables;
        bool answers;
        std::optional<std::string> mentions;  // none: no problem
    };
    const std::vector<Row> rows{
        {{{"DISPLAY", ":0"}}, true, std::nullopt},
        {{{"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", "wayland-0"}}, true, std::nullopt},
        {{}, true, "DISPLAY is not set"},
        {{{"DISPLAY", ""}}, true, "DISPLAY is not set"},
        {{{"WAYLAND_DISPLAY", "wayland-0"}}, true, "Wayland session without X11"},
        {{{"DISPLAY", ":57"}}, false, "cannot open the X11 display \":57\""},
    };
    for (const Row& row : rows) {
        const sim::SimEnvironment env("/home/a", row.variables);
        std::vector<std::string> tried;
        const auto problem = displayProblem(env, [&](const std::string& name) {
            tried.push_back(name);
            return row.answers;
        });
        if (!row.mentions) {
            EXPECT_EQ(problem, std::nullopt);
            EXPECT_EQ(tried, std::vector<std::string>{row.variables.at("DISPLAY")});
            continue;
        }
        ASSERT_TRUE(problem.has_value());
        EXPECT_NE(problem->find(*row.mentions), std::string::npos) << *problem;
        EXPECT_TRUE(problem->starts_with("veska: ")) << *problem;
    }
}

}  // namespace
}  // namespace veska::app
