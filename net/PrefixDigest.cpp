#include "net/PrefixDigest.h"

#include <algorithm>
#include <cstring>

#include "net/StopAndJoin.h"

CPrefixDigest::CPrefixDigest(const CPartialFile& partial, std::size_t bufferBytes)
    : m_partial(partial),
      m_bufferBytes(bufferBytes),
      m_sha(std::make_unique<CBackgroundDigest>(bufferBytes)) {
    m_thread = std::thread([this] { Run(); });
}

CPrefixDigest::~CPrefixDigest() {
    StopAndJoin(m_lock, m_changed, m_stop, m_thread);
}

void CPrefixDigest::Follow(std::uint64_t prefix) {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (prefix <= m_prefix) return;
        m_prefix = prefix;
    }
    m_changed.notify_all();
}

void CPrefixDigest::Offer(std::uint64_t at, std::unique_ptr<char[]>& buffer, std::size_t size) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (at != m_fed || m_reading || m_restart || size == 0 || !m_failure.Ok()) return;
    buffer = m_sha->Exchange(std::move(buffer), size);
    m_fed += size;
    m_prefix = std::max(m_prefix, m_fed);
}

void CPrefixDigest::Restart(std::uint64_t prefix) {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_prefix = prefix;
        m_restart = true;
        m_failure = {};
    }
    m_changed.notify_all();
}

NetResult CPrefixDigest::HexDigest(std::uint64_t size, std::string& hex) {
    Follow(size);
    std::unique_lock<std::mutex> hold(m_lock);
    m_changed.wait(hold,
                   [&] { return (!m_restart && !m_reading && m_fed >= size) || !m_failure.Ok(); });
    if (!m_failure.Ok()) return m_failure;
    hex = m_sha->HexDigest();
    return {};
}

void CPrefixDigest::Run() {
    std::unique_lock<std::mutex> hold(m_lock);
    for (;;) {
        m_changed.wait(
            hold, [this] { return m_stop || m_restart || (m_fed < m_prefix && m_failure.Ok()); });
        if (m_stop) return;
        if (m_restart) {
            m_sha = std::make_unique<CBackgroundDigest>(m_bufferBytes);
            m_fed = 0;
            m_restart = false;
        }
        if (!ReadBackNext(hold)) m_changed.notify_all();
    }
}

// Reads the next piece of the prefix back from the file, the lock released meanwhile, and
// hands it over; false once the digest has caught up with the prefix or failed.
bool CPrefixDigest::ReadBackNext(std::unique_lock<std::mutex>& hold) {
    const std::uint64_t at = m_fed;
    const auto size =
        static_cast<std::size_t>(std::min<std::uint64_t>(m_bufferBytes, m_prefix - at));
    if (size == 0) return false;
    m_reading = true;
    hold.unlock();
    std::string bytes;
    NetResult read = m_partial.ReadAt(at, size, bytes);
    if (read.Ok() && bytes.size() != size)
        read = NetResult::Fail(NetFailure::FileError, "the partial file is shorter than written");
    hold.lock();
    m_reading = false;
    if (m_restart) return true;
    if (!read.Ok()) {
        m_failure = read;
        return false;
    }
    std::unique_ptr<char[]> buffer(new char[m_bufferBytes]);
    std::memcpy(buffer.get(), bytes.data(), size);
    static_cast<void>(m_sha->Exchange(std::move(buffer), size));
    m_fed = at + size;
    return m_fed < m_prefix;
}
