// runOn: work on another executor while the caller stays on its own, through errors and cancellation.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/RunOn.h"
#include "runtime/VirtualLoop.h"

using namespace veska::rt;

namespace {

std::string here() { return Executor::current()->name(); }

Task<std::string> work(std::vector<std::string>* trace, double seconds, bool fail) {
    trace->push_back("work on " + here());
    struct Done {
        std::vector<std::string>* trace;
        ~Done() { trace->push_back("work ended on " + here()); }
    } done{trace};
    co_await sleepFor(seconds);
    if (fail) throw std::runtime_error("look-up failed");
    co_return "found";
}

Task<std::string> caller(std::vector<std::string>* trace, Executor* queue, bool fail) {
    try {
        std::string value = co_await runOn(*queue, work(trace, 1, fail));
        trace->push_back("value on " + here());
        co_return value;
    } catch (const std::runtime_error&) {
        trace->push_back("error on " + here());
        throw;
    } catch (const Cancelled&) {
        trace->push_back("cancelled on " + here());
        throw;
    }
}

}  // namespace

TEST(RunOn, ValueAndErrorComeBackToTheCallersExecutor) {
    struct Row {
        bool fail;
        std::vector<std::string> trace;
    };
    const std::vector<Row> rows = {
        {false, {"work on lookups", "work ended on lookups", "value on main"}},
        {true, {"work on lookups", "work ended on lookups", "error on main"}},
    };
    for (const Row& row : rows) {
        VirtualLoop loop;
        std::vector<std::string> trace;
        JoinHandle<std::string> handle = spawn(loop.main(), caller(&trace, &loop.lane("lookups"), row.fail));
        loop.runFor(5);
        EXPECT_EQ(trace, row.trace) << "fail=" << row.fail;
        EXPECT_EQ(handle.outcome(), row.fail ? Outcome::error : Outcome::value);
    }
}

TEST(RunOn, CancellingTheCallerStopsTheWorkFirstAndUnwindsOnTheCallersExecutor) {
    VirtualLoop loop;
    std::vector<std::string> trace;
    JoinHandle<std::string> handle = spawn(loop.main(), caller(&trace, &loop.lane("lookups"), false));
    loop.runFor(0.5);
    handle.cancel();
    loop.runUntilIdle();
    EXPECT_EQ(handle.outcome(), Outcome::cancelled);
    EXPECT_EQ(trace, (std::vector<std::string>{"work on lookups", "work ended on lookups", "cancelled on main"}));
    EXPECT_FALSE(loop.hasPendingTimers());
}

TEST(RunOn, ResumeOnHopsEvenWhenCancelledSoTheTaskUnwindsWhereItAsked) {
    VirtualLoop loop;
    std::vector<std::string> trace;
    auto hopper = [](std::vector<std::string>* t, Executor* queue, Executor* main) -> Task<void> {
        co_await resumeOn(*queue);
        try {
            co_await sleepFor(10);
        } catch (const Cancelled&) {
            t->push_back("caught on " + here());
        }
        try {
            co_await resumeOn(*main);
        } catch (const Cancelled&) {
            t->push_back("back on " + here());
            throw;
        }
    };
    JoinHandle<void> handle = spawn(loop.main(), hopper(&trace, &loop.lane("lookups"), &loop.main()));
    loop.runFor(1);
    handle.cancel();
    loop.runUntilIdle();
    EXPECT_EQ(trace, (std::vector<std::string>{"caught on lookups", "back on main"}));
    EXPECT_EQ(handle.outcome(), Outcome::cancelled);
}
