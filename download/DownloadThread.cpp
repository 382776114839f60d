#include "download/DownloadThread.h"

#include <chrono>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "base/DebugTrace.h"
#include "base/DiagLog.h"
#include "base/ResString.h"
#include "base/StringTable.h"
#include "download/AcceptedVersionStore.h"
#include "download/ExistingCopy.h"
#include "download/Housekeeping.h"
#include "download/RetryingDownload.h"
#include "download/UnsharedFileSize.h"
#include "download/UpdateRequest.h"
#include "download/VerifiedUpdate.h"
#include "download/WindowSink.h"
#include "download/WorkerEvents.h"
#include "net/FailureText.h"
#include "net/Http.h"

namespace {
// The installer's own address, then its mirrors.
std::vector<std::string> DownloadAddresses(const UpdateInfo& info) {
    std::vector<std::string> addresses{info.url};
    addresses.insert(addresses.end(), info.mirrors.begin(), info.mirrors.end());
    return addresses;
}

RetryHooks RetryHooksOf(CWorkerHost& host, const std::atomic<int>& quit) {
    auto random = std::make_shared<std::mt19937>(std::random_device{}());
    return {quit, [&host] { return host.NetworkChangeCount(); },
            [random] { return std::uniform_real_distribution<double>(-1.0, 1.0)(*random); }};
}

// What is left to fetch: the installer's size less the partial file. The signed size when
// there is one; otherwise asked of the server, only on a metered network, where it matters.
std::function<std::uint64_t()> RemainingBytes(CHttp& http, const UpdateInfo& info,
                                              const std::string& appPath) {
    return [&http, &info, appPath] {
        const std::uint64_t size =
            info.size ? *info.size : static_cast<std::uint64_t>(http.GetHttpFileSize(info.url));
        const std::uint64_t present = UnsharedFileSize(appPath + ".df");
        return size > present ? size - present : 0;
    };
}

// A connection charged by the byte, or one the user agreed to pay for, carries one
// connection only.
RangeSettings RangeSettingsFor(const WorkerEnvironment& env, CWorkerHost& host) {
    RangeSettings settings = env.ranges;
    if (host.IsNetworkMetered() || host.MeteredDownloadAgreed()) settings.maxConnections = 1;
    return settings;
}

// The run's client keeps to the run's limits and proxies, and asks the window for a proxy's
// login.
void SetUpClient(CHttp& http, const WorkerEnvironment& env, CWorkerHost& host) {
    http.SetTransferLimits(env.limits);
    http.SetProxyState(env.proxy);
    http.SetProxyLoginPrompt([&host](const std::string& proxyName, CProxyCredentials& login) {
        return host.AskProxyLogin(proxyName, login);
    });
}

// The installer to fetch: in a signed program only what a verified reply names; nothing (the
// failure shown and logged) when the reply cannot be had or is refused.
std::optional<UpdateInfo> AskForUpdate(CHttp& http, const std::string& url,
                                       const WorkerEnvironment& env, CWorkerHost& host) {
    CAppParams& params = env.app.params;
    if (!SignedMode(env.updateKeys)) {
        NetResult failure;
        const std::string reply = FetchUpdateReply(http, url, failure);
        TRACE("---------------------->%s,url=%s\n", reply.c_str(), url.c_str());
        // The default address would go through the same proxy: the refusal is shown at once.
        if (failure.Failure() == NetFailure::ProxyRefused) {
            DiagLog(params.Get("Log").c_str(), "%s",
                    ExchangeLogText(failure, "update reply").c_str());
            if (env.app.quit.load() == 0) SendDownFail(host.GetSafeHwnd(), UserTextFor(failure));
            return std::nullopt;
        }
        return ParseUpdateInfo(reply, env.endpoints.defaultInstallerUrl);
    }
    const UpdateReplyExpectation expect{params.Get("Version"), params.Get("Channel"),
                                        std::time(nullptr),
                                        ReadAcceptedVersion(AcceptedVersionPlacesOf(env.app))};
    VerifiedUpdate verified = FetchVerifiedUpdate(http, url, expect, env.updateKeys);
    if (verified.info) return std::move(verified.info);
    if (env.app.quit.load() == 0) {
        DiagLog(params.Get("Log").c_str(), "%s", verified.logText.c_str());
        SendDownFail(host.GetSafeHwnd(),
                     verified.webPage ? WebPageText(host.IsBehindPortal()) : verified.userText);
    }
    return std::nullopt;
}
// A verified installer handed over to be started raises the accepted version, so that an
// older signed reply can never take this user back.
std::function<void()> AcceptVersionOnHandOver(const UpdateInfo& info,
                                              const WorkerEnvironment& env) {
    return [&info, &env] {
        if (!info.size) return;
        const std::string note =
            RecordAcceptedVersion(AcceptedVersionPlacesOf(env.app), info.version);
        if (!note.empty()) DiagLog(env.app.params.Get("Log").c_str(), "%s", note.c_str());
    };
}
}  // namespace

unsigned DownloadThread(CWorkerHost* param, const WorkerEnvironment& env) {
    if (!param) return 0;
    if (!param->CheckNetwork()) return 0;

    CAppParams& params = env.app.params;
    const std::string url =
        UpdateInfoUrl(params.Get("Version"), params.Get("Channel"), env.endpoints.updateHost);
    CHttp http(env.app.appName, env.app.quit, params.Get("Log"));
    SetUpClient(http, env, *param);
    const WindowHandle hwnd = param->GetSafeHwnd();
    const std::optional<UpdateInfo> found = AskForUpdate(http, url, env, *param);
    if (!found) return 1;
    const UpdateInfo& info = *found;

    // Written before any event about the installer: the window reads it when told the file
    // is complete.
    const std::string appPath = params.Get("AppTmpPath") + InstallerFileName(info);
    params.Set("AppPath", appPath);
    RemoveStaleDownloads(params.Get("AppTmpPath"), InstallerFileName(info).substr(1),
                         std::chrono::system_clock::now());

    const std::function<void()> acceptVersion = AcceptVersionOnHandOver(info, env);
    if (const auto completeSize = FindCompleteCopy(http, info, appPath)) {
        acceptVersion();
        PostMessage(hwnd, UpdateProgress{*completeSize, 100});
        return 1;
    }

    SendDetail(hwnd, DetailText(info));
    if (!param->ConfirmMeteredDownload(RemainingBytes(http, info, appPath))) {
        if (!env.app.quit.load()) SendDownFail(hwnd, LoadResString(IDS_TRANSFER_FAILED));
        return 1;
    }
    CWindowSink sink(hwnd, acceptVersion);
    http.SetRangeSettings(RangeSettingsFor(env, *param));
    http.SetRetrySettings(env.retry);  // each range tries as a whole attempt does
    const DownloadTarget target{info.url, info.sha256, info.size.value_or(0), info.mirrors};
    const NetResult done = DownloadWithRetries(http, sink, DownloadAddresses(info), appPath, target,
                                               env.retry, RetryHooksOf(*param, env.app.quit));
    // A closing window stops the transfer itself; anything else that leaves the file
    // incomplete is shown once the tries are spent, so the user can retry.
    if (!done.Ok() && !env.app.quit.load())
        SendDownFail(hwnd, UserTextFor(done, param->IsBehindPortal()));
    return 1;
}
