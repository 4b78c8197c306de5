#include <gtest/gtest.h>
#include "runtime/Channel.h"
#include "runtime/Race.h"
#include "runtime/VirtualLoop.h"
using namespace veska::rt;
namespace {
Task<int> answer() { co_return 42; }
Task<int> slow(double s, int v) { co_await sleepFor(s); co_return v; }
}
TEST(RuntimeSmoke, Basics) {
  VirtualLoop loop;
  EXPECT_EQ(loop.run(answer()), 42);
  EXPECT_EQ(loop.run(slow(5, 7)), 7);
  EXPECT_DOUBLE_EQ(loop.now(), 5);
  auto r = loop.run(race(slow(1, 1), slow(2, 2)));
  EXPECT_EQ(r.index(), 0u);
}
