#pragma once
// A download's reports turned into the worker events its window shows.

#include "download/WorkerEvents.h"
#include "net/TransferSink.h"

class CWindowSink final : public ITransferSink {
  public:
    explicit CWindowSink(WindowHandle hwnd) : m_hwnd(std::move(hwnd)) {}

    void OnTotalSize(std::uint64_t totalBytes) override;
    void OnBlockWritten(std::uint64_t presentBytes, std::uint64_t totalBytes) override;
    void OnAverageSpeed(std::int32_t kibPerSecond) override;
    void OnComplete() override;

  private:
    WindowHandle m_hwnd;
};
