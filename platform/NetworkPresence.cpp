#include "platform/NetworkPresence.h"

#include <gio/gio.h>

bool IsNetworkAlive() {
    GNetworkMonitor* monitor = g_network_monitor_get_default();  // owned by GIO
    return monitor && g_network_monitor_get_network_available(monitor);
}
