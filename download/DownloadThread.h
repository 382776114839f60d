#pragma once
// The download worker: one pass from the network check to a finished, verified installer,
// reporting to its window only through worker events.

#include <string>

#include "download/UpdateInfo.h"
#include "download/WorkerHost.h"

// What the page shows when a transfer ends without a complete file (and the window is not
// closing): its failure view, whose Retry resumes from the partial file.
inline constexpr char kTransferFailedText[] = "下载失败，请检查网络后点击重试！";

// Where a run asks for the update information, and what it fetches without a usable answer.
// The program always uses the compiled-in hosts; tests point a run at a local server.
struct UpdateEndpoints {
    std::string updateHost = g_strUpdateHost;
    std::string defaultInstallerUrl = g_strDefaultInstallerUrl;
};

// The thread procedure. 0 without a host or when the network check fails, 1 otherwise.
unsigned DownloadThread(CWorkerHost* param);
unsigned DownloadThread(CWorkerHost* param, const UpdateEndpoints& endpoints);
