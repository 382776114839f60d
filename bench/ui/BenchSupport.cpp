#include "BenchSupport.h"

#include <unistd.h>

#include <fstream>
#include <memory>

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
