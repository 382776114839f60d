#pragma once
// Helpers shared by the window benchmarks: the main context, the page, the process's memory.

#include <chrono>
#include <functional>
#include <string>

#include <webkit2/webkit2.h>

using BenchClock = std::chrono::steady_clock;

// Iterates the main context until condition holds or timeout passes.
bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);
// Runs script in the page and returns its value as text ("" on error or timeout).
std::string EvalInPage(WebKitWebView* view, const std::string& script);
// Resident memory of this process in KiB.
long ResidentKiB();

// CPU time (user + system) of this process so far, all its threads.
double ProcessCpuSeconds();

// What the page's engine process (a child of this one) has used so far; zeros when there is
// none.
struct ChildFigures {
    double cpuSeconds = 0;  // user + system
    long residentKiB = 0;   // VmRSS
    long peakKiB = 0;       // VmHWM
};
ChildFigures WebProcessFigures();
double SecondsSince(BenchClock::time_point start);
