#include "platform/FileLock.h"

#include <fcntl.h>

namespace {
struct flock WholeFile(short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    return lock;
}
}  // namespace

bool CFileLock::TryAcquire(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!fd) return false;
    struct flock lock = WholeFile(F_WRLCK);
    if (::fcntl(fd.get(), F_OFD_SETLK, &lock) != 0) return false;
    m_fd = std::move(fd);
    return true;
}

bool CFileLock::IsHeldElsewhere(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return false;
    struct flock lock = WholeFile(F_WRLCK);
    if (::fcntl(fd.get(), F_OFD_GETLK, &lock) != 0) return false;
    return lock.l_type != F_UNLCK;
}
