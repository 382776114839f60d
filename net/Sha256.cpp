#include "net/Sha256.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "base/UniqueFd.h"
#include "platform/RegularFile.h"

CSha256::CSha256() : m_context(EVP_MD_CTX_new()) {
    EVP_DigestInit_ex(m_context.get(), EVP_sha256(), nullptr);
}

void CSha256::Update(const void* data, std::size_t size) {
    EVP_DigestUpdate(m_context.get(), data, size);
}

std::string CSha256::HexDigest() const {
    // A digest closes the context it is read from: read it from a copy.
    std::unique_ptr<EVP_MD_CTX, CallRelease<EVP_MD_CTX_free>> copy(EVP_MD_CTX_new());
    EVP_MD_CTX_copy_ex(copy.get(), m_context.get());
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(copy.get(), digest, &length);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 0xF];
    }
    return hex;
}

std::string Sha256OfFile(const std::string& path) {
    UniqueFd fd = OpenRegularToRead(path);
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
