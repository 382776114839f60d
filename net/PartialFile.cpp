#include "net/PartialFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "net/FileException.h"

bool CPartialFile::Open(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    if (!fd) return false;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return false;
    if (::lseek(fd.get(), 0, SEEK_END) < 0) return false;
    m_fd = std::move(fd);
    m_path = path;
    return true;
}

std::uint64_t CPartialFile::Length() const {
    struct stat st {};
    if (::fstat(m_fd.get(), &st) != 0) throw CFileException(m_path, errno);
    return static_cast<std::uint64_t>(st.st_size);
}

void CPartialFile::Append(const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(m_fd.get(), data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw CFileException(m_path, errno);
        if (n == 0) throw CFileException(m_path, ENOSPC);
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

void CPartialFile::Restart() {
    if (::ftruncate(m_fd.get(), 0) != 0 || ::lseek(m_fd.get(), 0, SEEK_SET) < 0)
        throw CFileException(m_path, errno);
}

void CPartialFile::FeedExisting(CSha256& sha) const {
    std::vector<char> buffer(1 << 16);
    off_t at = 0;
    for (;;) {
        ssize_t n = ::pread(m_fd.get(), buffer.data(), buffer.size(), at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw CFileException(m_path, errno);
        if (n == 0) return;
        sha.Update(buffer.data(), static_cast<std::size_t>(n));
        at += n;
    }
}
