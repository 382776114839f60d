#pragma once
// The application's state for one test: a parameter table and a quit flag of its own, so
// that no test depends on what another left behind.

#include <atomic>
#include <string>

#include "base/AppState.h"

struct TestAppState {
    CAppParams params;
    std::atomic<int> quit{0};
    std::string appName = "downloader";
    std::string stateFolder;

    AppState State() { return {params, quit, appName, stateFolder}; }
};
