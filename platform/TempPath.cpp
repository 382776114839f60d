#include "platform/TempPath.h"

#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace {
std::string WithTrailingSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

// <cache dir>/<appName>, created or tightened to mode 0700; empty when it cannot be made a
// private folder of this user.
std::string PrivateCacheFolder(const std::string& appName) {
    std::string dir = std::string(g_get_user_cache_dir()) + "/" + appName;
    return MakePrivateDirectory(dir) ? dir : std::string();
}

// A new folder of mode 0700 under the system's temporary folder; empty when none can be made.
std::string FreshPrivateFolder(const std::string& appName) {
    gchar* made = g_dir_make_tmp((appName + "-XXXXXX").c_str(), nullptr);
    if (!made) return {};
    std::string dir = made;
    g_free(made);
    return dir;
}
}  // namespace

bool IsPrivateDirectory(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool MakePrivateDirectory(const std::string& path) {
    g_mkdir_with_parents(path.c_str(), 0700);
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid())
        ::chmod(path.c_str(), 0700);
    return IsPrivateDirectory(path);
}

std::string GetPrivateTempPath(const std::string& appName) {
    const char* tmpdir = std::getenv("TMPDIR");
    if (tmpdir && *tmpdir == '/' && IsPrivateDirectory(tmpdir)) return WithTrailingSlash(tmpdir);
    std::string dir = PrivateCacheFolder(appName);
    if (dir.empty()) dir = FreshPrivateFolder(appName);
    // Not even the system's temporary folder takes a new folder: the machine has no writable
    // temporary space, and writes into the named cache folder will most likely fail as well.
    if (dir.empty()) dir = std::string(g_get_user_cache_dir()) + "/" + appName;
    return WithTrailingSlash(dir);
}
