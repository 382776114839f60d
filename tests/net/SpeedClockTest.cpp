#include "net/SpeedClock.h"

#include <gtest/gtest.h>

#include <chrono>

TEST(SpeedClock, AveragesOverWholeRoundedSecondsOnceMoreThanOneHasPassed) {
    using namespace std::chrono;
    CSpeedClock::Clock::time_point start{};
    CSpeedClock clock(start);
    EXPECT_FALSE(clock.AverageKiBPerSecond(1 << 20, start + milliseconds(1499)));
    // 1.5 s rounds to 2: the first report, averaged over the whole transfer.
    EXPECT_EQ(clock.AverageKiBPerSecond(300 * 1024, start + milliseconds(1500)), 150);
    EXPECT_EQ(clock.AverageKiBPerSecond(1000, start + seconds(3)), 0);  // truncated
    EXPECT_EQ(clock.AverageKiBPerSecond(7 * 1024 + 1023, start + seconds(2)), 3);
}
