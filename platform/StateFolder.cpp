#include "platform/StateFolder.h"

#include <glib.h>

#include "platform/TempPath.h"

std::string GetUserStateFolder(const std::string& appName) {
    // $XDG_STATE_HOME, else ~/.local/state; a relative $XDG_STATE_HOME is not one to follow.
    std::string base = g_get_user_state_dir();
    if (!g_path_is_absolute(base.c_str())) base = std::string(g_get_home_dir()) + "/.local/state";
    const std::string dir = base + "/" + appName;
    return MakePrivateDirectory(dir) ? dir + "/" : std::string();
}
