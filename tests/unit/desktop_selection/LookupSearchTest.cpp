// Finding the selection through accessibility: where it is found and how far the search goes.
#include <gtest/gtest.h>

#include "SelectionRig.h"

namespace veska::testing {
namespace {

using ports::TextRange;

TEST(SelectionLookup, FindsTheSelectionWhereverTheAppExposesIt) {
    struct Row {
        const char* name;
        std::function<void(SelectionRig&)> build;
        std::optional<std::string> expected;
        std::optional<std::string> trimmedForContext;
    };
    const std::vector<Row> rows{
        {"native field", [](SelectionRig& r) { r.field("AXTextField", "hello world", TextRange{6, 5}); }, "world", "world"},
        {"selection kept untrimmed", [](SelectionRig& r) { r.field("AXTextArea", "a  b\n", TextRange{1, 4}); },
         "  b\n", "b"},
        {"only as a range",
         [](SelectionRig& r) { refuseSelectedText(r.desktop.element(r.field("AXTextArea", "hello", TextRange{1, 3}))); },
         "ell", "ell"},
        {"on the parent group",
         [](SelectionRig& r) {
             const std::uint64_t group = r.desktop.addElement(
                 r.appPid, 0, {.role = "AXGroup", .text = "group text", .selection = TextRange{0, 5}});
             const std::uint64_t field = r.desktop.addElement(r.appPid, group, {.role = "AXTextField", .text = "x"});
             r.desktop.focus(r.appPid, field);
         },
         "group", "group"},
        {"inside a web document",
         [](SelectionRig& r) {
             const std::uint64_t doc = r.field("AXWebArea", "");
             refuseSelectedText(r.desktop.element(doc));
             std::uint64_t parent = doc;
             for (int i = 0; i < 3; ++i) parent = r.desktop.addElement(r.appPid, parent, {.role = "AXGroup"});
             r.desktop.addElement(r.appPid, parent, {.role = "AXStaticText", .text = "deep words", .selection = TextRange{5, 5}});
         },
         "words", "words"},
        {"spaces and line breaks only",
         [](SelectionRig& r) { r.field("AXTextArea", "a \n\t b", TextRange{1, 4}); }, std::nullopt, std::nullopt},
        {"no selection anywhere", [](SelectionRig& r) { r.field("AXTextArea", "abc", TextRange{1, 0}); }, std::nullopt, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SelectionRig rig;
        row.build(rig);
        const AXOnlySelection axOnly = rig.lookupAXOnly();
        EXPECT_EQ(axOnly.text, row.trimmedForContext);
        EXPECT_FALSE(axOnly.cut);
        const SelectionLookup full = rig.lookup();
        EXPECT_EQ(full.hit ? std::optional(full.hit->text) : std::nullopt, row.expected);
        if (full.hit) EXPECT_EQ(full.hit->source, TextSource::selection);
        EXPECT_FALSE(full.oversized);
        EXPECT_FALSE(full.blind);
    }
}

/// A web document, in a window, that has the focus and no selection of its own.
std::uint64_t webDocument(SelectionRig& rig) {
    const std::uint64_t doc = rig.field("AXWebArea", "");
    refuseSelectedText(rig.desktop.element(doc));
    return doc;
}

std::uint64_t selectedText(SelectionRig& rig, std::uint64_t parent) {
    return rig.desktop.addElement(rig.appPid, parent, {.role = "AXStaticText", .text = "found", .selection = TextRange{0, 5}});
}

std::uint64_t group(SelectionRig& rig, std::uint64_t parent) {
    return rig.desktop.addElement(rig.appPid, parent, {.role = "AXGroup"});
}

TEST(SelectionLookup, SearchBelowStopsAtEightyElementsSixLevelsAndSixteenChildren) {
    struct Row {
        const char* name;
        std::function<void(SelectionRig&, std::uint64_t doc)> build;
        bool found;
    };
    // The search starts at the window: the window is element 1, the document 2, its 16
    // groups 3 to 18, then the groups' children 16 at a time.
    auto grid = [](int selectedAt) {
        return [selectedAt](SelectionRig& rig, std::uint64_t doc) {
            std::vector<std::uint64_t> groups;
            for (int i = 0; i < 16; ++i) groups.push_back(group(rig, doc));
            int taken = 18;
            for (std::uint64_t g : groups) {
                for (int i = 0; i < 16; ++i) {
                    ++taken;
                    if (taken == selectedAt) {
                        selectedText(rig, g);
                    } else {
                        group(rig, g);
                    }
                }
            }
        };
    };
    auto chain = [](int depth) {
        // The window is at level 0, the document at 1.
        return [depth](SelectionRig& rig, std::uint64_t doc) {
            std::uint64_t parent = doc;
            for (int level = 2; level < depth; ++level) parent = group(rig, parent);
            selectedText(rig, parent);
        };
    };
    auto wide = [](int position) {
        return [position](SelectionRig& rig, std::uint64_t doc) {
            for (int i = 1; i <= 17; ++i) {
                if (i == position) {
                    selectedText(rig, doc);
                } else {
                    group(rig, doc);
                }
            }
        };
    };
    const std::vector<Row> rows{
        {"80th element", grid(80), true},
        {"81st element", grid(81), false},
        {"level 6", chain(6), true},
        {"level 7", chain(7), false},
        {"16th child", wide(16), true},
        {"17th child", wide(17), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SelectionRig rig;
        row.build(rig, webDocument(rig));
        EXPECT_EQ(rig.lookupAXOnly().text, row.found ? std::optional<std::string>("found") : std::nullopt);
    }
}

TEST(SelectionLookup, ClimbsAtMostEightParents) {
    struct Row {
        int selectedAncestor;  // 1: the field's parent
        bool found;
    };
    const std::vector<Row> rows{{1, true}, {8, true}, {9, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.selectedAncestor);
        SelectionRig rig;
        // application > g10 > g9 > ... > g1 > field: the field's n-th ancestor is g_n.
        std::uint64_t parent = 0;
        for (int n = 10; n >= 1; --n) {
            sim::SimElementSpec ancestor{.role = "AXGroup"};
            if (n == row.selectedAncestor) {
                ancestor.text = "up here";
                ancestor.selection = TextRange{0, 2};
            }
            parent = rig.desktop.addElement(rig.appPid, parent, ancestor);
        }
        const std::uint64_t field = rig.desktop.addElement(rig.appPid, parent, {.role = "AXTextField", .text = "x"});
        rig.desktop.focus(rig.appPid, field);
        EXPECT_EQ(rig.lookupAXOnly().text, row.found ? std::optional<std::string>("up") : std::nullopt);
    }
}

TEST(SelectionLookup, WithoutAccessibilityTheLookupIsBlindAndTouchesNothing) {
    SelectionRig rig;
    rig.field("AXTextField", "hello", TextRange{0, 5});
    rig.setPasteboard("mine", "<i>mine</i>");
    rig.desktop.permissions().setGranted(ports::Permission::accessibility, false);
    const std::int64_t changes = rig.desktop.pasteboard().changeCount();
    EXPECT_EQ(rig.lookup(), (SelectionLookup{.hit = std::nullopt, .oversized = false, .blind = true}));
    EXPECT_EQ(rig.lookupAXOnly(), (AXOnlySelection{.text = std::nullopt, .cut = false, .oversized = false, .blind = true}));
    EXPECT_EQ(rig.desktop.pasteboard().changeCount(), changes);
    EXPECT_TRUE(rig.posted().empty());
    EXPECT_EQ(rig.desktop.permissions().requestCount(ports::Permission::accessibility), 0);
}

TEST(SelectionLookup, StalledAppCostsOnlyTheShortTimeouts) {
    SelectionRig rig;
    const std::uint64_t doc = webDocument(rig);
    for (int i = 0; i < 16; ++i) group(rig, doc);
    rig.desktop.accessibility().setApplicationStalled(rig.appPid, true);
    EXPECT_EQ(rig.lookupAXOnly().text, std::nullopt);
    // The system-wide question at 0.35 s, the application's own at 0.25 s; nothing more.
    EXPECT_NEAR(rig.desktop.accessibility().blockedSeconds(), 0.35 + 0.25, 1e-9);
}

}  // namespace
}  // namespace veska::testing
