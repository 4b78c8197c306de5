// The real process environment: variables and the home directory fallbacks.
#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/linux/ProcessEnvironment.h"

namespace veska::platform {
namespace {

// Restores one environment variable when the test ends.
class SavedVariable {
public:
    explicit SavedVariable(const char* name) : name_(name) {
        if (const char* value = std::getenv(name)) saved_ = value;
    }
    ~SavedVariable() {
        if (saved_)
            ::setenv(name_, saved_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> saved_;
};

TEST(ProcessEnvironment, VariablesDistinguishUnsetFromEmpty) {
    SavedVariable saved("VESKA_TEST_VARIABLE");
    ProcessEnvironment env;
    ::unsetenv("VESKA_TEST_VARIABLE");
    EXPECT_EQ(env.variable("VESKA_TEST_VARIABLE"), std::nullopt);
    ::setenv("VESKA_TEST_VARIABLE", "", 1);
    EXPECT_EQ(env.variable("VESKA_TEST_VARIABLE"), "");
    ::setenv("VESKA_TEST_VARIABLE", "Tiếng Việt", 1);
    EXPECT_EQ(env.variable("VESKA_TEST_VARIABLE"), "Tiếng Việt");
}

TEST(ProcessEnvironment, HomeFromHOMEWithoutTrailingSlashElseThePasswordDatabase) {
    SavedVariable saved("HOME");
    ProcessEnvironment env;
    ::setenv("HOME", "/tmp/some-home//", 1);
    EXPECT_EQ(env.homeDirectory(), "/tmp/some-home");
    ::setenv("HOME", "/", 1);
    EXPECT_EQ(env.homeDirectory(), "");

    const passwd* entry = ::getpwuid(::getuid());
    ASSERT_NE(entry, nullptr);
    std::string expected = entry->pw_dir;
    while (!expected.empty() && expected.back() == '/') expected.pop_back();
    ::setenv("HOME", "", 1);
    EXPECT_EQ(env.homeDirectory(), expected);
    ::unsetenv("HOME");
    EXPECT_EQ(env.homeDirectory(), expected);
}

}  // namespace
}  // namespace veska::platform
