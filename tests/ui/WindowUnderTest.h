#pragma once
// A real download window with its page in a real web view, driven from the test's thread:
// the test iterates the main context itself instead of running the modal loop.

#include <chrono>
#include <functional>
#include <string>

#include "download/WorkerEvents.h"
#include "tests/support/TestAppState.h"
#include "ui/DownloaderDlg.h"

// Opens the display once per process; false when there is none.
bool InitGtkForTests();

// A worker procedure that does nothing, so that no download starts.
unsigned IdleWorker(CWorkerHost*);

class WindowUnderTest {
  public:
    explicit WindowUnderTest(CDownloaderDlg::WorkerProc worker = IdleWorker);
    ~WindowUnderTest();

    CDownloaderDlg& Dlg() { return m_dlg; }
    // The application state the window was given.
    TestAppState& App() { return m_app; }
    // Iterates the main context until condition holds or timeout passes; the condition's
    // final value.
    bool WaitUntil(const std::function<bool()>& condition,
                   std::chrono::milliseconds timeout = std::chrono::seconds(15));
    // Waits until the page has finished loading.
    bool WaitForPage();
    // Handles what is queued for the window and lets the page run the calls it was sent.
    void Settle();
    // Runs script in the page after everything sent so far; its value as text ("" on error).
    std::string Eval(const std::string& script);
    // Posts a worker event and lets the page show it.
    void PostAndSettle(WorkerEvent event);
    // Has the page list every window.external call from now on, as "Name(arguments)" without
    // the method prefix, in window.externalCalls; the calls still reach the window.
    void RecordExternalCalls();

  private:
    // The test's thread owns the main context, as the modal loop's thread would, so that a
    // message sent from it is handled in place.
    struct ContextOwner {
        ContextOwner() { g_main_context_acquire(nullptr); }
        ~ContextOwner() { g_main_context_release(nullptr); }
    } m_owner;
    TestAppState m_app;
    CDownloaderDlg m_dlg;
};
