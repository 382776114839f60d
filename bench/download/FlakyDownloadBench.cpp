// A download on a network that drops the connection every 32 MiB: the time of the whole
// download with the automatic retries (DownloadWithRetries, real pauses), against a clean run
// of the same file and against `curl --retry 10 -C -` on the same server.
//
// Run:  build-bench/bench/download/flaky_download_bench [MiB] [dropEveryMiB]   (256 32)
//
// The target: the flaky run within 1.2 x the clean run plus the pauses it waited. The pauses
// are drawn without jitter here (1 s after each drop, since every drop follows new bytes), so
// they can be told from the transfer time.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "base/UniqueFd.h"
#include "bench/download/BenchServer.h"
#include "bench/download/BenchWindow.h"
#include "download/RetryingDownload.h"
#include "download/WindowSink.h"
#include "net/Http.h"

namespace {
double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int RunChild(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Child: serves path as /clean and as /flaky (which drops the connection after dropBytes of
// each answer's body), both with Range and a fixed ETag, like a static web server.
int Serve(const std::string& path, std::size_t dropBytes) {
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    fstat(fd.get(), &st);
    const auto size = static_cast<std::size_t>(st.st_size);
    httplib::Server server;
    server.set_tcp_nodelay(true);
    for (const bool flaky : {false, true}) {
        server.Get(flaky ? "/flaky" : "/clean", [&, flaky](const httplib::Request&,
                                                           httplib::Response& res) {
            res.set_header("ETag", "\"bench-1\"");
            auto sent = std::make_shared<std::size_t>(0);
            res.set_content_provider(
                size, "application/octet-stream",
                [&, flaky, sent](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                    thread_local std::vector<char> buffer(1 << 18);
                    std::size_t n = std::min(length, buffer.size());
                    if (flaky) {
                        if (*sent >= dropBytes) return false;  // drop
                        n = std::min(n, dropBytes - *sent);
                    }
                    ssize_t got = pread(fd.get(), buffer.data(), n, static_cast<off_t>(offset));
                    if (got <= 0) return false;
                    *sent += static_cast<std::size_t>(got);
                    return sink.write(buffer.data(), static_cast<std::size_t>(got));
                });
        });
    }
    int port = server.bind_to_any_port("127.0.0.1");
    std::printf("%d\n", port);
    std::fflush(stdout);
    server.listen_after_bind();
    return 0;
}

// Child: the download with automatic retries; prints the pauses it waited.
int Fetch(const std::string& url, const std::string& destination) {
    CBenchWindow window;
    bool done = false;
    {
        std::atomic<int> quit{0};
        CHttp http("flaky_bench", quit, "");
        CWindowSink sink(window.Handle());
        const RetrySettings settings;
        done = DownloadWithRetries(http, sink, {url}, destination, DownloadTarget{url, "", 0},
                                   settings, RetryHooks{quit, nullptr, [] { return 0.0; }})
                   .Ok();
    }
    window.Finish();
    std::printf("%ld\n", window.Count<ShowRetry>());
    return done ? 0 : 1;
}

std::uint64_t SizeOf(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "serve")
        return Serve(argv[2], std::strtoull(argv[3], nullptr, 10));
    if (argc == 4 && std::string(argv[1]) == "fetch") return Fetch(argv[2], argv[3]);
    const std::uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 256;
    const std::uint64_t dropMiB = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 32;

    char dirTemplate[] = "/tmp/flaky-bench-XXXXXX";
    const std::string dir = mkdtemp(dirTemplate);
    const std::string exe = std::filesystem::read_symlink("/proc/self/exe");
    const std::string source = dir + "/source.bin";
    GenerateFile(source, mib << 20);

    const auto server = StartBenchServer(exe, {"serve", source, std::to_string(dropMiB << 20)});
    if (!server) return 1;
    const std::string base = server->baseUrl;

    auto fetch = [&](const std::string& path, const char* name) {
        const std::string target = dir + "/" + name + ".bin";
        int pipeOut[2];
        if (pipe(pipeOut) != 0) std::exit(1);
        const auto start = std::chrono::steady_clock::now();
        std::fflush(stdout);
        pid_t child = fork();
        if (child == 0) {
            dup2(pipeOut[1], STDOUT_FILENO);
            close(pipeOut[0]);
            execl(exe.c_str(), exe.c_str(), "fetch", (base + path).c_str(), target.c_str(),
                  nullptr);
            _exit(127);
        }
        close(pipeOut[1]);
        char text[16] = {};
        const ssize_t n = read(pipeOut[0], text, sizeof text - 1);
        close(pipeOut[0]);
        int status = 0;
        waitpid(child, &status, 0);
        const double seconds = Since(start);
        const int retries = n > 0 ? std::atoi(text) : -1;
        const bool whole = SizeOf(target) == (mib << 20);
        std::filesystem::remove(target);
        std::filesystem::remove(target + ".meta");
        return std::tuple{seconds, retries, whole && status == 0};
    };

    const auto [clean, cleanRetries, cleanOk] = fetch("/clean", "clean");
    const auto [flaky, flakyRetries, flakyOk] = fetch("/flaky", "flaky");
    const double waited = flakyRetries;  // 1 s per pause: every drop follows new bytes

    auto curlRun = [&](std::vector<std::string> args) {
        const std::string target = dir + "/curl.bin";
        args.insert(args.end(), {"-o", target, base + "/flaky"});
        const auto start = std::chrono::steady_clock::now();
        const int status = RunChild(args);
        const double seconds = Since(start);
        const bool whole = SizeOf(target) == (mib << 20);
        std::filesystem::remove(target);
        return std::tuple{seconds, status, whole};
    };
    const auto [curl, curlStatus, curlWhole] = curlRun({"curl", "-s", "--retry", "10", "-C", "-"});
    // curl does not count a dropped connection as transient; told to retry every error, with
    // the same 1 s pause as ours (its own doubling would otherwise rule the time).
    const auto [curlAll, curlAllStatus, curlAllWhole] =
        curlRun({"curl", "-s", "--retry", "10", "--retry-all-errors", "--retry-delay", "1",
                 "--retry-max-time", "120", "-C", "-"});

    StopBenchServer(*server);
    std::filesystem::remove_all(dir);

    std::printf("%llu MiB, the connection dropped every %llu MiB:\n",
                static_cast<unsigned long long>(mib), static_cast<unsigned long long>(dropMiB));
    std::printf("  clean run                      %7.2f s%s\n", clean, cleanOk ? "" : "  (FAILED)");
    std::printf("  with drops, automatic retries  %7.2f s  (%d pauses, %.0f s waited)%s\n", flaky,
                flakyRetries, waited, flakyOk ? "" : "  (FAILED)");
    std::printf(
        "  transfer time without pauses   %7.2f s  ratio to the clean run %.3f "
        "(target <= 1.2)\n",
        flaky - waited, (flaky - waited) / clean);
    std::printf("  curl --retry 10 -C -           %7.2f s  exit %d%s\n", curl, curlStatus,
                curlWhole ? ", file whole" : ", file NOT whole");
    std::printf("  curl ... --retry-all-errors --retry-delay 1  %7.2f s  exit %d%s\n", curlAll,
                curlAllStatus, curlAllWhole ? ", file whole" : ", file NOT whole");
    return cleanOk && flakyOk ? 0 : 1;
}
