#include "download/WindowSink.h"

#include "net/RetryPolicy.h"

void CWindowSink::OnTotalSize(std::uint64_t totalBytes) {
    PostMessage(m_hwnd, UpdateFileSize{totalBytes});
}

void CWindowSink::OnBlockWritten(std::uint64_t presentBytes, std::uint64_t totalBytes) {
    PostProgress(presentBytes, totalBytes, m_hwnd);
}

void CWindowSink::OnAverageSpeed(std::int32_t kibPerSecond) {
    PostMessage(m_hwnd, UpdateSpeed{kibPerSecond});
}

void CWindowSink::OnComplete() {
    // Only now is the installer in its place: the window may start it.
    if (m_beforeStart) m_beforeStart();
    PostMessage(m_hwnd, UpdateProgress{0, 100});
}

void CWindowSink::OnRetryWait(std::chrono::milliseconds delay, int tryNumber, int maxTries) {
    PostMessage(m_hwnd, ShowRetry{RetryNoticeText(delay, tryNumber, maxTries)});
}
