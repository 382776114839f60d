#include "net/ProxyCredentials.h"

#include <sodium.h>

#include <cstring>

namespace {
constexpr std::size_t kSize = 2 * (CProxyCredentials::kMaxBytes + 1);
}

CProxyCredentials::CProxyCredentials() {
    // sodium_init() is thread-safe and cheap once it has run.
    if (sodium_init() < 0) return;
    m_bytes = static_cast<char*>(sodium_malloc(kSize));
    if (m_bytes) sodium_memzero(m_bytes, kSize);
}

CProxyCredentials::~CProxyCredentials() {
    if (!m_bytes) return;
    sodium_memzero(m_bytes, kSize);
    sodium_free(m_bytes);
}

void CProxyCredentials::Wipe() {
    if (m_bytes) sodium_memzero(m_bytes, kSize);
}

bool CProxyCredentials::Set(const char* user, const char* password) {
    Wipe();
    const std::size_t userBytes = std::strlen(user), passwordBytes = std::strlen(password);
    if (!m_bytes || userBytes > kMaxBytes || passwordBytes > kMaxBytes) return false;
    std::memcpy(m_bytes, user, userBytes);
    std::memcpy(m_bytes + kMaxBytes + 1, password, passwordBytes);
    return true;
}
