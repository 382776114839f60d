#pragma once
// SHA-256 through GLib's GChecksum.

#include <glib.h>

#include <cstddef>
#include <string>

class CSha256 {
public:
    CSha256() : m_checksum(g_checksum_new(G_CHECKSUM_SHA256)) {}
    ~CSha256() { g_checksum_free(m_checksum); }
    CSha256(const CSha256&) = delete;
    CSha256& operator=(const CSha256&) = delete;

    void Update(const void* data, std::size_t size);
    // Lower-case hexadecimal digest of everything fed so far.
    std::string HexDigest() const;

private:
    GChecksum* m_checksum;
};

// Digest of a whole file; empty when it cannot be read.
std::string Sha256OfFile(const std::string& path);
// Whether text is 64 hexadecimal digits.
bool IsSha256Hex(const std::string& text);
// Case-insensitive comparison of two hexadecimal digests.
bool SameDigest(const std::string& a, const std::string& b);
