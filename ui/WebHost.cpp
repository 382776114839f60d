#include "ui/WebHost.h"

#include <gio/gio.h>

#include "platform/ShellOpen.h"
#include "ui/ExternalScript.h"
#include "ui/MenuText.h"
#include "ui/ResUri.h"
#include "ui/WebHostSite.h"

namespace {

constexpr char kMenuCommandKey[] = "downloader-menu-command";

// The page and its parts come from the resources; the advertisement's pictures may come from
// the web. Nothing else is loaded: no remote script, frame, object, font or request, whatever a
// fragment tries. No inline script or style either: the page binds its handlers from its own
// script and keeps its looks in its style sheet, so markup that slips into the page can neither
// run nor place itself. Script calls from the window and style set from script still work.
constexpr char kContentSecurityPolicy[] =
    "default-src 'none'; script-src res:; style-src res:; img-src res: http: https:; "
    "connect-src res:; base-uri 'none'; form-action 'none'";

// The scheme, lower-cased and interned (never freed), or nullptr.
const char* SchemeOf(const char* uri) {
    return uri ? g_uri_peek_scheme(uri) : nullptr;
}

bool IsWebAddress(const char* uri) {
    const char* scheme = SchemeOf(uri);
    return scheme && (g_str_equal(scheme, "http") || g_str_equal(scheme, "https"));
}

bool IsOwnAddress(const char* uri) {
    const char* scheme = SchemeOf(uri);
    return scheme && g_str_equal(scheme, "res");
}

GObjectPtr<WebKitSettings> NewSettings() {
    GObjectPtr<WebKitSettings> settings(webkit_settings_new());
    // Composited rendering paints later and costs memory without a GPU to gain from.
    webkit_settings_set_hardware_acceleration_policy(settings.get(),
                                                     WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    webkit_settings_set_javascript_can_open_windows_automatically(settings.get(), FALSE);
    webkit_settings_set_enable_developer_extras(settings.get(), FALSE);
    return settings;
}

const char* TerminationText(WebKitWebProcessTerminationReason reason) {
    switch (reason) {
        case WEBKIT_WEB_PROCESS_CRASHED:
            return "crashed";
        case WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT:
            return "out of memory";
        default:
            return "ended";
    }
}

int Int32At(JSCValue* array, unsigned index) {
    GObjectPtr<JSCValue> item(jsc_value_object_get_property_at_index(array, index));
    return item && jsc_value_is_number(item.get()) ? jsc_value_to_int32(item.get()) : 0;
}

}  // namespace

CWebHost::CWebHost(CWebHostSite& site, WebSandbox sandbox)
    : m_site(site), m_content(webkit_user_content_manager_new()), m_sandbox(std::move(sandbox)) {
    SetUpContent();
    static_cast<void>(MakeView());
    if (!m_sandbox.enabled) m_site.OnUnsandboxed(m_sandbox.whyOff);
}

CWebHost::~CWebHost() {
    if (m_unsandboxedViewSource) g_source_remove(m_unsandboxedViewSource);
    g_signal_handlers_disconnect_by_data(m_view.get(), this);
    g_signal_handlers_disconnect_by_data(m_content.get(), this);
    for (const char* name :
         {kOnExitHandler, kMoveTitleBarHandler, kRetryHandler, kPageReadyHandler})
        webkit_user_content_manager_unregister_script_message_handler(m_content.get(), name);
}

GObjectPtr<WebKitWebView> CWebHost::MakeView() {
    GObjectPtr<WebKitWebView> old = std::move(m_view);
    GObjectPtr<WebKitWebContext> oldContext = std::move(m_context);
    if (old) g_signal_handlers_disconnect_by_data(old.get(), this);
    m_context.reset(webkit_web_context_new_ephemeral());
    // Before the context's first web process, the only time it can be set. No folder is added
    // to the sandbox: least of all the private folder with the installer.
    webkit_web_context_set_sandbox_enabled(m_context.get(), m_sandbox.enabled);
    webkit_web_context_register_uri_scheme(m_context.get(), "res", &CWebHost::OnSchemeRequest, this,
                                           nullptr);
    GObjectPtr<WebKitSettings> settings = NewSettings();
    m_view.reset(WEBKIT_WEB_VIEW(g_object_ref_sink(
        g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", m_context.get(), "user-content-manager",
                     m_content.get(), "settings", settings.get(), nullptr))));
    g_signal_connect(m_view.get(), "load-changed", G_CALLBACK(&CWebHost::OnLoadChanged), this);
    g_signal_connect(m_view.get(), "load-failed", G_CALLBACK(&CWebHost::OnLoadFailed), this);
    g_signal_connect(m_view.get(), "context-menu", G_CALLBACK(&CWebHost::OnContextMenu), this);
    g_signal_connect(m_view.get(), "decide-policy", G_CALLBACK(&CWebHost::OnDecidePolicy), this);
    g_signal_connect(m_view.get(), "web-process-terminated",
                     G_CALLBACK(&CWebHost::OnWebProcessTerminated), this);
    GtkWidget* parent = old ? gtk_widget_get_parent(GTK_WIDGET(old.get())) : nullptr;
    if (!parent) return old;
    gtk_container_remove(GTK_CONTAINER(parent), GTK_WIDGET(old.get()));
    gtk_container_add(GTK_CONTAINER(parent), Widget());
    gtk_widget_show(Widget());
    gtk_widget_grab_focus(Widget());
    return old;
}

void CWebHost::SetUpContent() {
    WebKitUserScript* script =
        webkit_user_script_new(ExternalScriptSource(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    webkit_user_content_manager_add_script(m_content.get(), script);
    webkit_user_script_unref(script);

    struct Handler {
        const char* name;
        GCallback callback;
    };
    const Handler handlers[] = {
        {kOnExitHandler, G_CALLBACK(&CWebHost::OnExitMessage)},
        {kMoveTitleBarHandler, G_CALLBACK(&CWebHost::OnMoveTitleBarMessage)},
        {kRetryHandler, G_CALLBACK(&CWebHost::OnRetryMessage)},
        {kPageReadyHandler, G_CALLBACK(&CWebHost::OnPageReadyMessage)},
    };
    for (const auto& handler : handlers) {
        // Connected before registering, so that no message can arrive unheard.
        GCharPtr signal(g_strconcat("script-message-received::", handler.name, nullptr));
        g_signal_connect(m_content.get(), signal.get(), handler.callback, this);
        webkit_user_content_manager_register_script_message_handler(m_content.get(), handler.name);
    }
}

void CWebHost::Load(const char* uri) {
    m_loadFailed = false;
    m_pageUri = uri;
    webkit_web_view_load_uri(m_view.get(), uri);
}

void CWebHost::OnWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason,
                                      gpointer self) {
    // The page is gone with its process: calls are lost until a new one is up. A download in
    // progress goes on, so the page comes back (a few times at most) to show it.
    constexpr int kMaxRestarts = 3;
    auto* host = static_cast<CWebHost*>(self);
    host->SetPageReady(false);
    if (host->m_sandbox.enabled && !host->m_pageCameUp) {
        host->m_whyUnsandboxed = std::string("its process ended before the page came up (") +
                                 TerminationText(reason) + ")";
        // Made anew from the main loop, not inside the old view's own signal.
        if (!host->m_unsandboxedViewSource)
            host->m_unsandboxedViewSource = g_idle_add(&CWebHost::OnUnsandboxedViewDue, host);
        return;
    }
    if (host->m_pageUri.empty() || host->m_restarts >= kMaxRestarts) return;
    ++host->m_restarts;
    host->Load(host->m_pageUri.c_str());
}

gboolean CWebHost::OnUnsandboxedViewDue(gpointer self) {
    auto* host = static_cast<CWebHost*>(self);
    host->m_unsandboxedViewSource = 0;
    host->m_sandbox.enabled = false;
    // The old view goes once nothing watches it any more.
    GObjectPtr<WebKitWebView> old = host->MakeView();
    host->m_site.OnViewReplaced();
    host->m_site.OnUnsandboxed(host->m_whyUnsandboxed);
    if (!host->m_pageUri.empty()) host->Load(host->m_pageUri.c_str());
    return G_SOURCE_REMOVE;
}

void CWebHost::AppendMenuSeparator() {
    m_menu.push_back({true, 0, {}});
}

void CWebHost::AppendMenuItem(unsigned nID, const std::string& label) {
    m_menu.push_back({false, nID, MnemonicToGtk(label)});
}

void CWebHost::OnSchemeRequest(WebKitURISchemeRequest* request, gpointer self) {
    static_cast<CWebHost*>(self)->AnswerSchemeRequest(request);
}

void CWebHost::AnswerSchemeRequest(WebKitURISchemeRequest* request) {
    const char* uri = webkit_uri_scheme_request_get_uri(request);
    const ResUri res = ParseResUri(uri ? uri : "");
    GBytesPtr bytes;
    std::string contentType;
    if (res.kind == ResUri::Kind::AppParam) {
        const std::string value = m_site.GetAppParams(res.paramName);
        bytes.reset(g_bytes_new(value.data(), value.size()));
        contentType = "text/plain; charset=utf-8";
    } else if (res.kind == ResUri::Kind::Resource) {
        bytes.reset(g_resources_lookup_data(res.resourcePath.c_str(), G_RESOURCE_LOOKUP_FLAGS_NONE,
                                            nullptr));
        contentType = res.contentType;
    }
    if (!bytes) {
        GErrorPtr error(g_error_new(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "not found: %s", uri));
        webkit_uri_scheme_request_finish_error(request, error.get());
        return;
    }
    GObjectPtr<GInputStream> stream(g_memory_input_stream_new_from_bytes(bytes.get()));
    GObjectPtr<WebKitURISchemeResponse> response(webkit_uri_scheme_response_new(
        stream.get(), static_cast<gint64>(g_bytes_get_size(bytes.get()))));
    webkit_uri_scheme_response_set_content_type(response.get(), contentType.c_str());
    SoupMessageHeaders* headers = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
    soup_message_headers_append(headers, "Content-Security-Policy", kContentSecurityPolicy);
    webkit_uri_scheme_response_set_http_headers(response.get(), headers);  // takes them
    webkit_uri_scheme_request_finish_with_response(request, response.get());
}

void CWebHost::SetPageReady(bool ready) {
    if (ready == m_pageReady) return;
    m_pageReady = ready;
    m_pageCameUp = m_pageCameUp || ready;
    m_site.OnPageReadyChanged(ready);
}

void CWebHost::OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self) {
    auto* host = static_cast<CWebHost*>(self);
    if (event == WEBKIT_LOAD_STARTED) {
        host->m_loadFailed = false;
        host->SetPageReady(false);
        if (host->m_sandbox.enabled && host->m_sandbox.endFirstProcess) {
            host->m_sandbox.endFirstProcess = false;
            webkit_web_view_terminate_web_process(host->View());
        }
    } else if (event == WEBKIT_LOAD_FINISHED) {
        if (!host->m_loadFailed) host->SetPageReady(true);
    }
}

gboolean CWebHost::OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar*, GError*, gpointer self) {
    static_cast<CWebHost*>(self)->m_loadFailed = true;
    return FALSE;
}

gboolean CWebHost::OnContextMenu(WebKitWebView*, WebKitContextMenu* menu, GdkEvent*,
                                 WebKitHitTestResult*, gpointer self) {
    auto* host = static_cast<CWebHost*>(self);
    for (const auto& entry : host->m_menu) {
        if (entry.separator) {
            webkit_context_menu_append(menu, webkit_context_menu_item_new_separator());
            continue;
        }
        GObjectPtr<GSimpleAction> action(g_simple_action_new("window-command", nullptr));
        g_object_set_data(G_OBJECT(action.get()), kMenuCommandKey, GUINT_TO_POINTER(entry.nID));
        g_signal_connect(action.get(), "activate",
                         G_CALLBACK(+[](GSimpleAction* action, GVariant*, gpointer self) {
                             const unsigned nID = GPOINTER_TO_UINT(
                                 g_object_get_data(G_OBJECT(action), kMenuCommandKey));
                             static_cast<CWebHost*>(self)->m_site.OnSysCommand(nID);
                         }),
                         host);
        webkit_context_menu_append(menu, webkit_context_menu_item_new_from_gaction(
                                             G_ACTION(action.get()), entry.label.c_str(), nullptr));
    }
    return FALSE;
}

gboolean CWebHost::OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                  WebKitPolicyDecisionType type, gpointer) {
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) return FALSE;
    auto* navigation = WEBKIT_NAVIGATION_POLICY_DECISION(decision);
    WebKitNavigationAction* action =
        webkit_navigation_policy_decision_get_navigation_action(navigation);
    const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
    const bool newWindow = type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION;
    if (!newWindow && IsOwnAddress(uri)) return FALSE;
    // The window only ever shows its own page, so no other page gets to see window.external:
    // links open in the user's browser, and a navigation the page did not ask the user for
    // (a script in the advertisement setting location, say) goes nowhere.
    const bool linkClicked =
        webkit_navigation_action_get_navigation_type(action) == WEBKIT_NAVIGATION_TYPE_LINK_CLICKED;
    if ((newWindow || linkClicked) && IsWebAddress(uri)) ShellOpen(uri);
    webkit_policy_decision_ignore(decision);
    return TRUE;
}

void CWebHost::OnExitMessage(WebKitUserContentManager*, WebKitJavascriptResult*, gpointer self) {
    static_cast<CWebHost*>(self)->m_site.OnExit();
}

void CWebHost::OnMoveTitleBarMessage(WebKitUserContentManager*, WebKitJavascriptResult* message,
                                     gpointer self) {
    JSCValue* value = webkit_javascript_result_get_js_value(message);
    if (!value || !jsc_value_is_array(value)) return;
    static_cast<CWebHost*>(self)->m_site.MoveTitleBar(Int32At(value, 0), Int32At(value, 1));
}

void CWebHost::OnRetryMessage(WebKitUserContentManager*, WebKitJavascriptResult*, gpointer self) {
    static_cast<CWebHost*>(self)->m_site.Retry();
}

void CWebHost::OnPageReadyMessage(WebKitUserContentManager*, WebKitJavascriptResult*,
                                  gpointer self) {
    auto* host = static_cast<CWebHost*>(self);
    // A document that is still loading may be an error page: only a page that has not failed
    // and whose load has started here counts.
    if (!host->m_loadFailed) host->SetPageReady(true);
}
