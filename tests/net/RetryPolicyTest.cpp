// The retry decision, case by case: what is tried again, after how long, and when a run moves
// on to the next address or gives up.

#include "net/RetryPolicy.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/CaseName.h"

namespace {
using std::chrono::milliseconds;
using Action = RetryStep::Action;

NetResult Status(long status, std::optional<long> retryAfter = std::nullopt) {
    return NetResult::Fail(status == 404 ? NetFailure::NotFound : NetFailure::Refused,
                           std::to_string(status))
        .Answered(status, retryAfter);
}
NetResult Kind(NetFailure failure) {
    return NetResult::Fail(failure, "");
}

struct Attempt {
    NetResult failure;
    bool progressed = false;
    double jitter = 0.0;
    long elapsedMs = 0;
    Action action;
    long delayMs = 0;
    int tryNumber = 0;
    std::size_t addressAfter = 0;
};

struct PolicyCase {
    const char* name;
    std::size_t addresses;
    std::vector<Attempt> attempts;
};

std::vector<PolicyCase> Cases() {
    const NetResult reset = Kind(NetFailure::Interrupted);
    return {
        {"backoff doubles with jitter, then gives up after five",
         1,
         {{reset, false, 0.0, 0, Action::Retry, 1000, 1},
          {reset, false, 1.0, 0, Action::Retry, 2400, 2},
          {reset, false, -1.0, 0, Action::Retry, 3200, 3},
          {reset, false, 0.5, 0, Action::Retry, 8800, 4},
          {Kind(NetFailure::Stalled), false, 0.0, 0, Action::Retry, 16000, 5},
          {reset, false, 0.0, 0, Action::GiveUp}}},
        {"progress resets the count: a file that keeps arriving is never given up",
         1,
         {{reset, false, 0, 0, Action::Retry, 1000, 1},
          {reset, false, 0, 0, Action::Retry, 2000, 2},
          {Kind(NetFailure::Incomplete), true, 0, 0, Action::Retry, 1000, 1},
          {Kind(NetFailure::Incomplete), true, 0, 0, Action::Retry, 1000, 1}}},
        {"Retry-After is honoured and clamped to 60 s",
         1,
         {{Status(503, 2), false, 1.0, 0, Action::Retry, 2000, 1},
          {Status(429, 3600), false, 0, 0, Action::Retry, 60000, 2},
          {Status(408), false, 0, 0, Action::Retry, 4000, 3}}},
        {"other 4xx, 407 and failed checks are final",
         1,
         {{Status(403), false, 0, 0, Action::GiveUp}}},
        {"a proxy's 407, to a request or to CONNECT",
         2,
         {{Status(407), false, 0, 0, Action::GiveUp}}},
        {"faults of one address move on at once, until the last",
         4,
         {{Kind(NetFailure::DigestMismatch), false, 0, 0, Action::NextAddress, 0, 0, 1},
          {Kind(NetFailure::Contradicted), false, 0, 0, Action::NextAddress, 0, 0, 2},
          {Kind(NetFailure::Insecure), false, 0, 0, Action::NextAddress, 0, 0, 3},
          {Kind(NetFailure::TooLarge), false, 0, 0, Action::GiveUp}}},
        {"disk full", 2, {{Kind(NetFailure::NoSpace), false, 0, 0, Action::GiveUp}}},
        {"refused and 404 move on at once; the last address retries a refusal",
         3,
         {{Kind(NetFailure::Unreachable), false, 0, 0, Action::NextAddress, 0, 0, 1},
          {Status(404), false, 0, 0, Action::NextAddress, 0, 0, 2},
          {Kind(NetFailure::Unreachable), false, 0, 0, Action::Retry, 1000, 1, 2}}},
        {"other failures move on after the address's tries",
         2,
         {{Status(500), false, 0, 0, Action::Retry, 1000, 1, 0},
          {Status(500), false, 0, 0, Action::Retry, 2000, 2, 0},
          {Status(500), false, 0, 0, Action::Retry, 4000, 3, 0},
          {Status(500), false, 0, 0, Action::Retry, 8000, 4, 0},
          {Status(500), false, 0, 0, Action::Retry, 16000, 5, 0},
          {Status(500), false, 0, 0, Action::NextAddress, 0, 0, 1},
          {Status(500), false, 0, 0, Action::Retry, 1000, 1, 1}}},
        {"the run's five minutes are a hard budget",
         1,
         {{reset, false, 0, 299500, Action::GiveUp}}},
    };
}

void PrintTo(const PolicyCase& c, std::ostream* os) {
    *os << c.name;
}

class EachSequence : public testing::TestWithParam<PolicyCase> {};
}  // namespace

TEST_P(EachSequence, DecidesEachStep) {
    const PolicyCase& c = GetParam();
    CRetryPolicy policy({}, c.addresses);
    for (std::size_t i = 0; i < c.attempts.size(); ++i) {
        const Attempt& a = c.attempts[i];
        SCOPED_TRACE(i);
        NetResult failure = a.failure;
        const RetryStep step = policy.AfterFailure(failure.Gained(a.progressed ? 1 : 0), a.jitter,
                                                   milliseconds(a.elapsedMs));
        EXPECT_EQ(step.action, a.action);
        if (a.action == Action::Retry) {
            EXPECT_EQ(step.delay.count(), a.delayMs);
            EXPECT_EQ(step.tryNumber, a.tryNumber);
        }
        if (a.action != Action::GiveUp) {
            EXPECT_EQ(policy.Address(), a.addressAfter);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sequences, EachSequence, testing::ValuesIn(Cases()), NameOfCase());

TEST(RetryNoticeText, SaysWhenAndWhichTry) {
    EXPECT_EQ(RetryNoticeText(milliseconds(2600), 2, 5), "连接中断，3 秒后重试（第 2/5 次）");
    EXPECT_EQ(RetryNoticeText(milliseconds(10), 1, 5), "连接中断，1 秒后重试（第 1/5 次）");
}
