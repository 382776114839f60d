#pragma once
// SHA-256 through OpenSSL's digest interface, which uses the processor's SHA instructions where
// it has them: a signed download checks every byte, so the digest must keep up with the network.

#include <openssl/evp.h>

#include <cstddef>
#include <memory>
#include <string>

#include "base/CallRelease.h"

class CSha256 {
  public:
    CSha256();
    CSha256(const CSha256&) = delete;
    CSha256& operator=(const CSha256&) = delete;

    void Update(const void* data, std::size_t size);
    // Lower-case hexadecimal digest of everything fed so far.
    std::string HexDigest() const;

  private:
    std::unique_ptr<EVP_MD_CTX, CallRelease<EVP_MD_CTX_free>> m_context;
};

// Digest of a whole file; empty when it cannot be read.
std::string Sha256OfFile(const std::string& path);
// Whether text is 64 hexadecimal digits.
bool IsSha256Hex(const std::string& text);
// Case-insensitive comparison of two hexadecimal digests.
bool SameDigest(const std::string& a, const std::string& b);
