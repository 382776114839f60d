#include "download/DownloadThread.h"

#include <ctime>
#include <optional>
#include <string>

#include "base/DebugTrace.h"
#include "base/DiagLog.h"
#include "base/ResString.h"
#include "base/StringTable.h"
#include "download/AcceptedVersionStore.h"
#include "download/ExistingCopy.h"
#include "download/UpdateRequest.h"
#include "download/VerifiedUpdate.h"
#include "download/WindowSink.h"
#include "download/WorkerEvents.h"
#include "net/Http.h"

namespace {
// The installer to fetch: in a signed program only what a verified reply names; nothing (the
// failure shown and logged) when the reply cannot be had or is refused.
std::optional<UpdateInfo> AskForUpdate(CHttp& http, const std::string& url,
                                       const WorkerEnvironment& env, const WindowHandle& hwnd) {
    CAppParams& params = env.app.params;
    if (!SignedMode(env.updateKeys)) {
        const std::string reply = FetchUpdateReply(http, url);
        TRACE("---------------------->%s,url=%s\n", reply.c_str(), url.c_str());
        return ParseUpdateInfo(reply, env.endpoints.defaultInstallerUrl);
    }
    const std::string folder = params.Get("AppTmpPath");
    const UpdateReplyExpectation expect{params.Get("Channel"), std::time(nullptr),
                                        ReadAcceptedVersion(folder)};
    VerifiedUpdate verified = FetchVerifiedUpdate(http, url, expect, env.updateKeys);
    if (verified.info) {
        TRACE("update reply verified: version %s\n", verified.info->version.c_str());
        return std::move(verified.info);
    }
    if (env.app.quit.load() == 0) {
        DiagLog(params.Get("Log").c_str(), "%s", verified.logText.c_str());
        SendDownFail(hwnd, verified.userText);
    }
    return std::nullopt;
}
}  // namespace

unsigned DownloadThread(CWorkerHost* param, const WorkerEnvironment& env) {
    if (!param) return 0;
    if (!param->CheckNetwork()) return 0;

    CAppParams& params = env.app.params;
    const std::string url =
        UpdateInfoUrl(params.Get("Version"), params.Get("Channel"), env.endpoints.updateHost);
    CHttp http(env.app.appName, env.app.quit, params.Get("Log"));
    const WindowHandle hwnd = param->GetSafeHwnd();
    const std::optional<UpdateInfo> found = AskForUpdate(http, url, env, hwnd);
    if (!found) return 1;
    const UpdateInfo& info = *found;

    // Written before any event about the installer: the window reads it when told the file
    // is complete.
    const std::string appPath = params.Get("AppTmpPath") + InstallerFileName(info);
    params.Set("AppPath", appPath);

    // A verified installer handed over to be started raises the accepted version, so that an
    // older signed reply can never take this user back.
    const auto acceptVersion = [&] {
        if (info.size) RecordAcceptedVersion(params.Get("AppTmpPath"), info.version);
    };
    if (const auto completeSize = FindCompleteCopy(http, info, appPath)) {
        acceptVersion();
        PostMessage(hwnd, UpdateProgress{*completeSize, 100});
        return 1;
    }

    SendDetail(hwnd, DetailText(info));
    CWindowSink sink(hwnd, acceptVersion);
    const int done = http.DownHttpFile(&sink, info.url, appPath, info.sha256, info.size);
    // A closing window stops the transfer itself; anything else that leaves the file
    // incomplete is shown, so the user can retry.
    if (!done && !env.app.quit.load()) SendDownFail(hwnd, LoadResString(IDS_TRANSFER_FAILED));
    return 1;
}
