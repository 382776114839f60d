#include "download/ExistingCopy.h"

#include <unistd.h>

#include "download/UnsharedFileSize.h"
#include "net/Http.h"
#include "net/Sha256.h"

std::optional<std::uint64_t> FindCompleteCopy(CHttp& http, const UpdateInfo& info,
                                              const std::string& path) {
    if (::access(path.c_str(), F_OK) != 0) return std::nullopt;
    if (info.size) {
        // The signed size and digest decide alone; the server is not asked.
        if (UnsharedFileSize(path) == *info.size && SameDigest(Sha256OfFile(path), info.sha256))
            return *info.size;
        ::unlink(path.c_str());
        return std::nullopt;
    }
    // Without a digest only the server can vouch for the copy: its validator and last bytes.
    if (info.sha256.empty()) {
        const std::uint64_t size = UnsharedFileSize(path);
        if (size == 0 || !http.ConfirmCopy(info.url, path)) return std::nullopt;
        return size;
    }
    const auto remoteSize = static_cast<std::uint64_t>(http.GetHttpFileSize(info.url));
    const std::uint64_t localSize = UnsharedFileSize(path);
    // An empty file is never an installer, whatever the server says.
    if (localSize == 0 || localSize < remoteSize) return std::nullopt;
    if (!info.sha256.empty() && !SameDigest(Sha256OfFile(path), info.sha256)) {
        ::unlink(path.c_str());
        return std::nullopt;
    }
    return localSize;
}
