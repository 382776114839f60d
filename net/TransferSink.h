#pragma once
// Where a download reports how it goes. The transfer knows nothing of windows: whoever starts
// it decides what each report means (the worker turns them into window events; a test can
// simply record them). Every call comes on the downloading thread.

#include <chrono>
#include <cstdint>

class ITransferSink {
  public:
    // Once per download, after the answer's headers: bytes on disk plus the bytes announced.
    virtual void OnTotalSize(std::uint64_t totalBytes) = 0;
    // After every block written: the bytes now in the partial file, of the total.
    virtual void OnBlockWritten(std::uint64_t presentBytes, std::uint64_t totalBytes) = 0;
    // After a block, once more than a second has passed: KiB per second over this download.
    virtual void OnAverageSpeed(std::int32_t kibPerSecond) = 0;
    // Once, after the finished file has been moved into its place.
    virtual void OnComplete() = 0;
    // A failed attempt is tried again after delay: the tryNumber-th of at most maxTries.
    virtual void OnRetryWait(std::chrono::milliseconds delay, int tryNumber, int maxTries) = 0;

  protected:
    ~ITransferSink() = default;
};
