// Ports confined to one thread: every call runs there, whichever thread makes it.
#include <gtest/gtest.h>

#include <thread>

#include "main/app/ConfinedPorts.h"
#include "runtime/ThreadExecutor.h"

namespace veska::app {
namespace {

/// A pasteboard holding plain text that notes the thread of every call. Not thread-safe, on
/// purpose: calls from several threads at once would show up under the sanitizers.
class ThreadNotingPasteboard final : public ports::Pasteboard {
public:
    [[nodiscard]] std::int64_t changeCount() const override {
        note();
        return changes_;
    }
    [[nodiscard]] std::optional<std::string> plainText() const override {
        note();
        return text_;
    }
    [[nodiscard]] std::optional<std::string> html() const override {
        note();
        return std::nullopt;
    }
    [[nodiscard]] std::optional<std::string> rtf() const override {
        note();
        return std::nullopt;
    }
    std::int64_t clear() override {
        note();
        text_.reset();
        return ++changes_;
    }
    bool write(const ports::PasteboardContents& contents) override {
        note();
        text_ = contents.plainText;
        ++changes_;
        return true;
    }

    mutable std::vector<std::thread::id> threads;

private:
    void note() const { threads.push_back(std::this_thread::get_id()); }
    std::optional<std::string> text_;
    std::int64_t changes_ = 0;
};

TEST(ConfinedPorts, CallsFromAnyThreadRunOnTheHomeThread) {
    rt::ThreadExecutor home("home");
    const ThreadHome where = ThreadHome::of(home);
    ThreadNotingPasteboard pasteboard;
    ConfinedPasteboard confined(pasteboard, where);

    std::thread::id homeId;
    std::promise<std::thread::id> asked;
    home.post([&] { asked.set_value(std::this_thread::get_id()); });
    homeId = asked.get_future().get();

    // From this thread, from two others at once, and from the home thread itself (no hop,
    // which would wait for itself forever).
    EXPECT_TRUE(confined.write({.plainText = "một"}));
    std::thread a([&] {
        for (int i = 0; i < 50; ++i) (void)confined.plainText();
    });
    std::thread b([&] {
        for (int i = 0; i < 50; ++i) (void)confined.changeCount();
    });
    a.join();
    b.join();
    std::promise<std::optional<std::string>> fromHome;
    home.post([&] { fromHome.set_value(confined.plainText()); });
    EXPECT_EQ(fromHome.get_future().get(), std::optional<std::string>("một"));

    ASSERT_EQ(pasteboard.threads.size(), 102u);
    for (const auto& id : pasteboard.threads) EXPECT_EQ(id, homeId);
}

}  // namespace
}  // namespace veska::app
