#include "bench/download/BenchServer.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

std::optional<BenchServer> StartBenchServer(const std::string& exe,
                                            const std::vector<std::string>& args) {
    std::vector<char*> argv{const_cast<char*>(exe.c_str())};
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0) return std::nullopt;
    std::fflush(stdout);  // the child must not write out the parent's buffered lines again
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    char portText[16] = {};
    const bool answered = pid > 0 && read(out[0], portText, sizeof portText - 1) > 0;
    close(out[0]);
    if (!answered) return std::nullopt;
    return BenchServer{pid, "http://127.0.0.1:" + std::string(portText, strcspn(portText, "\n"))};
}

void StopBenchServer(const BenchServer& server) {
    kill(server.pid, SIGTERM);
    waitpid(server.pid, nullptr, 0);
}
