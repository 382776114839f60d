#include "download/UnsharedFileSize.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include "base/UniqueFd.h"
#include "platform/RegularFile.h"

namespace {
// Writers may hold either kind of lock: flock(2) or an open-file-description lock.
bool HeldByWriter(int fd) {
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0) return true;
    struct flock probe {};
    probe.l_type = F_RDLCK;
    probe.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_GETLK, &probe) != 0) return true;
    return probe.l_type != F_UNLCK;
}
}  // namespace

std::uint64_t UnsharedFileSize(const std::string& path) {
    // Never through a link, nor blocked by a FIFO planted under the name.
    UniqueFd fd = OpenRegularToRead(path);
    if (!fd) return 0;
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) return 0;
    if (HeldByWriter(fd.get())) return 0;
    return static_cast<std::uint64_t>(status.st_size);
}
