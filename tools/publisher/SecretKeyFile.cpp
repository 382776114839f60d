#include "tools/publisher/SecretKeyFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "base/UniqueFd.h"
#include "download/UpdateKeys.h"

namespace {
constexpr std::size_t kBase64Length =
    sodium_base64_ENCODED_LEN(crypto_sign_SECRETKEYBYTES, sodium_base64_VARIANT_ORIGINAL) - 1;
// Tag, blank, ID, blank, key, line end: anything longer is not a key file.
constexpr std::size_t kMaxFileBytes = 256;

// Text that once held secret bytes is wiped before it is freed.
class WipedText {
  public:
    explicit WipedText(std::size_t size) : m_text(size, '\0') {}
    ~WipedText() { sodium_memzero(m_text.data(), m_text.size()); }
    WipedText(const WipedText&) = delete;
    WipedText& operator=(const WipedText&) = delete;
    std::vector<char>& Bytes() { return m_text; }

  private:
    std::vector<char> m_text;
};

std::string SystemError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool HalvesMatch(const SecretKey& key) {
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    SecretKey derived;
    crypto_sign_seed_keypair(publicKey, derived.bytes.data(), key.bytes.data());
    return sodium_memcmp(derived.bytes.data(), key.bytes.data(), key.bytes.size()) == 0;
}
}  // namespace

std::string WriteNewSecretKeyFile(const std::string& path, const SecretKey& key) {
    const std::string head = std::string(kSecretKeyFileTag) + " " + key.id + " ";
    WipedText line(head.size() + kBase64Length + 2);
    std::vector<char>& bytes = line.Bytes();
    std::memcpy(bytes.data(), head.data(), head.size());
    sodium_bin2base64(bytes.data() + head.size(), kBase64Length + 1, key.bytes.data(),
                      key.bytes.size(), sodium_base64_VARIANT_ORIGINAL);
    bytes[bytes.size() - 2] = '\n';  // in place of the encoder's NUL
    const std::size_t size = bytes.size() - 1;

    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd) return SystemError("cannot create", path);
    if (!WriteAll(fd.get(), bytes.data(), size) || ::fsync(fd.get()) != 0 ||
        ::close(fd.Release()) != 0) {
        const std::string error = SystemError("cannot write", path);
        ::unlink(path.c_str());
        return error;
    }
    return {};
}

std::string ReadSecretKeyFile(const std::string& path, SecretKey& key) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return SystemError("cannot open", path);
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) return SystemError("cannot read", path);
    if (!S_ISREG(status.st_mode)) return path + " is not a regular file";
    if (status.st_size > static_cast<off_t>(kMaxFileBytes)) return path + " is not a key file";
    if ((status.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        return path + " may be read by others: chmod 600 it (and consider the key exposed)";

    WipedText text(kMaxFileBytes + 1);
    std::vector<char>& bytes = text.Bytes();
    const ssize_t size = ::read(fd.get(), bytes.data(), kMaxFileBytes);
    if (size < 0) return SystemError("cannot read", path);
    std::string_view content(bytes.data(), static_cast<std::size_t>(size));
    if (!content.empty() && content.back() == '\n') content.remove_suffix(1);

    const std::string tag = std::string(kSecretKeyFileTag) + " ";
    if (content.substr(0, tag.size()) != tag) return path + " is not a key file";
    content.remove_prefix(tag.size());
    const std::size_t blank = content.find(' ');
    if (blank == std::string_view::npos || !IsUpdateKeyId(content.substr(0, blank)))
        return path + ": the key ID is missing or not 1 to 16 of [A-Za-z0-9_-]";
    key.id = std::string(content.substr(0, blank));
    content.remove_prefix(blank + 1);

    std::size_t length = 0;
    const char* end = nullptr;
    if (sodium_base642bin(key.bytes.data(), key.bytes.size(), content.data(), content.size(),
                          nullptr, &length, &end, sodium_base64_VARIANT_ORIGINAL) != 0 ||
        length != key.bytes.size() || end != content.data() + content.size())
        return path + ": the key is not the base64 of 64 bytes";
    if (!HalvesMatch(key)) return path + ": the key is damaged (its halves do not belong together)";
    return {};
}
