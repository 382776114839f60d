#pragma once
// The benchmarks' local server: this same program started again as a child ("serve ..."),
// which prints the port it listens on as its first line.

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

struct BenchServer {
    pid_t pid = -1;
    std::string baseUrl;  // http://127.0.0.1:PORT
};

// Starts exe with args; nothing when it cannot be started or prints no port.
std::optional<BenchServer> StartBenchServer(const std::string& exe,
                                            const std::vector<std::string>& args);
// Stops the server and waits for it.
void StopBenchServer(const BenchServer& server);
