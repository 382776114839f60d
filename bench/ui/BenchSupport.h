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
double SecondsSince(BenchClock::time_point start);
