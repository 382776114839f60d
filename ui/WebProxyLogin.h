#pragma once
// The web view's proxy logins: WebKit's "authenticate" signal is answered with the login the
// run has for that proxy, or cancelled, so that WebKit never shows a login prompt of its own
// (neither for a proxy nor for a server the advertisement's pictures come from).

#include <webkit2/webkit2.h>

#include "net/ProxyState.h"

// state outlives view.
void AnswerWebLogins(WebKitWebView* view, const CProxyState& state);
