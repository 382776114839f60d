#include "net/PartialFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/RegularFile.h"

bool CPartialFile::Open(const std::string& path, std::string& cleared) {
    UniqueFd fd = OpenRegularFile(path, O_RDWR | O_CREAT, 0666, cleared);
    if (!fd) return false;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return false;
    m_fd = std::move(fd);
    m_path = path;
    return true;
}

NetResult CPartialFile::FileError(int error) const {
    return NetResult::Fail(NetFailure::FileError, m_path + ": " + std::strerror(error));
}

NetResult CPartialFile::Length(std::uint64_t& length) const {
    struct stat st {};
    if (::fstat(m_fd.get(), &st) != 0) return FileError(errno);
    length = static_cast<std::uint64_t>(st.st_size);
    return {};
}

bool CPartialFile::StillAt(const std::string& path) const {
    struct stat open {
    }, named{};
    return ::fstat(m_fd.get(), &open) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

NetResult CPartialFile::Restart() {
    return CutBack(0);
}

NetResult CPartialFile::CutBack(std::uint64_t length) {
    if (::ftruncate(m_fd.get(), static_cast<off_t>(length)) != 0) return FileError(errno);
    return {};
}

NetResult CPartialFile::SyncWritten() const {
    if (::fdatasync(m_fd.get()) != 0) return FileError(errno);
    return {};
}

NetResult CPartialFile::WriteAt(std::uint64_t offset, const char* data, std::size_t size) const {
    for (std::size_t written = 0; written < size;) {
        ssize_t n = ::pwrite(m_fd.get(), data + written, size - written,
                             static_cast<off_t>(offset + written));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return FileError(n == 0 ? ENOSPC : errno);
        written += static_cast<std::size_t>(n);
    }
    return {};
}

NetResult CPartialFile::ReadAt(std::uint64_t offset, std::size_t size, std::string& bytes) const {
    bytes.assign(size, '\0');
    std::size_t got = 0;
    while (got < size) {
        ssize_t n =
            ::pread(m_fd.get(), bytes.data() + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return FileError(errno);
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return {};
}
