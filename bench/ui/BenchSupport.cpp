#include "BenchSupport.h"

#include <unistd.h>

#include <dirent.h>
#include <sys/resource.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "ui/GObjectPtr.h"

bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = BenchClock::now() + timeout;
    while (!condition()) {
        if (BenchClock::now() > deadline) return false;
        if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(200);
    }
    return true;
}

std::string EvalInPage(WebKitWebView* view, const std::string& script) {
    struct Outcome {
        bool done = false;
        std::string text;
    };
    auto outcome = std::make_shared<Outcome>();
    webkit_web_view_evaluate_javascript(
        view, script.c_str(), -1, nullptr, nullptr, nullptr,
        +[](GObject* source, GAsyncResult* result, gpointer data) {
            std::unique_ptr<std::shared_ptr<Outcome>> out(
                static_cast<std::shared_ptr<Outcome>*>(data));
            GObjectPtr<JSCValue> value(webkit_web_view_evaluate_javascript_finish(
                WEBKIT_WEB_VIEW(source), result, nullptr));
            if (value) {
                GCharPtr text(jsc_value_to_string(value.get()));
                (*out)->text = text ? text.get() : "";
            }
            (*out)->done = true;
        },
        new std::shared_ptr<Outcome>(outcome));
    PumpUntil([&] { return outcome->done; }, std::chrono::seconds(60));
    return outcome->text;
}

long ResidentKiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

double SecondsSince(BenchClock::time_point start) {
    return std::chrono::duration<double>(BenchClock::now() - start).count();
}

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

namespace {

// Children of every thread of this process.
std::vector<long> ChildPids() {
    std::vector<long> pids;
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks) return pids;
    while (dirent* task = readdir(tasks)) {
        if (task->d_name[0] == '.') continue;
        std::ifstream children(std::string("/proc/self/task/") + task->d_name + "/children");
        for (long pid = 0; children >> pid;) pids.push_back(pid);
    }
    closedir(tasks);
    return pids;
}

long StatusKiB(const std::string& status, const std::string& key) {
    const std::size_t at = status.find("\n" + key + ":");
    return at == std::string::npos ? 0 : std::atol(status.c_str() + at + key.size() + 2);
}

}  // namespace

ChildFigures WebProcessFigures() {
    ChildFigures figures;
    for (long pid : ChildPids()) {
        const std::string proc = "/proc/" + std::to_string(pid);
        std::stringstream status;
        status << std::ifstream(proc + "/status").rdbuf();
        if (status.str().rfind("Name:\tWebKitWebProces", 0) != 0) continue;
        std::ifstream statFile(proc + "/stat");
        std::string stat((std::istreambuf_iterator<char>(statFile)), {});
        std::istringstream fields(stat.substr(stat.rfind(')') + 2));
        std::string field;
        long user = 0, system = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i == 14) user = std::atol(field.c_str());
            if (i == 15) system = std::atol(field.c_str());
        }
        figures.cpuSeconds += static_cast<double>(user + system) / sysconf(_SC_CLK_TCK);
        figures.residentKiB += StatusKiB(status.str(), "VmRSS");
        figures.peakKiB += StatusKiB(status.str(), "VmHWM");
    }
    return figures;
}
