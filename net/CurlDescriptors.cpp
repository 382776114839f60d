#include "net/CurlDescriptors.h"

#include <sys/socket.h>

namespace {

curl_socket_t OpenCloseOnExec(void*, curlsocktype, curl_sockaddr* address) {
    return ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

int NoteBeforeLookup(void*, void*, void* lookup) {
    static_cast<CNewDescriptors*>(lookup)->Note();
    return 0;
}

}  // namespace

void KeepDescriptorsFromChildren(CURL* easy, CNewDescriptors& lookup) {
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, &OpenCloseOnExec);
    curl_easy_setopt(easy, CURLOPT_RESOLVER_START_FUNCTION, &NoteBeforeLookup);
    curl_easy_setopt(easy, CURLOPT_RESOLVER_START_DATA, &lookup);
}
