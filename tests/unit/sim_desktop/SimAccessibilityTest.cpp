// Simulated accessibility: injected faults, stalls and their cost, odd values, the tree.
#include <gtest/gtest.h>

#include "SimRigs.h"

namespace veska::sim::testing {
namespace {

using ports::AXAttribute;
using ports::AXElement;
using ports::AXError;
using ports::AXParameterizedAttribute;
using ports::TextRange;

TEST(SimAccessibility, FaultsAnswerWithTheirErrorAndStallsCostTheTimeOutInForce) {
    struct Row {
        const char* name;
        SimFault fault;
        double elementTimeout;  // 0: the desktop's default
        double desktopTimeout;  // 0: leave the default
        AXError expected;
        double blocked;
    };
    const Row rows[] = {
        {"plain error", {.error = AXError::noValue}, 0, 0, AXError::noValue, 0},
        {"stall, default time-out", {.stalls = true}, 0, 0, AXError::cannotComplete, 6.0},
        {"stall, element time-out", {.stalls = true}, 0.25, 0, AXError::cannotComplete, 0.25},
        {"stall, desktop time-out", {.stalls = true}, 0, 0.35, AXError::cannotComplete, 0.35},
        {"stall, element wins", {.stalls = true}, 0.2, 0.35, AXError::cannotComplete, 0.2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SimRigBase rig;
        auto& ax = rig.desktop.accessibility();
        rig.desktop.element(rig.field).readFaults[AXAttribute::selectedText] = row.fault;
        if (row.desktopTimeout > 0) ax.setMessagingTimeout(ax.systemWide(), row.desktopTimeout);
        ax.setMessagingTimeout({rig.field}, row.elementTimeout);
        const auto read = ax.attribute({rig.field}, AXAttribute::selectedText);
        ASSERT_FALSE(read.has_value());
        EXPECT_EQ(read.error(), row.expected);
        EXPECT_DOUBLE_EQ(ax.blockedSeconds(), row.blocked);
        EXPECT_EQ(rig.desktop.trace().ofKind(TraceKind::accessibilityTimeout).size(), row.blocked > 0 ? 1u : 0u);
        EXPECT_TRUE(ax.attribute({rig.field}, AXAttribute::value).has_value()) << "other attributes still answer";
    }
}

TEST(SimAccessibility, AWriteThatTimesOutMayStillHaveHappened) {
    SimRigBase rig;
    rig.fill("abc", {3, 0});
    auto& ax = rig.desktop.accessibility();
    auto& field = rig.desktop.element(rig.field);
    field.writeFaults[AXAttribute::selectedText] = {.stalls = true, .appliedAnyway = true};
    EXPECT_EQ(ax.setAttribute({rig.field}, AXAttribute::selectedText, std::string("d")), AXError::cannotComplete);
    EXPECT_EQ(rig.desktop.text(rig.field), "abcd");
    field.writeFaults[AXAttribute::selectedText] = {.error = AXError::failure};
    EXPECT_EQ(ax.setAttribute({rig.field}, AXAttribute::selectedText, std::string("e")), AXError::failure);
    EXPECT_EQ(rig.desktop.text(rig.field), "abcd");
    field.settableFaults[AXAttribute::selectedText] = {.error = AXError::cannotComplete};
    EXPECT_EQ(ax.isAttributeSettable({rig.field}, AXAttribute::selectedText).error(), AXError::cannotComplete);
    field.settable.erase(AXAttribute::value);
    EXPECT_EQ(ax.isAttributeSettable({rig.field}, AXAttribute::value), false);
    EXPECT_EQ(ax.setAttribute({rig.field}, AXAttribute::value, std::string("x")), AXError::attributeUnsupported);
}

TEST(SimAccessibility, AStalledApplicationHoldsUpEvenTheDesktopsFocusQuestion) {
    SimRigBase rig;
    auto& ax = rig.desktop.accessibility();
    ax.setApplicationStalled(rig.appPid, true);
    EXPECT_EQ(ax.attribute(ax.systemWide(), AXAttribute::focusedUIElement).error(), AXError::cannotComplete);
    EXPECT_EQ(ax.attribute({rig.field}, AXAttribute::role).error(), AXError::cannotComplete);
    EXPECT_DOUBLE_EQ(ax.blockedSeconds(), 12.0);
    ax.setApplicationStalled(rig.appPid, false);
    EXPECT_EQ(ax.elementAttribute(ax.systemWide(), AXAttribute::focusedUIElement).value(), AXElement{rig.field});
}

TEST(SimAccessibility, ValuesOfTheWrongTypeFailTypedReadsWithoutHarm) {
    SimRigBase rig;
    auto& ax = rig.desktop.accessibility();
    rig.desktop.element(rig.field).overrides[AXAttribute::selectedText] = std::int64_t{42};
    rig.desktop.element(rig.field).overrides[AXAttribute::children] = std::string("not a list");
    EXPECT_EQ(ax.stringAttribute({rig.field}, AXAttribute::selectedText).error(), AXError::failure);
    EXPECT_EQ(std::get<std::int64_t>(ax.attribute({rig.field}, AXAttribute::selectedText).value()), 42);
    EXPECT_EQ(ax.elementsAttribute({rig.field}, AXAttribute::children).error(), AXError::failure);
}

TEST(SimAccessibility, ParameterisedReadsRespectLimitsAndLines) {
    SimRigBase rig;
    rig.fill("ab\ncd\n", {0, 0});
    auto& ax = rig.desktop.accessibility();
    const AXElement field{rig.field};
    rig.desktop.element(rig.field).maxStringForRange = 5;
    struct Row {
        AXParameterizedAttribute attribute;
        ports::AXValue parameter;
        std::optional<ports::AXValue> expected;
    };
    const Row rows[] = {
        {AXParameterizedAttribute::stringForRange, TextRange{0, 5}, ports::AXValue{std::string("ab\ncd")}},
        {AXParameterizedAttribute::stringForRange, TextRange{0, 6}, std::nullopt},  // longer than it answers
        {AXParameterizedAttribute::lineForIndex, std::int64_t{3}, ports::AXValue{std::int64_t{1}}},
        {AXParameterizedAttribute::lineForIndex, std::int64_t{7}, std::nullopt},
        {AXParameterizedAttribute::rangeForLine, std::int64_t{1}, ports::AXValue{TextRange{3, 3}}},
        {AXParameterizedAttribute::rangeForLine, std::int64_t{2}, ports::AXValue{TextRange{6, 0}}},
        {AXParameterizedAttribute::rangeForLine, std::int64_t{3}, std::nullopt},
        {AXParameterizedAttribute::rangeForLine, std::int64_t{-1}, std::nullopt},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(i);
        const auto got = ax.parameterizedAttribute(field, rows[i].attribute, rows[i].parameter);
        EXPECT_EQ(got.has_value(), rows[i].expected.has_value());
        if (got && rows[i].expected) EXPECT_EQ(*got, *rows[i].expected);
    }
}

TEST(SimAccessibility, ElementsWithoutTextAndRemovedElementsSayWhy) {
    SimRigBase rig;
    auto& ax = rig.desktop.accessibility();
    const std::uint64_t button = rig.desktop.addElement(rig.appPid, 0, {.role = "AXButton", .title = "OK"});
    EXPECT_EQ(ax.attribute({button}, AXAttribute::value).error(), AXError::noValue);
    EXPECT_EQ(ax.attribute({button}, AXAttribute::selectedText).error(), AXError::attributeUnsupported);
    EXPECT_EQ(ax.parameterizedAttribute({button}, AXParameterizedAttribute::stringForRange, TextRange{0, 0}).error(),
              AXError::parameterizedAttributeUnsupported);
    EXPECT_EQ(ax.stringAttribute({button}, AXAttribute::title).value(), "OK");
    const auto window = ax.elementAttribute({rig.field}, AXAttribute::parent).value();
    const auto app = ax.elementAttribute(window, AXAttribute::parent).value();
    EXPECT_EQ(app, ax.application(rig.appPid));
    EXPECT_EQ(ax.attribute(app, AXAttribute::parent).error(), AXError::noValue);
    rig.desktop.elements().remove(window.id);
    EXPECT_EQ(ax.attribute({rig.field}, AXAttribute::role).error(), AXError::invalidElement);
    EXPECT_EQ(ax.attribute(ax.systemWide(), AXAttribute::focusedUIElement).error(), AXError::noValue);
    EXPECT_EQ(ax.elementsAttribute(app, AXAttribute::children).value(), std::vector<AXElement>{AXElement{button}});
    for (std::int32_t unknown : {0, -3, 424242}) {
        EXPECT_EQ(ax.attribute(ax.application(unknown), AXAttribute::focusedUIElement).error(), AXError::invalidElement);
    }
}

TEST(SimAccessibility, AskingForTrustCountsAndTheAnswerComesLater) {
    SimRigBase rig;
    auto& permissions = rig.desktop.permissions();
    permissions.setGranted(ports::Permission::accessibility, false);
    permissions.answerRequests(ports::Permission::accessibility, PermissionAnswer::grant, 1.5);
    auto& ax = rig.desktop.accessibility();
    EXPECT_FALSE(ax.isProcessTrusted(false));
    EXPECT_EQ(permissions.requestCount(ports::Permission::accessibility), 0);
    EXPECT_FALSE(ax.isProcessTrusted(true));
    EXPECT_EQ(permissions.requestCount(ports::Permission::accessibility), 1);
    rig.loop.runFor(1.4);
    EXPECT_FALSE(ax.isProcessTrusted(false));
    rig.loop.runFor(0.1);
    EXPECT_TRUE(ax.isProcessTrusted(false));
}

}  // namespace
}  // namespace veska::sim::testing
