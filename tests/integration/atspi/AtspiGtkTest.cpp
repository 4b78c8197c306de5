// The AT-SPI adapter against a real GTK3 text view (zenity) on a private desktop.
#include <signal.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <optional>

#include <gtest/gtest.h>

#include "integration/atspi/Fields.h"
#include "platform/linux/atspi/AtspiAccessibility.h"

// libatspi keeps the connections and pending calls of the applications it met until the
// process ends; they are not this adapter's to free.
extern "C" const char* __lsan_default_suppressions() {  // NOLINT(bugprone-reserved-identifier)
    return "leak:libdbus-1.so\nleak:libatspi.so\n";
}

namespace veska::platform {
namespace {

using ports::AXAttribute;
using ports::AXElement;
using ports::AXError;
using ports::AXParameterizedAttribute;
using ports::AXValue;
using ports::TextRange;
using testing::AtspiDesktop;
using testing::GtkField;

// "Tiếng Việt 😀 xin chào" / "dòng hai 👍🏽 cuối": precomposed Vietnamese letters (one unit
// each) and emoji outside the BMP (two units each, the skin tone too).
const std::string kLine1 = "Ti\xE1\xBA\xBFng Vi\xE1\xBB\x87t \xF0\x9F\x98\x80 xin ch\xC3\xA0o\n";
const std::string kLine2 = "d\xC3\xB2ng hai \xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD cu\xE1\xBB\x91i";
const std::string kText = kLine1 + kLine2;

class AtspiGtk : public ::testing::Test {
protected:
    void SetUp() override {
        if (!AtspiDesktop::get().missing().empty()) GTEST_SKIP() << AtspiDesktop::get().missing();
        ASSERT_TRUE(AtspiDesktop::get().setEnabled(true));
        ASSERT_TRUE(ax.isProcessTrusted(false));
        field.emplace(ax, kText);
        if (!field->error().empty()) GTEST_SKIP() << field->error();
        view = field->view();
    }
    std::string str(AXElement e, AXAttribute a) { return ax.stringAttribute(e, a).value_or("<unreadable>"); }
    std::optional<std::string> substring(TextRange r) {
        auto got = ax.parameterizedAttribute(view, AXParameterizedAttribute::stringForRange, r);
        if (!got) return std::nullopt;
        return std::get<std::string>(*got);
    }
    static std::string primarySelection() {
        return testing::shellOutput("timeout 5 xclip -o -selection primary");
    }

    AtspiAccessibility ax;
    std::optional<GtkField> field;
    AXElement view;
};

TEST_F(AtspiGtk, FocusedTextViewIsFoundFromTheDesktopAndItsApplication) {
    EXPECT_EQ(str(view, AXAttribute::role), ports::roles::kTextArea);
    EXPECT_EQ(ax.processId(view).value_or(-1), field->pid());
    const AXElement app = ax.application(field->pid());
    EXPECT_EQ(ax.elementAttribute(app, AXAttribute::focusedUIElement).value_or(ports::AXElement{}), view);
    EXPECT_EQ(
        ax.elementAttribute(ax.systemWide(), AXAttribute::focusedApplication).value_or(ports::AXElement{}),
        app);
    EXPECT_EQ(str(app, AXAttribute::role), ports::roles::kApplication);
    EXPECT_EQ(ax.attribute(view, AXAttribute::focused).value_or(AXValue{false}), AXValue{true});
    // Up the parents to the window, which holds the title; the view is among its parent's children.
    const AXElement parent = ax.elementAttribute(view, AXAttribute::parent).value_or(ports::AXElement{});
    const auto siblings =
        ax.elementsAttribute(parent, AXAttribute::children).value_or(std::vector<ports::AXElement>{});
    EXPECT_NE(std::find(siblings.begin(), siblings.end(), view), siblings.end());
    AXElement current = view;
    for (int step = 0; step < 8 && str(current, AXAttribute::role) != ports::roles::kWindow; ++step) {
        current = ax.elementAttribute(current, AXAttribute::parent).value_or(ports::AXElement{});
    }
    EXPECT_EQ(str(current, AXAttribute::title), GtkField::kTitle);
    EXPECT_EQ(ax.attribute(app, AXAttribute::parent).error(), AXError::noValue);
}

TEST_F(AtspiGtk, VietnameseTextAndEmojiAreReadInUtf16Units) {
    EXPECT_EQ(str(view, AXAttribute::value), kText);
    EXPECT_EQ(
        std::get<std::int64_t>(ax.attribute(view, AXAttribute::numberOfCharacters).value_or(AXValue{-1})),
        41);
    const struct {
        TextRange range;
        const char* selected;
    } rows[] = {
        {{6, 4}, "Vi\xE1\xBB\x87t"},       {{11, 2}, "\xF0\x9F\x98\x80"},
        {{11, 6}, "\xF0\x9F\x98\x80 xin"}, {{32, 4}, "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD"},
        {{37, 4}, "cu\xE1\xBB\x91i"},      {{0, 41}, kText.c_str()},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.selected);
        ASSERT_EQ(ax.setAttribute(view, AXAttribute::selectedTextRange, row.range), AXError::success);
        EXPECT_EQ(ax.rangeAttribute(view, AXAttribute::selectedTextRange).value_or(TextRange{-1, -1}),
                  row.range);
        EXPECT_EQ(str(view, AXAttribute::selectedText), row.selected);
        // GTK puts its selection on PRIMARY: an independent witness of the range it was given.
        EXPECT_TRUE(AtspiDesktop::waitFor([&] { return primarySelection() == row.selected; }, 2))
            << primarySelection();
    }
    ASSERT_EQ(ax.setAttribute(view, AXAttribute::selectedTextRange, TextRange{13, 0}), AXError::success);
    EXPECT_EQ(ax.rangeAttribute(view, AXAttribute::selectedTextRange).value_or(TextRange{}),
              (TextRange{13, 0}));
    EXPECT_EQ(str(view, AXAttribute::selectedText), "");
    // Ranges that leave the text or split an emoji are refused, and change nothing.
    for (TextRange bad : {TextRange{12, 1}, TextRange{41, 1}, TextRange{-1, 2}, TextRange{42, 0},
                          TextRange{1, std::numeric_limits<std::int64_t>::max()}}) {
        SCOPED_TRACE(bad.location);
        EXPECT_EQ(ax.setAttribute(view, AXAttribute::selectedTextRange, bad), AXError::illegalArgument);
    }
    EXPECT_EQ(ax.rangeAttribute(view, AXAttribute::selectedTextRange).value_or(TextRange{}),
              (TextRange{13, 0}));
}

TEST_F(AtspiGtk, StringForRangeAndLinesCountUtf16UnitsAndLineBreaks) {
    const struct {
        TextRange range;
        std::optional<std::string> expected;
    } rows[] = {
        {{0, 4}, "Ti\xE1\xBA\xBFn"},
        {{11, 2}, "\xF0\x9F\x98\x80"},
        {{22, 1}, "\n"},
        {{41, 0}, ""},
        {{0, 41}, kText},
        {{12, 2}, std::nullopt},  // starts inside the emoji
        {{11, 1}, std::nullopt},  // ends inside it
        {{40, 2}, std::nullopt},
        {{-1, 1}, std::nullopt},
        {{0, -1}, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.range.location);
        EXPECT_EQ(substring(row.range), row.expected);
    }
    EXPECT_FALSE(ax.parameterizedAttribute(view, AXParameterizedAttribute::stringForRange, std::string("x")));

    const struct {
        std::int64_t index;
        std::int64_t line;
    } lines[] = {{0, 0}, {22, 0}, {23, 1}, {36, 1}, {41, 1}};
    for (const auto& row : lines) {
        SCOPED_TRACE(row.index);
        const auto got = ax.parameterizedAttribute(view, AXParameterizedAttribute::lineForIndex, row.index);
        ASSERT_TRUE(got.has_value()) << ports::errorName(got.error());
        EXPECT_EQ(std::get<std::int64_t>(*got), row.line);
    }
    EXPECT_FALSE(ax.parameterizedAttribute(view, AXParameterizedAttribute::lineForIndex, std::int64_t{12}));
    EXPECT_FALSE(ax.parameterizedAttribute(view, AXParameterizedAttribute::lineForIndex, std::int64_t{42}));
    const auto first =
        ax.parameterizedAttribute(view, AXParameterizedAttribute::rangeForLine, std::int64_t{0});
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(std::get<TextRange>(*first), (TextRange{0, 23}));
    const auto second =
        ax.parameterizedAttribute(view, AXParameterizedAttribute::rangeForLine, std::int64_t{1});
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(std::get<TextRange>(*second), (TextRange{23, 18}));
    EXPECT_FALSE(ax.parameterizedAttribute(view, AXParameterizedAttribute::rangeForLine, std::int64_t{2}));
}

TEST_F(AtspiGtk, WritingSelectedTextReplacesTheSelectionWithGtkByteLengths) {
    const struct {
        AXAttribute attribute;
        bool settable;
    } settable[] = {{AXAttribute::selectedText, true},
                    {AXAttribute::value, true},
                    {AXAttribute::selectedTextRange, true},
                    {AXAttribute::focused, true},
                    {AXAttribute::title, false},
                    {AXAttribute::role, false}};
    for (const auto& row : settable) {
        SCOPED_TRACE(ports::attributeName(row.attribute));
        EXPECT_EQ(ax.isAttributeSettable(view, row.attribute).value_or(!row.settable), row.settable);
    }
    EXPECT_EQ(ax.isAttributeSettable(ax.systemWide(), AXAttribute::value).value_or(true), false);

    ASSERT_EQ(ax.setAttribute(view, AXAttribute::selectedTextRange, TextRange{6, 4}), AXError::success);
    // "Nam 🇻🇳 đẹp": a flag (two emoji) and Vietnamese letters, 12 UTF-16 units.
    const std::string inserted = "Nam \xF0\x9F\x87\xBB\xF0\x9F\x87\xB3 \xC4\x91\xE1\xBA\xB9p";
    ASSERT_EQ(ax.setAttribute(view, AXAttribute::selectedText, inserted), AXError::success);
    std::string expected = kText;
    expected.replace(expected.find("Vi\xE1\xBB\x87t"), 6, inserted);
    EXPECT_TRUE(AtspiDesktop::waitFor([&] { return str(view, AXAttribute::value) == expected; }, 2))
        << str(view, AXAttribute::value);
    EXPECT_EQ(ax.rangeAttribute(view, AXAttribute::selectedTextRange).value_or(TextRange{}),
              (TextRange{18, 0}));
    // With only a caret, the text goes in at the caret.
    ASSERT_EQ(ax.setAttribute(view, AXAttribute::selectedText, std::string("!")), AXError::success);
    EXPECT_EQ(substring({18, 1}), "!");
    // Text that cannot travel (malformed UTF-8, NUL) is refused before it is sent.
    EXPECT_EQ(ax.setAttribute(view, AXAttribute::selectedText, std::string("a\xC3")),
              AXError::illegalArgument);
    EXPECT_EQ(ax.setAttribute(view, AXAttribute::selectedText, std::string("a\0b", 3)),
              AXError::illegalArgument);
    EXPECT_EQ(ax.setAttribute(view, AXAttribute::selectedText, true), AXError::illegalArgument);
    ASSERT_EQ(ax.setAttribute(view, AXAttribute::value, std::string("m\xE1\xBB\x9Bi")), AXError::success);
    EXPECT_EQ(str(view, AXAttribute::value), "m\xE1\xBB\x9Bi");
    EXPECT_EQ(ax.setAttribute(view, AXAttribute::title, std::string("x")), AXError::attributeUnsupported);
}

TEST_F(AtspiGtk, AHungApplicationTimesOutAndAnswersAgainOnceItResumes) {
    ASSERT_EQ(ax.setMessagingTimeout(view, 0.2), AXError::success);
    field->pause();
    const auto started = std::chrono::steady_clock::now();
    const auto value = ax.attribute(view, AXAttribute::value);
    const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ASSERT_FALSE(value.has_value());
    EXPECT_EQ(value.error(), AXError::cannotComplete);
    EXPECT_LT(waited, 1.0);
    // The search for the focus keeps to the desktop's time-out as a whole.
    ASSERT_EQ(ax.setMessagingTimeout(ax.systemWide(), 0.3), AXError::success);
    const auto searchStarted = std::chrono::steady_clock::now();
    EXPECT_FALSE(ax.attribute(ax.systemWide(), AXAttribute::focusedUIElement).has_value());
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - searchStarted).count(), 1.2);
    field->resume();
    EXPECT_TRUE(AtspiDesktop::waitFor([&] { return str(view, AXAttribute::value) == kText; }, 3));
}

TEST_F(AtspiGtk, GoneApplicationsAndBadHandlesAreErrors) {
    EXPECT_EQ(ax.attribute(AXElement{}, AXAttribute::role).error(), AXError::invalidElement);
    EXPECT_EQ(ax.attribute(AXElement{0xDEADBEEF}, AXAttribute::role).error(), AXError::invalidElement);
    EXPECT_EQ(ax.setMessagingTimeout(view, -1), AXError::illegalArgument);
    EXPECT_EQ(ax.setMessagingTimeout(view, std::nan("")), AXError::illegalArgument);
    EXPECT_EQ(ax.setMessagingTimeout(AXElement{0xDEADBEEF}, 1), AXError::invalidElement);
    const pid_t pid = field->pid();
    field->kill();
    const auto started = std::chrono::steady_clock::now();
    const auto value = ax.attribute(view, AXAttribute::value);
    ASSERT_FALSE(value.has_value());
    EXPECT_EQ(value.error(), AXError::invalidElement);
    EXPECT_EQ(ax.setAttribute(view, AXAttribute::selectedText, std::string("y")), AXError::invalidElement);
    EXPECT_FALSE(ax.attribute(ax.application(pid), AXAttribute::focusedUIElement).has_value());
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(), 2.0);
}

TEST_F(AtspiGtk, TrustFollowsTheSessionSwitch) {
    ASSERT_TRUE(AtspiDesktop::get().setEnabled(false));
    EXPECT_FALSE(ax.isProcessTrusted(false));
    EXPECT_EQ(ax.attribute(view, AXAttribute::value).error(), AXError::apiDisabled);
    EXPECT_EQ(ax.attribute(ax.systemWide(), AXAttribute::focusedUIElement).error(), AXError::apiDisabled);
    // A prompt switches it on for the session.
    EXPECT_TRUE(ax.isProcessTrusted(true));
    EXPECT_EQ(str(view, AXAttribute::value), kText);
}

TEST_F(AtspiGtk, TheHandleTableDropsTheLeastRecentlyUsed) {
    AtspiAccessibility small(3);
    ASSERT_TRUE(small.isProcessTrusted(false));
    const AXElement first = small.elementAttribute(small.systemWide(), AXAttribute::focusedUIElement)
                                .value_or(ports::AXElement{});
    ASSERT_TRUE(first);
    AXElement current = first;
    for (int step = 0; step < 4; ++step)
        current = small.elementAttribute(current, AXAttribute::parent).value_or(ports::AXElement{});
    EXPECT_LE(small.heldElements(), 3u);
    EXPECT_EQ(small.attribute(first, AXAttribute::role).error(), AXError::invalidElement);
    EXPECT_TRUE(small.attribute(current, AXAttribute::role).has_value());
    // The element is found again under a new handle.
    const AXElement again = small.elementAttribute(small.systemWide(), AXAttribute::focusedUIElement)
                                .value_or(ports::AXElement{});
    EXPECT_NE(again, first);
    EXPECT_EQ(small.stringAttribute(again, AXAttribute::value).value_or(""), kText);
}

}  // namespace
}  // namespace veska::platform
