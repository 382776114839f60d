#pragma once
// A download's reports turned into the worker events its window shows.

#include <functional>

#include "download/WorkerEvents.h"
#include "net/TransferSink.h"

class CWindowSink final : public ITransferSink {
  public:
    // beforeStart runs once the file is in place, just before the window is told it may start
    // it.
    explicit CWindowSink(WindowHandle hwnd, std::function<void()> beforeStart = {})
        : m_hwnd(std::move(hwnd)), m_beforeStart(std::move(beforeStart)) {}

    void OnTotalSize(std::uint64_t totalBytes) override;
    void OnBlockWritten(std::uint64_t presentBytes, std::uint64_t totalBytes) override;
    void OnAverageSpeed(std::int32_t kibPerSecond) override;
    void OnComplete() override;
    // The progress line says when the next try comes.
    void OnRetryWait(std::chrono::milliseconds delay, int tryNumber, int maxTries) override;

  private:
    WindowHandle m_hwnd;
    std::function<void()> m_beforeStart;
};
