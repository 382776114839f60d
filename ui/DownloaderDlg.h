#pragma once
// The download window: a borderless 627 x 467 GTK window whose whole face is the page.

#include <gtk/gtk.h>

#include "download/WorkerHost.h"
#include "platform/MessageQueue.h"
#include "platform/SingleInstance.h"
#include "platform/WorkerThreads.h"

class CDownloaderDlg : public CWorkerHost {
public:
    static constexpr int kWidth = 627;
    static constexpr int kHeight = 467;

    CDownloaderDlg();
    ~CDownloaderDlg() override;
    CDownloaderDlg(const CDownloaderDlg&) = delete;
    CDownloaderDlg& operator=(const CDownloaderDlg&) = delete;

    // Creates the window and runs the main loop until the window ends; then stops and joins
    // every worker.
    int DoModal();
    // Ends the main loop (the dialog's cancel).
    void EndDialog();

    WindowHandle GetSafeHwnd() const override { return m_queue; }
    void MessageBox(const std::string& text, const std::string& caption, unsigned style) override;
    bool IsNetworkAlive() override;

    GtkWidget* Widget() const { return m_window; }

private:
    void OnCreate();
    void OnDestroy();
    LRESULT WindowProc(unsigned msg, WPARAM wParam, LPARAM lParam);

    GtkWidget* m_window = nullptr;
    GMainLoop* m_loop = nullptr;
    WindowHandle m_queue;
    CWindowTag m_windowTag;
    CWorkerThreads m_workers;
};
