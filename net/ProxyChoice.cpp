#include "net/ProxyChoice.h"

#include <glib.h>
#include <sodium.h>

#include <cstring>
#include <memory>

#include "net/CurlHandles.h"
#include "net/ProxyCredentials.h"

namespace {
// A decoded part that may be a secret: wiped before libcurl frees it.
void WipeAndFree(char* text) {
    sodium_memzero(text, std::strlen(text));
    curl_free(text);
}
using SecretText = std::unique_ptr<char, CallRelease<WipeAndFree>>;

CurlUrl Parse(const std::string& address) {
    CurlUrl url(curl_url());
    if (!url || curl_url_set(url.get(), CURLUPART_URL, address.c_str(), CURLU_NON_SUPPORT_SCHEME) !=
                    CURLUE_OK)
        return nullptr;
    return url;
}

std::string Part(CURLU* url, CURLUPart part) {
    char* text = nullptr;
    if (curl_url_get(url, part, &text, 0) != CURLUE_OK) return {};
    CurlText owned(text);
    return text;
}

// libcurl's scheme for the resolver's; empty for one it cannot use.
std::string CurlScheme(const std::string& scheme) {
    if (scheme == "http" || scheme == "https" || scheme == "socks4" || scheme == "socks4a")
        return scheme;
    if (scheme == "socks5") return "socks5h";
    return {};
}

// The address as libcurl's proxy, without its user part; empty when it cannot be one.
std::string CurlProxy(CURLU* url, std::string& name) {
    const std::string scheme = CurlScheme(Part(url, CURLUPART_SCHEME));
    const std::string host = Part(url, CURLUPART_HOST);
    if (scheme.empty() || host.empty()) return {};
    const std::string port = Part(url, CURLUPART_PORT);
    name = port.empty() ? host : host + ":" + port;
    curl_url_set(url, CURLUPART_SCHEME, scheme.c_str(), CURLU_NON_SUPPORT_SCHEME);
    curl_url_set(url, CURLUPART_USER, nullptr, 0);
    curl_url_set(url, CURLUPART_PASSWORD, nullptr, 0);
    return Part(url, CURLUPART_URL);
}
}  // namespace

ProxyChoice ChooseProxy(const std::vector<std::string>& answers) {
    ProxyChoice choice;
    for (std::size_t i = 0; i < answers.size(); ++i) {
        if (g_ascii_strcasecmp(answers[i].c_str(), "direct://") == 0) return choice;
        CurlUrl url = Parse(answers[i]);
        std::string name;
        std::string proxy = url ? CurlProxy(url.get(), name) : std::string();
        if (proxy.empty()) {
            choice.notes.push_back("proxy answer " + RedactedProxy(answers[i]) +
                                   " cannot be used, skipped");
            continue;
        }
        choice.proxy = std::move(proxy);
        choice.name = std::move(name);
        choice.answer = i;
        return choice;
    }
    choice.notes.push_back("no usable proxy answer: direct");
    return choice;
}

std::string RedactedProxy(const std::string& address) {
    // Built by appending: GCC 12 warns falsely (-Wrestrict) on "'" + temporary at -O2.
    std::string shown = "'";
    CurlUrl url = Parse(address);
    if (url) {
        curl_url_set(url.get(), CURLUPART_USER, nullptr, 0);
        curl_url_set(url.get(), CURLUPART_PASSWORD, nullptr, 0);
        shown.append(Part(url.get(), CURLUPART_URL));
    } else {
        shown.append(address, 0, address.find_first_of(":@")).append(":...");
    }
    shown.push_back('\'');
    return shown;
}

bool TakeProxyLogin(const std::string& address, CProxyCredentials& login) {
    CurlUrl url = Parse(address);
    if (!url) return false;
    char* user = nullptr;
    char* password = nullptr;
    curl_url_get(url.get(), CURLUPART_USER, &user, CURLU_URLDECODE);
    SecretText ownedUser(user);
    curl_url_get(url.get(), CURLUPART_PASSWORD, &password, CURLU_URLDECODE);
    SecretText ownedPassword(password);
    if (!user && !password) return false;
    return login.Set(user ? user : "", password ? password : "");
}
