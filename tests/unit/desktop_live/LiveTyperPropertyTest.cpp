// Properties of live typing over random dictations on the simulated desktop.
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <rapidcheck.h>

#include "LiveTyperDesk.h"
#include "LiveTyperReference.h"

namespace veska::testing {
namespace {

const std::vector<std::string> kWords{
    "hello", "world", "xin", "ch\xC3\xA0o", "Vi\xE1\xBB\x87t",  // precomposed
    "Vie\xCC\xA3\xCC\x82t", "\xC4\x91\xC6\xB0\xE1\xBB\xA3""c",   // decomposed ệ; được
    "ok", "\xF0\x9F\x98\x80", "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD", "\xCC\x82",  // emoji; a lone mark
    "the", "m\xE1\xBB\x99t", "a", "team"};

/// A partial transcript as words, so revisions can act on its tail.
using Words = std::vector<std::string>;

std::string joined(const Words& words) {
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i) text += (i == 0 ? "" : " ") + words[i];
    return text;
}

/// The next partial transcript: more words, the last words heard again differently, or the
/// tail dropped.
Words nextPartial(Words words) {
    const int change = *rc::gen::inRange(0, 4);
    const auto tail = std::min(words.size(), *rc::gen::inRange<std::size_t>(0, 14));
    if (change == 1 || change == 2) words.resize(words.size() - tail);
    if (change != 2) {
        const auto added = *rc::gen::inRange(1, 7);
        for (int i = 0; i < added; ++i) words.push_back(*rc::gen::elementOf(kWords));
    }
    if (change == 3 && !words.empty()) words.back() += *rc::gen::elementOf(kWords);  // a word grows
    return words;
}

struct Partial {
    std::string text;
    /// Virtual seconds until the next partial: 0 (arrives at once) or long enough for the
    /// step to finish.
    double gap = 0;
};

rc::Gen<std::vector<Partial>> dictation() {
    return rc::gen::exec([] {
        std::vector<Partial> partials;
        Words words;
        const auto count = *rc::gen::inRange(1, 25);
        for (int i = 0; i < count; ++i) {
            words = nextPartial(std::move(words));
            partials.push_back({joined(words), *rc::gen::element(0.0, 0.5, 1.0)});
        }
        return partials;
    });
}

TEST(LiveTyperProperty, FieldEndsAsTheFinalTextAndClipboardHoldsTheLastPastedTail) {
    const bool ok = rc::check([] {
        const Route route = *rc::gen::element(Route::keys, Route::accessibility, Route::automation);
        const std::vector<Partial> partials = *dictation();
        LiveTyperDesk desk(route);
        desk.start();
        // Partials that arrive together are typed as the last of them; the others each once.
        std::optional<std::string> clipboard = desk.clipboard();
        std::string typed;
        for (std::size_t i = 0; i < partials.size(); ++i) {
            desk.typer->update(partials[i].text);
            if (partials[i].gap > 0) desk.loop.runFor(partials[i].gap);
            const bool applied = partials[i].gap > 0 || i + 1 == partials.size();
            if (!applied) continue;
            const ReferenceStep step = referenceStep(typed, partials[i].text);
            if (route != Route::accessibility && !step.insert.empty()) clipboard = step.insert;
            typed = partials[i].text;
        }
        RC_ASSERT(desk.settle(partials.back().text));
        RC_ASSERT(desk.fieldText() == partials.back().text);
        RC_ASSERT(desk.clipboard() == clipboard);
        RC_ASSERT(desk.keysElsewhere() == 0U);
    });
    EXPECT_TRUE(ok);
}

/// What the user does while Veska types.
enum class Switch { none, toOther, toTarget, toDesktop };

/// One dictation with the user switching applications at random moments of it.
void dictateWhileSwitching() {
    const Route route = *rc::gen::element(Route::keys, Route::automation);
    const double keyDelay = *rc::gen::element(0.0, 0.001);
    // Full-size dictations from the first case: the long runs of Deletes are what matter.
    const std::vector<Partial> partials = *rc::gen::resize(100, dictation());
    LiveTyperDesk desk(route, "user's clipboard", {.keyDelaySeconds = keyDelay});
    desk.start();
    for (const Partial& partial : partials) {
        desk.typer->update(partial.text);
        // The user may switch applications at any moment during the step.
        const auto pieces = *rc::gen::inRange(1, 4);
        for (int i = 0; i < pieces; ++i) {
            desk.loop.runFor(*rc::gen::element(0.0, 0.001, 0.002, 0.003, 0.004, 0.005, 0.05, 0.2));
            switch (*rc::gen::element(Switch::none, Switch::toOther, Switch::toTarget, Switch::toDesktop)) {
            case Switch::none: break;
            case Switch::toOther: desk.desktop.workspace().bringToFront(desk.other); break;
            case Switch::toTarget: desk.desktop.workspace().bringToFront(desk.target); break;
            case Switch::toDesktop: desk.desktop.workspace().clearFront(); break;
            }
        }
    }
    RC_ASSERT(desk.settle(partials.back().text));
    desk.loop.runFor(1.0);  // keys the target still had to handle
    RC_ASSERT(desk.keysElsewhere() == 0U);
    RC_ASSERT(desk.desktop.text(desk.otherField) == std::string("draft"));
    RC_ASSERT(desk.fieldText() == partials.back().text);
}

TEST(LiveTyperProperty, NoKeystrokeEverReachesAnApplicationTheUserSwitchedTo) {
    const bool ok = rc::check([] {
        // A switch in the middle of a long run of Deletes is rare: try two dictations.
        for (int i = 0; i < 2; ++i) dictateWhileSwitching();
    });
    EXPECT_TRUE(ok);
}

}  // namespace
}  // namespace veska::testing
