// The HUD's panel against a real X server: it never takes the focus, lets clicks through
// unless the reading controls show, sits above the bottom of the work area, fades and stops
// redrawing when nothing moves.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QWindow>

#include <algorithm>

#include "core/ui/HUDPresentation.h"
#include "integration/hud/HUDRig.h"
#include "platform/linux/hud/HUDDrawing.h"

namespace veska::testing {
namespace {

using Kind = HUDState::Kind;

// Fontconfig keeps a cache for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

class QtHUDPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!desktop().missing().empty()) GTEST_SKIP() << desktop().missing();
    }
    static X11TestDesktop& desktop() { return X11TestDesktop::get(hudDesktopOptions()); }

    /// The centre of a reading control on the screen.
    static QPoint onScreen(HUDRig& rig, const QRectF& control) {
        const auto place = desktop().geometry(rig.window());
        return place->topLeft() + control.center().toPoint();
    }
};

/// The text of the tooltip Qt shows, or nothing.
QString visibleToolTip() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (!widget->isVisible() || !widget->inherits("QTipLabel")) continue;
        if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    }
    return {};
}

bool hasAtom(const std::optional<std::vector<unsigned long>>& values, Atom atom) {
    return values && std::find(values->begin(), values->end(), atom) != values->end();
}

TEST_F(QtHUDPanelTest, NeverTakesTheFocusFromTheWindowTheUserTypesIn) {
    X11TestDesktop& d = desktop();
    const Window editor = d.makeWindow(100, 100, 600, 400);
    XSetInputFocus(d.user(), editor, RevertToParent, CurrentTime);
    XSync(d.user(), False);
    HUDRig rig;
    for (const HUDState& state :
         {HUDState(Kind::listening), HUDState(Kind::transcribing), HUDState(Kind::done),
          HUDState::error("Mic error"), HUDState(Kind::speaking)}) {
        rig.showAndSettle(state, d);
        EXPECT_EQ(d.inputFocus(), editor) << name(state.kind());
        EXPECT_EQ(QGuiApplication::focusWindow(), nullptr) << name(state.kind());
    }
    // A click on the reading controls works without taking the focus either.
    const QPoint pause = onScreen(rig, platform::HUDDrawing::readingControls(rig.hud.model()).pause);
    d.click(pause.x(), pause.y());
    spinUntil([&] { return rig.pauses == 1; });
    EXPECT_EQ(rig.pauses, 1);
    EXPECT_EQ(d.inputFocus(), editor);

    // What window managers read: no input, every desktop, out of taskbars and pagers, above.
    const auto hints = d.property(rig.window(), "WM_HINTS");
    ASSERT_TRUE(hints && hints->size() >= 2);
    EXPECT_TRUE(((*hints)[0] & InputHint) != 0);
    EXPECT_EQ((*hints)[1], 0U);
    EXPECT_EQ(d.property(rig.window(), "_NET_WM_DESKTOP"), std::vector<unsigned long>{0xFFFFFFFFUL});
    const auto states = d.property(rig.window(), "_NET_WM_STATE");
    for (const char* state : {"_NET_WM_STATE_STICKY", "_NET_WM_STATE_SKIP_TASKBAR",
                              "_NET_WM_STATE_SKIP_PAGER", "_NET_WM_STATE_ABOVE"}) {
        EXPECT_TRUE(hasAtom(states, d.atom(state))) << state;
    }
    XDestroyWindow(d.user(), editor);
}

TEST_F(QtHUDPanelTest, ClicksReachTheWindowBelowUnlessTheReadingControlsShow) {
    X11TestDesktop& d = desktop();
    const Window below = d.makeWindow(0, 0, X11TestDesktop::kWidth, X11TestDesktop::kHeight);
    HUDRig rig;
    struct Row {
        HUDState state;
        bool reachesBelow;
    };
    // Back to a pill after reading: click-through must come back on a window already shown.
    const Row rows[] = {{Kind::translating, true}, {Kind::listening, true},
                        {Kind::speaking, false},   {Kind::transcribing, true},
                        {Kind::speaking, false},   {HUDState::info("Copied"), true}};
    for (const Row& row : rows) {
        rig.showAndSettle(row.state, d);
        (void)d.pressesOn(below);
        const int stopsBefore = rig.stops;
        const QRectF target = row.state.kind() == Kind::speaking
                                  ? platform::HUDDrawing::readingControls(rig.hud.model()).stop
                                  : QRectF(QPointF(0, 0), QSizeF(rig.panel.window().size()));
        const QPoint at = onScreen(rig, target);
        d.click(at.x(), at.y());
        spin(0.15);
        EXPECT_EQ(d.pressesOn(below), row.reachesBelow ? 1 : 0) << name(row.state.kind());
        EXPECT_EQ(rig.stops - stopsBefore, row.reachesBelow ? 0 : 1) << name(row.state.kind());
    }
    XDestroyWindow(d.user(), below);
}

TEST_F(QtHUDPanelTest, ReadingControlsCallTheirOwnCallback) {
    X11TestDesktop& d = desktop();
    HUDRig rig;
    rig.hud.beginReading(1.5);
    rig.showAndSettle(Kind::speaking, d);
    const auto controls = platform::HUDDrawing::readingControls(rig.hud.model());
    struct Row {
        QRectF control;
        int pauses;
        int rates;
        int stops;
    };
    const Row rows[] = {{controls.pause, 1, 0, 0}, {controls.rate, 1, 1, 0}, {controls.stop, 1, 1, 1}};
    for (const Row& row : rows) {
        const QPoint at = onScreen(rig, row.control);
        d.click(at.x(), at.y());
        spin(0.1);
        EXPECT_EQ(rig.pauses, row.pauses);
        EXPECT_EQ(rig.rates, row.rates);
        EXPECT_EQ(rig.stops, row.stops);
    }
    // Resting on the speed button explains it.
    const QPoint rate = onScreen(rig, controls.rate);
    d.movePointer(rate.x() - 1, rate.y());
    d.movePointer(rate.x(), rate.y());
    EXPECT_TRUE(spinUntil(
        [] { return visibleToolTip() == QString::fromStdString(HUDPresentation::speedHelp()); }, 4));
    // A click between the controls does nothing.
    const QPoint gap = onScreen(rig, QRectF(controls.pause.right() + 1, controls.pause.top(), 4, 4));
    d.click(gap.x(), gap.y());
    spin(0.1);
    EXPECT_EQ(rig.pauses + rig.rates + rig.stops, 3);
}

TEST_F(QtHUDPanelTest, SitsCentredFortyPointsAboveTheBottomOfTheWorkArea) {
    X11TestDesktop& d = desktop();
    HUDRig rig;
    rig.hud.begin("claude_web", "Notes");
    rig.showAndSettle(Kind::listening, d);
    auto place = d.geometry(rig.window());
    ASSERT_TRUE(place);
    constexpr int kWorkAreaBottom = 770;
    EXPECT_EQ(place->y() + place->height(), kWorkAreaBottom - platform::QtHUDPanel::kBottomMargin);
    EXPECT_EQ(place->x() + place->width() / 2, X11TestDesktop::kWidth / 2);
    // A long transcript makes the card taller; it grows upwards.
    const int shortHeight = place->height();
    rig.hud.setListeningPreview(std::string(40, 'a') +
                                " xin chào các bạn hôm nay trời đẹp quá nhỉ và chúng ta đi chơi");
    spin(0.15);
    place = d.geometry(rig.window());
    EXPECT_GT(place->height(), shortHeight);
    EXPECT_EQ(place->y() + place->height(), kWorkAreaBottom - platform::QtHUDPanel::kBottomMargin);
    // However long the transcript, the card shows its last lines only: its height stops growing.
    std::string longer;
    for (int i = 0; i < 60; ++i) longer += "từ" + std::to_string(i) + " ";
    rig.hud.setListeningPreview(longer);
    spin(0.1);
    const int cappedHeight = d.geometry(rig.window())->height();
    rig.hud.setListeningPreview(longer + longer + longer);
    spin(0.1);
    EXPECT_EQ(d.geometry(rig.window())->height(), cappedHeight);
    EXPECT_GT(cappedHeight, shortHeight);
    // A pill is sized to its text, still centred.
    rig.showAndSettle(Kind::done, d);
    place = d.geometry(rig.window());
    EXPECT_LT(place->width(), 380);
    EXPECT_EQ(place->y() + place->height(), kWorkAreaBottom - platform::QtHUDPanel::kBottomMargin);
    EXPECT_NEAR(place->x() + place->width() / 2.0, X11TestDesktop::kWidth / 2.0, 1);
}

double windowOpacity(X11TestDesktop& d, Window window) {
    const auto value = d.property(window, "_NET_WM_WINDOW_OPACITY");
    if (!value || value->empty()) return 1.0;
    return static_cast<double>(value->front() & 0xFFFFFFFFUL) / 0xFFFFFFFFUL;
}

TEST_F(QtHUDPanelTest, FadesReachTheirOpacityAndReportOnTheMainExecutor) {
    X11TestDesktop& d = desktop();
    HUDRig rig;
    rig.showAndSettle(Kind::translating, d);
    int firstDone = 0;
    int secondDone = 0;
    rig.panel.animateAlpha(0.5, 0.1, [&] {
        EXPECT_TRUE(rig.main.isCurrent());
        ++firstDone;
    });
    spinUntil([&] { return firstDone == 1; });
    EXPECT_EQ(firstDone, 1);
    EXPECT_NEAR(windowOpacity(d, rig.window()), 0.5, 0.01);
    // A fade replaced by another still reports; the second one ends where it was asked.
    rig.panel.animateAlpha(0.0, 5, [&] { ++firstDone; });
    rig.panel.animateAlpha(0.25, 0.05, [&] { ++secondDone; });
    spinUntil([&] { return secondDone == 1; });
    EXPECT_EQ(firstDone, 2);
    EXPECT_NEAR(windowOpacity(d, rig.window()), 0.25, 0.01);

    // The whole cycle as the HUD drives it: done hides after a second and the fade-out.
    rig.showAndSettle(Kind::done, d);
    EXPECT_TRUE(d.mapped(rig.window()));
    EXPECT_TRUE(spinUntil([&] { return !d.mapped(rig.window()); }, 3));
    EXPECT_EQ(rig.hud.model().state.kind(), Kind::idle);
    EXPECT_NEAR(rig.panel.alpha(), 1.0, 1e-9);
}

TEST_F(QtHUDPanelTest, RedrawsOnTimeOnlyWhileSomethingMoves) {
    X11TestDesktop& d = desktop();
    HUDRig rig;
    struct Row {
        HUDState state;
        bool moving;
    };
    const Row rows[] = {{Kind::listening, true}, {Kind::done, false},           {Kind::fixing, true},
                        {Kind::speaking, true},  {HUDState::error("x"), false}, {Kind::stopped, false}};
    for (const Row& row : rows) {
        rig.showAndSettle(row.state, d);
        EXPECT_EQ(rig.panel.window().animating(), row.moving) << name(row.state.kind());
    }
    rig.hud.show(Kind::listening);
    rig.hud.show(Kind::idle);
    EXPECT_TRUE(spinUntil([&] { return !d.mapped(rig.window()); }, 2));
    EXPECT_FALSE(rig.panel.window().animating());
}

}  // namespace
}  // namespace veska::testing
