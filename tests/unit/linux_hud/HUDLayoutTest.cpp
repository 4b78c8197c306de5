// The HUD's sizes and hit areas: long pill texts stop at a width, the reading controls fit
// their bar and never overlap whatever the speed label says.
#include <gtest/gtest.h>

#include <QGuiApplication>

#include <cstdlib>
#include <memory>

#include "platform/linux/hud/HUDDrawing.h"
#include "platform/linux/hud/HUDStyle.h"

namespace veska::platform {
namespace {

// Fontconfig keeps a cache for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

class HUDLayoutTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "linux_hud_layout_tests";
        static char* argv[] = {name, nullptr};
        if (QGuiApplication::instance() == nullptr) app_ = new QGuiApplication(argc, argv);
    }
    static inline QGuiApplication* app_ = nullptr;  // lives until the process ends
};

QSize sizeOf(const HUDModel& model) {
    return HUDDrawing::contentSize({model, Translator::WriteMode::normal, 0});
}

TEST_F(HUDLayoutTest, PillGrowsWithItsTextUpToALimit) {
    HUDModel model;
    int previous = 0;
    const int widest =
        HUDStyle::kPillPadLeft + 24 + HUDStyle::kPillGap + HUDStyle::kPillTextMax + HUDStyle::kPillPadRight;
    for (int length : {1, 10, 40, 80, 400, 4000}) {
        model.state = HUDState::info(std::string(static_cast<std::size_t>(length), 'm'));
        const QSize size = sizeOf(model);
        EXPECT_EQ(size.height(), HUDStyle::kPillHeight);
        EXPECT_GE(size.width(), previous) << length;
        EXPECT_LE(size.width(), widest) << length;
        previous = size.width();
    }
    EXPECT_EQ(previous, widest);
    // Every state that shows a pill has one of the pill's height; the cards have their own.
    for (HUDState::Kind kind : {HUDState::Kind::done, HUDState::Kind::stopped, HUDState::Kind::transcribing,
                                HUDState::Kind::translating, HUDState::Kind::fixing}) {
        model.state = kind;
        EXPECT_EQ(sizeOf(model).height(), HUDStyle::kPillHeight) << name(kind);
    }
    model.state = HUDState::Kind::speaking;
    EXPECT_EQ(sizeOf(model).height(), HUDStyle::kBarHeight);
    model.state = HUDState::Kind::listening;
    EXPECT_EQ(sizeOf(model).width(), HUDStyle::kCardWidth);
}

TEST_F(HUDLayoutTest, ReadingControlsFitTheBarWithoutOverlapping) {
    HUDModel model;
    model.state = HUDState::Kind::speaking;
    for (double rate : {0.5, 0.75, 1.0, 1.25, 1.5, 2.0, 10.0, 0.333333}) {
        model.rate = rate;
        const auto controls = HUDDrawing::readingControls(model);
        const QRectF bar(QPointF(0, 0), QSizeF(sizeOf(model)));
        for (const QRectF& control : {controls.pause, controls.rate, controls.stop}) {
            EXPECT_TRUE(bar.contains(control)) << rate;
        }
        EXPECT_FALSE(controls.pause.intersects(controls.rate)) << rate;
        EXPECT_FALSE(controls.rate.intersects(controls.stop)) << rate;
        EXPECT_LE(controls.pause.right(), controls.rate.left());
        EXPECT_LE(controls.rate.right(), controls.stop.left());
    }
}

TEST_F(HUDLayoutTest, OnlyMovingStatesAskForFrames) {
    using Kind = HUDState::Kind;
    struct Row {
        HUDState state;
        bool moves;
    };
    const Row rows[] = {{Kind::idle, false},    {Kind::listening, true},       {Kind::transcribing, true},
                        {Kind::done, false},    {Kind::stopped, false},        {Kind::readying, true},
                        {Kind::speaking, true}, {Kind::translating, true},     {Kind::composing, true},
                        {Kind::fixing, true},   {HUDState::error("x"), false}, {HUDState::info("x"), false}};
    for (const Row& row : rows) {
        HUDModel model;
        model.state = row.state;
        EXPECT_EQ(HUDDrawing::animates(model), row.moves) << name(row.state.kind());
    }
}

}  // namespace
}  // namespace veska::platform
