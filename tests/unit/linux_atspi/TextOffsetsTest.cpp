// Offsets between the port's UTF-16 units and the applications' characters or units, and roles.
#include <gtest/gtest.h>

#include "platform/linux/atspi/AtspiRoles.h"
#include "platform/linux/atspi/TextOffsets.h"
#include "ports/Accessibility.h"

namespace veska::platform {
namespace {

// "aẞ😀b" then a lone continuation byte: 1 + 1 + 2 + 1 + 1 UTF-16 units, 5 characters.
const std::string kMixed =
    "a\xE1\xBA\x9E\xF0\x9F\x98\x80"
    "b\x80";

TEST(TextOffsets, CharactersAndUtf16UnitsMapBothWaysAndRefuseHalfPairs) {
    const TextOffsets chars(kMixed, OffsetUnit::characters);
    EXPECT_EQ(chars.characters(), 5);
    EXPECT_EQ(chars.utf16Length(), 6);
    const struct {
        std::int64_t utf16;
        std::optional<std::int64_t> character;
    } rows[] = {{0, 0},
                {1, 1},
                {2, 2},
                {3, std::nullopt},
                {4, 3},
                {5, 4},
                {6, 5},
                {7, std::nullopt},
                {-1, std::nullopt}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.utf16);
        EXPECT_EQ(chars.offsetAt(row.utf16), row.character);
        if (row.character) EXPECT_EQ(chars.utf16At(*row.character), row.utf16);
    }
    EXPECT_EQ(chars.slice(2, 3), "\xF0\x9F\x98\x80");
    EXPECT_EQ(chars.slice(3, 99), "b\x80");
    EXPECT_EQ(chars.slice(-5, 1), "a");
    EXPECT_EQ(chars.slice(3, 2), "");
}

TEST(TextOffsets, Utf16CountingApplicationsUseTheUnitsThemselves) {
    const TextOffsets units(kMixed, OffsetUnit::utf16);
    EXPECT_EQ(units.offsetAt(4), 4);
    EXPECT_EQ(units.offsetAt(3), std::nullopt);
    EXPECT_EQ(units.utf16At(5), 5);
    EXPECT_EQ(units.utf16At(99), 6);
    EXPECT_EQ(units.slice(2, 4), "\xF0\x9F\x98\x80");
    EXPECT_EQ(units.slice(4, 6), "b\x80");
    EXPECT_EQ(utf16Units(kMixed), 6);
    EXPECT_EQ(utf16Units("\xC0\xAF"), 2);  // an overlong encoding is two bad bytes
    EXPECT_EQ(utf16Units(""), 0);
}

TEST(AtspiRoles, TextRolesFollowTheLineStateAndOthersMapToThePortsNames) {
    namespace roles = ports::roles;
    const struct {
        AtspiRole role;
        bool multiLine;
        bool editable;
        std::string_view expected;
    } rows[] = {
        {ATSPI_ROLE_TEXT, true, true, roles::kTextArea},
        {ATSPI_ROLE_ENTRY, false, true, roles::kTextField},
        {ATSPI_ROLE_PASSWORD_TEXT, false, true, roles::kTextField},
        {ATSPI_ROLE_PARAGRAPH, false, false, roles::kStaticText},
        {ATSPI_ROLE_PARAGRAPH, true, true, roles::kTextArea},
        {ATSPI_ROLE_FRAME, false, false, roles::kWindow},
        {ATSPI_ROLE_APPLICATION, false, false, roles::kApplication},
        {ATSPI_ROLE_COMBO_BOX, false, false, roles::kComboBox},
        {ATSPI_ROLE_DOCUMENT_WEB, false, false, roles::kWebArea},
        {ATSPI_ROLE_PUSH_BUTTON, false, false, roles::kButton},
        {ATSPI_ROLE_FILLER, false, false, roles::kGroup},
        {ATSPI_ROLE_SLIDER, false, false, roles::kUnknown},
        {ATSPI_ROLE_TABLE_CELL, false, true, roles::kTextField},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.role));
        EXPECT_EQ(roleName(row.role, row.multiLine, row.editable), row.expected);
    }
}

}  // namespace
}  // namespace veska::platform
