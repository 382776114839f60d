#pragma once
// A failure of the transfer library (resolving, connecting, sending, receiving), carrying
// libcurl's own description of it.

#include <curl/curl.h>

#include <stdexcept>
#include <string>

class CInternetException : public std::runtime_error {
  public:
    explicit CInternetException(const std::string& text) : std::runtime_error(text) {}
    // curl's detailed error buffer when it has one, otherwise the code's generic text.
    CInternetException(CURLcode code, const char* errorBuffer)
        : std::runtime_error(errorBuffer && *errorBuffer ? errorBuffer : curl_easy_strerror(code)) {
    }
    explicit CInternetException(CURLMcode code) : std::runtime_error(curl_multi_strerror(code)) {}
};
