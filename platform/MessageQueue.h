#pragma once
// A window's message queue, for messages of any one type. Worker threads post and send
// messages; the window thread handles them, in the order they were queued, from its GLib main
// context. Everything queued before a wake-up is handled in that one wake-up. Once the queue
// is closed (the window is gone) posts are dropped and sends return 0 at once, so no worker
// can hang on a dead window. Messages are values: nothing a sender hands over needs to
// outlive its call.

#include <glib.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "platform/MainContextWaker.h"

using LRESULT = std::intptr_t;

template <typename Message>
class CMessageQueue : public std::enable_shared_from_this<CMessageQueue<Message>> {
  public:
    using Handler = std::function<LRESULT(const Message&)>;

    // The handler runs on the thread that iterates context (nullptr: the default context).
    static std::shared_ptr<CMessageQueue> Create(GMainContext* context, Handler handler) {
        std::shared_ptr<CMessageQueue> queue(new CMessageQueue(std::move(handler)));
        // The waker holds a weak reference only: a queue that is gone is simply not drained.
        std::weak_ptr<CMessageQueue> weak = queue;
        queue->m_waker = std::make_unique<CMainContextWaker>(context, [weak] {
            if (auto self = weak.lock()) self->Drain();
        });
        return queue;
    }
    CMessageQueue(const CMessageQueue&) = delete;
    CMessageQueue& operator=(const CMessageQueue&) = delete;

    // Queues a message and returns at once; false when the queue is closed.
    bool Post(Message message) {
        std::lock_guard lock(m_mutex);
        return Enqueue(Item{std::move(message), {}, {}});
    }
    // Queues a message and waits until the window thread has handled it; returns the
    // handler's result, or 0 when the queue is (or becomes) closed before it ran. Sent from the
    // window thread itself, it is handled in place, as a window would.
    LRESULT Send(Message message) {
        if (m_waker->OnContextThread()) return IsClosed() ? 0 : m_handler(message);
        auto pending = std::make_shared<Pending>();
        std::unique_lock lock(m_mutex);
        if (!Enqueue(Item{std::move(message), {}, pending})) return 0;
        return Wait(pending, lock);
    }
    // Runs fn on the window thread, in queue order, and waits for it (a modal box shown for a
    // worker); false when the queue closed before fn ran.
    bool Call(std::function<void()> fn) {
        if (m_waker->OnContextThread()) {
            if (IsClosed()) return false;
            fn();
            return true;
        }
        auto pending = std::make_shared<Pending>();
        std::unique_lock lock(m_mutex);
        if (!Enqueue(Item{std::nullopt, std::move(fn), pending})) return false;
        Wait(pending, lock);
        return pending->done;
    }

    // Handles, on the window thread, the messages queued now, in order, up to the first Call()
    // (a modal box, which waits with everything after it for the loop): for a window that is
    // still being built and cannot run its loop yet, so that its workers need not wait.
    void HandleQueuedMessages() {
        if (!m_waker->OnContextThread()) return;
        for (;;) {
            Item item;
            {
                std::lock_guard lock(m_mutex);
                if (m_closed || m_items.empty() || !m_items.front().message) return;
                item = std::move(m_items.front());
                m_items.pop_front();
            }
            Handle(item);
        }
    }

    // The window is gone: pending posts are dropped and waiting senders are released.
    void Close() {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        m_items.clear();
        m_handled.notify_all();
    }
    bool IsClosed() const {
        std::lock_guard lock(m_mutex);
        return m_closed;
    }

  private:
    struct Pending {
        bool done = false;
        LRESULT result = 0;
    };
    struct Item {
        std::optional<Message> message;    // empty for Call()
        std::function<void()> call;        // set for Call()
        std::shared_ptr<Pending> pending;  // set for Send() and Call()
    };

    explicit CMessageQueue(Handler handler) : m_handler(std::move(handler)) {}

    bool Enqueue(Item item) {  // caller holds m_mutex
        if (m_closed) return false;
        m_items.push_back(std::move(item));
        if (!m_wakeScheduled) {
            m_wakeScheduled = true;
            m_waker->Wake();
        }
        return true;
    }

    LRESULT Wait(const std::shared_ptr<Pending>& pending, std::unique_lock<std::mutex>& lock) {
        m_handled.wait(lock, [&] { return pending->done || m_closed; });
        return pending->done ? pending->result : 0;
    }

    void Drain() {
        // Handle what is queued now, one item at a time, leaving the rest in the queue: a
        // handler that runs a nested loop (a modal box) drains the remainder from there, in
        // order, instead of letting later messages overtake the ones still held here.
        std::size_t queuedNow;
        {
            std::lock_guard lock(m_mutex);
            m_wakeScheduled = false;
            queuedNow = m_items.size();
        }
        for (; queuedNow > 0; --queuedNow) {
            Item item;
            {
                std::lock_guard lock(m_mutex);
                if (m_closed || m_items.empty()) return;
                item = std::move(m_items.front());
                m_items.pop_front();
            }
            Handle(item);
        }
    }

    void Handle(Item& item) {
        LRESULT result = 0;
        if (item.message)
            result = m_handler(*item.message);
        else
            item.call();
        if (item.pending) {
            std::lock_guard lock(m_mutex);
            item.pending->done = true;
            item.pending->result = result;
            m_handled.notify_all();
        }
    }

    Handler m_handler;
    std::unique_ptr<CMainContextWaker> m_waker;
    mutable std::mutex m_mutex;
    std::condition_variable m_handled;
    std::deque<Item> m_items;
    bool m_wakeScheduled = false;
    bool m_closed = false;
};
