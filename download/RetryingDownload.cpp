#include "download/RetryingDownload.h"

#include <thread>

#include "net/Http.h"

namespace {
constexpr std::chrono::milliseconds kPoll{20};

std::chrono::milliseconds SinceMs(std::chrono::steady_clock::time_point then) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 then);
}
}  // namespace

bool WaitBeforeRetry(std::chrono::milliseconds delay, const RetryHooks& hooks, unsigned changes) {
    const auto until = std::chrono::steady_clock::now() + delay;
    for (;;) {
        if (hooks.quit.load()) return false;
        const auto now = std::chrono::steady_clock::now();
        if (now >= until) return true;
        // The network came back: no reason to wait out the rest.
        if (hooks.networkChanges && hooks.networkChanges() != changes) return true;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(kPoll, until - now));
    }
}

NetResult DownloadWithRetries(CHttp& http, ITransferSink& sink,
                              const std::vector<std::string>& addresses,
                              const std::string& destination, const DownloadTarget& target,
                              const RetrySettings& settings, const RetryHooks& hooks) {
    if (addresses.empty()) return http.DownloadFile(&sink, target.mainUrl, destination, target);
    CRetryPolicy policy(settings, addresses.size());
    // The budget counts only time lost: tries that gained nothing, and the pauses between.
    std::chrono::milliseconds lost{0};
    for (;;) {
        const auto tried = std::chrono::steady_clock::now();
        NetResult result =
            http.DownloadFile(&sink, addresses[policy.Address()], destination, target);
        if (result.Ok() || hooks.quit.load()) return result;
        if (result.BytesGained() == 0) lost += SinceMs(tried);
        const RetryStep step =
            policy.AfterFailure(result, hooks.jitterDraw ? hooks.jitterDraw() : 0.0, lost);
        if (step.action == RetryStep::Action::GiveUp) return result;
        if (step.action == RetryStep::Action::Retry) {
            // Counted before the sink is told: a report that comes meanwhile still counts.
            const unsigned changes = hooks.networkChanges ? hooks.networkChanges() : 0;
            sink.OnRetryWait(step.delay, step.tryNumber, settings.maxTries);
            const auto paused = std::chrono::steady_clock::now();
            if (!WaitBeforeRetry(step.delay, hooks, changes)) return result;
            lost += SinceMs(paused);
        }
    }
}
