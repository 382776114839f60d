#include "tools/publisher/InstallerFacts.h"

#include <fcntl.h>
#include <glib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "base/CallRelease.h"
#include "base/UniqueFd.h"

namespace {
using Checksum = std::unique_ptr<GChecksum, CallRelease<g_checksum_free>>;
}

std::string MeasureInstaller(const std::string& path, InstallerFacts& facts) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return "cannot open " + path + ": " + std::strerror(errno);
    const Checksum checksum(g_checksum_new(G_CHECKSUM_SHA256));
    std::vector<unsigned char> buffer(1 << 20);
    facts.size = 0;
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return "cannot read " + path + ": " + std::strerror(errno);
        if (n == 0) break;
        g_checksum_update(checksum.get(), buffer.data(), n);
        facts.size += static_cast<std::uint64_t>(n);
    }
    if (facts.size == 0) return path + " is empty";
    facts.sha256 = g_checksum_get_string(checksum.get());
    return {};
}
