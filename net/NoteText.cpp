#include "net/NoteText.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "base/UniqueFd.h"
#include "platform/SmallFile.h"

NetResult SaveTextAtomically(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".new";
    auto failed = [&](int error) {
        ::unlink(temporary.c_str());
        return NetResult::Fail(NetFailure::FileError, path + ": " + std::strerror(error));
    };
    {
        UniqueFd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
        if (!fd) return failed(errno);
        std::string_view left = text;
        while (!left.empty()) {
            ssize_t n = ::write(fd.get(), left.data(), left.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return failed(n < 0 ? errno : ENOSPC);
            left.remove_prefix(static_cast<std::size_t>(n));
        }
        if (::fdatasync(fd.get()) != 0) return failed(errno);
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) return failed(errno);
    return {};
}

std::optional<std::string> LoadSmallText(const std::string& path, std::size_t maxBytes) {
    std::optional<std::string> text = ReadFileStart(path, maxBytes + 1);
    if (!text || text->size() > maxBytes) return std::nullopt;
    return text;
}

bool IsNoteLineSafe(std::string_view text) {
    constexpr std::size_t kMaxValueBytes = 4096;
    if (text.empty() || text.size() > kMaxValueBytes) return false;
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F) return false;
    return true;
}

std::optional<std::uint64_t> NoteNumber(std::string_view text) {
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<std::istringstream> NoteLinesAfter(const std::string& path, std::size_t maxBytes,
                                                 std::string_view magic) {
    const std::optional<std::string> text = LoadSmallText(path, maxBytes);
    if (!text) return std::nullopt;
    std::istringstream lines(*text);
    std::string line;
    if (!std::getline(lines, line) || line != magic) return std::nullopt;
    return lines;
}
