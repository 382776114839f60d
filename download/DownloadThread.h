#pragma once
// The download worker: one pass from the network check to a finished, verified installer,
// reporting to its window only through worker events.

#include <span>
#include <string>

#include "base/AppState.h"
#include "download/UpdateInfo.h"
#include "download/UpdateKeys.h"
#include "download/WorkerHost.h"
#include "net/InternetSession.h"
#include "net/ProxyState.h"
#include "net/RangeSettings.h"
#include "net/RetryPolicy.h"

// Where a run asks for the update information, and what it fetches without a usable answer.
// The program always uses the compiled-in hosts; tests point a run at a local server.
struct UpdateEndpoints {
    std::string updateHost = g_strUpdateHost;
    std::string defaultInstallerUrl = g_strDefaultInstallerUrl;
};

// What one worker run is given: the application's state, where to ask, and the keys the
// update information must be signed with (none: the program was built unsigned).
struct WorkerEnvironment {
    AppState app;
    UpdateEndpoints endpoints;
    RetrySettings retry = {};  // tests shorten the pauses
    std::span<const UpdateKey> updateKeys = CompiledUpdateKeys();
    CTransferLimits limits = {};  // tests shorten how long an exchange may take
    // How a download splits into ranges (each range is tried again by retry); tests shorten
    // it.
    RangeSettings ranges = {};
    // The run's proxies, shared with the window's other clients; none: the environment's proxy
    // or direct, what tests pin.
    std::shared_ptr<CProxyState> proxy = {};
};

// The thread procedure. 0 without a host or when the network check fails, 1 otherwise.
unsigned DownloadThread(CWorkerHost* param, const WorkerEnvironment& env);
