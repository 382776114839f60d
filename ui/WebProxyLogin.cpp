#include "ui/WebProxyLogin.h"

#include <string>

namespace {
gboolean OnAuthenticate(WebKitWebView*, WebKitAuthenticationRequest* request, gpointer data) {
    const auto& state = *static_cast<const CProxyState*>(data);
    const std::string name = std::string(webkit_authentication_request_get_host(request)) + ":" +
                             std::to_string(webkit_authentication_request_get_port(request));
    CProxyCredentials login;
    // A retry means the login was refused: asking again with it would go on for ever.
    if (webkit_authentication_request_is_for_proxy(request) &&
        !webkit_authentication_request_is_retry(request) && state.LoginFor(name, login)) {
        WebKitCredential* credential = webkit_credential_new(
            login.User(), login.Password(), WEBKIT_CREDENTIAL_PERSISTENCE_FOR_SESSION);
        webkit_authentication_request_authenticate(request, credential);
        webkit_credential_free(credential);
    } else {
        webkit_authentication_request_cancel(request);
    }
    return TRUE;
}
}  // namespace

void AnswerWebLogins(WebKitWebView* view, const CProxyState& state) {
    g_signal_connect(view, "authenticate", G_CALLBACK(&OnAuthenticate),
                     const_cast<CProxyState*>(&state));
}
