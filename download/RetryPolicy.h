#pragma once
// When a failed download is tried again, and after how long: a pure decision on what the
// attempt ran into, so that every case can be checked without a network or a clock.
//
// Transient failures (a refused, reset or timed-out connection, a stall, a body cut short,
// 5xx, 408, 429) are tried again after 1, 2, 4, 8 and 16 s, each with +-20 % jitter, or after
// what Retry-After asks (at most 60 s). Only failures in a row without new bytes count: a file
// that keeps arriving is never given up. A refused connection, a 404, and a fault of the
// address (a digest that fails, a body longer than signed, an answer claiming another size, a
// certificate that fails) move on to the next address at once; other failures move on once
// the address's tries are spent. Nothing is tried again for another 4xx, a proxy's 407 or a
// local file problem, nor once the run has lost its time budget to failing and waiting.

#include <chrono>
#include <cstddef>
#include <string>

#include "net/NetResult.h"

struct RetrySettings {
    int maxTries = 5;  // retries after failures in a row without progress
    std::chrono::milliseconds firstDelay{1000};
    double jitter = 0.2;
    std::chrono::milliseconds maxRetryAfter{60000};
    // Time lost over every address: tries that gained nothing and the pauses between them. A
    // transfer that still gains bytes never counts against it.
    std::chrono::milliseconds budget{5 * 60 * 1000};
};

enum class FailureKind {
    Transient,    // worth trying again at the same address after a pause
    Refused,      // nobody listens there: the next address at once, else as Transient
    AddressDone,  // this address will not serve the file: the next one, if any
    Final,        // no address can help (or the user is leaving)
};

FailureKind ClassifyFailure(const NetResult& failure);

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

    // After a failed attempt (whether it added bytes is its BytesGained()): a jitter draw in
    // [-1, 1] and the time the run has lost so far.
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
