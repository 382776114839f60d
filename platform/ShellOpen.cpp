#include "platform/ShellOpen.h"

#include <glib.h>
#include <sys/wait.h>

void ShellOpen(const std::string& path) {
    const gchar* argv[] = {"xdg-open", path.c_str(), nullptr};
    // Without G_SPAWN_DO_NOT_REAP_CHILD GLib reaps the child itself, so none is left behind.
    g_spawn_async(nullptr, const_cast<gchar**>(argv), nullptr, G_SPAWN_SEARCH_PATH, nullptr,
                  nullptr, nullptr, nullptr);
}

CShellOpenWatch::~CShellOpenWatch() {
    if (m_source) g_source_remove(m_source);
}

void CShellOpenWatch::OnExit(int pid, int waitStatus, void* self) {
    auto& watch = *static_cast<CShellOpenWatch*>(self);
    g_spawn_close_pid(pid);
    watch.m_source = 0;  // a child watch ends itself after reporting
    const int status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : kShellOpenFailed;
    if (watch.m_done) watch.m_done(status);
}

std::unique_ptr<CShellOpenWatch> ShellOpenWatched(const std::string& path,
                                                  CShellOpenWatch::Done done) {
    std::unique_ptr<CShellOpenWatch> watch(new CShellOpenWatch(std::move(done)));
    const gchar* argv[] = {"xdg-open", path.c_str(), nullptr};
    GPid pid = 0;
    // The child is reaped by the watch, which reads its exit status.
    if (g_spawn_async(nullptr, const_cast<gchar**>(argv), nullptr,
                      static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD),
                      nullptr, nullptr, &pid, nullptr)) {
        watch->m_source = g_child_watch_add(
            pid, [](GPid p, gint s, gpointer self) { CShellOpenWatch::OnExit(p, s, self); },
            watch.get());
    } else {
        // No xdg-open: reported like one that found no handler, from the main loop all the same.
        watch->m_source = g_idle_add(
            [](gpointer self) -> gboolean {
                auto& w = *static_cast<CShellOpenWatch*>(self);
                w.m_source = 0;
                if (w.m_done) w.m_done(kShellOpenNoHandler);
                return G_SOURCE_REMOVE;
            },
            watch.get());
    }
    return watch;
}
