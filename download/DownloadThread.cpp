#include "download/DownloadThread.h"

#include <string>

#include "base/DebugTrace.h"
#include "base/ResString.h"
#include "base/StringTable.h"
#include "download/ExistingCopy.h"
#include "download/UpdateRequest.h"
#include "download/WindowSink.h"
#include "download/WorkerEvents.h"
#include "net/Http.h"

unsigned DownloadThread(CWorkerHost* param, const WorkerEnvironment& env) {
    if (!param) return 0;
    if (!param->CheckNetwork()) return 0;

    CAppParams& params = env.app.params;
    const std::string url =
        UpdateInfoUrl(params.Get("Version"), params.Get("Channel"), env.endpoints.updateHost);
    CHttp http(env.app.appName, env.app.quit, params.Get("Log"));
    const std::string reply = FetchUpdateReply(http, url);
    TRACE("---------------------->%s,url=%s\n", reply.c_str(), url.c_str());

    const UpdateInfo info = ParseUpdateInfo(reply, env.endpoints.defaultInstallerUrl);
    // Written before any event about the installer: the window reads it when told the file
    // is complete.
    const std::string appPath = params.Get("AppTmpPath") + InstallerFileName(info);
    params.Set("AppPath", appPath);

    const WindowHandle hwnd = param->GetSafeHwnd();
    if (const auto completeSize = FindCompleteCopy(http, info, appPath)) {
        PostMessage(hwnd, UpdateProgress{*completeSize, 100});
        return 1;
    }

    SendDetail(hwnd, DetailText(info));
    CWindowSink sink(hwnd);
    const int done = http.DownHttpFile(&sink, info.url, appPath, info.sha256);
    // A closing window stops the transfer itself; anything else that leaves the file
    // incomplete is shown, so the user can retry.
    if (!done && !env.app.quit.load()) SendDownFail(hwnd, LoadResString(IDS_TRANSFER_FAILED));
    return 1;
}
