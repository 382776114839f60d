#include "download/RetryingDownload.h"

#include <thread>

#include "base/DebugTrace.h"
#include "download/UnsharedFileSize.h"
#include "net/Http.h"

namespace {
constexpr std::chrono::milliseconds kPoll{20};
}

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

int DownloadWithRetries(CHttp& http, ITransferSink& sink, const WindowHandle& hwnd,
                        const std::vector<std::string>& addresses, const std::string& destination,
                        const DownloadTarget& target, const RetrySettings& settings,
                        const RetryHooks& hooks) {
    if (addresses.empty()) return http.DownHttpFile(&sink, target.mainUrl, destination, target);
    const auto started = std::chrono::steady_clock::now();
    CRetryPolicy policy(settings, addresses.size());
    std::uint64_t before = UnsharedFileSize(destination + ".df");
    for (;;) {
        const std::string& url = addresses[policy.Address()];
        if (http.DownHttpFile(&sink, url, destination, target)) return 1;
        if (hooks.quit.load()) return 0;
        const TransferFacts& facts = http.LastFacts();
        const bool progressed = facts.bytesOnDisk > before;
        before = facts.bytesOnDisk;
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - started);
        const RetryStep step = policy.AfterFailure(
            facts, progressed, hooks.jitterDraw ? hooks.jitterDraw() : 0.0, elapsed);
        TRACE("attempt at %s failed (status %ld, curl %d): step %d after %lld ms\n", url.c_str(),
              facts.status, facts.curlCode, static_cast<int>(step.action),
              static_cast<long long>(step.delay.count()));
        if (step.action == RetryStep::Action::GiveUp) return 0;
        if (step.action == RetryStep::Action::Retry) {
            // Counted before the page is told: a report that comes meanwhile still counts.
            const unsigned changes = hooks.networkChanges ? hooks.networkChanges() : 0;
            PostMessage(hwnd,
                        ShowRetry{RetryNoticeText(step.delay, step.tryNumber, settings.maxTries)});
            if (!WaitBeforeRetry(step.delay, hooks, changes)) return 0;
        }
    }
}
