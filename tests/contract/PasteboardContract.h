// Contract of the Pasteboard port: every implementation must pass these tests.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ports/Pasteboard.h"

namespace veska::contract {

/// What the suite needs besides the port: another application writing, and time passing.
class PasteboardRig {
public:
    virtual ~PasteboardRig() = default;
    virtual ports::Pasteboard& pasteboard() = 0;
    /// Another application puts plain text on the clipboard.
    virtual void writeFromOtherApp(const std::string& text) = 0;
    /// Lets pending platform work happen for `seconds` (virtual or real).
    virtual void pump(double seconds) = 0;
};

/// Instantiate with a factory type that has `static std::unique_ptr<PasteboardRig> make()`.
template <class Factory>
class PasteboardContract : public ::testing::Test {
protected:
    std::unique_ptr<PasteboardRig> rig = Factory::make();
    ports::Pasteboard& board() { return rig->pasteboard(); }
};

TYPED_TEST_SUITE_P(PasteboardContract);

TYPED_TEST_P(PasteboardContract, EachWriteReadsBackExactlyWhatWasWritten) {
    const std::string big(1 << 20, 'x');
    const std::vector<ports::PasteboardContents> rows{
        {.plainText = "plain", .html = std::nullopt, .rtf = std::nullopt},
        {.plainText = std::nullopt, .html = "<b>bold</b>", .rtf = std::nullopt},
        {.plainText = std::nullopt, .html = std::nullopt, .rtf = std::string("{\\rtf1 a\0b}", 11)},
        {.plainText = "Ti\xE1\xBA\xBFng Vi\xE1\xBB\x87t \xF0\x9F\x98\x80", .html = "<i>x</i>", .rtf = "{\\rtf1 x}"},
        // Vietnamese with decomposed marks stays decomposed: no normalisation on the way.
        {.plainText = "Vie\xCC\xA3\xCC\x82t", .html = std::nullopt, .rtf = std::nullopt},
        {.plainText = "", .html = std::nullopt, .rtf = std::nullopt},
        {.plainText = big, .html = std::nullopt, .rtf = std::nullopt},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        ASSERT_TRUE(this->board().write(rows[i]));
        this->rig->pump(0.05);
        EXPECT_EQ(this->board().plainText(), rows[i].plainText);
        EXPECT_EQ(this->board().html(), rows[i].html);
        EXPECT_EQ(this->board().rtf(), rows[i].rtf);
    }
}

TYPED_TEST_P(PasteboardContract, WriteReplacesEveryTypeHeldBefore) {
    ASSERT_TRUE(this->board().write({.plainText = "old", .html = "<p>old</p>", .rtf = "{\\rtf1 old}"}));
    ASSERT_TRUE(this->board().write({.plainText = "new", .html = std::nullopt, .rtf = std::nullopt}));
    this->rig->pump(0.05);
    EXPECT_EQ(this->board().plainText(), "new");
    EXPECT_EQ(this->board().html(), std::nullopt);
    EXPECT_EQ(this->board().rtf(), std::nullopt);
}

TYPED_TEST_P(PasteboardContract, ClearAndEmptyWriteLeaveNothing) {
    ASSERT_TRUE(this->board().write({.plainText = "a", .html = "<p>a</p>", .rtf = std::nullopt}));
    this->board().clear();
    this->rig->pump(0.05);
    EXPECT_EQ(this->board().plainText(), std::nullopt);
    EXPECT_EQ(this->board().html(), std::nullopt);
    ASSERT_TRUE(this->board().write({.plainText = "b", .html = std::nullopt, .rtf = std::nullopt}));
    ASSERT_TRUE(this->board().write({}));
    this->rig->pump(0.05);
    EXPECT_EQ(this->board().plainText(), std::nullopt);
}

TYPED_TEST_P(PasteboardContract, ChangeCountGrowsWithEveryChangeByAnyone) {
    const std::int64_t start = this->board().changeCount();
    ASSERT_TRUE(this->board().write({.plainText = "one", .html = std::nullopt, .rtf = std::nullopt}));
    const std::int64_t afterWrite = this->board().changeCount();
    EXPECT_GT(afterWrite, start);
    (void)this->board().plainText();
    EXPECT_EQ(this->board().changeCount(), afterWrite) << "reading is not a change";
    this->rig->writeFromOtherApp("two");
    this->rig->pump(0.2);
    const std::int64_t afterOther = this->board().changeCount();
    EXPECT_GT(afterOther, afterWrite);
    const std::int64_t cleared = this->board().clear();
    EXPECT_GT(cleared, afterOther);
    EXPECT_EQ(this->board().changeCount(), cleared);
}

TYPED_TEST_P(PasteboardContract, TextOfAnotherApplicationIsReadable) {
    ASSERT_TRUE(this->board().write({.plainText = "mine", .html = "<p>mine</p>", .rtf = std::nullopt}));
    this->rig->writeFromOtherApp("theirs \xE1\xBB\x87");
    this->rig->pump(0.2);
    EXPECT_EQ(this->board().plainText(), "theirs \xE1\xBB\x87");
    EXPECT_EQ(this->board().html(), std::nullopt) << "the other application's write replaced ours";
}

REGISTER_TYPED_TEST_SUITE_P(PasteboardContract, EachWriteReadsBackExactlyWhatWasWritten,
                            WriteReplacesEveryTypeHeldBefore, ClearAndEmptyWriteLeaveNothing,
                            ChangeCountGrowsWithEveryChangeByAnyone, TextOfAnotherApplicationIsReadable);

}  // namespace veska::contract
