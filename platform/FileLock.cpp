#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <thread>

#include "platform/RegularFile.h"

namespace {
// 0 with the locked file in locked, or the errno of the failed open or lock.
int LockExclusive(const std::string& path, UniqueFd& locked) {
    std::string cleared;  // a link or anything else at the name goes: it is the program's own
    UniqueFd fd = OpenRegularFile(path, O_RDWR | O_CREAT, 0600, cleared);
    if (!fd) return errno;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return errno;
    locked = std::move(fd);
    return 0;
}
}  // namespace

bool CFileLock::TryAcquire(const std::string& path) {
    return LockExclusive(path, m_fd) == 0;
}

bool CFileLock::Acquire(const std::string& path, std::chrono::milliseconds patience) {
    constexpr auto kPause = std::chrono::milliseconds(5);
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        int error = LockExclusive(path, m_fd);
        if (error == 0) return true;
        if (error != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kPause);
    }
}

bool CFileLock::IsHeldElsewhere(const std::string& path) {
    UniqueFd fd = OpenRegularToRead(path);
    if (!fd) return false;
    // The shared lock is refused only while someone holds the exclusive one; closing the file
    // gives it back at once.
    return ::flock(fd.get(), LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}
