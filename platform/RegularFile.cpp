#include "platform/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {
std::string KindOf(mode_t mode) {
    if (S_ISLNK(mode)) return "a symbolic link";
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISSOCK(mode)) return "a socket";
    return "a device";
}

bool IsRegular(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}
}  // namespace

std::string NonFileAt(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return {};
    return KindOf(st.st_mode);
}

bool ClearNonFile(const std::string& path, std::string& cleared) {
    cleared = NonFileAt(path);
    if (cleared.empty()) return true;
    const bool folder = cleared == "a folder";
    return (folder ? ::rmdir(path.c_str()) : ::unlink(path.c_str())) == 0;
}

UniqueFd OpenRegularFile(const std::string& path, int flags, mode_t mode, std::string& cleared) {
    cleared.clear();
    // Twice at most: once more after whatever stood at the name was removed.
    for (int attempt = 0; attempt < 2; ++attempt) {
        UniqueFd fd(::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode));
        if (fd && IsRegular(fd.get())) {
            ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
            return fd;
        }
        if (!fd && errno != ELOOP && errno != EISDIR && errno != ENXIO && errno != ENODEV)
            return {};
        std::string found;
        if (!ClearNonFile(path, found)) return {};
        if (!found.empty()) cleared = found;
    }
    errno = EEXIST;
    return {};
}

UniqueFd OpenRegularToRead(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd || !IsRegular(fd.get())) return {};
    return fd;
}
