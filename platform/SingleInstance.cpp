#include "platform/SingleInstance.h"

#include <glib.h>

namespace {
std::string RuntimePath(const std::string& appName, const char* suffix) {
    return std::string(g_get_user_runtime_dir()) + "/" + appName + suffix;
}
}  // namespace

std::string InstanceMarkerPath(const std::string& appName) {
    return RuntimePath(appName, ".lock");
}
std::string WindowTagPath(const std::string& appName) {
    return RuntimePath(appName, ".window");
}
