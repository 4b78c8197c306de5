// Launch at login as an XDG autostart entry, in a private configuration directory.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/linux/autostart/XdgAutostartLoginItem.h"
#include "platform/sim/SimEnvironment.h"
#include "support/TempDir.h"

namespace veska::platform {
namespace {

using ports::LoginItemStatus;

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct XdgAutostartTest : ::testing::Test {
    testing::TempDir dir;
    sim::SimEnvironment env{(dir.path() / "home").string()};
    XdgAutostartLoginItem item{env, "/opt/Veska.app/Contents/MacOS/veska"};
};

TEST_F(XdgAutostartTest, RegisterWritesTheEntryAndUnregisterRemovesIt) {
    const auto path = dir.path() / "home/.config/autostart/veska.desktop";
    EXPECT_EQ(item.entryPath(), path);
    EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);
    item.registerItem();
    EXPECT_EQ(item.status(), LoginItemStatus::enabled);
    const std::string text = readFile(path);
    EXPECT_TRUE(text.starts_with("[Desktop Entry]\n")) << text;
    EXPECT_NE(text.find("\nType=Application\n"), std::string::npos);
    EXPECT_NE(text.find("\nExec=\"/opt/Veska.app/Contents/MacOS/veska\"\n"), std::string::npos) << text;
    // Registering again keeps one entry; unregistering twice is no error.
    item.registerItem();
    EXPECT_EQ(item.status(), LoginItemStatus::enabled);
    item.unregisterItem();
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);
    EXPECT_NO_THROW(item.unregisterItem());
}

TEST_F(XdgAutostartTest, TheConfigHomeVariableWhenAbsolute) {
    struct Row {
        std::optional<std::string> configHome;
        std::filesystem::path expected;
    };
    const std::vector<Row> rows{
        {std::nullopt, dir.path() / "home/.config/autostart/veska.desktop"},
        {"", dir.path() / "home/.config/autostart/veska.desktop"},
        {"relative/config", dir.path() / "home/.config/autostart/veska.desktop"},
        {(dir.path() / "xdg").string(), dir.path() / "xdg/autostart/veska.desktop"},
    };
    for (const Row& row : rows) {
        sim::SimEnvironment rowEnv{(dir.path() / "home").string()};
        if (row.configHome) rowEnv.setVariable("XDG_CONFIG_HOME", *row.configHome);
        XdgAutostartLoginItem rowItem(rowEnv, "/usr/bin/veska");
        EXPECT_EQ(rowItem.entryPath(), row.expected) << row.configHome.value_or("(unset)");
    }
}

TEST_F(XdgAutostartTest, AnEntryTheDesktopSwitchedOffIsNotRegisteredAndRegisteringRestoresIt) {
    struct Row {
        const char* text;
        bool enabled;
    };
    const std::vector<Row> rows{
        {"[Desktop Entry]\nType=Application\nExec=veska\n", true},
        {"# comment\n\n[Desktop Entry]\nExec=veska\nHidden=false\n", true},
        {"[Desktop Entry]\nExec=veska\nHidden=true\n", false},
        {"[Desktop Entry]\nExec=veska\nHidden = true\n", false},
        {"[Desktop Entry]\nExec=veska\nX-GNOME-Autostart-enabled=false\n", false},
        // Keys of other groups do not count.
        {"[Desktop Entry]\nExec=veska\n[Desktop Action quit]\nHidden=true\n", true},
        {"[Something Else]\nExec=veska\n", false},
        {"", false},
        {"\x01\x02 not a desktop file", false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(XdgAutostartLoginItem::entryEnabled(row.text), row.enabled) << row.text;
        dir.write("home/.config/autostart/veska.desktop", row.text);
        EXPECT_EQ(item.status(), row.enabled ? LoginItemStatus::enabled : LoginItemStatus::notRegistered);
    }
    item.registerItem();
    EXPECT_EQ(item.status(), LoginItemStatus::enabled);
}

TEST(XdgAutostart, ExecPathsAreQuotedAndEscaped) {
    struct Row {
        const char* path;
        const char* exec;
    };
    const std::vector<Row> rows{
        {"/usr/bin/veska", R"("/usr/bin/veska")"},
        {"/home/an/My Apps/veska", R"("/home/an/My Apps/veska")"},
        {"/opt/a\"b/veska", R"("/opt/a\\"b/veska")"},
        {"/opt/$HOME/veska", R"("/opt/\\$HOME/veska")"},
        {"/opt/`x`/veska", R"("/opt/\\`x\\`/veska")"},
        {"/opt/a\\b/veska", R"("/opt/a\\\\b/veska")"},
        {"/opt/100%/veska", R"("/opt/100%%/veska")"},
    };
    for (const Row& row : rows) EXPECT_EQ(XdgAutostartLoginItem::quoteExec(row.path), row.exec) << row.path;
}

TEST_F(XdgAutostartTest, FailuresSayWhatAndWhere) {
    // The autostart folder is a file: the entry cannot be written.
    dir.write("home/.config/autostart", "not a folder");
    try {
        item.registerItem();
        FAIL() << "registered into a file";
    } catch (const ports::LoginItemError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find((dir.path() / "home/.config/autostart").string()), std::string::npos)
            << message;
        EXPECT_NE(message.find(": "), std::string::npos) << message;
    }
    EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);

    // The entry is a folder with something in it: it cannot be removed.
    std::filesystem::remove(dir.path() / "home/.config/autostart");
    dir.write("home/.config/autostart/veska.desktop/inside", "x");
    EXPECT_THROW(item.unregisterItem(), ports::LoginItemError);
}

}  // namespace
}  // namespace veska::platform
