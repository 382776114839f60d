#pragma once
// Counts the network monitor's reports that the network is (back) up, so that a worker
// waiting to try a transfer again can stop waiting at once. The reports arrive on the main
// context; the count may be read from any thread.

#include <atomic>

class CNetworkWatch {
  public:
    CNetworkWatch();
    ~CNetworkWatch();
    CNetworkWatch(const CNetworkWatch&) = delete;
    CNetworkWatch& operator=(const CNetworkWatch&) = delete;

    unsigned Changes() const { return m_changes.load(); }

  private:
    static void OnChanged(void* monitor, int available, CNetworkWatch* self);

    std::atomic<unsigned> m_changes{0};
    void* m_monitor = nullptr;
    unsigned long m_handler = 0;
};

// Whether the monitor says the connection is metered (charged by the byte).
bool IsNetworkMetered();
// Whether the monitor says the network asks to sign in first (a captive portal). Where nothing
// checks for one (Debian 12 without NetworkManager's connectivity check) it never does.
bool IsBehindPortal();
