#include "platform/PresentRequest.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "base/UniqueFd.h"

std::string PresentSocketPath(const std::string& appName) {
    return std::string(g_get_user_runtime_dir()) + "/" + appName + ".present";
}

CPresentListener::CPresentListener(const std::string& path, std::function<void()> onRequest)
    : m_path(path), m_onRequest(std::move(onRequest)) {
    ::unlink(m_path.c_str());
    std::unique_ptr<GSocketService, CallRelease<g_object_unref>> service(g_socket_service_new());
    std::unique_ptr<GSocketAddress, CallRelease<g_object_unref>> address(
        g_unix_socket_address_new(m_path.c_str()));
    GError* error = nullptr;
    const bool listening = g_socket_listener_add_address(
        G_SOCKET_LISTENER(service.get()), address.get(), G_SOCKET_TYPE_STREAM,
        G_SOCKET_PROTOCOL_DEFAULT, nullptr, nullptr, &error);
    std::unique_ptr<GError, CallRelease<g_error_free>> failure(error);
    if (!listening) {
        // The window works as before; a second start then only ends.
        g_debug("no present requests at %s: %s", m_path.c_str(), failure->message);
        return;
    }
    g_signal_connect(service.get(), "incoming", G_CALLBACK(&CPresentListener::OnIncoming), this);
    g_socket_service_start(service.get());
    m_service = std::move(service);
}

CPresentListener::~CPresentListener() {
    if (!m_service) return;
    g_signal_handlers_disconnect_by_data(m_service.get(), this);
    g_socket_service_stop(m_service.get());
    g_socket_listener_close(G_SOCKET_LISTENER(m_service.get()));
    ::unlink(m_path.c_str());
}

gboolean CPresentListener::OnIncoming(GSocketService*, GSocketConnection*, GObject*,
                                      gpointer self) {
    // The byte itself carries nothing: the connection is the request. The service closes it.
    auto* listener = static_cast<CPresentListener*>(self);
    if (listener->m_onRequest) listener->m_onRequest();
    return TRUE;
}

bool SendPresentRequest(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    // Non-blocking throughout: a window that does not answer must not hold this start up.
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd || ::connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return false;
    const char request = 'p';
    return ::send(fd.get(), &request, 1, MSG_NOSIGNAL) == 1;
}
