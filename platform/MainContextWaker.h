#pragma once
// Wakes the thread that iterates a GLib main context and runs one callback there. Any thread
// may ask for a wake-up; asks that come before the callback runs are answered by one run.

#include <glib.h>

#include <functional>

class CMainContextWaker {
  public:
    // context: nullptr for the default context. onWake runs on the thread iterating it; it
    // may run a nested loop of its own (a modal box) that wakes it again.
    CMainContextWaker(GMainContext* context, std::function<void()> onWake);
    ~CMainContextWaker();
    CMainContextWaker(const CMainContextWaker&) = delete;
    CMainContextWaker& operator=(const CMainContextWaker&) = delete;

    // Thread-safe.
    void Wake();
    // Whether the calling thread is the one that iterates the context.
    bool OnContextThread() const;

  private:
    GMainContext* m_context;
    // Made once, on the creating thread, and only armed afterwards: nothing a callback sees
    // is handed over through data that GLib passes between threads.
    GSource* m_source;
};
