#include "net/NoteText.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "base/UniqueFd.h"
#include "net/Sha256.h"
#include "platform/SmallFile.h"

NetResult SyncFolderOf(const std::string& path) {
    const std::string folder = path.substr(0, path.find_last_of('/') + 1);
    UniqueFd fd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd || ::fsync(fd.get()) != 0)
        return NetResult::Fail(NetFailure::FileError, folder + ": " + std::strerror(errno));
    return {};
}

NetResult SaveTextAtomically(const std::string& path, const std::string& text) {
    // A fresh name of its own beside the target (O_EXCL): never a file that something else
    // put there, nor one reached through a link.
    std::string temporary = path + ".XXXXXX";
    auto failed = [&](int error) {
        ::unlink(temporary.c_str());
        return NetResult::Fail(NetFailure::FileError, path + ": " + std::strerror(error));
    };
    {
        UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
        if (!fd) return NetResult::Fail(NetFailure::FileError, path + ": " + std::strerror(errno));
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
    // Until the folder is synced, a power loss may bring back the older contents.
    return SyncFolderOf(path);
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

namespace {
constexpr std::string_view kCheck = "check ";

std::string CheckOf(std::string_view text) {
    CSha256 sha;
    sha.Update(text.data(), text.size());
    return sha.HexDigest();
}
}  // namespace

NetResult SaveCheckedNote(const std::string& path, const std::string& text) {
    return SaveTextAtomically(path, text + std::string(kCheck) + CheckOf(text) + "\n");
}

NoteLines ReadNote(const std::string& path, std::size_t maxBytes, std::string_view magic) {
    NoteLines note;
    if (::access(path.c_str(), F_OK) != 0) return note;
    note.state = NoteLines::State::Damaged;
    const std::optional<std::string> text = LoadSmallText(path, maxBytes);
    const std::string first = std::string(magic) + "\n";
    if (!text || text->compare(0, first.size(), first) != 0 || text->back() != '\n') return note;
    std::string_view body = *text;
    // The last line, "check <digest of everything before it>", when there is one.
    const std::size_t lastStart = body.find_last_of('\n', body.size() - 2) + 1;
    const std::string_view last = body.substr(lastStart, body.size() - 1 - lastStart);
    if (last.substr(0, kCheck.size()) != kCheck) {
        note.state = NoteLines::State::Unchecked;
    } else {
        body = body.substr(0, lastStart);
        if (last.substr(kCheck.size()) != CheckOf(body)) return note;
        note.state = NoteLines::State::Good;
    }
    note.lines.str(std::string(body.substr(first.size())));
    return note;
}
