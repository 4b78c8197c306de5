// The Command+C fallback: its waits, the borrowed clipboard, the rich forms, the copy lock.
#include <gtest/gtest.h>

#include "SelectionRig.h"
#include "runtime/Sleep.h"

namespace veska::testing {
namespace {

namespace k = ports::keys;
using ports::AXAttribute;
using ports::PasteboardContents;
using ports::TextRange;

/// A field whose selection accessibility cannot read, so that only a copy finds it.
std::uint64_t opaqueField(SelectionRig& rig, const std::string& text, TextRange selection) {
    const std::uint64_t id = rig.field("AXTextArea", text, selection);
    sim::SimElement& e = rig.desktop.element(id);
    e.readFaults[AXAttribute::selectedText] = {};
    e.readFaults[AXAttribute::selectedTextRange] = {};
    return id;
}

std::vector<double> copyTimes(SelectionRig& rig) {
    std::vector<double> times;
    for (const sim::TraceEntry& e : rig.posted()) {
        if (e.keyCode == k::kC && e.down) times.push_back(e.time);
    }
    return times;
}

TEST(SelectionCopy, GivesTheUsersPlainTextBackWhateverWasCopied) {
    struct Row {
        const char* name;
        PasteboardContents before;
        TextRange selection;  // of "copy me"
        std::optional<std::string> hit;
        double elapsed;
    };
    const std::vector<Row> rows{
        {"text on the clipboard", {.plainText = "mine"}, {0, 4}, "copy", 0.03 + 0.04 + 0.06},
        {"rich clipboard keeps its text only", {.plainText = "mine", .html = "<b>mine</b>"}, {5, 2}, "me",
         0.03 + 0.04 + 0.06},
        {"empty clipboard stays empty", {}, {0, 7}, "copy me", 0.03 + 0.04 + 0.06},
        {"invalid UTF-8 comes back byte for byte", {.plainText = "\xC3(\xFF"}, {0, 4}, "copy", 0.03 + 0.04 + 0.06},
        {"nothing selected: ten polls, then none", {.plainText = "mine"}, {2, 0}, std::nullopt, 0.03 + 0.04 + 0.6},
        {"spaces only are no selection", {.plainText = "mine"}, {4, 1}, std::nullopt, 0.03 + 0.04 + 0.06},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SelectionRig rig;
        const std::uint64_t id = opaqueField(rig, "copy me", row.selection);
        rig.desktop.element(id).html = "<p>copied</p>";
        rig.desktop.pasteboard().writeFromApp(rig.appPid, row.before);

        const SelectionLookup result = rig.lookup();
        EXPECT_EQ(result.hit ? std::optional(result.hit->text) : std::nullopt, row.hit);
        EXPECT_FALSE(result.oversized);
        EXPECT_NEAR(rig.loop.now(), row.elapsed, 1e-9);
        EXPECT_EQ(copyTimes(rig), std::vector<double>{0.07});
        EXPECT_EQ(rig.desktop.pasteboard().contents(), (PasteboardContents{.plainText = row.before.plainText}));
    }
}

TEST(SelectionCopy, KeepsOneRichFormOfTheCopyAndHandsItOutOnce) {
    struct Row {
        const char* name;
        std::optional<std::string> html;
        std::optional<std::string> rtf;
        std::optional<RichForms> expected;
    };
    const std::vector<Row> rows{
        {"web page: HTML", "<b>hi</b>", std::nullopt, RichForms{.html = "<b>hi</b>", .rtf = std::nullopt}},
        {"HTML is preferred to RTF", "<b>hi</b>", "{\\rtf1 hi}", RichForms{.html = "<b>hi</b>", .rtf = std::nullopt}},
        {"RTF when there is no HTML", std::nullopt, "{\\rtf1 hi}", RichForms{.html = std::nullopt, .rtf = "{\\rtf1 hi}"}},
        {"plain text only", std::nullopt, std::nullopt, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SelectionRig rig;
        const std::uint64_t id = opaqueField(rig, "hi", {0, 2});
        rig.desktop.element(id).html = row.html;
        rig.desktop.element(id).rtf = row.rtf;
        ASSERT_TRUE(rig.lookup().hit);
        EXPECT_EQ(rig.service.takeRich("other text"), std::nullopt);
        EXPECT_EQ(rig.service.takeRich("hi"), row.expected);
        EXPECT_EQ(rig.service.takeRich("hi"), std::nullopt);
    }
}

TEST(SelectionCopy, ACopyThatFindsNothingForgetsThePreviousRichForms) {
    SelectionRig rig;
    const std::uint64_t id = opaqueField(rig, "hi", {0, 2});
    rig.desktop.element(id).html = "<b>hi</b>";
    ASSERT_TRUE(rig.lookup().hit);
    rig.desktop.element(id).selection = {1, 0};
    EXPECT_FALSE(rig.lookup().hit);
    EXPECT_EQ(rig.service.takeRich("hi"), std::nullopt);
}

TEST(SelectionCopy, OverLongCopyIsOversized) {
    struct Row {
        int length;
        bool hit;
    };
    for (const Row& row : std::vector<Row>{{15000, true}, {15001, false}}) {
        SCOPED_TRACE(row.length);
        SelectionRig rig;
        const std::string text(static_cast<std::size_t>(row.length), 'z');
        opaqueField(rig, text, {0, row.length});
        rig.setPasteboard("mine");
        const SelectionLookup result = rig.lookup();
        EXPECT_EQ(result.hit.has_value(), row.hit);
        EXPECT_EQ(result.oversized, !row.hit);
        EXPECT_EQ(rig.desktop.pasteboard().plainText(), "mine");
    }
}

TEST(SelectionCopy, WithoutInputMonitoringTheLookupIsBlindAndTheClipboardUntouched) {
    SelectionRig rig;
    opaqueField(rig, "hi", {0, 2});
    rig.setPasteboard("mine", "<b>mine</b>");
    rig.desktop.permissions().setGranted(ports::Permission::inputMonitoring, false);
    const std::int64_t changes = rig.desktop.pasteboard().changeCount();
    EXPECT_EQ(rig.lookup(), (SelectionLookup{.hit = std::nullopt, .oversized = false, .blind = true}));
    EXPECT_EQ(rig.desktop.pasteboard().changeCount(), changes);
    EXPECT_TRUE(rig.posted().empty());
}

TEST(SelectionCopy, CancelledLookupStillGivesTheClipboardBack) {
    SelectionRig rig;
    const std::uint64_t id = opaqueField(rig, "hi", {1, 0});  // nothing to copy: the copy polls
    rig.setPasteboard("mine");
    rt::JoinHandle<SelectionLookup> handle = rt::spawn(rig.loop.main(), rig.service.lookupSelectionAsync());
    rig.loop.runFor(0.2);
    EXPECT_EQ(rig.desktop.pasteboard().plainText(), std::nullopt);  // borrowed now
    handle.cancel();
    rig.loop.runUntilIdle();
    EXPECT_TRUE(handle.done());
    EXPECT_EQ(rig.desktop.pasteboard().plainText(), "mine");
    // The copy lock was given up: the next copy runs at once.
    rig.desktop.element(id).selection = {0, 2};
    const double start = rig.loop.now();
    const SelectionLookup next = rig.lookup();
    ASSERT_TRUE(next.hit);
    EXPECT_EQ(next.hit->text, "hi");
    EXPECT_NEAR(rig.loop.now() - start, 0.13, 1e-9);
    EXPECT_EQ(rig.desktop.pasteboard().plainText(), "mine");
}

TEST(SelectionCopy, ConcurrentLookupsCopyOneAfterTheOtherAndKeepTheirOwnRecords) {
    SelectionRig rig;
    // The first look-up meets an over-long selection, then copies from the app in front.
    opaqueField(rig, "", {0, 0});
    const std::uint64_t wide = rig.desktop.addElement(rig.appPid, 0, {.role = "AXTextArea", .text = std::string(15001, 'w'), .selection = TextRange{0, 15001}});
    rig.desktop.focus(rig.appPid, wide);
    rig.setPasteboard("mine");
    rt::JoinHandle<SelectionLookup> first = rt::spawn(rig.loop.main(), rig.service.lookupSelectionAsync());
    rig.loop.runFor(0.01);

    // Meanwhile the user switches to an app with nothing focused; a second look-up starts.
    const std::int32_t other = rig.desktop.launchApp({.bundleIdentifier = "org.example.Empty"}, true);
    rig.desktop.addElement(other, 0, {.role = "AXWindow"});
    rt::JoinHandle<SelectionLookup> second = rt::spawn(rig.loop.main(), rig.service.lookupSelectionAsync());
    rig.loop.runUntil([&] { return first.done() && second.done(); }, 10);

    EXPECT_EQ(first.take(), (SelectionLookup{.hit = std::nullopt, .oversized = true, .blind = false}));
    EXPECT_EQ(second.take(), (SelectionLookup{.hit = std::nullopt, .oversized = false, .blind = false}));
    // The second copy starts only once the first gave the clipboard back.
    const std::vector<double> copies = copyTimes(rig);
    ASSERT_EQ(copies.size(), 2U);
    EXPECT_NEAR(copies[0], 0.07, 1e-9);
    EXPECT_NEAR(copies[1], 0.67 + 0.07, 1e-9);
    std::vector<std::string> clipboard;
    for (const sim::TraceEntry& e : rig.desktop.trace().entries()) {
        if (e.kind == sim::TraceKind::pasteboardClear) clipboard.push_back("clear");
        if (e.kind == sim::TraceKind::pasteboardWrite) clipboard.push_back(e.detail);
    }
    const std::vector<std::string> expected{"mine", "clear", "clear", "mine", "clear", "clear", "mine"};
    EXPECT_EQ(clipboard, expected);
}

/// Forwards to the desktop's pasteboard, noting which executor each call came from.
class WatchedPasteboard final : public ports::Pasteboard {
public:
    explicit WatchedPasteboard(ports::Pasteboard& inner) : inner_(inner) {}
    [[nodiscard]] const std::vector<rt::Executor*>& callers() const { return callers_; }

    [[nodiscard]] std::int64_t changeCount() const override { return inner_.changeCount(); }
    [[nodiscard]] std::optional<std::string> plainText() const override { return note(inner_.plainText()); }
    [[nodiscard]] std::optional<std::string> html() const override { return note(inner_.html()); }
    [[nodiscard]] std::optional<std::string> rtf() const override { return note(inner_.rtf()); }
    std::int64_t clear() override { return note(inner_.clear()); }
    bool write(const PasteboardContents& contents) override { return note(inner_.write(contents)); }

private:
    template <class T>
    T note(T value) const {
        callers_.push_back(rt::Executor::current());
        return value;
    }
    ports::Pasteboard& inner_;
    mutable std::vector<rt::Executor*> callers_;
};

rt::Task<rt::Executor*> lookupAndSayWhere(SelectionService* service) {
    SelectionLookup result = co_await service->lookupSelectionAsync();
    EXPECT_TRUE(result.hit);
    co_return rt::Executor::current();
}

TEST(SelectionCopy, LookupRunsOnTheLookupQueueAndResumesTheCaller) {
    SelectionRig rig;
    opaqueField(rig, "hi", {0, 2});
    WatchedPasteboard watched(rig.desktop.pasteboard());
    DesktopServices services{rig.loop.main(), rig.loop.lane("lookups"), rig.loop.lane("veska.live-typer"),
                             rig.desktop.keyboard(), rig.desktop.keyPoster(), watched,
                             rig.desktop.accessibility(), rig.desktop.workspace(), rig.desktop.permissions()};
    SelectionService service(services);
    EXPECT_EQ(rig.loop.run(lookupAndSayWhere(&service)), &rig.loop.main());
    ASSERT_FALSE(watched.callers().empty());
    for (rt::Executor* caller : watched.callers()) EXPECT_EQ(caller, &rig.loop.lane("lookups"));
}

}  // namespace
}  // namespace veska::testing
