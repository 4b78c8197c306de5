// Contract of the KeyEventSource port: every implementation must pass these tests.
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "ports/KeyEventSource.h"
#include "ports/KeyPoster.h"

namespace veska::contract {

/// A desktop with a test application in front that records the keys it receives.
class KeyEventSourceRig {
public:
    virtual ~KeyEventSourceRig() = default;
    virtual ports::KeyEventSource& source() = 0;
    /// Keys from the keyboard (not from Veska).
    virtual void userPress(ports::KeyCode code) = 0;
    virtual void userRelease(ports::KeyCode code) = 0;
    /// A key Veska posts.
    virtual void postOwn(const ports::SyntheticKey& key) = 0;
    [[nodiscard]] virtual std::int32_t ownPid() const = 0;
    /// Key-down codes the application in front has received so far.
    virtual std::vector<ports::KeyCode> frontAppKeys() = 0;
    [[nodiscard]] virtual bool canSwitchInputMonitoring() const = 0;
    virtual void setInputMonitoring(bool granted) = 0;
    virtual void pump(double seconds) = 0;
};

template <class Factory>
class KeyEventSourceContract : public ::testing::Test {
protected:
    std::unique_ptr<KeyEventSourceRig> rig = Factory::make();
    std::vector<ports::KeyEvent> seen;

    /// A swallowing tap that records what it sees and answers `verdict`.
    std::unique_ptr<ports::KeyTap> recordingTap(ports::TapVerdict verdict,
                                                ports::TapOptions options = ports::TapOptions::defaultTap) {
        return rig->source().createTap({.location = ports::TapLocation::session, .options = options, .mask = {}},
                                       [this, verdict](const ports::KeyEvent& e) {
                                           seen.push_back(e);
                                           return verdict;
                                       });
    }
    void tapKey(ports::KeyCode code) {
        rig->userPress(code);
        rig->userRelease(code);
        rig->pump(0.05);
    }
    bool frontGot(ports::KeyCode code) {
        for (ports::KeyCode k : rig->frontAppKeys()) {
            if (k == code) return true;
        }
        return false;
    }
};

TYPED_TEST_SUITE_P(KeyEventSourceContract);

TYPED_TEST_P(KeyEventSourceContract, TapSeesNormalisedKeysAndModifiers) {
    namespace k = ports::keys;
    namespace f = ports::flags;
    using K = ports::KeyEventKind;
    auto tap = this->recordingTap(ports::TapVerdict::pass);
    ASSERT_NE(tap, nullptr);
    for (ports::KeyCode code : {k::kControl, k::kOption, k::kS}) this->rig->userPress(code);
    for (ports::KeyCode code : {k::kS, k::kOption, k::kControl}) this->rig->userRelease(code);
    this->rig->userPress(k::kShift);
    this->rig->userPress(k::kA);
    this->rig->userRelease(k::kA);
    this->rig->userRelease(k::kShift);
    this->rig->pump(0.1);
    const std::vector<std::tuple<K, ports::KeyCode, ports::KeyFlags>> expected{
        {K::flagsChanged, k::kControl, f::kControl},
        {K::flagsChanged, k::kOption, f::kControl | f::kOption},
        {K::keyDown, k::kS, f::kControl | f::kOption},
        {K::flagsChanged, k::kOption, f::kControl},
        {K::flagsChanged, k::kControl, 0},
        {K::flagsChanged, k::kShift, f::kShift},
        {K::keyDown, k::kA, f::kShift},
        {K::flagsChanged, k::kShift, 0},
    };
    ASSERT_EQ(this->seen.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(this->seen[i].kind, std::get<0>(expected[i]));
        EXPECT_EQ(this->seen[i].keyCode, std::get<1>(expected[i]));
        EXPECT_EQ(this->seen[i].flags & f::kModifierMask, std::get<2>(expected[i]));
        EXPECT_NE(this->seen[i].sourcePid, this->rig->ownPid());
    }
}

TYPED_TEST_P(KeyEventSourceContract, OwnPostedKeysCarryOwnProcessId) {
    auto tap = this->recordingTap(ports::TapVerdict::pass);
    ASSERT_NE(tap, nullptr);
    this->rig->postOwn({.keyCode = ports::keys::kDelete, .down = true, .flags = 0});
    this->rig->postOwn({.keyCode = ports::keys::kDelete, .down = false, .flags = 0});
    this->rig->pump(0.1);
    ASSERT_EQ(this->seen.size(), 1u) << "key-up is not in the default mask";
    EXPECT_EQ(this->seen[0].keyCode, ports::keys::kDelete);
    EXPECT_EQ(this->seen[0].sourcePid, this->rig->ownPid());
}

TYPED_TEST_P(KeyEventSourceContract, OnlyDeclaredKeysAreSwallowed) {
    namespace k = ports::keys;
    namespace f = ports::flags;
    auto tap = this->recordingTap(ports::TapVerdict::swallow);
    ASSERT_NE(tap, nullptr);
    ASSERT_TRUE(tap->canSwallow());
    EXPECT_TRUE(tap->setSwallowable({{.keyCode = k::kEscape, .modifiers = {}},
                                     {.keyCode = k::kS, .modifiers = {f::kControl | f::kOption}}}));
    struct Row {
        std::vector<ports::KeyCode> held;
        ports::KeyCode key;
        bool swallowed;
    };
    const Row rows[] = {
        {{}, k::kEscape, true},
        {{k::kShift}, k::kEscape, true},
        {{}, k::kA, false},
        {{k::kControl, k::kOption}, k::kS, true},
        {{}, k::kS, false},
        {{k::kShift, k::kControl, k::kOption}, k::kS, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "key " << row.key << " with " << row.held.size() << " modifiers");
        const std::size_t before = this->rig->frontAppKeys().size();
        for (ports::KeyCode m : row.held) this->rig->userPress(m);
        this->tapKey(row.key);
        for (ports::KeyCode m : row.held) this->rig->userRelease(m);
        this->rig->pump(0.05);
        const auto keys = this->rig->frontAppKeys();
        const bool arrived = std::find(keys.begin() + static_cast<std::ptrdiff_t>(before), keys.end(), row.key) != keys.end();
        EXPECT_EQ(arrived, !row.swallowed);
    }
}

TYPED_TEST_P(KeyEventSourceContract, PassAndListenOnlyDeliverTheKey) {
    const ports::SwallowableKey escape{.keyCode = ports::keys::kEscape, .modifiers = {}};
    {
        auto passing = this->recordingTap(ports::TapVerdict::pass);
        ASSERT_NE(passing, nullptr);
        passing->setSwallowable({escape});
        this->tapKey(ports::keys::kEscape);
        EXPECT_TRUE(this->frontGot(ports::keys::kEscape)) << "a declared key the handler passes still arrives";
    }
    this->rig->pump(0.1);
    const std::size_t before = this->rig->frontAppKeys().size();
    auto listening = this->recordingTap(ports::TapVerdict::swallow, ports::TapOptions::listenOnly);
    ASSERT_NE(listening, nullptr);
    EXPECT_FALSE(listening->canSwallow());
    listening->setSwallowable({escape});
    this->tapKey(ports::keys::kEscape);
    EXPECT_GT(this->rig->frontAppKeys().size(), before) << "a listen-only tap never swallows";
}

TYPED_TEST_P(KeyEventSourceContract, DeclarationsFollowChangesAndTheTapsLife) {
    const ports::KeyCode esc = ports::keys::kEscape;
    auto tap = this->recordingTap(ports::TapVerdict::swallow);
    ASSERT_NE(tap, nullptr);
    const struct {
        const char* step;
        std::vector<ports::SwallowableKey> declared;
        bool swallowed;
    } rows[] = {{"nothing declared", {}, false},
                {"escape declared", {{.keyCode = esc, .modifiers = {}}}, true},
                {"declaration withdrawn", {}, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.step);
        tap->setSwallowable(row.declared);
        const std::size_t before = this->rig->frontAppKeys().size();
        this->tapKey(esc);
        EXPECT_EQ(this->rig->frontAppKeys().size() == before, row.swallowed);
    }
    tap->setSwallowable({{.keyCode = esc, .modifiers = {}}});
    tap->setEnabled(false);
    EXPECT_FALSE(tap->isEnabled());
    const std::size_t seenBefore = this->seen.size();
    this->tapKey(esc);
    EXPECT_EQ(this->seen.size(), seenBefore) << "a disabled tap sees nothing";
    EXPECT_TRUE(this->frontGot(esc));
    tap->setEnabled(true);
    tap.reset();
    const std::size_t before = this->rig->frontAppKeys().size();
    this->tapKey(esc);
    EXPECT_EQ(this->rig->frontAppKeys().size(), before + 1) << "a destroyed tap gives its keys back";
}

TYPED_TEST_P(KeyEventSourceContract, SwallowedKeysReachNoMonitor) {
    std::vector<ports::KeyCode> observed;
    auto monitor = this->rig->source().addGlobalMonitor({}, [&](const ports::KeyEvent& e) {
        if (e.kind == ports::KeyEventKind::keyDown) observed.push_back(e.keyCode);
    });
    ASSERT_NE(monitor, nullptr);
    auto tap = this->recordingTap(ports::TapVerdict::swallow);
    ASSERT_NE(tap, nullptr);
    tap->setSwallowable({{.keyCode = ports::keys::kEscape, .modifiers = {}}});
    this->tapKey(ports::keys::kEscape);
    this->tapKey(ports::keys::kA);
    EXPECT_EQ(observed, std::vector<ports::KeyCode>{ports::keys::kA});
}

TYPED_TEST_P(KeyEventSourceContract, TapDestroyedInsideItsHandlerIsSafe) {
    std::unique_ptr<ports::KeyTap> tap;
    int calls = 0;
    tap = this->rig->source().createTap({.location = ports::TapLocation::session,
                                         .options = ports::TapOptions::defaultTap, .mask = {}},
                                        [&](const ports::KeyEvent&) {
                                            ++calls;
                                            tap.reset();
                                            return ports::TapVerdict::pass;
                                        });
    ASSERT_NE(tap, nullptr);
    this->tapKey(ports::keys::kA);
    this->tapKey(ports::keys::kA);
    EXPECT_EQ(calls, 1);
}

TYPED_TEST_P(KeyEventSourceContract, NoTapWithoutInputMonitoringButMonitorsStillMade) {
    if (!this->rig->canSwitchInputMonitoring()) GTEST_SKIP() << "this rig cannot revoke input monitoring";
    this->rig->setInputMonitoring(false);
    for (auto location : {ports::TapLocation::hid, ports::TapLocation::session}) {
        for (auto options : {ports::TapOptions::defaultTap, ports::TapOptions::listenOnly}) {
            EXPECT_EQ(this->rig->source().createTap({.location = location, .options = options, .mask = {}},
                                                    [](const ports::KeyEvent&) { return ports::TapVerdict::pass; }),
                      nullptr);
        }
    }
    EXPECT_NE(this->rig->source().addGlobalMonitor({}, [](const ports::KeyEvent&) {}), nullptr);
    EXPECT_NE(this->rig->source().addLocalMonitor({}, [](const ports::KeyEvent&) {}), nullptr);
}

REGISTER_TYPED_TEST_SUITE_P(KeyEventSourceContract, TapSeesNormalisedKeysAndModifiers, OwnPostedKeysCarryOwnProcessId,
                            OnlyDeclaredKeysAreSwallowed, PassAndListenOnlyDeliverTheKey,
                            DeclarationsFollowChangesAndTheTapsLife, SwallowedKeysReachNoMonitor,
                            TapDestroyedInsideItsHandlerIsSafe, NoTapWithoutInputMonitoringButMonitorsStillMade);

}  // namespace veska::contract
