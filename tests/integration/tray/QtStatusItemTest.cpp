// The tray icon in Debian's trayer: it appears once a host exists, draws its symbol and the
// setup badge, shows its tooltip, and its menu's entries and left click reach the app.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>

#include "core/ui/DesignTokens.h"
#include "integration/hud/X11TestDesktop.h"
#include "platform/linux/tray/QtStatusItem.h"

namespace veska::testing {
namespace {

// Fontconfig keeps a cache for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

class QtStatusItemTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!desktop().missing().empty()) GTEST_SKIP() << desktop().missing();
        if (!programExists("trayer")) GTEST_SKIP() << "trayer is not installed (scripts/setup installs it)";
    }
    static X11TestDesktop& desktop() {
        return X11TestDesktop::get({.sessionBus = true, .workArea = std::nullopt});
    }

    [[nodiscard]] static bool hostRuns() {
        return XGetSelectionOwner(desktop().user(), desktop().atom("_NET_SYSTEM_TRAY_S0")) != None;
    }
    /// Starts the tray host once for the process.
    static void startHost() {
        if (hostRuns()) return;
        desktop().start({"trayer", "--edge", "top", "--align", "left", "--widthtype", "pixel", "--width",
                         "200", "--height", "32", "--SetDockType", "false", "--SetPartialStrut", "false",
                         "--expand", "false"});
        spinUntil([] { return hostRuns(); });
    }
    /// The icon embedded in the host, or nothing.
    static bool embedded(platform::QtStatusItem& item) { return !item.trayIcon().geometry().isEmpty(); }
    /// Where the icon sits once the host has laid out its icons (an icon of an earlier test
    /// leaving moves it).
    static QRect settledPlace(platform::QtStatusItem& item) {
        QRect last;
        int unchanged = 0;
        spinUntil([&] {
            const QRect now = item.trayIcon().geometry();
            unchanged = !now.isEmpty() && now == last ? unchanged + 1 : 0;
            last = now;
            spin(0.05);
            return unchanged >= 4;
        });
        return last;
    }

    static QImage onScreen(platform::QtStatusItem& item) {
        const QRect place = settledPlace(item);
        spin(0.1);
        return desktop().grab(place.x(), place.y(), place.width(), place.height());
    }
};

int count(const QImage& image, const QRect& region, bool (*test)(QRgb)) {
    int n = 0;
    const QRect inside = region.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) n += test(image.pixel(x, y)) ? 1 : 0;
    }
    return n;
}

bool dark(QRgb pixel) {
    return qGray(pixel) < 90;
}
bool badgeOrange(QRgb pixel) {
    return std::abs(qRed(pixel) - 255) < 30 && std::abs(qGreen(pixel) - 149) < 40 && qBlue(pixel) < 60;
}

TEST_F(QtStatusItemTest, AppearsWhenATrayHostStartsAfterIt) {
    platform::QtStatusItem item;
    item.show();
    if (!hostRuns()) {
        spin(0.3);
        EXPECT_FALSE(embedded(item));
    }
    startHost();
    ASSERT_TRUE(hostRuns());
    EXPECT_TRUE(spinUntil([&] { return embedded(item); }));
}

TEST_F(QtStatusItemTest, ComesBackWhenTheTrayHostRestarts) {
    startHost();
    platform::QtStatusItem item;
    item.show();
    ASSERT_TRUE(spinUntil([&] { return embedded(item); }));
    desktop().killLast();
    ASSERT_TRUE(spinUntil([] { return !hostRuns(); }));
    startHost();
    ASSERT_TRUE(hostRuns());
    ASSERT_TRUE(spinUntil([&] { return embedded(item); }));
    // Drawn in the new host, not just placed there.
    const QImage shown = onScreen(item);
    EXPECT_GE(count(shown, shown.rect(), dark), 15);
}

TEST_F(QtStatusItemTest, DrawsTheSymbolAndTheSetupBadge) {
    startHost();
    platform::QtStatusItem item;
    item.show();
    ASSERT_TRUE(spinUntil([&] { return embedded(item); }));
    struct Row {
        const char* symbol;
        bool badge;
        bool symbolDrawn;
    };
    const Row rows[] = {{"waveform", false, true},
                        {"mic.fill", true, true},
                        {"no.such.symbol", true, false},
                        {"checkmark.circle.fill", false, true},
                        {"no.such.symbol", false, false}};
    for (const Row& row : rows) {
        const bool exists = item.hasSymbol(row.symbol);
        EXPECT_EQ(exists, row.symbolDrawn) << row.symbol;
        item.setImage(row.symbol, DesignTokens::statusBarImage(exists, row.badge));
        const QImage shown = onScreen(item);
        ASSERT_FALSE(shown.isNull());
        const QRect all = shown.rect();
        const QRect lowerRight(all.width() / 2, all.height() / 2, all.width() / 2, all.height() / 2);
        const QRect upperLeft(0, 0, all.width() / 2, all.height() / 2);
        EXPECT_EQ(count(shown, upperLeft, badgeOrange), 0) << row.symbol;
        if (row.badge) {
            EXPECT_GE(count(shown, lowerRight, badgeOrange), 10) << row.symbol;
        } else {
            EXPECT_EQ(count(shown, all, badgeOrange), 0) << row.symbol;
        }
        if (row.symbolDrawn) {
            EXPECT_GE(count(shown, all, dark), 15) << row.symbol;
        } else {
            EXPECT_EQ(count(shown, all, dark), 0) << row.symbol;
        }
    }
}

TEST_F(QtStatusItemTest, TheSameImageAgainLeavesTheIconAlone) {
    // The status refresh sets the image every few seconds: only a change may reach the X server.
    platform::QtStatusItem item;
    item.setImage("mic.fill", DesignTokens::statusBarImage(true, true));
    const qint64 drawn = item.trayIcon().icon().cacheKey();
    item.setImage("mic.fill", DesignTokens::statusBarImage(true, true));
    EXPECT_EQ(item.trayIcon().icon().cacheKey(), drawn);
    item.setImage("mic.fill", DesignTokens::statusBarImage(true, false));
    EXPECT_NE(item.trayIcon().icon().cacheKey(), drawn);
    const qint64 unbadged = item.trayIcon().icon().cacheKey();
    item.setImage("waveform", DesignTokens::statusBarImage(true, false));
    EXPECT_NE(item.trayIcon().icon().cacheKey(), unbadged);
}

/// The tooltip label Qt shows, once it is on screen.
QString visibleToolTip() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->inherits("QTipLabel")) {
            if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
        }
    }
    return {};
}

TEST_F(QtStatusItemTest, HoverShowsTheToolTipAndItsChanges) {
    startHost();
    platform::QtStatusItem item;
    item.show();
    ASSERT_TRUE(spinUntil([&] { return embedded(item); }));
    const QString first = QStringLiteral("Veska — nhấn hoặc giữ fn để nói · Esc huỷ");
    const QString second = QStringLiteral("Veska · 2 quyền chưa bật");
    item.setToolTip(first.toStdString());
    const QPoint centre = settledPlace(item).center();
    desktop().movePointer(centre.x() - 1, centre.y());
    desktop().movePointer(centre.x(), centre.y());
    EXPECT_TRUE(spinUntil([&] { return visibleToolTip() == first; }, 4));
    // A new tooltip while the pointer rests on the icon replaces the one showing.
    item.setToolTip(second.toStdString());
    EXPECT_TRUE(spinUntil([&] { return visibleToolTip() == second; }, 4));
    desktop().movePointer(600, 600);
}

TEST_F(QtStatusItemTest, MenuEntriesAndTheLeftClickReachTheApp) {
    startHost();
    platform::QtStatusItem item;
    std::vector<StatusAction> chosen;
    int activations = 0;
    item.onAction = [&](StatusAction action) { chosen.push_back(action); };
    item.onActivate = [&] { ++activations; };
    item.show();
    ASSERT_TRUE(spinUntil([&] { return embedded(item); }));
    const QPoint centre = settledPlace(item).center();

    desktop().click(centre.x(), centre.y(), 1);
    EXPECT_TRUE(spinUntil([&] { return activations == 1; }, 2));

    item.setLaunchAtLoginChecked(true);
    struct Row {
        StatusAction action;
        bool cancelEnabled;
        bool reaches;
    };
    const Row rows[] = {
        {StatusAction::cancelWork, false, false}, {StatusAction::cancelWork, true, true},
        {StatusAction::openDash, false, true},    {StatusAction::openPerms, false, true},
        {StatusAction::loginGPT, false, true},    {StatusAction::toggleLaunchLogin, false, true},
        {StatusAction::quit, false, true}};
    for (const Row& row : rows) {
        item.setCancelEnabled(row.cancelEnabled);
        chosen.clear();
        desktop().click(centre.x(), centre.y(), 3);
        ASSERT_TRUE(spinUntil([&] { return item.menu().isVisible(); }, 3));
        EXPECT_TRUE(item.entry(StatusAction::toggleLaunchLogin).isChecked());
        EXPECT_FALSE(item.entry(row.action).text().isEmpty());
        const QPoint at =
            item.menu().mapToGlobal(item.menu().actionGeometry(&item.entry(row.action)).center());
        desktop().click(at.x(), at.y(), 1);
        spin(0.2);
        if (item.menu().isVisible()) item.menu().hide();
        if (row.reaches) {
            EXPECT_EQ(chosen, std::vector<StatusAction>{row.action}) << static_cast<int>(row.action);
        } else {
            EXPECT_TRUE(chosen.empty());
        }
    }
    EXPECT_EQ(activations, 1);
}

}  // namespace
}  // namespace veska::testing
