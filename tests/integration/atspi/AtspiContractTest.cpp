// The accessibility contract on a real Qt Widgets QTextEdit, and Qt's insertion length rule.
#include <thread>

#include <gtest/gtest.h>

#include "contract/AccessibilityContract.h"
#include "integration/atspi/Fields.h"
#include "platform/linux/atspi/AtspiAccessibility.h"

namespace veska::platform {
namespace {

using ports::AXAttribute;
using ports::AXElement;
using ports::AXError;
using ports::TextRange;
using testing::AtspiDesktop;
using testing::QtField;

/// A Qt program in front whose QTextEdit shows what the contract asks for. Trust is the
/// session's switch, so it can be revoked.
class QtRig final : public contract::AccessibilityRig {
public:
    QtRig() {
        if (!AtspiDesktop::get().missing().empty()) {
            problem_ = AtspiDesktop::get().missing();
            return;
        }
        AtspiDesktop::get().setEnabled(true);
        ax_.isProcessTrusted(false);
        field_ = std::make_unique<QtField>();
        if (!field_->ready()) problem_ = "the Qt text field program did not start";
    }
    [[nodiscard]] const std::string& problem() const { return problem_; }

    ports::Accessibility& accessibility() override { return ax_; }
    std::int32_t showField(const std::string& text, TextRange selection) override {
        EXPECT_TRUE(field_->show(text, selection));
        // Wait until the element in focus shows the new text.
        const bool shown = AtspiDesktop::waitFor([&] {
            auto focused = ax_.elementAttribute(ax_.systemWide(), AXAttribute::focusedUIElement);
            if (!focused) return false;
            return ax_.stringAttribute(*focused, AXAttribute::value).value_or("\x01") == text &&
                   ax_.rangeAttribute(*focused, AXAttribute::selectedTextRange).has_value();
        });
        EXPECT_TRUE(shown) << "the Qt field never showed the text over AT-SPI";
        return field_->pid();
    }
    void quitFieldApp() override { field_->quit(); }
    QtField& field() { return *field_; }
    [[nodiscard]] bool canSwitchTrust() const override { return true; }
    void setTrusted(bool trusted) override { EXPECT_TRUE(AtspiDesktop::get().setEnabled(trusted)); }
    void pump(double seconds) override {
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    }

private:
    std::string problem_;
    AtspiAccessibility ax_;
    std::unique_ptr<QtField> field_;
};

/// Makes the rig of one contract test; the test is skipped, with the reason, when the desktop
/// or the program cannot start (a skip while the fixture is made keeps the body from running).
struct QtRigFactory {
    static std::unique_ptr<contract::AccessibilityRig> make() {
        auto rig = std::make_unique<QtRig>();
        if (!rig->problem().empty()) [&] { GTEST_SKIP() << rig->problem(); }();
        return rig;
    }
};

}  // namespace
}  // namespace veska::platform

namespace veska::contract {
INSTANTIATE_TYPED_TEST_SUITE_P(AtspiQt, AccessibilityContract, ::testing::Types<platform::QtRigFactory>);
}  // namespace veska::contract

namespace veska::platform {
namespace {

TEST(AtspiQt, InsertedTextIsMeasuredInUtf16UnitsForQt) {
    QtRig rig;
    if (!rig.problem().empty()) GTEST_SKIP() << rig.problem();
    ports::Accessibility& ax = rig.accessibility();
    rig.showField("ab", {1, 0});
    const AXElement field =
        ax.elementAttribute(ax.systemWide(), AXAttribute::focusedUIElement).value_or(ports::AXElement{});
    // "Tiếng Việt 😀": 13 UTF-16 units, 19 bytes. A byte length makes Qt take more than was sent.
    const std::string inserted = "Ti\xE1\xBA\xBFng Vi\xE1\xBB\x87t \xF0\x9F\x98\x80";
    ASSERT_EQ(ax.setAttribute(field, AXAttribute::selectedText, inserted), AXError::success);
    EXPECT_TRUE(AtspiDesktop::waitFor(
        [&] { return ax.stringAttribute(field, AXAttribute::value).value_or("") == "a" + inserted + "b"; },
        2))
        << ax.stringAttribute(field, AXAttribute::value).value_or("<unreadable>");
    EXPECT_EQ(ax.rangeAttribute(field, AXAttribute::selectedTextRange).value_or(TextRange{}),
              (TextRange{14, 0}));
    EXPECT_EQ(rig.field().text(), "a" + inserted + "b");
}

TEST(AtspiQt, QtOffsetsAreUtf16UnitsBehindEmoji) {
    QtRig rig;
    if (!rig.problem().empty()) GTEST_SKIP() << rig.problem();
    ports::Accessibility& ax = rig.accessibility();
    // "a😀b😀c": Qt counts its offsets in UTF-16 units where GTK counts characters.
    rig.showField(
        "a\xF0\x9F\x98\x80"
        "b\xF0\x9F\x98\x80"
        "c",
        {3, 1});
    const AXElement field =
        ax.elementAttribute(ax.systemWide(), AXAttribute::focusedUIElement).value_or(AXElement{});
    EXPECT_EQ(ax.rangeAttribute(field, AXAttribute::selectedTextRange).value_or(TextRange{}),
              (TextRange{3, 1}));
    EXPECT_EQ(ax.stringAttribute(field, AXAttribute::selectedText).value_or(""), "b");
    const auto second =
        ax.parameterizedAttribute(field, ports::AXParameterizedAttribute::stringForRange, TextRange{4, 2});
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(std::get<std::string>(*second), "\xF0\x9F\x98\x80");
    ASSERT_EQ(ax.setAttribute(field, AXAttribute::selectedTextRange, TextRange{4, 3}), AXError::success);
    EXPECT_EQ(rig.field().cursor(), "4 7");
    EXPECT_EQ(ax.setAttribute(field, AXAttribute::selectedTextRange, TextRange{5, 1}),
              AXError::illegalArgument);
}

}  // namespace
}  // namespace veska::platform
