#include "platform/MessageQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace {
using namespace std::chrono_literals;

// A numbered message, as the window's events once were: enough to check order and results.
struct Message {
    unsigned msg;
    std::uintptr_t wParam;
    std::intptr_t lParam;
};
using Queue = CMessageQueue<Message>;
using WindowHandle = std::shared_ptr<Queue>;

bool PostMessage(const WindowHandle& queue, unsigned msg, std::uintptr_t w, std::intptr_t l) {
    return queue && queue->Post({msg, w, l});
}
LRESULT SendMessage(const WindowHandle& queue, unsigned msg, std::uintptr_t w, std::intptr_t l) {
    return queue ? queue->Send({msg, w, l}) : 0;
}

// A window thread of our own: a private main context and the messages its handler has seen.
class MessageQueueTest : public ::testing::Test {
  protected:
    MessageQueueTest() {
        queue = Queue::Create(context, [this](const Message& m) {
            handlerThread = std::this_thread::get_id();
            std::lock_guard lock(mutex);
            seen.push_back(m);
            return static_cast<LRESULT>(m.lParam * 2);
        });
    }
    ~MessageQueueTest() override {
        queue->Close();
        queue.reset();
        g_main_context_unref(context);
    }

    // Runs the window thread's loop until done() holds or ten seconds have passed.
    bool PumpUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            g_main_context_iteration(context, FALSE);
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }
    std::size_t SeenCount() {
        std::lock_guard lock(mutex);
        return seen.size();
    }
    // Waits (as the window thread) until something is queued for it.
    bool WaitForWake() {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!g_main_context_pending(context)) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }

    GMainContext* context = g_main_context_new();
    WindowHandle queue;
    std::mutex mutex;
    std::vector<Message> seen;
    std::thread::id handlerThread;
};
}  // namespace

TEST_F(MessageQueueTest, KeepsEachSendersOrderAcrossSeveralSenders) {
    constexpr int kSenders = 4, kEach = 500;
    std::vector<std::thread> senders;
    for (int s = 0; s < kSenders; ++s)
        senders.emplace_back([&, s] {
            for (int i = 0; i < kEach; ++i) PostMessage(queue, 1000, std::uintptr_t(s), i);
        });
    ASSERT_TRUE(PumpUntil([&] { return SeenCount() == kSenders * kEach; }));
    for (auto& t : senders) t.join();

    std::vector<std::intptr_t> next(kSenders, 0);
    for (const auto& m : seen) EXPECT_EQ(m.lParam, next[m.wParam]++) << "sender " << m.wParam;
    EXPECT_EQ(handlerThread, std::this_thread::get_id());
}

TEST_F(MessageQueueTest, EverythingQueuedIsHandledInOneWakeUp) {
    for (int i = 0; i < 100; ++i) PostMessage(queue, 1285, 0, i);
    g_main_context_iteration(context, FALSE);
    EXPECT_EQ(SeenCount(), 100u);
}

TEST_F(MessageQueueTest, SendWaitsForTheHandlerAndReturnsItsResult) {
    std::atomic<bool> returned{false};
    LRESULT result = 0;
    std::thread worker([&] {
        PostMessage(queue, 1284, 0, 1);
        result = SendMessage(queue, 1286, 0, 21);
        returned = true;
    });
    ASSERT_TRUE(WaitForWake());
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(returned) << "nobody has handled the send yet";

    ASSERT_TRUE(PumpUntil([&] { return returned.load(); }));
    worker.join();
    EXPECT_EQ(result, 42);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].msg, 1284u);  // the earlier post first
    EXPECT_EQ(seen[1].msg, 1286u);
}

TEST_F(MessageQueueTest, CallRunsOnTheWindowThread) {
    std::thread::id ranOn;
    bool called = false;
    std::thread worker([&] { called = queue->Call([&] { ranOn = std::this_thread::get_id(); }); });
    ASSERT_TRUE(WaitForWake());
    ASSERT_TRUE(PumpUntil([&] { return ranOn != std::thread::id(); }));
    worker.join();
    EXPECT_TRUE(called);
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST_F(MessageQueueTest, NestedLoopInAHandlerKeepsTheOrder) {
    // A modal box runs a nested loop while later messages are still queued behind it.
    std::atomic<bool> postB{false};
    std::thread boxOwner([&] {
        queue->Call([&] {
            postB = true;
            PumpUntil([&] { return SeenCount() == 2; });
        });
    });
    ASSERT_TRUE(WaitForWake());
    std::atomic<bool> postedA{false};
    std::thread poster([&] {
        PostMessage(queue, 1, 0, 'A');
        postedA = true;
        while (!postB) std::this_thread::sleep_for(1ms);
        PostMessage(queue, 1, 0, 'B');
    });
    while (!postedA) std::this_thread::sleep_for(1ms);
    ASSERT_TRUE(PumpUntil([&] { return SeenCount() == 2; }));
    boxOwner.join();
    poster.join();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].lParam, 'A');
    EXPECT_EQ(seen[1].lParam, 'B');
}

TEST_F(MessageQueueTest, AfterCloseSendsReturnAtOnceAndPostsAreDropped) {
    std::atomic<bool> returned{false};
    LRESULT result = -1;
    std::thread worker([&] {
        result = SendMessage(queue, 1286, 0, 5);
        returned = true;
    });
    ASSERT_TRUE(WaitForWake());  // the send is queued and its sender blocked
    const auto closedAt = std::chrono::steady_clock::now();
    queue->Close();
    worker.join();
    EXPECT_LT(std::chrono::steady_clock::now() - closedAt, 1s);
    EXPECT_EQ(result, 0);

    EXPECT_FALSE(PostMessage(queue, 1285, 1, 1));
    EXPECT_EQ(SendMessage(queue, 1286, 0, 5), 0);
    EXPECT_FALSE(queue->Call([] { FAIL() << "ran after close"; }));
    for (int i = 0; i < 5; ++i) g_main_context_iteration(context, FALSE);
    EXPECT_EQ(SeenCount(), 0u);
}

TEST_F(MessageQueueTest, SendFromTheWindowThreadRunsInPlace) {
    ASSERT_TRUE(g_main_context_acquire(context));
    PostMessage(queue, 1, 0, 1);
    EXPECT_EQ(SendMessage(queue, 2, 0, 4), 8);
    ASSERT_EQ(SeenCount(), 1u);  // before the queued post
    EXPECT_EQ(seen[0].msg, 2u);
    bool ran = false;
    EXPECT_TRUE(queue->Call([&] { ran = true; }));
    EXPECT_TRUE(ran);
    g_main_context_release(context);
}

TEST_F(MessageQueueTest, AWindowStillBeingBuiltHandlesMessagesUpToTheFirstCall) {
    std::atomic<bool> sent{false}, called{false};
    std::thread worker([&] {
        PostMessage(queue, 1, 0, 1);
        SendMessage(queue, 2, 0, 2);  // the update detail, which the worker waits on
        sent = true;
        queue->Call([&] { called = true; });  // a modal box waits for the loop
        PostMessage(queue, 3, 0, 3);
    });
    ASSERT_TRUE(g_main_context_acquire(context));
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!sent && std::chrono::steady_clock::now() < deadline) {
        queue->HandleQueuedMessages();
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(sent);
    while (g_main_context_pending(context) == FALSE) std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(50ms);  // the call is queued, and waits
    queue->HandleQueuedMessages();
    EXPECT_FALSE(called);
    EXPECT_EQ(SeenCount(), 2u);
    ASSERT_TRUE(PumpUntil([&] { return SeenCount() == 3; }));
    g_main_context_release(context);
    worker.join();
    EXPECT_TRUE(called);
    EXPECT_EQ(seen[2].msg, 3u);
}

TEST_F(MessageQueueTest, NullHandleIsHarmless) {
    WindowHandle none;
    EXPECT_FALSE(PostMessage(none, 1, 0, 0));
    EXPECT_EQ(SendMessage(none, 1, 0, 0), 0);
}
