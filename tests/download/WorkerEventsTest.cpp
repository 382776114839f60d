#include "download/WorkerEvents.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "tests/support/EventRecorder.h"

namespace {
// The window side: a queue on a private main context that records what arrives.
class WorkerEventsTest : public ::testing::Test {
  protected:
    WorkerEventsTest() {
        hwnd = CWorkerEventQueue::Create(context, [this](const WorkerEvent& event) {
            events.push_back(event);
            if (const auto* detail = std::get_if<ShowDetail>(&event)) details.push_back(*detail);
            return LRESULT{1};
        });
    }
    ~WorkerEventsTest() override {
        hwnd->Close();
        hwnd.reset();
        g_main_context_unref(context);
    }

    // What PostProgress(done, total) delivers to the window.
    std::vector<WorkerEvent> Progress(std::uint64_t done, std::uint64_t total) {
        events.clear();
        PostProgress(done, total, hwnd);
        while (g_main_context_iteration(context, FALSE)) {
        }
        return events;
    }
    // The percentage of the one progress event, -1 when nothing arrived, -2 for another event.
    std::int64_t Percent(std::uint64_t done, std::uint64_t total) {
        auto got = Progress(done, total);
        if (got.empty()) return -1;
        EXPECT_EQ(got.size(), 1u);
        const auto* progress = std::get_if<UpdateProgress>(&got[0]);
        if (!progress) return -2;
        EXPECT_EQ(progress->bytesDone, done);
        return progress->percent;
    }

    GMainContext* context = g_main_context_new();
    WindowHandle hwnd;
    std::vector<WorkerEvent> events;
    std::vector<ShowDetail> details;
};
}  // namespace

TEST(WorkerEventNumbers, KeepTheirIdentities) {
    EXPECT_EQ(WM_UPDATE_SPEED, 1283u);
    EXPECT_EQ(WM_UPDATE_FILESIZE, 1284u);
    EXPECT_EQ(WM_UPDATE_PROGRESS, 1285u);
    EXPECT_EQ(WM_SHOW_MESSAGE, 1286u);
    EXPECT_EQ(SHOW_DETAIL, 0u);
    EXPECT_EQ(SHOW_DOWNFAIL, 1u);
}

TEST_F(WorkerEventsTest, ProgressIsTheTruncatedPercentBelowAHundred) {
    EXPECT_EQ(Percent(50, 100), 50);
    EXPECT_EQ(Percent(57, 100), 57);
    EXPECT_EQ(Percent(1, 3), 33);
    EXPECT_EQ(Percent(2, 3), 66);
    EXPECT_EQ(Percent(99, 100), 99);
    EXPECT_EQ(Percent(999, 1000), 99);
    EXPECT_EQ(Percent(0, 1000), 0);
    EXPECT_EQ(Progress(0, 1000), (std::vector<WorkerEvent>{UpdateProgress{0, 0}}));
}

TEST_F(WorkerEventsTest, NothingAtAHundredOrMoreOrWithoutATotal) {
    EXPECT_TRUE(Progress(100, 100).empty());
    EXPECT_TRUE(Progress(150, 100).empty());
    EXPECT_TRUE(Progress(0, 0).empty());
    EXPECT_TRUE(Progress(10, 0).empty());
}

TEST_F(WorkerEventsTest, LargeCountsAreComputedExactly) {
    // 100 * done overflows 32 bits here; a 32-bit product would give nonsense.
    EXPECT_EQ(Percent(4'000'000'000u, 4'294'967'295u), 93);
    EXPECT_EQ(Percent(4'294'967'294u, 4'294'967'295u), 99);
    EXPECT_EQ(Percent(2'147'483'648u, 4'294'967'295u), 50);
    EXPECT_EQ(Percent(42'949'673u, 4'294'967'295u), 1);
    EXPECT_EQ(Percent(42'949'672u, 4'294'967'295u), 0);  // just below one percent
    EXPECT_TRUE(Progress(4'294'967'295u, 4'294'967'295u).empty());
    EXPECT_EQ(Progress(3'000'000'000u, 4'000'000'000u),
              (std::vector<WorkerEvent>{UpdateProgress{3'000'000'000u, 75}}));
}

TEST_F(WorkerEventsTest, DetailRecordCountsUtf16UnitsWithTheTerminator) {
    ASSERT_TRUE(g_main_context_acquire(context));  // be the window thread: sends run in place
    const std::vector<std::pair<std::string, std::uint32_t>> cases = {
        {"abc", 8}, {"", 2}, {"中", 4}, {"\xF0\x9F\x98\x80", 6}, {"{\"version\":\"中文\"}", 34}};
    for (const auto& [text, cbData] : cases) {
        SendDetail(hwnd, text);
        ASSERT_FALSE(details.empty());
        EXPECT_EQ(details.back().cbData, cbData) << text;
        EXPECT_EQ(details.back().text, text);
    }
    g_main_context_release(context);
}

TEST_F(WorkerEventsTest, SendsFromAWorkerArriveWhileItWaits) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        SendDetail(hwnd, "{\"url\":\"x\"}");
        SendDownFail(hwnd, "网络连接失败！");
        done = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done && std::chrono::steady_clock::now() < deadline)
        g_main_context_iteration(context, FALSE);
    worker.join();
    EXPECT_EQ(events, (std::vector<WorkerEvent>{ShowDetail{"{\"url\":\"x\"}", 24},
                                                ShowDownFail{"网络连接失败！"}}));
}

TEST_F(WorkerEventsTest, SendsToAClosedWindowReturnAtOnce) {
    hwnd->Close();
    EXPECT_EQ(SendDetail(hwnd, "x"), 0);
    EXPECT_EQ(SendDownFail(hwnd, "x"), 0);
    PostProgress(1, 2, hwnd);
    while (g_main_context_iteration(context, FALSE)) {
    }
    EXPECT_TRUE(events.empty());
}
