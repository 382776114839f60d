#include "platform/ShellOpen.h"

#include <glib.h>

void ShellOpen(const std::string& path) {
    const gchar* argv[] = {"xdg-open", path.c_str(), nullptr};
    // Without G_SPAWN_DO_NOT_REAP_CHILD GLib reaps the child itself, so none is left behind.
    g_spawn_async(nullptr, const_cast<gchar**>(argv), nullptr, G_SPAWN_SEARCH_PATH, nullptr,
                  nullptr, nullptr, nullptr);
}
