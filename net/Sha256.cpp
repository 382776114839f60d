#include "net/Sha256.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "base/UniqueFd.h"

void CSha256::Update(const void* data, std::size_t size) {
    g_checksum_update(m_checksum, static_cast<const guchar*>(data), static_cast<gssize>(size));
}

std::string CSha256::HexDigest() const {
    GChecksum* copy = g_checksum_copy(m_checksum);  // a digest closes the checksum it is read from
    std::string hex = g_checksum_get_string(copy);
    g_checksum_free(copy);
    return hex;
}

std::string Sha256OfFile(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return {};
    CSha256 sha;
    std::vector<char> buffer(1 << 16);
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer.data(), buffer.size());
        if (n < 0) return {};
        if (n == 0) break;
        sha.Update(buffer.data(), static_cast<std::size_t>(n));
    }
    return sha.HexDigest();
}

bool IsSha256Hex(const std::string& text) {
    return text.size() == 64 &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isxdigit(c); });
}

bool SameDigest(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}
