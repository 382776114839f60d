#pragma once
// The small modal question for a proxy's login, run on the window thread like the message box:
// the proxy's name, a user name and a password field, 确定 and 取消.

#include <gtk/gtk.h>

#include <string>

#include "net/ProxyCredentials.h"

// True for 确定, with what was typed in login; false for 取消, Esc, or the box going with its
// window.
bool AskProxyLoginBox(GtkWidget* parent, const std::string& proxyName, CProxyCredentials& login);
