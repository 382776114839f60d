#pragma once
// A proxy's user name and password, held in libsodium's guarded memory and wiped when they go.
// They never enter an ordinary string: whoever fills them copies straight from where they were
// typed or decoded, and libcurl keeps its own copy per handle.

#include <cstddef>

class CProxyCredentials {
  public:
    static constexpr std::size_t kMaxBytes = 255;  // of each, without its terminating zero

    CProxyCredentials();
    ~CProxyCredentials();
    CProxyCredentials(const CProxyCredentials&) = delete;
    CProxyCredentials& operator=(const CProxyCredentials&) = delete;

    // Takes both; false (and empty) when either is longer than kMaxBytes or memory is short.
    bool Set(const char* user, const char* password);
    void CopyFrom(const CProxyCredentials& other) {
        if (&other != this) Set(other.User(), other.Password());
    }
    bool Empty() const { return !m_bytes || (*User() == '\0' && *Password() == '\0'); }
    const char* User() const { return m_bytes ? m_bytes : ""; }
    const char* Password() const { return m_bytes ? m_bytes + kMaxBytes + 1 : ""; }

  private:
    void Wipe();

    char* m_bytes = nullptr;  // the user, then the password, each ending in a zero
};
