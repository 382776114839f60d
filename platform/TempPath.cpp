#include "platform/TempPath.h"

#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

bool IsPrivateDirectory(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

std::string GetPrivateTempPath(const std::string& appName) {
    const char* tmpdir = std::getenv("TMPDIR");
    if (tmpdir && *tmpdir == '/' && IsPrivateDirectory(tmpdir)) {
        std::string path = tmpdir;
        if (path.back() != '/') path += '/';
        return path;
    }
    std::string dir = std::string(g_get_user_cache_dir()) + "/" + appName;
    g_mkdir_with_parents(dir.c_str(), 0700);
    struct stat st {};
    if (::lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid())
        ::chmod(dir.c_str(), 0700);
    return dir + "/";
}
