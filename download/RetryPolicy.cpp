#include "download/RetryPolicy.h"

#include <curl/curl.h>

#include <algorithm>
#include <cmath>

#include "base/Format.h"

FailureKind ClassifyFailure(const TransferFacts& facts) {
    // Credentials a proxy refused do not get better by asking again.
    if (facts.connectStatus == 407 || facts.status == 407) return FailureKind::Final;
    switch (facts.failure) {
        case NetFailure::None:
        case NetFailure::Stopped:
        case NetFailure::BadDigest:
        case NetFailure::FileInUse:
        case NetFailure::FileError:
        case NetFailure::DigestMismatch:
        case NetFailure::MoveFailed:
        case NetFailure::NoSpace:
        case NetFailure::TooLarge:  // not the signed file: no address holds a better one
        case NetFailure::Insecure:  // a certificate that fails, or a way back to http
            return FailureKind::Final;
        case NetFailure::BadUrl:
        case NetFailure::NotFound:
            return FailureKind::AddressDone;
        case NetFailure::Connect:
        case NetFailure::Incomplete:
            return FailureKind::Transient;
        case NetFailure::Refused: {
            const long s = facts.status;
            if (s >= 500 || s == 408 || s == 429) return FailureKind::Transient;
            return FailureKind::AddressDone;
        }
        case NetFailure::Transfer:
            break;
    }
    switch (static_cast<CURLcode>(facts.curlCode)) {
        case CURLE_COULDNT_CONNECT:
            return FailureKind::Refused;
        case CURLE_OPERATION_TIMEDOUT:  // also a stall: nothing for the stall time
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_PARTIAL_FILE:
        case CURLE_GOT_NOTHING:
            return FailureKind::Transient;
        default:
            return FailureKind::AddressDone;
    }
}

RetryStep CRetryPolicy::MoveOnOrGiveUp() {
    if (m_address + 1 >= m_addresses) return {};
    ++m_address;
    m_failuresInRow = 0;
    return {RetryStep::Action::NextAddress, std::chrono::milliseconds{0}, 0};
}

RetryStep CRetryPolicy::AfterFailure(const TransferFacts& facts, bool progressed, double jitterDraw,
                                     std::chrono::milliseconds elapsed) {
    if (elapsed >= m_settings.budget) return {};
    FailureKind kind = ClassifyFailure(facts);
    if (kind == FailureKind::Final) return {};
    if (kind == FailureKind::AddressDone) return MoveOnOrGiveUp();
    if (kind == FailureKind::Refused && m_address + 1 < m_addresses) return MoveOnOrGiveUp();

    if (progressed) m_failuresInRow = 0;
    if (++m_failuresInRow > m_settings.maxTries) return MoveOnOrGiveUp();
    std::chrono::milliseconds delay;
    if (facts.retryAfterSeconds) {
        delay = std::min<std::chrono::milliseconds>(std::chrono::seconds(*facts.retryAfterSeconds),
                                                    m_settings.maxRetryAfter);
    } else {
        const double factor = std::ldexp(1.0, m_failuresInRow - 1) *
                              (1.0 + m_settings.jitter * std::clamp(jitterDraw, -1.0, 1.0));
        delay = std::chrono::milliseconds(
            std::llround(static_cast<double>(m_settings.firstDelay.count()) * factor));
    }
    if (elapsed + delay >= m_settings.budget) return {};
    return {RetryStep::Action::Retry, delay, m_failuresInRow};
}

std::string RetryNoticeText(std::chrono::milliseconds delay, int tryNumber, int maxTries) {
    const long long seconds = std::max<long long>(1, (delay.count() + 999) / 1000);
    return Format("连接中断，%lld 秒后重试（第 %d/%d 次）", seconds, tryNumber, maxTries);
}
