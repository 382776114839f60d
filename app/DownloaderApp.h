#pragma once
// The one application object: it owns the parameter table and the quit flag, hands them down
// to the window (and through it to every worker) and runs the start-up sequence. It outlives
// the window and every worker thread.

#include <atomic>
#include <string>

#include "base/AppParams.h"
#include "base/AppState.h"
#include "platform/FileLock.h"

class CDownloaderApp {
  public:
    CDownloaderApp();

    // Fills the parameters, refuses a second instance, runs the download window until it
    // closes. Always false: the process ends when it returns, with ExitInstance()'s status.
    bool InitInstance();
    // The process's exit status once InitInstance has returned: 1 when no display could be
    // opened, else 0 (a refused second start and a closed window alike).
    int ExitInstance() const { return m_nExitCode; }

    // True when another instance holds the instance marker and shows its tagged window.
    // The first caller takes the marker and keeps it for the life of the process.
    bool FindRunningInstance(const std::string& name);

    // The executable's file name without extension.
    const std::string& AppName() const { return m_pszAppName; }
    // What the window and its workers are given.
    AppState State() { return {AppParams, m_bQuit, m_pszAppName, m_stateFolder}; }

    CAppParams AppParams;
    // 0 while running; set to 1 once, by the window's exit routine, and never reset. Polled
    // by the transfer loops and honoured by the progress handler.
    std::atomic<int> m_bQuit{0};

  private:
    std::string m_pszAppName;
    std::string m_stateFolder;  // found at start-up; empty when the user has none
    CFileLock m_instanceMarker;
    int m_nExitCode = 0;
};
