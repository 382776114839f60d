#include "download/Housekeeping.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string_view>

namespace {
// The installer's name as InstallerFileName() makes it, without the leading separator.
constexpr std::string_view kStem = "myvelmora_setup";
constexpr std::string_view kEndings[] = {".exe.df.meta", ".exe.df.extents", ".exe.meta", ".exe.df",
                                         ".exe"};

// The installer name a file belongs to, or empty for a file that is none of ours.
std::string InstallerOf(std::string_view name) {
    if (name.substr(0, kStem.size()) != kStem) return {};
    for (std::string_view ending : kEndings)
        if (name.size() >= kStem.size() + ending.size() &&
            name.substr(name.size() - ending.size()) == ending)
            return std::string(name.substr(0, name.size() - ending.size())) + ".exe";
    return {};
}
}  // namespace

void RemoveStaleDownloads(const std::string& folder, const std::string& keepName,
                          std::chrono::system_clock::time_point now, std::chrono::hours maxAge) {
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(dirFd), &::closedir);
    if (!dir) {
        ::close(dirFd);
        return;
    }
    const auto oldest = std::chrono::system_clock::to_time_t(now - maxAge);
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string installer = InstallerOf(entry->d_name);
        if (installer.empty() || installer == keepName) continue;
        struct stat st {};
        // Not followed: a link is never a download of ours.
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISREG(st.st_mode) || st.st_mtime >= oldest) continue;
        ::unlinkat(dirFd, entry->d_name, 0);
    }
}
