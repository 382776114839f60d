#include "ui/DownloaderDlg.h"

#include "app/DownloaderApp.h"
#include "platform/NetworkPresence.h"

CDownloaderDlg::CDownloaderDlg()
    : m_queue(CMessageQueue::Create(nullptr, [this](unsigned msg, WPARAM w, LPARAM l) {
          return WindowProc(msg, w, l);
      })) {}

CDownloaderDlg::~CDownloaderDlg() {
    m_queue->Close();
    m_workers.JoinAll();
    if (m_loop) g_main_loop_unref(m_loop);
}

int CDownloaderDlg::DoModal() {
    m_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    OnCreate();
    gtk_window_set_decorated(GTK_WINDOW(m_window), FALSE);
    gtk_window_set_resizable(GTK_WINDOW(m_window), FALSE);
    gtk_widget_set_size_request(m_window, kWidth, kHeight);
    g_signal_connect_swapped(m_window, "destroy", G_CALLBACK(+[](CDownloaderDlg* self) {
                                 self->OnDestroy();
                             }),
                             this);
    gtk_widget_show_all(m_window);

    m_loop = g_main_loop_new(nullptr, FALSE);
    g_main_loop_run(m_loop);

    // The loop has ended by whatever path: stop the transfers, release waiting senders, and
    // wait for the workers, which now end at their next poll.
    TheApp().m_bQuit.store(1);
    m_queue->Close();
    if (m_window) gtk_widget_destroy(m_window);
    m_workers.JoinAll();
    return 2;  // IDCANCEL
}

void CDownloaderDlg::EndDialog() {
    if (m_loop) g_main_loop_quit(m_loop);
}

void CDownloaderDlg::OnCreate() { m_windowTag.Set(TheApp().AppName()); }

void CDownloaderDlg::OnDestroy() {
    if (m_windowTag.IsSet()) m_windowTag.Remove();
    m_window = nullptr;
    EndDialog();
}

LRESULT CDownloaderDlg::WindowProc(unsigned, WPARAM, LPARAM) { return 0; }

void CDownloaderDlg::MessageBox(const std::string& text, const std::string& caption, unsigned) {
    m_queue->Call([&] {
        GtkWidget* box = gtk_message_dialog_new(GTK_WINDOW(m_window), GTK_DIALOG_MODAL,
                                                GTK_MESSAGE_WARNING, GTK_BUTTONS_OK, "%s",
                                                text.c_str());
        gtk_window_set_title(GTK_WINDOW(box), caption.c_str());
        gtk_dialog_run(GTK_DIALOG(box));
        gtk_widget_destroy(box);
    });
}

bool CDownloaderDlg::IsNetworkAlive() { return ::IsNetworkAlive(); }
