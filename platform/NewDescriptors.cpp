#include "platform/NewDescriptors.h"

#include <dirent.h>
#include <fcntl.h>

#include <algorithm>
#include <cstdlib>

namespace {

// The descriptors open now, in order; empty when /proc cannot tell.
std::vector<int> OpenDescriptors() {
    std::vector<int> open;
    DIR* folder = ::opendir("/proc/self/fd");
    if (!folder) return open;
    const int own = ::dirfd(folder);
    while (const dirent* entry = ::readdir(folder)) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
        const int fd = std::atoi(entry->d_name);
        if (fd != own) open.push_back(fd);
    }
    ::closedir(folder);
    std::sort(open.begin(), open.end());
    return open;
}

}  // namespace

void CNewDescriptors::Note() {
    m_before = OpenDescriptors();
    m_noted = true;
}

void CNewDescriptors::Mark() {
    if (!m_noted) return;
    m_noted = false;
    for (int fd : OpenDescriptors()) {
        if (std::binary_search(m_before.begin(), m_before.end(), fd)) continue;
        const int flags = ::fcntl(fd, F_GETFD);
        if (flags >= 0 && !(flags & FD_CLOEXEC)) ::fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
    }
}
