#pragma once
// The download window: a borderless 627 x 467 GTK window whose whole face is the page. It
// turns every worker event into a call of a page function, starts the installer when the
// download is complete, and offers the page its window.external.

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/AppState.h"
#include "download/DownloadThread.h"
#include "download/WorkerEvents.h"
#include "download/WorkerHost.h"
#include "net/ProxyState.h"
#include "platform/NetworkWatch.h"
#include "platform/PresentRequest.h"
#include "platform/ShellOpen.h"
#include "platform/SingleInstance.h"
#include "platform/WorkerThreads.h"
#include "ui/AdvertFetch.h"
#include "ui/IconSet.h"
#include "ui/ScriptBridge.h"
#include "ui/TitleBarDrag.h"
#include "ui/WebHost.h"
#include "ui/WebHostSite.h"
#include "ui/WebSandbox.h"

class CDownloaderDlg : public CWorkerHost, private CWebHostSite {
  public:
    static constexpr int kWidth = 627;
    static constexpr int kHeight = 467;
    static constexpr int IDCANCEL = 2;
    static constexpr unsigned IDM_ABOUTBOX = 0x0010;
    static constexpr char kTitle[] = "Tavrin手机伴侣";
    static constexpr char kPageUri[] =
        "res:///HTML/#106";  // jQuery needs "scheme://" in the page address

    // The procedure each worker thread runs with this window as its host.
    using WorkerProc = std::function<unsigned(CWorkerHost*)>;

    // A window whose workers download from the compiled-in hosts.
    explicit CDownloaderDlg(AppState app);
    // A window whose workers run worker instead (tests); its own clients (the advertisement)
    // and its web view's logins take their proxies from proxy, direct unless a test says.
    CDownloaderDlg(AppState app, WorkerProc worker,
                   std::shared_ptr<CProxyState> proxy = CProxyState::PinnedDirect());
    ~CDownloaderDlg() override;
    CDownloaderDlg(const CDownloaderDlg&) = delete;
    CDownloaderDlg& operator=(const CDownloaderDlg&) = delete;

    // Creates and shows the window and runs the main loop until the dialog ends; then sets the
    // quit flag and joins every worker. Returns IDCANCEL.
    int DoModal();
    // Creates, initialises and shows the window without running the loop (DoModal's first
    // half; the caller owns and iterates the main context).
    void Create();
    // Starts the first worker, unless it has started: Create() does, or the caller before
    // the display is open, so that the update information is asked for meanwhile.
    void StartFirstWorker();
    // Ends the dialog: the main loop returns.
    void EndDialog(int result);
    bool IsEnded() const { return m_ended; }

    // Calls a page function with text arguments (see CScriptBridge).
    void InvokeScript(const std::string& name, const std::vector<std::string>& args);
    // A window-menu command: 0x0010 (low four bits ignored) opens the About box.
    void OnSysCommand(unsigned nID) override;

    // window.external
    void OnExit() override;
    std::string GetAppParams(const std::string& name) override;
    void MoveTitleBar(int x, int y) override;
    void Retry() override;

    // CWorkerHost
    WindowHandle GetSafeHwnd() const override { return m_queue; }
    void MessageBox(const std::string& text, const std::string& caption, unsigned style) override;
    bool IsNetworkAlive() override;
    unsigned NetworkChangeCount() override { return m_networkWatch.Changes(); }
    bool IsNetworkMetered() override;
    bool IsBehindPortal() override;
    bool AskOkCancel(const std::string& text, const std::string& caption) override;
    bool AskProxyLogin(const std::string& proxyName, CProxyCredentials& login) override;

    GtkWidget* Widget() const { return m_window; }
    WebKitWebView* WebView() const { return m_webHost ? m_webHost->View() : nullptr; }
    bool IsPageReady() const { return m_bridge->IsPageReady(); }
    const CScriptBridge* Bridge() const { return m_bridge.get(); }
    std::size_t WorkersStarted() const { return m_workers.Started(); }

  private:
    void OnCreate();
    bool OnInitDialog();
    void OnDestroy();
    void OnPageReadyChanged(bool ready) override;
    void OnViewReplaced() override;
    void OnUnsandboxed(const std::string& why) override;
    void HandleEarlyMessages();
    void StartAdvert();
    void StartWorker();

    LRESULT WindowProc(const WorkerEvent& event);
    LRESULT OnUpdateProgress(const UpdateProgress& progress);
    LRESULT OnUpdateFileSize(const UpdateFileSize& size);
    LRESULT OnUpdateSpeed(const UpdateSpeed& speed);
    LRESULT OnShowDetail(const ShowDetail& detail);
    LRESULT OnShowDownFail(const ShowDownFail& failure);
    LRESULT OnShowRetry(const ShowRetry& retry);

    AppState m_app;
    // The run's proxies: the workers', the advertisement's and the web view's logins.
    std::shared_ptr<CProxyState> m_proxy;
    WorkerProc m_workerProc;
    CIconSet m_icons;
    GtkWidget* m_window = nullptr;
    GMainLoop* m_loop = nullptr;
    bool m_ended = false;
    // The worker at work (0: none), so that a Retry while one still runs starts no second one.
    // Only the window thread reads or writes it.
    std::uint64_t m_busyWorker = 0;
    bool m_retryNoticeShown = false;  // the progress line may hold a retry notice
    std::uint64_t m_lastWorker = 0;
    int m_result = IDCANCEL;
    WindowHandle m_queue;
    CWindowTag m_windowTag;
    std::unique_ptr<CPresentListener> m_presentListener;  // while the tag is set
    // Tried from the window's construction on, so that it runs while the display opens.
    CWebSandboxChoice m_sandboxChoice;
    std::unique_ptr<CWebHost> m_webHost;
    std::unique_ptr<CScriptBridge> m_bridge;  // uses m_webHost's view, so it goes first
    // Watches m_webHost's view, so it goes first too.
    std::unique_ptr<CTitleBarDrag> m_titleBarDrag;
    CNetworkWatch m_networkWatch;
    std::unique_ptr<CShellOpenWatch> m_opener;  // the installer's xdg-open, until it answers
    CWorkerThreads m_workers;
    std::unique_ptr<CAdvertFetch> m_advert;  // stopped before anything it reports to goes
};
