#pragma once
// The HTML host: a web view that shows the program's page from its resources. It serves
// res: addresses from the resource bundle, gives the page its window.external, extends the
// context menu with the window-menu items, sends the page's links to the user's browser,
// and tells its site when a page is ready. The page's process runs in WebKit's sandbox when
// that can start; one that ends before its page ever came up is taken for a sandbox that
// cannot start, and the view is made again, once, in a new context without it.

#include <webkit2/webkit2.h>

#include <string>
#include <vector>

#include "ui/GObjectPtr.h"
#include "ui/WebSandbox.h"

class CWebHostSite;

class CWebHost {
  public:
    CWebHost(CWebHostSite& site, WebSandbox sandbox);
    ~CWebHost();
    CWebHost(const CWebHost&) = delete;
    CWebHost& operator=(const CWebHost&) = delete;

    // The view, until it is made again (CWebHostSite::OnViewReplaced).
    GtkWidget* Widget() const { return GTK_WIDGET(m_view.get()); }
    WebKitWebView* View() const { return m_view.get(); }

    void Load(const char* uri);

    // Items the context menu gains after the engine's own: a separator, or a command that
    // goes to CWebHostSite::OnSysCommand. label uses '&' for its access key.
    void AppendMenuSeparator();
    void AppendMenuItem(unsigned nID, const std::string& label);

  private:
    struct MenuEntry {
        bool separator;
        unsigned nID;
        std::string label;
    };

    static void OnSchemeRequest(WebKitURISchemeRequest* request, gpointer self);
    static void OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self);
    static gboolean OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar*, GError*, gpointer self);
    static gboolean OnContextMenu(WebKitWebView*, WebKitContextMenu* menu, GdkEvent*,
                                  WebKitHitTestResult*, gpointer self);
    static void OnWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason,
                                       gpointer self);
    static gboolean OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                   WebKitPolicyDecisionType type, gpointer self);
    static void OnExitMessage(WebKitUserContentManager*, WebKitJavascriptResult*, gpointer self);
    static void OnMoveTitleBarMessage(WebKitUserContentManager*, WebKitJavascriptResult* message,
                                      gpointer self);
    static void OnRetryMessage(WebKitUserContentManager*, WebKitJavascriptResult*, gpointer self);
    static void OnPageReadyMessage(WebKitUserContentManager*, WebKitJavascriptResult*,
                                   gpointer self);

    void SetPageReady(bool ready);
    // A context with the sandbox as chosen, and a view of it in place of the one there was,
    // which is returned.
    GObjectPtr<WebKitWebView> MakeView();
    static gboolean OnUnsandboxedViewDue(gpointer self);

    void AnswerSchemeRequest(WebKitURISchemeRequest* request);
    void SetUpContent();

    CWebHostSite& m_site;
    GObjectPtr<WebKitWebContext> m_context;
    GObjectPtr<WebKitUserContentManager> m_content;
    GObjectPtr<WebKitWebView> m_view;
    std::vector<MenuEntry> m_menu;
    bool m_loadFailed = false;
    bool m_pageReady = false;
    std::string m_pageUri;
    int m_restarts = 0;
    WebSandbox m_sandbox;
    bool m_pageCameUp = false;  // a page of this context was ready once
    guint m_unsandboxedViewSource = 0;
    std::string m_whyUnsandboxed;
};
