#pragma once
// A second start brings the running window forward: the window listens on a Unix socket in the
// user's runtime folder, named after the application, and a refused start connects to it and
// sends one byte. The folder is the user's own (mode 0700), so no one else can ask.

#include <gio/gio.h>

#include <functional>
#include <memory>
#include <string>

#include "base/CallRelease.h"

std::string PresentSocketPath(const std::string& appName);

// Listens on path for as long as it lives; onRequest runs on the main context of the thread
// that created it, once for each start that asked. A socket file left by a dead process is
// replaced, so only create one while holding the window tag.
class CPresentListener {
  public:
    CPresentListener(const std::string& path, std::function<void()> onRequest);
    // Stops listening and removes the socket file.
    ~CPresentListener();
    CPresentListener(const CPresentListener&) = delete;
    CPresentListener& operator=(const CPresentListener&) = delete;

    bool Listening() const { return static_cast<bool>(m_service); }

  private:
    static gboolean OnIncoming(GSocketService*, GSocketConnection*, GObject*, gpointer self);

    std::string m_path;
    std::function<void()> m_onRequest;
    std::unique_ptr<GSocketService, CallRelease<g_object_unref>> m_service;
};

// Asks the window listening at path to come forward, without waiting for it; false when
// nobody listens there.
bool SendPresentRequest(const std::string& path);
