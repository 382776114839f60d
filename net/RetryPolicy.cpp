#include "net/RetryPolicy.h"

#include <algorithm>
#include <cmath>

#include "base/Format.h"

namespace {
FailureKind KindOfRefusal(long status) {
    // Credentials a proxy refused do not get better by asking again.
    if (status == 407) return FailureKind::Final;
    if (status >= 500 || status == 408 || status == 429) return FailureKind::Transient;
    return FailureKind::AddressDone;
}
}  // namespace

FailureKind ClassifyFailure(const NetResult& failure) {
    switch (failure.Failure()) {
        case NetFailure::None:
        case NetFailure::Stopped:
        case NetFailure::BadDigest:
        case NetFailure::FileInUse:
        case NetFailure::FileError:
        case NetFailure::MoveFailed:
        case NetFailure::NoSpace:
        case NetFailure::ProxyRefused:  // every address goes through the same proxy
            return FailureKind::Final;
        // Faults of one address: another may well serve the signed file. The partial of wrong
        // bytes is gone, so the next one starts afresh.
        case NetFailure::DigestMismatch:
        case NetFailure::TooLarge:
        case NetFailure::Contradicted:
        case NetFailure::Insecure:  // a certificate that fails, or a way back to http
        case NetFailure::BadUrl:
        case NetFailure::NotFound:
        case NetFailure::Transfer:
        case NetFailure::KeepsChanging:
        case NetFailure::Untrusted:
        case NetFailure::WebPage:
            return FailureKind::AddressDone;
        case NetFailure::Unreachable:
            return FailureKind::Refused;
        case NetFailure::Connect:
        case NetFailure::Incomplete:
        case NetFailure::FileChanged:
        case NetFailure::Interrupted:
        case NetFailure::Stalled:
            return FailureKind::Transient;
        case NetFailure::Refused:
            return KindOfRefusal(failure.Status());
    }
    return FailureKind::Final;
}

bool IsUsefulProgress(std::uint64_t bytes, std::chrono::steady_clock::duration elapsed,
                      std::uint32_t floorBytesPerSecond, const RetrySettings& settings) {
    if (bytes == 0) return false;
    if (bytes >= settings.usefulBytes) return true;
    const double seconds = std::chrono::duration<double>(elapsed).count();
    return floorBytesPerSecond > 0 && static_cast<double>(bytes) >= floorBytesPerSecond * seconds;
}

std::chrono::milliseconds RetryDelay(const RetrySettings& settings, int tryNumber,
                                     std::optional<long> retryAfterSeconds, double jitterDraw) {
    if (retryAfterSeconds)
        return std::min<std::chrono::milliseconds>(std::chrono::seconds(*retryAfterSeconds),
                                                   settings.maxRetryAfter);
    const double factor = std::ldexp(1.0, std::clamp(tryNumber, 1, 31) - 1) *
                          (1.0 + settings.jitter * std::clamp(jitterDraw, -1.0, 1.0));
    return std::chrono::milliseconds(
        std::llround(static_cast<double>(settings.firstDelay.count()) * factor));
}

RetryStep CRetryPolicy::MoveOnOrGiveUp() {
    if (m_address + 1 >= m_addresses) return {};
    ++m_address;
    m_failuresInRow = 0;
    return {RetryStep::Action::NextAddress, std::chrono::milliseconds{0}, 0};
}

RetryStep CRetryPolicy::AfterFailure(const NetResult& failure, double jitterDraw,
                                     std::chrono::milliseconds lost) {
    if (lost >= m_settings.budget) return {};
    FailureKind kind = ClassifyFailure(failure);
    if (kind == FailureKind::Final) return {};
    if (kind == FailureKind::AddressDone) return MoveOnOrGiveUp();
    if (kind == FailureKind::Refused && m_address + 1 < m_addresses) return MoveOnOrGiveUp();

    if (failure.BytesGained() > 0) m_failuresInRow = 0;
    if (++m_failuresInRow > m_settings.maxTries) return MoveOnOrGiveUp();
    const std::chrono::milliseconds delay =
        RetryDelay(m_settings, m_failuresInRow, failure.RetryAfterSeconds(), jitterDraw);
    if (lost + delay >= m_settings.budget) return {};
    return {RetryStep::Action::Retry, delay, m_failuresInRow};
}

std::string RetryNoticeText(std::chrono::milliseconds delay, int tryNumber, int maxTries) {
    const long long seconds = std::max<long long>(1, (delay.count() + 999) / 1000);
    return Format("连接中断，%lld 秒后重试（第 %d/%d 次）", seconds, tryNumber, maxTries);
}
