#include "platform/steady_tick_source.h"

#include <gtest/gtest.h>

#include "platform/platform_services.h"

namespace sonabank {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

TEST(SteadyTickSourceTest, ReadsTheMonotonicClockInMilliseconds) {
    const auto ticks = MakeTickSource();
    for (int i = 0; i < 3; ++i) {
        const std::uint32_t before = TickOf(steady_clock::now());
        const std::uint32_t now = ticks->Now();
        const std::uint32_t after = TickOf(steady_clock::now());
        // Unsigned differences: right across a wrap too.
        EXPECT_LE(now - before, after - before);
    }
}

TEST(SteadyTickSourceTest, WrapsAt32Bits) {
    const steady_clock::time_point wrap{milliseconds(std::int64_t{1} << 32)};
    struct Case {
        steady_clock::duration offset;
        std::uint32_t tick;
    } const cases[] = {
        {milliseconds(-1), 0xFFFFFFFFu},
        {milliseconds(0), 0},
        {milliseconds(5) + std::chrono::microseconds(999), 5},
    };
    for (const Case& c : cases) EXPECT_EQ(TickOf(wrap + c.offset), c.tick);
    // A deadline computed before the wrap is reached after it.
    EXPECT_EQ(TickOf(wrap + milliseconds(20)) - TickOf(wrap - milliseconds(30)), 50u);
}

}  // namespace
}  // namespace sonabank
