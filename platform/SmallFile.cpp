#include "platform/SmallFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "base/UniqueFd.h"
#include "platform/RegularFile.h"

std::optional<std::string> ReadFileStart(const std::string& path, std::size_t maxBytes) {
    UniqueFd fd = OpenRegularToRead(path);
    if (!fd) return std::nullopt;
    std::string text(maxBytes, '\0');
    std::size_t got = 0;
    while (got < maxBytes) {
        const ssize_t n = ::read(fd.get(), text.data() + got, maxBytes - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    text.resize(got);
    return text;
}
