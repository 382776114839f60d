// A download in quick small ranges, run as a process of its own so that a test can kill it:
//   range_download_child URL DESTINATION
#include <atomic>
#include <chrono>

#include "net/Http.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    std::atomic<int> quit{0};
    CHttp http("downloader", quit, "");
    http.SetRangeSettings({.pieceBytes = 128 << 10,
                           .minRemainingToSplit = 64 << 10,
                           .splitAfter = std::chrono::milliseconds(20),
                           .worthSplitting = std::chrono::milliseconds(50)});
    return http.DownHttpFile(nullptr, argv[1], argv[2]) == 1 ? 0 : 1;
}
