// Contract of the Accessibility port: every implementation must pass these tests.
#pragma once

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ports/Accessibility.h"

namespace veska::contract {

/// A test application in front whose focused element is an editable text field.
class AccessibilityRig {
public:
    virtual ~AccessibilityRig() = default;
    virtual ports::Accessibility& accessibility() = 0;
    /// Shows `text` in the focused field with `selection` (UTF-16 units); returns the pid of
    /// the application that holds it.
    virtual std::int32_t showField(const std::string& text, ports::TextRange selection) = 0;
    /// The application holding the field quits.
    virtual void quitFieldApp() = 0;
    [[nodiscard]] virtual bool canSwitchTrust() const = 0;
    virtual void setTrusted(bool trusted) = 0;
    virtual void pump(double seconds) = 0;
};

template <class Factory>
class AccessibilityContract : public ::testing::Test {
protected:
    std::unique_ptr<AccessibilityRig> rig = Factory::make();
    ports::Accessibility& ax() { return rig->accessibility(); }

    ports::AXElement focused() {
        auto element = ax().elementAttribute(ax().systemWide(), ports::AXAttribute::focusedUIElement);
        EXPECT_TRUE(element.has_value()) << "focused element: " << (element ? "" : ports::errorName(element.error()));
        return element.value_or(ports::AXElement{});
    }
    std::string str(ports::AXElement e, ports::AXAttribute a) {
        return ax().stringAttribute(e, a).value_or("<unreadable>");
    }
};

TYPED_TEST_SUITE_P(AccessibilityContract);

TYPED_TEST_P(AccessibilityContract, FocusedFieldIsFoundFromTheDesktopAndFromItsApplication) {
    const std::int32_t pid = this->rig->showField("hello", {5, 0});
    const ports::AXElement field = this->focused();
    ASSERT_TRUE(field);
    EXPECT_EQ(this->ax().processId(field).value_or(-1), pid);
    const auto viaApp = this->ax().elementAttribute(this->ax().application(pid), ports::AXAttribute::focusedUIElement);
    ASSERT_TRUE(viaApp.has_value());
    EXPECT_EQ(*viaApp, field);
    const std::string role = this->str(field, ports::AXAttribute::role);
    EXPECT_TRUE(role == ports::roles::kTextField || role == ports::roles::kTextArea || role == ports::roles::kTextView)
        << role;
    const auto parent = this->ax().elementAttribute(field, ports::AXAttribute::parent);
    ASSERT_TRUE(parent.has_value());
    const auto siblings = this->ax().elementsAttribute(*parent, ports::AXAttribute::children);
    ASSERT_TRUE(siblings.has_value());
    EXPECT_NE(std::find(siblings->begin(), siblings->end(), field), siblings->end());
}

TYPED_TEST_P(AccessibilityContract, TextAndSelectionAreReadInUtf16Units) {
    const struct {
        const char* text;
        ports::TextRange selection;
        const char* selected;
        std::int64_t units;
    } rows[] = {
        {"hello", {1, 3}, "ell", 5},
        {"abc", {3, 0}, "", 3},
        {"", {0, 0}, "", 0},
        {"a\xF0\x9F\x98\x80" "b", {1, 2}, "\xF0\x9F\x98\x80", 4},
        {"Ti\xE1\xBA\xBFng Vi\xE1\xBB\x87t", {6, 4}, "Vi\xE1\xBB\x87t", 10},
        {"Vie\xCC\xA3\xCC\x82t", {2, 3}, "e\xCC\xA3\xCC\x82", 6},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        this->rig->showField(row.text, row.selection);
        const ports::AXElement field = this->focused();
        EXPECT_EQ(this->str(field, ports::AXAttribute::value), row.text);
        EXPECT_EQ(this->str(field, ports::AXAttribute::selectedText), row.selected);
        EXPECT_EQ(this->ax().rangeAttribute(field, ports::AXAttribute::selectedTextRange).value_or(ports::TextRange{-1, -1}),
                  row.selection);
        const auto count = this->ax().attribute(field, ports::AXAttribute::numberOfCharacters);
        ASSERT_TRUE(count.has_value());
        EXPECT_EQ(std::get<std::int64_t>(*count), row.units);
    }
}

TYPED_TEST_P(AccessibilityContract, StringForRangeAnswersValidRangesAndRefusesOthers) {
    this->rig->showField("a\xF0\x9F\x98\x80" "bc", {0, 0});
    const ports::AXElement field = this->focused();
    const struct {
        ports::AXValue parameter;
        std::optional<std::string> expected;
    } rows[] = {
        {ports::TextRange{0, 5}, "a\xF0\x9F\x98\x80" "bc"},
        {ports::TextRange{1, 2}, "\xF0\x9F\x98\x80"},
        {ports::TextRange{3, 2}, "bc"},
        {ports::TextRange{5, 0}, ""},
        {ports::TextRange{4, 2}, std::nullopt},
        {ports::TextRange{-1, 2}, std::nullopt},
        {ports::TextRange{0, -1}, std::nullopt},
        {std::string("not a range"), std::nullopt},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(i);
        const auto got = this->ax().parameterizedAttribute(field, ports::AXParameterizedAttribute::stringForRange,
                                                           rows[i].parameter);
        if (!rows[i].expected) {
            EXPECT_FALSE(got.has_value());
            continue;
        }
        ASSERT_TRUE(got.has_value()) << ports::errorName(got.error());
        EXPECT_EQ(std::get<std::string>(*got), *rows[i].expected);
    }
}

TYPED_TEST_P(AccessibilityContract, WritingSelectedTextReplacesTheSelectionAndLeavesTheCaretAfterIt) {
    this->rig->showField("hello world", {6, 5});
    const ports::AXElement field = this->focused();
    const auto settable = this->ax().isAttributeSettable(field, ports::AXAttribute::selectedText);
    EXPECT_TRUE(!settable.has_value() || *settable);
    ASSERT_EQ(this->ax().setAttribute(field, ports::AXAttribute::selectedText, std::string("th\xE1\xBB\x87re")),
              ports::AXError::success);
    this->rig->pump(0.05);
    EXPECT_EQ(this->str(field, ports::AXAttribute::value), "hello th\xE1\xBB\x87re");
    EXPECT_EQ(this->ax().rangeAttribute(field, ports::AXAttribute::selectedTextRange).value_or(ports::TextRange{}),
              (ports::TextRange{11, 0}));
}

TYPED_TEST_P(AccessibilityContract, SelectedRangeWritesAreCheckedAgainstTheText) {
    this->rig->showField("hello", {5, 0});
    const ports::AXElement field = this->focused();
    ASSERT_EQ(this->ax().setAttribute(field, ports::AXAttribute::selectedTextRange, ports::TextRange{1, 2}),
              ports::AXError::success);
    EXPECT_EQ(this->str(field, ports::AXAttribute::selectedText), "el");
    for (ports::TextRange bad : {ports::TextRange{6, 0}, ports::TextRange{4, 2}, ports::TextRange{-1, 1}}) {
        SCOPED_TRACE(bad.location);
        EXPECT_NE(this->ax().setAttribute(field, ports::AXAttribute::selectedTextRange, bad), ports::AXError::success);
    }
    EXPECT_NE(this->ax().setAttribute(field, ports::AXAttribute::selectedTextRange, std::string("x")),
              ports::AXError::success);
    EXPECT_EQ(this->str(field, ports::AXAttribute::value), "hello");
}

TYPED_TEST_P(AccessibilityContract, BadHandlesAndTimeOutsAreErrorsNotCrashes) {
    this->rig->showField("x", {1, 0});
    const ports::AXElement field = this->focused();
    EXPECT_FALSE(this->ax().attribute(ports::AXElement{}, ports::AXAttribute::role).has_value());
    EXPECT_FALSE(this->ax().attribute(ports::AXElement{0xDEADBEEF}, ports::AXAttribute::role).has_value());
    EXPECT_EQ(this->ax().setMessagingTimeout(field, 0.25), ports::AXError::success);
    EXPECT_EQ(this->ax().setMessagingTimeout(field, -1), ports::AXError::illegalArgument);
    EXPECT_EQ(this->ax().setMessagingTimeout(this->ax().systemWide(), 0.35), ports::AXError::success);
    this->rig->quitFieldApp();
    this->rig->pump(0.2);
    EXPECT_FALSE(this->ax().attribute(field, ports::AXAttribute::value).has_value());
    EXPECT_NE(this->ax().setAttribute(field, ports::AXAttribute::value, std::string("y")), ports::AXError::success);
}

TYPED_TEST_P(AccessibilityContract, WithoutTrustEveryReadIsRefused) {
    if (!this->rig->canSwitchTrust()) GTEST_SKIP() << "this rig cannot revoke accessibility";
    this->rig->showField("secret", {0, 6});
    const ports::AXElement field = this->focused();
    this->rig->setTrusted(false);
    EXPECT_FALSE(this->ax().isProcessTrusted(false));
    const auto refused = this->ax().attribute(field, ports::AXAttribute::selectedText);
    ASSERT_FALSE(refused.has_value());
    EXPECT_EQ(refused.error(), ports::AXError::apiDisabled);
    const auto focus = this->ax().attribute(this->ax().systemWide(), ports::AXAttribute::focusedUIElement);
    ASSERT_FALSE(focus.has_value());
    EXPECT_EQ(focus.error(), ports::AXError::apiDisabled);
    this->rig->setTrusted(true);
    EXPECT_TRUE(this->ax().isProcessTrusted(false));
    EXPECT_EQ(this->str(field, ports::AXAttribute::selectedText), "secret");
}

REGISTER_TYPED_TEST_SUITE_P(AccessibilityContract, FocusedFieldIsFoundFromTheDesktopAndFromItsApplication,
                            TextAndSelectionAreReadInUtf16Units, StringForRangeAnswersValidRangesAndRefusesOthers,
                            WritingSelectedTextReplacesTheSelectionAndLeavesTheCaretAfterIt,
                            SelectedRangeWritesAreCheckedAgainstTheText, BadHandlesAndTimeOutsAreErrorsNotCrashes,
                            WithoutTrustEveryReadIsRefused);

}  // namespace veska::contract
