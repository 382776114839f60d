#include "platform/ModulePath.h"

#include <limits.h>
#include <unistd.h>

std::string GetModulePath() {
    char buffer[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n > 0) return std::string(buffer, static_cast<std::size_t>(n));
    if (::getcwd(buffer, sizeof buffer)) return buffer;
    return {};
}

std::string GetAppNameFromPath(const std::string& modulePath) {
    std::string name = modulePath.substr(modulePath.find_last_of('/') + 1);
    std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}
