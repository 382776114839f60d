#include "net/PartialFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

NetResult CPartialFile::FileError(int error) const {
    return NetResult::Fail(NetFailure::FileError, m_path + ": " + std::strerror(error));
}

NetResult CPartialFile::Length(std::uint64_t& length) const {
    struct stat st {};
    if (::fstat(m_fd.get(), &st) != 0) return FileError(errno);
    length = static_cast<std::uint64_t>(st.st_size);
    return {};
}

NetResult CPartialFile::NextBlock(std::size_t size, char*& block) {
    block = nullptr;
    if (m_held + size > kWriteBufferBytes)
        if (NetResult flushed = Flush(); !flushed.Ok()) return flushed;
    block = m_buffer.get() + m_held;
    return {};
}

NetResult CPartialFile::Flush() {
    const std::size_t held = m_held;
    std::size_t written = 0;
    // Whatever happens, the held bytes are written at most once: after a failure the file
    // stays a clean prefix of the download.
    m_held = 0;
    NetResult result;
    while (written < held) {
        ssize_t n = ::write(m_fd.get(), m_buffer.get() + written, held - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            result = FileError(n == 0 ? ENOSPC : errno);
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    // The digest follows the file: it gets what reached it, even after a failure.
    if (m_digest) m_buffer = m_digest->Exchange(std::move(m_buffer), written);
    return result;
}

void CPartialFile::Close() {
    if (!m_fd) return;
    // Closing after a failure: what could be written is there.
    static_cast<void>(Flush());
    m_fd.Reset();
}

NetResult CPartialFile::Restart() {
    m_held = 0;
    if (::ftruncate(m_fd.get(), 0) != 0 || ::lseek(m_fd.get(), 0, SEEK_SET) < 0)
        return FileError(errno);
    if (m_digest) m_digest = std::make_unique<CBackgroundDigest>(kWriteBufferBytes);
    return {};
}

NetResult CPartialFile::CutBack(std::uint64_t length) {
    m_held = 0;
    if (::ftruncate(m_fd.get(), static_cast<off_t>(length)) != 0 ||
        ::lseek(m_fd.get(), 0, SEEK_END) < 0)
        return FileError(errno);
    return m_digest ? StartDigest() : NetResult{};
}

NetResult CPartialFile::Sync() {
    if (NetResult flushed = Flush(); !flushed.Ok()) return flushed;
    return SyncWritten();
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

NetResult CPartialFile::StartDigest() {
    if (NetResult flushed = Flush(); !flushed.Ok()) return flushed;
    m_digest = std::make_unique<CBackgroundDigest>(kWriteBufferBytes);
    for (off_t at = 0;;) {
        ssize_t n = ::pread(m_fd.get(), m_buffer.get(), kWriteBufferBytes, at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            m_digest.reset();
            return FileError(errno);
        }
        if (n == 0) return {};
        m_buffer = m_digest->Exchange(std::move(m_buffer), static_cast<std::size_t>(n));
        at += n;
    }
}

NetResult CPartialFile::Digest(std::string& hex) {
    hex.clear();
    if (NetResult flushed = Flush(); !flushed.Ok()) return flushed;
    if (m_digest) hex = m_digest->HexDigest();
    return {};
}
