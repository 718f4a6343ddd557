#include "playback/steady_tick_source.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace sonabank {
namespace {

TEST(SteadyTickSourceTest, CountsMilliseconds) {
    SteadyTickSource ticks;
    const std::uint32_t before = ticks.Now();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // Unsigned subtraction: right across a wrap too.
    const std::uint32_t elapsed = ticks.Now() - before;
    EXPECT_GE(elapsed, 50u);
    EXPECT_LT(elapsed, 5000u);
}

}  // namespace
}  // namespace sonabank
