#include "net/PartialFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "net/FileException.h"

namespace {
constexpr std::size_t kWriteBufferBytes = 256 * 1024;
}

CPartialFile::CPartialFile() : m_buffer(new char[kWriteBufferBytes]) {}

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

char* CPartialFile::NextBlock(std::size_t size) {
    if (m_held + size > kWriteBufferBytes) Flush();
    return m_buffer.get() + m_held;
}

void CPartialFile::Flush() {
    const char* data = m_buffer.get();
    std::size_t left = m_held;
    // Whatever happens, the held bytes are written at most once: after a failure the file
    // stays a clean prefix of the download.
    m_held = 0;
    while (left > 0) {
        ssize_t n = ::write(m_fd.get(), data, left);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw CFileException(m_path, errno);
        if (n == 0) throw CFileException(m_path, ENOSPC);
        data += n;
        left -= static_cast<std::size_t>(n);
    }
}

void CPartialFile::Close() {
    if (!m_fd) return;
    try {
        Flush();
    } catch (const CFileException&) {
        // Closing after a failure: what could be written is there.
    }
    m_fd.Reset();
}

void CPartialFile::Restart() {
    m_held = 0;
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
