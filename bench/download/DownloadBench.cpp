// Throughput, CPU time and peak memory of a download through CHttp::DownHttpFile, beside the
// curl command-line tool fetching the same file from the same local server.
//
// Run:  build-bench/bench/download/download_bench [MiB ...]      (default: 64 1024; needs curl)
//       NO_EVENTS=1 build-bench/bench/download/download_bench 1024  (the same without a window)
//       VERIFY=1 ... (size and SHA-256 checked, as a signed program does)
//       RATE_MIB=200 ... (the server sends at most 200 MiB/s)
//       ROUNDS=7 ... (rounds per size, alternating clients; the median is reported)
//       CONNECTIONS=1 ... fetch URL FILE (at most one connection: never split into ranges)
//       PROGRESS_FILE=PATH ... fetch URL FILE (the bytes present, written there every 50 ms)
//
// The file is generated into a private temporary folder and removed afterwards. The server and
// both clients run as separate processes of this program (or of curl), so that each client's
// CPU time and peak RSS come from wait4() of its own process.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/UniqueFd.h"
#include "bench/download/BenchServer.h"
#include "bench/download/BenchWindow.h"
#include "download/WindowSink.h"
#include "download/WorkerEvents.h"
#include "net/Http.h"
#include "net/Sha256.h"

namespace {
struct ChildRun {
    double wallSeconds = 0;
    double cpuSeconds = 0;
    long maxRssKiB = 0;
    int status = 0;
};

double Seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6;
}

// Runs argv as a child process and measures it.
ChildRun RunChild(const std::vector<std::string>& args, bool quiet) {
    std::vector<char*> argv;
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::fflush(stdout);  // a child must not write out the parent's buffered lines again
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        if (quiet) freopen("/dev/null", "w", stdout);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    ChildRun run;
    rusage usage{};
    wait4(pid, &run.status, 0, &usage);
    run.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    run.maxRssKiB = usage.ru_maxrss;
    return run;
}

// Child: serves path as /file on 127.0.0.1 and writes the port to stdout.
int Serve(const std::string& path) {
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    fstat(fd.get(), &st);
    const auto size = static_cast<std::size_t>(st.st_size);
    httplib::Server server;
    server.set_tcp_nodelay(true);
    // RATE_MIB=N serves at most N MiB/s: a link slower than the machine, where the clients'
    // CPU time no longer decides the wall time.
    const double rate = std::getenv("RATE_MIB") ? std::atof(std::getenv("RATE_MIB")) : 0;
    server.Get("/file", [&](const httplib::Request&, httplib::Response& res) {
        const auto start = std::chrono::steady_clock::now();
        res.set_content_provider(
            size, "application/octet-stream",
            [&, start](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                if (rate > 0)
                    std::this_thread::sleep_until(
                        start + std::chrono::duration<double>(offset / (rate * 1048576.0)));
                thread_local std::vector<char> buffer(1 << 18);
                std::size_t n = std::min(length, buffer.size());
                ssize_t got = pread(fd.get(), buffer.data(), n, static_cast<off_t>(offset));
                return got > 0 && sink.write(buffer.data(), static_cast<std::size_t>(got));
            });
    });
    int port = server.bind_to_any_port("127.0.0.1");
    std::printf("%d\n", port);
    std::fflush(stdout);
    server.listen_after_bind();
    return 0;
}

// The bytes present (received and kept, written or still held in a range's buffer), written to
// a file every 50 ms, so that whoever kills the fetch knows how much it had received.
class CProgressFile final : public ITransferSink {
  public:
    explicit CProgressFile(const char* path)
        : m_fd(open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600)) {}
    void OnTotalSize(std::uint64_t) override {}
    void OnBlockWritten(std::uint64_t present, std::uint64_t) override {
        const auto now = std::chrono::steady_clock::now();
        if (now - m_written < std::chrono::milliseconds(50)) return;
        m_written = now;
        const std::string line = std::to_string(present) + "\n";
        static_cast<void>(pwrite(m_fd.get(), line.data(), line.size(), 0));
        static_cast<void>(ftruncate(m_fd.get(), static_cast<off_t>(line.size())));
    }
    void OnAverageSpeed(std::int32_t) override {}
    void OnComplete() override {}
    void OnRetryWait(std::chrono::milliseconds, int, int) override {}

  private:
    UniqueFd m_fd;
    std::chrono::steady_clock::time_point m_written{};
};

// Child: downloads url to destination through DownHttpFile, counting the events it posts.
// With sha256 and size (a signed reply's), the download checks both as the signed program's
// does.
int Fetch(const std::string& url, const std::string& destination, const std::string& sha256 = {},
          std::optional<std::uint64_t> size = {}) {
    CBenchWindow window;
    int result = 0;
    {
        std::atomic<int> quit{0};
        CHttp http("download_bench", quit, "");
        if (const char* connections = std::getenv("CONNECTIONS"))
            http.SetRangeSettings({.maxConnections = std::max(1, std::atoi(connections))});
        CWindowSink sink(window.Handle());
        std::optional<CProgressFile> progress;
        if (const char* path = std::getenv("PROGRESS_FILE")) progress.emplace(path);
        // NO_EVENTS=1 leaves the window out, to tell the events' share of the cost.
        ITransferSink* reports = std::getenv("NO_EVENTS") ? nullptr : &sink;
        if (progress) reports = &*progress;
        result = http.DownHttpFile(reports, url, destination,
                                   DownloadTarget{url, sha256, size.value_or(0)});
    }
    window.Finish();
    std::printf("result %d, events: size %ld, progress %ld, speed %ld\n", result,
                window.Count<UpdateFileSize>(), window.Count<UpdateProgress>(),
                window.Count<UpdateSpeed>());
    return result == 1 ? 0 : 1;
}

void Report(const char* name, const ChildRun& run, double mib) {
    std::printf("  %-13s %7.2f s %8.1f MiB/s   cpu %6.2f s   peak RSS %7ld KiB%s\n", name,
                run.wallSeconds, mib / run.wallSeconds, run.cpuSeconds, run.maxRssKiB,
                run.status == 0 ? "" : "   (FAILED)");
}

ChildRun Median(std::vector<ChildRun> runs) {
    std::sort(runs.begin(), runs.end(),
              [](const auto& a, const auto& b) { return a.wallSeconds < b.wallSeconds; });
    ChildRun median = runs[runs.size() / 2];
    std::vector<double> cpu;
    for (const auto& run : runs) cpu.push_back(run.cpuSeconds);
    std::sort(cpu.begin(), cpu.end());
    median.cpuSeconds = cpu[cpu.size() / 2];
    return median;
}
}  // namespace

int main(int argc, char** argv) {
    const std::string self = "/proc/self/exe";
    if (argc == 3 && std::string(argv[1]) == "serve") return Serve(argv[2]);
    if (argc == 4 && std::string(argv[1]) == "fetch") return Fetch(argv[2], argv[3]);
    if (argc == 6 && std::string(argv[1]) == "fetch")
        return Fetch(argv[2], argv[3], argv[4], std::strtoull(argv[5], nullptr, 10));
    // VERIFY=1: every download checks the file's SHA-256 and size, as in a signed program.
    // VERIFY=0 (or empty) is off, as anyone who writes it means.
    const char* verifySetting = std::getenv("VERIFY");
    const bool verify = verifySetting && *verifySetting && std::string(verifySetting) != "0";

    std::vector<std::uint64_t> sizesMiB;
    for (int i = 1; i < argc; ++i) sizesMiB.push_back(std::strtoull(argv[i], nullptr, 10));
    if (sizesMiB.empty()) sizesMiB = {64, 1024};
    // ROUNDS=N: more rounds for a steadier median on a busy machine.
    const int kRounds = std::getenv("ROUNDS") ? std::max(1, std::atoi(std::getenv("ROUNDS"))) : 3;

    char dirTemplate[] = "/tmp/download-bench-XXXXXX";
    const std::string dir = mkdtemp(dirTemplate);
    const std::string exe = std::filesystem::read_symlink(self);
    for (std::uint64_t mib : sizesMiB) {
        const std::string source = dir + "/source.bin";
        GenerateFile(source, mib << 20);
        const std::string digest = verify ? Sha256OfFile(source) : std::string();

        const auto server = StartBenchServer(exe, {"serve", source});
        if (!server) return 1;
        const std::string url = server->baseUrl + "/file";

        std::vector<ChildRun> curls, ours;
        for (int round = 0; round < kRounds; ++round) {
            const std::string curlOut = dir + "/by-curl.bin", ourOut = dir + "/by-us.bin";
            curls.push_back(RunChild({"curl", "-s", "-o", curlOut, url}, false));
            std::filesystem::remove(curlOut);
            std::vector<std::string> fetch = {exe, "fetch", url, ourOut};
            if (verify) {
                fetch.push_back(digest);
                fetch.push_back(std::to_string(mib << 20));
            }
            ours.push_back(RunChild(fetch, round + 1 < kRounds));
            std::filesystem::remove(ourOut);
        }
        StopBenchServer(*server);
        std::filesystem::remove(source);

        ChildRun curl = Median(curls), us = Median(ours);
        std::printf("%llu MiB, median of %d rounds%s:\n", static_cast<unsigned long long>(mib),
                    kRounds, verify ? ", SHA-256 and size checked" : "");
        Report("curl", curl, static_cast<double>(mib));
        Report("DownHttpFile", us, static_cast<double>(mib));
        std::printf("  throughput ratio %.3f (target >= 0.95), CPU ratio %.3f (target <= 1.5)\n\n",
                    curl.wallSeconds / us.wallSeconds, us.cpuSeconds / curl.cpuSeconds);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
