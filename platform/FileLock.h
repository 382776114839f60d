#pragma once
// Open-file-description locks on marker files. They belong to the open file, not the process,
// so two locks in one process exclude each other too, and the kernel drops them when the
// holder dies: a crash never blocks later starts.

#include <string>

#include "platform/UniqueFd.h"

class CFileLock {
public:
    CFileLock() = default;
    // Takes an exclusive lock on path (created when absent) without waiting; false when another
    // holder has it or the file cannot be opened.
    bool TryAcquire(const std::string& path);
    void Release() { m_fd.Reset(); }
    bool Held() const { return static_cast<bool>(m_fd); }

    // Whether someone holds a lock on path, without taking it.
    static bool IsHeldElsewhere(const std::string& path);

private:
    UniqueFd m_fd;
};
