#include "download/DownloadThread.h"

#include <cstdint>
#include <string>

#include "app/DebugTrace.h"
#include "app/DownloaderApp.h"
#include "download/ExistingCopy.h"
#include "download/UpdateRequest.h"
#include "download/WorkerEvents.h"
#include "net/Http.h"

unsigned DownloadThread(CWorkerHost* param) {
    return DownloadThread(param, UpdateEndpoints{});
}

unsigned DownloadThread(CWorkerHost* param, const UpdateEndpoints& endpoints) {
    if (!param) return 0;
    if (!param->CheckNetwork()) return 0;

    CDownloaderApp& app = TheApp();
    const std::string url = UpdateInfoUrl(app.AppParams.Get("Version"),
                                          app.AppParams.Get("Channel"), endpoints.updateHost);
    CHttp http;
    const std::string reply = FetchUpdateReply(http, url);
    TRACE("---------------------->%s,url=%s\n", reply.c_str(), url.c_str());

    const UpdateInfo info = ParseUpdateInfo(reply, endpoints.defaultInstallerUrl);
    // Written before any event about the installer: the window reads it when told the file
    // is complete.
    const std::string appPath = app.AppParams.Get("AppTmpPath") + InstallerFileName(info);
    app.AppParams.Set("AppPath", appPath);

    const WindowHandle hwnd = param->GetSafeHwnd();
    if (const auto completeSize = FindCompleteCopy(http, info, appPath)) {
        PostMessage(hwnd, WM_UPDATE_PROGRESS, static_cast<std::uint32_t>(*completeSize), 100);
        return 1;
    }

    SendDetail(hwnd, DetailText(info));
    const int done = http.DownHttpFile(hwnd, info.url, appPath, info.sha256);
    // A closing window stops the transfer itself; anything else that leaves the file
    // incomplete is shown, so the user can retry.
    if (!done && !app.m_bQuit.load()) SendDownFail(hwnd, kTransferFailedText);
    return 1;
}
