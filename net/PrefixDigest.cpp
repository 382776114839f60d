#include "net/PrefixDigest.h"

#include <algorithm>

#include "net/StopAndJoin.h"

namespace {
constexpr std::uint64_t kReadBytes = 1 << 20;
}

CPrefixDigest::CPrefixDigest(const CPartialFile& partial) : m_partial(partial) {
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
    m_changed.wait(hold, [&] { return (!m_restart && m_hashed >= size) || !m_failure.Ok(); });
    if (!m_failure.Ok()) return m_failure;
    hex = m_sha->HexDigest();
    return {};
}

void CPrefixDigest::Run() {
    std::unique_lock<std::mutex> hold(m_lock);
    for (;;) {
        m_changed.wait(hold, [this] {
            return m_stop || m_restart || (m_hashed < m_prefix && m_failure.Ok());
        });
        if (m_stop) return;
        if (m_restart) {
            m_sha = std::make_unique<CSha256>();
            m_hashed = 0;
            m_restart = false;
        }
        if (!HashNext(hold)) m_changed.notify_all();
    }
}

// Hashes the next piece of the prefix, the lock released meanwhile; false once the digest
// has caught up with the prefix or failed.
bool CPrefixDigest::HashNext(std::unique_lock<std::mutex>& hold) {
    const std::uint64_t at = m_hashed;
    const auto size = static_cast<std::size_t>(std::min(kReadBytes, m_prefix - at));
    if (size == 0) return false;
    hold.unlock();
    std::string bytes;
    NetResult read = m_partial.ReadAt(at, size, bytes);
    if (read.Ok() && bytes.size() != size)
        read = NetResult::Fail(NetFailure::FileError, "the partial file is shorter than written");
    if (read.Ok()) m_sha->Update(bytes.data(), bytes.size());
    hold.lock();
    if (m_restart) return true;
    if (!read.Ok()) {
        m_failure = read;
        return false;
    }
    m_hashed = at + size;
    return m_hashed < m_prefix;
}
