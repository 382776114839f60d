#pragma once
// A download that rides out a bad network: each failed attempt is judged by CRetryPolicy, the
// sink is told how long the pause is, and the next attempt continues the same partial file,
// from the same address or the next one.

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "net/NetResult.h"
#include "net/ResumeRecord.h"
#include "net/RetryPolicy.h"
#include "net/TransferSink.h"

class CHttp;

struct RetryHooks {
    const std::atomic<int>& quit;  // ends a pause within a poll (at most 20 ms)
    // How many times the network monitor has reported the network back; a change ends a
    // pause at once.
    std::function<unsigned()> networkChanges;
    // A draw in [-1, 1] for the jitter of a pause.
    std::function<double()> jitterDraw;
};

// Downloads target into destination from addresses (the main address first, then mirrors).
// Success when the file is complete and in place; otherwise the last attempt's failure, once
// the policy gives up or quit is raised.
NetResult DownloadWithRetries(CHttp& http, ITransferSink& sink,
                              const std::vector<std::string>& addresses,
                              const std::string& destination, const DownloadTarget& target,
                              const RetrySettings& settings, const RetryHooks& hooks);

// Waits for delay unless quit is raised or the network count moves from changes first;
// false on quit.
bool WaitBeforeRetry(std::chrono::milliseconds delay, const RetryHooks& hooks, unsigned changes);
