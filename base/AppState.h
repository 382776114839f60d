#pragma once
// What the application object hands down to the window, its workers and their HTTP clients:
// its parameter table, its quit flag, its name and the user's state folder. The application
// owns them and outlives everyone who holds this.

#include <atomic>
#include <string>

#include "base/AppParams.h"

struct AppState {
    CAppParams& params;
    // 0 while running; set to 1 once, by the window's exit routine, and never reset. Polled
    // by the transfer loops and honoured by the progress handler.
    std::atomic<int>& quit;
    // The executable's file name without extension: the single-instance marks and the agent
    // name of requests.
    std::string appName;
    // The user's private state folder, ending in '/': records that must outlive any temporary
    // folder (the newest update this user accepted). Empty when the user has none.
    std::string stateFolder = {};
};
