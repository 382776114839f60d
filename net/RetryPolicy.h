#pragma once
// When a failed transfer is tried again, and after how long: one decision for a whole attempt
// and for each range of a download, made on the failure's kind alone, so that every case can
// be checked without a network or a clock.
//
// Transient failures (a refused, reset or timed-out connection, a stall, a body cut short,
// 5xx, 408, 429) are tried again after 1, 2, 4, 8 and 16 s, each with +-20 % jitter, or after
// what Retry-After asks (at most 60 s). Only failures in a row without useful progress count:
// a file that keeps arriving is never given up. A refused connection, a 404, and a fault of
// the address (a digest that fails, a body longer than signed, an answer claiming another
// size, a certificate that fails, a file that keeps changing) move on to the next address at
// once; other failures move on once the address's tries are spent. Nothing is tried again for
// another 4xx, a proxy's 407 or a local file problem, nor once the run has lost its time
// budget to failing and waiting.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "net/NetResult.h"

struct RetrySettings {
    int maxTries = 5;  // retries after failures in a row without useful progress
    std::chrono::milliseconds firstDelay{1000};
    double jitter = 0.2;
    std::chrono::milliseconds maxRetryAfter{60000};
    // Time lost over every address: tries that gained nothing and the pauses between them. A
    // transfer that still gains bytes never counts against it.
    std::chrono::milliseconds budget{5 * 60 * 1000};
    // A request, or an attempt, made useful progress when it kept at least this many bytes in
    // the file, or kept them at least at the transfer's rate floor.
    std::uint64_t usefulBytes = 64 * 1024;
};

enum class FailureKind {
    Transient,    // worth trying again at the same address after a pause
    Refused,      // nobody listens there: the next address at once, else as Transient
    AddressDone,  // this address will not serve the file: the next one, if any
    Final,        // no address can help (or the user is leaving)
};

FailureKind ClassifyFailure(const NetResult& failure);

// Whether keeping bytes over elapsed counts as progress: usefulBytes, or at least
// floorBytesPerSecond (0: no floor).
bool IsUsefulProgress(std::uint64_t bytes, std::chrono::steady_clock::duration elapsed,
                      std::uint32_t floorBytesPerSecond, const RetrySettings& settings);

// The pause before the tryNumber-th try (1 for the first): firstDelay doubled for each try
// before it, times 1 + jitter * jitterDraw (a draw in [-1, 1]); or what Retry-After asked, at
// most maxRetryAfter.
std::chrono::milliseconds RetryDelay(const RetrySettings& settings, int tryNumber,
                                     std::optional<long> retryAfterSeconds, double jitterDraw);

struct RetryStep {
    enum class Action { Retry, NextAddress, GiveUp };
    Action action = Action::GiveUp;
    std::chrono::milliseconds delay{0};
    int tryNumber = 0;  // 1..maxTries for Retry
};

class CRetryPolicy {
  public:
    CRetryPolicy(RetrySettings settings, std::size_t addresses)
        : m_settings(settings), m_addresses(addresses) {}

    // After a failed attempt (whether it made useful progress is its BytesGained()): a jitter
    // draw in [-1, 1] and the time the run has lost so far.
    RetryStep AfterFailure(const NetResult& failure, double jitterDraw,
                           std::chrono::milliseconds lost);
    // The index of the address to use now.
    std::size_t Address() const { return m_address; }
    const RetrySettings& Settings() const { return m_settings; }

  private:
    RetryStep MoveOnOrGiveUp();

    RetrySettings m_settings;
    std::size_t m_addresses;
    std::size_t m_address = 0;
    int m_failuresInRow = 0;
};

// The page's line while waiting: "连接中断，3 秒后重试（第 2/5 次）".
std::string RetryNoticeText(std::chrono::milliseconds delay, int tryNumber, int maxTries);
