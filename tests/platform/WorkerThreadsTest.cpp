#include "platform/WorkerThreads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

TEST(WorkerThreads, JoinAllWaitsForEveryStartedWorker) {
    std::atomic<int> finished{0};
    CWorkerThreads workers;
    for (int i = 0; i < 3; ++i)
        workers.Start([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            ++finished;
        });
    workers.JoinAll();
    EXPECT_EQ(finished.load(), 3);
    EXPECT_EQ(workers.Started(), 3u);

    workers.Start([&] { ++finished; });  // a Retry after the join
    workers.JoinAll();
    EXPECT_EQ(finished.load(), 4);
    EXPECT_EQ(workers.Started(), 4u);
}
