#pragma once
// The window's message queue. Worker threads post and send numbered messages; the window
// thread handles them, in the order they were queued, from its GLib main context. Everything
// queued before a wake-up is handled in that one wake-up. Once the queue is closed (the window
// is gone) posts are dropped and sends return 0 at once, so no worker can hang on a dead window.

#include <glib.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

class CMessageQueue : public std::enable_shared_from_this<CMessageQueue> {
  public:
    using Handler = std::function<LRESULT(unsigned msg, WPARAM wParam, LPARAM lParam)>;

    // The handler runs on the thread that iterates context (nullptr: the default context).
    static std::shared_ptr<CMessageQueue> Create(GMainContext* context, Handler handler);
    ~CMessageQueue();
    CMessageQueue(const CMessageQueue&) = delete;
    CMessageQueue& operator=(const CMessageQueue&) = delete;

    // Queues a message and returns at once; false when the queue is closed.
    bool Post(unsigned msg, WPARAM wParam, LPARAM lParam);
    // Queues a message and waits until the window thread has handled it; returns the
    // handler's result, or 0 when the queue is (or becomes) closed before it ran.
    LRESULT Send(unsigned msg, WPARAM wParam, LPARAM lParam);
    // Runs fn on the window thread, in queue order, and waits for it (a modal box shown for a
    // worker); false when the queue closed before fn ran.
    bool Call(std::function<void()> fn);

    // The window is gone: pending posts are dropped and waiting senders are released.
    void Close();
    bool IsClosed() const;

  private:
    struct Pending;
    struct Item;

    CMessageQueue(GMainContext* context, Handler handler);
    void AttachWakeSource();
    bool Enqueue(Item item);  // caller holds m_mutex
    void ScheduleWake();      // caller holds m_mutex
    static gboolean OnWake(gpointer data);
    void Drain();
    LRESULT Wait(const std::shared_ptr<Pending>& pending, std::unique_lock<std::mutex>& lock);

    GMainContext* m_context;
    // Made once, on the creating thread, and only armed by senders: everything a handler sees
    // is handed over under m_mutex, never through data that GLib passes between threads.
    GSource* m_wakeSource = nullptr;
    Handler m_handler;
    mutable std::mutex m_mutex;
    std::condition_variable m_handled;
    std::deque<Item> m_items;
    bool m_wakeScheduled = false;
    bool m_closed = false;
};

// The "window handle" that workers hold: the queue outlives the window, so a late post is
// harmless.
using WindowHandle = std::shared_ptr<CMessageQueue>;

inline bool PostMessage(const WindowHandle& hwnd, unsigned msg, WPARAM wParam, LPARAM lParam) {
    return hwnd && hwnd->Post(msg, wParam, lParam);
}
inline LRESULT SendMessage(const WindowHandle& hwnd, unsigned msg, WPARAM wParam, LPARAM lParam) {
    return hwnd ? hwnd->Send(msg, wParam, lParam) : 0;
}
