#pragma once
// flock locks on marker files. They belong to the open file, not the process, so two locks in
// one process exclude each other too, and the kernel drops them when the holder dies: a crash
// never blocks later starts.

#include <chrono>
#include <string>

#include "base/UniqueFd.h"

class CFileLock {
  public:
    CFileLock() = default;
    // Takes an exclusive lock on path (created when absent) without waiting; false when another
    // holder has it or the file cannot be opened.
    bool TryAcquire(const std::string& path);
    // The same, trying again for up to patience while the lock is busy: another process's
    // IsHeldElsewhere holds it for an instant, and that must not cost the holder its lock.
    bool Acquire(const std::string& path, std::chrono::milliseconds patience);
    void Release() { m_fd.Reset(); }
    bool Held() const { return static_cast<bool>(m_fd); }

    // Whether someone holds the exclusive lock on path. Probes with a shared lock that is
    // given back at once; never creates the file.
    static bool IsHeldElsewhere(const std::string& path);

  private:
    UniqueFd m_fd;
};
