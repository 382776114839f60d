#include "platform/NetworkWatch.h"

#include <gio/gio.h>

CNetworkWatch::CNetworkWatch() {
    GNetworkMonitor* monitor = g_network_monitor_get_default();  // owned by GIO
    if (!monitor) return;
    m_monitor = g_object_ref(monitor);
    m_handler =
        g_signal_connect(monitor, "network-changed", G_CALLBACK(&CNetworkWatch::OnChanged), this);
}

CNetworkWatch::~CNetworkWatch() {
    if (!m_monitor) return;
    g_signal_handler_disconnect(m_monitor, m_handler);
    g_object_unref(m_monitor);
}

void CNetworkWatch::OnChanged(void*, int available, CNetworkWatch* self) {
    if (available) ++self->m_changes;
}

bool IsBehindPortal() {
    GNetworkMonitor* monitor = g_network_monitor_get_default();
    return monitor && g_network_monitor_get_connectivity(monitor) == G_NETWORK_CONNECTIVITY_PORTAL;
}

bool IsNetworkMetered() {
    GNetworkMonitor* monitor = g_network_monitor_get_default();
    return monitor && g_network_monitor_get_network_metered(monitor);
}
