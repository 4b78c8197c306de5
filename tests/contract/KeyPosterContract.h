// Contract of the KeyPoster port: every implementation must pass these tests.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ports/Accessibility.h"
#include "ports/KeyPoster.h"
#include "ports/Pasteboard.h"

namespace veska::contract {

/// A test application in front with one focused, editable text field.
class KeyPosterRig {
public:
    virtual ~KeyPosterRig() = default;
    virtual ports::KeyPoster& poster() = 0;
    virtual ports::Pasteboard& pasteboard() = 0;
    /// Fills the focused field and places the selection (UTF-16 units).
    virtual void setField(const std::string& text, ports::TextRange selection) = 0;
    virtual std::string fieldText() = 0;
    /// Keys the user holds on the keyboard.
    virtual void userPress(ports::KeyCode code) = 0;
    virtual void userRelease(ports::KeyCode code) = 0;
    [[nodiscard]] virtual bool canSwitchInputMonitoring() const = 0;
    virtual void setInputMonitoring(bool granted) = 0;
    virtual void pump(double seconds) = 0;
};

inline std::vector<ports::SyntheticKey> commandChord(ports::KeyCode key) {
    const ports::KeyFlags cmd = ports::flags::kCommand;
    return {{ports::keys::kCommand, true, cmd}, {key, true, cmd}, {key, false, cmd}, {ports::keys::kCommand, false, 0}};
}

inline std::vector<ports::SyntheticKey> deletes(int count) {
    std::vector<ports::SyntheticKey> keys;
    for (int i = 0; i < count; ++i) {
        keys.push_back({ports::keys::kDelete, true, 0});
        keys.push_back({ports::keys::kDelete, false, 0});
    }
    return keys;
}

template <class Factory>
class KeyPosterContract : public ::testing::Test {
protected:
    std::unique_ptr<KeyPosterRig> rig = Factory::make();
    ports::KeyPoster& poster() { return rig->poster(); }
    /// Polls up to a second for the field to read `expected`.
    void expectField(const std::string& expected) {
        for (int i = 0; i < 20 && rig->fieldText() != expected; ++i) rig->pump(0.05);
        EXPECT_EQ(rig->fieldText(), expected);
    }
};

TYPED_TEST_SUITE_P(KeyPosterContract);

TYPED_TEST_P(KeyPosterContract, EachDeleteRemovesOneCharacterBeforeTheCaretOrTheSelection) {
    const struct {
        const char* text;
        ports::TextRange selection;
        int presses;
        const char* expected;
    } rows[] = {
        {"hello", {5, 0}, 2, "hel"},
        {"hello", {0, 0}, 1, "hello"},  // at the start of the field nothing goes
        {"", {0, 0}, 3, ""},
        {"hello", {1, 3}, 1, "ho"},                      // the selection goes, not one more
        {"a\xF0\x9F\x98\x80", {3, 0}, 1, "a"},           // an emoji is one character
        {"ab\xF0\x9F\x98\x80" "cd", {4, 0}, 2, "acd"},   // caret after the emoji
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        this->rig->setField(row.text, row.selection);
        ASSERT_TRUE(this->poster().post(deletes(row.presses)));
        this->expectField(row.expected);
    }
}

TYPED_TEST_P(KeyPosterContract, CommandVPastesOverTheSelection) {
    ASSERT_TRUE(this->rig->pasteboard().write({.plainText = "XY \xE1\xBB\x87", .html = std::nullopt, .rtf = std::nullopt}));
    this->rig->setField("hello", {1, 3});
    ASSERT_TRUE(this->poster().post(commandChord(ports::keys::kV)));
    this->expectField("hXY \xE1\xBB\x87o");
}

TYPED_TEST_P(KeyPosterContract, CommandCCopiesTheSelection) {
    ASSERT_TRUE(this->rig->pasteboard().write({.plainText = "before", .html = std::nullopt, .rtf = std::nullopt}));
    this->rig->setField("hello world", {6, 5});
    ASSERT_TRUE(this->poster().post(commandChord(ports::keys::kC)));
    for (int i = 0; i < 20 && this->rig->pasteboard().plainText() != "world"; ++i) this->rig->pump(0.05);
    EXPECT_EQ(this->rig->pasteboard().plainText(), "world");
    EXPECT_EQ(this->rig->fieldText(), "hello world");
}

TYPED_TEST_P(KeyPosterContract, HeldModifiersShowAndAPostedKeyUpReleasesThem) {
    this->rig->setField("one two", {7, 0});
    this->rig->userPress(ports::keys::kShift);
    this->rig->pump(0.05);
    EXPECT_NE(this->poster().heldModifiers() & ports::flags::kShift, 0u);
    this->rig->userRelease(ports::keys::kShift);
    this->rig->pump(0.05);
    EXPECT_EQ(this->poster().heldModifiers() & ports::flags::kShift, 0u);

    // The user still holds Control: once its key-up is posted, Delete removes one character.
    this->rig->userPress(ports::keys::kControl);
    this->rig->pump(0.05);
    ASSERT_TRUE(this->poster().post({{ports::keys::kControl, false, 0}, {ports::keys::kRightControl, false, 0}}));
    ASSERT_TRUE(this->poster().post(deletes(1)));
    this->expectField("one tw");
    EXPECT_EQ(this->poster().heldModifiers() & ports::flags::kControl, 0u);
    this->rig->userRelease(ports::keys::kControl);
}

TYPED_TEST_P(KeyPosterContract, CanPostFollowsThePermission) {
    if (!this->rig->canSwitchInputMonitoring()) GTEST_SKIP() << "this rig cannot revoke input monitoring";
    this->rig->setInputMonitoring(false);
    EXPECT_FALSE(this->poster().canPost());
    this->rig->setInputMonitoring(true);
    EXPECT_TRUE(this->poster().canPost());
}

REGISTER_TYPED_TEST_SUITE_P(KeyPosterContract, EachDeleteRemovesOneCharacterBeforeTheCaretOrTheSelection,
                            CommandVPastesOverTheSelection, CommandCCopiesTheSelection,
                            HeldModifiersShowAndAPostedKeyUpReleasesThem, CanPostFollowsThePermission);

}  // namespace veska::contract
