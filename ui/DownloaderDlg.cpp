#include "ui/DownloaderDlg.h"

#include <chrono>

#include "base/DiagLog.h"
#include "base/ResString.h"
#include "base/StringTable.h"
#include "download/AdvertReply.h"
#include "platform/NetworkPresence.h"
#include "platform/NetworkWatch.h"
#include "ui/AboutDlg.h"
#include "ui/NoticeBox.h"
#include "ui/PresentWindow.h"
#include "ui/ProxyLoginBox.h"
#include "ui/StartupTrace.h"
#include "ui/WebProxyLogin.h"
#include "ui/WindowShape.h"

namespace {

constexpr unsigned SC_MINIMIZE = 0xF020;
constexpr unsigned SC_CLOSE = 0xF060;

}  // namespace

CDownloaderDlg::CDownloaderDlg(AppState app)
    : CDownloaderDlg(
          app,
          [this, app](CWorkerHost* host) {
              WorkerEnvironment env{app, UpdateEndpoints{}};
              env.proxy = m_proxy;
              return DownloadThread(host, env);
          },
          std::make_shared<CProxyState>(DesktopProxyResolver())) {}

CDownloaderDlg::CDownloaderDlg(AppState app, WorkerProc worker, std::shared_ptr<CProxyState> proxy)
    : m_app(std::move(app)),
      m_proxy(std::move(proxy)),
      m_workerProc(std::move(worker)),
      m_queue(CWorkerEventQueue::Create(
          nullptr, [this](const WorkerEvent& event) { return WindowProc(event); })),
      m_bridge(std::make_unique<CScriptBridge>()) {}

CDownloaderDlg::~CDownloaderDlg() {
    // A window that goes without its loop having run (no display) stops its workers too.
    m_app.quit.store(1);
    m_advert.reset();
    m_queue->Close();
    if (m_window) gtk_widget_destroy(m_window);
    m_workers.JoinAll();
    if (m_loop) g_main_loop_unref(m_loop);
}

int CDownloaderDlg::DoModal() {
    // The window thread owns the main context from here on, so that the window can handle
    // its workers' messages while it is still being built.
    g_main_context_acquire(nullptr);
    Create();
    m_loop = g_main_loop_new(nullptr, FALSE);
    if (!m_ended) g_main_loop_run(m_loop);

    // The loop has ended by whatever path: stop the transfers, release waiting senders, and
    // wait for the workers, which now end at their next poll.
    m_app.quit.store(1);
    m_advert.reset();
    m_queue->Close();
    if (m_window) gtk_widget_destroy(m_window);
    m_workers.JoinAll();
    g_main_context_release(nullptr);
    return m_result;
}

void CDownloaderDlg::StartFirstWorker() {
    if (m_lastWorker != 0) return;
    TraceMoment("first worker started");
    StartWorker();
}

void CDownloaderDlg::HandleEarlyMessages() {
    m_queue->HandleQueuedMessages();
}

void CDownloaderDlg::Create() {
    // The worker asks for the update information while the engine brings the page up, which
    // takes longer. Building the window takes a while too: the messages the worker sends
    // meanwhile (the update detail, which it waits on) are handled between its steps, and
    // what they show is held for the page (CScriptBridge).
    StartFirstWorker();
    HandleEarlyMessages();
    m_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    g_signal_connect_swapped(m_window, "destroy",
                             G_CALLBACK(+[](CDownloaderDlg* self) { self->OnDestroy(); }), this);
    OnCreate();
    gtk_window_set_resizable(GTK_WINDOW(m_window), FALSE);
    gtk_widget_set_size_request(m_window, kWidth, kHeight);
    // The host sets up window.external before any page loads, so that the page has it from
    // its first script on.
    m_webHost =
        std::make_unique<CWebHost>(static_cast<CWebHostSite&>(*this), m_sandboxChoice.Result());
    HandleEarlyMessages();
    m_bridge->SetView(m_webHost->View());
    AnswerWebLogins(m_webHost->View(), *m_proxy);
    m_titleBarDrag = std::make_unique<CTitleBarDrag>(GTK_WINDOW(m_window), m_webHost->Widget());
    gtk_container_add(GTK_CONTAINER(m_window), m_webHost->Widget());
    OnInitDialog();
    HandleEarlyMessages();
    TraceNextDraw(m_window, "window drawn");
    gtk_widget_show_all(m_window);
}

void CDownloaderDlg::OnCreate() {
    m_windowTag.Set(m_app.appName);
    if (m_windowTag.IsSet())
        m_presentListener =
            std::make_unique<CPresentListener>(PresentSocketPath(m_app.appName), [this] {
                if (m_window) PresentWindow(GTK_WINDOW(m_window));
            });
}

bool CDownloaderDlg::OnInitDialog() {
    m_webHost->Load(kPageUri);

    // An undecorated window has no window menu: the About entry joins the page's context menu.
    const std::string aboutText = LoadResString(IDS_ABOUTBOX);
    if (!aboutText.empty()) {
        m_webHost->AppendMenuSeparator();
        m_webHost->AppendMenuItem(IDM_ABOUTBOX, aboutText);
    }

    // No caption or border; it can still be minimised from the task bar.
    gtk_window_set_decorated(GTK_WINDOW(m_window), FALSE);
    gtk_window_set_type_hint(GTK_WINDOW(m_window), GDK_WINDOW_TYPE_HINT_NORMAL);

    if (!m_icons.Empty()) {
        GList* icons = m_icons.NewList();
        gtk_window_set_icon_list(GTK_WINDOW(m_window), icons);
        g_list_free(icons);
    }
    gtk_window_set_title(GTK_WINDOW(m_window), kTitle);

    ApplyWindowShape(m_window, kWidth, kHeight);
    return true;
}

void CDownloaderDlg::OnDestroy() {
    m_presentListener.reset();  // its socket goes before the tag that guards it
    if (m_windowTag.IsSet()) m_windowTag.Remove();
    m_window = nullptr;
    EndDialog(IDCANCEL);
}

void CDownloaderDlg::EndDialog(int result) {
    m_ended = true;
    m_result = result;
    if (m_loop) g_main_loop_quit(m_loop);
}

void CDownloaderDlg::OnPageReadyChanged(bool ready) {
    if (ready && !m_advert) {  // the window's first page: the advertisement is not asked yet
        TraceMoment("page ready");
        TraceNextDraw(m_webHost->Widget(), "page painted");
    }
    m_bridge->SetPageReady(ready);
    if (ready) StartAdvert();
}

void CDownloaderDlg::OnViewReplaced() {
    m_bridge->SetView(m_webHost->View());
    m_titleBarDrag = std::make_unique<CTitleBarDrag>(GTK_WINDOW(m_window), m_webHost->Widget());
}

void CDownloaderDlg::OnUnsandboxed(const std::string& why) {
    DiagLog(m_app.params.Get("Log").c_str(), "the page's process runs without a sandbox: %s",
            why.c_str());
}

void CDownloaderDlg::StartAdvert() {
    if (m_advert) return;  // once per window; a page that comes back keeps its picture
    const auto stamp = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
    const std::string callback = "jsonp" + std::to_string(stamp);
    m_advert = std::make_unique<CAdvertFetch>();
    m_advert->Start(
        AdvertUrl(m_app.params.Get("Version"), m_app.params.Get("Channel"), callback, stamp),
        m_app.appName, m_proxy, [this](const std::string& fragment) {
            m_queue->Call([this, fragment] { InvokeScript("jsShowAd", {fragment}); });
        });
}

void CDownloaderDlg::InvokeScript(const std::string& name, const std::vector<std::string>& args) {
    m_bridge->InvokeScript(name, args);
}

void CDownloaderDlg::OnSysCommand(unsigned nID) {
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg(GTK_WINDOW(m_window), m_icons).DoModal();
    } else if ((nID & 0xFFF0) == SC_MINIMIZE && m_window) {
        gtk_window_iconify(GTK_WINDOW(m_window));
    } else if ((nID & 0xFFF0) == SC_CLOSE && m_window) {
        gtk_window_close(GTK_WINDOW(m_window));
    }
}

void CDownloaderDlg::StartWorker() {
    if (m_busyWorker != 0) return;
    const std::uint64_t id = ++m_lastWorker;
    m_busyWorker = id;
    m_workers.Start([this, id] {
        m_workerProc(this);
        // Its end is reported in queue order, after everything it sent; a window already gone
        // drops the call.
        m_queue->Call([this, id] {
            if (m_busyWorker == id) m_busyWorker = 0;
        });
    });
}

void CDownloaderDlg::OnExit() {
    m_app.quit.store(1);
    EndDialog(IDCANCEL);
}

std::string CDownloaderDlg::GetAppParams(const std::string& name) {
    return m_app.params.Get(name);
}

void CDownloaderDlg::MoveTitleBar(int, int) {
    // The page's coordinates are not needed: the drag follows the pointer itself.
    if (m_titleBarDrag) m_titleBarDrag->Arm();
}

void CDownloaderDlg::Retry() {
    StartWorker();
}

void CDownloaderDlg::MessageBox(const std::string& text, const std::string& caption, unsigned) {
    m_queue->Call([&] { ShowNoticeBox(m_window, text, caption); });
}

bool CDownloaderDlg::AskOkCancel(const std::string& text, const std::string& caption) {
    bool ok = false;
    // A window that is gone answers at once, and as Cancel.
    m_queue->Call([&] { ok = AskOkCancelBox(m_window, text, caption); });
    return ok;
}

bool CDownloaderDlg::AskProxyLogin(const std::string& proxyName, CProxyCredentials& login) {
    bool ok = false;
    m_queue->Call([&] { ok = AskProxyLoginBox(m_window, proxyName, login); });
    return ok;
}

bool CDownloaderDlg::IsNetworkMetered() {
    return ::IsNetworkMetered();
}

bool CDownloaderDlg::IsBehindPortal() {
    return ::IsBehindPortal();
}

bool CDownloaderDlg::IsNetworkAlive() {
    return ::IsNetworkAlive();
}
