#pragma once
// The desktop's proxy settings, through GLib's proxy resolver: on GNOME glib-networking's,
// which follows the Settings' manual and automatic (PAC) modes, elsewhere libproxy's. It is
// asked off the window's thread, and never for longer than a deadline.

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

// What the resolver answered for an address, or why it gave nothing.
struct ProxyLookup {
    std::vector<std::string> answers;  // in GLib's form, best first
    std::string failure;               // set when there are no answers: the request goes direct
};

// Asks for the proxies of origin ("scheme://host:port/"); gives up once stop is raised.
using ProxyResolver =
    std::function<ProxyLookup(const std::string& origin, const std::atomic<int>& stop)>;

inline constexpr std::chrono::milliseconds kProxyLookupDeadline{5000};

// GLib's default resolver, asked through a GCancellable that ends each lookup after deadline.
ProxyResolver DesktopProxyResolver(std::chrono::milliseconds deadline = kProxyLookupDeadline);
