#pragma once
// The HTTP client of one worker run: one session (keeping connections alive across its
// requests), at most one open connection and request, and a lock around their creation and
// release. Only http URLs are served; anything else fails at once without traffic.
//
// Public interface agreed with the worker; the private part belongs to the transfer code.

#include <cstdint>
#include <string>

#include "platform/MessageQueue.h"

class CHttp {
public:
    CHttp();
    ~CHttp();
    CHttp(const CHttp&) = delete;
    CHttp& operator=(const CHttp&) = delete;

    // GET (or a form POST for the exact verb "POST"); the body of a 200 answer, trimmed;
    // empty on any failure.
    std::string SendHttpRequest(const std::string& url, const std::string& verb,
                                const std::string& content);
    // Content-Length of url; 0 when the file is missing (404) or on any failure.
    std::int64_t GetHttpFileSize(const std::string& url);
    // Resumable download of url into destination through destination + ".df"; posts size,
    // progress, speed and (once the file is in place) completion to hwnd. When expectedSha256
    // (64 hex digits) is given, the file is moved into place only if its digest matches.
    // 1 when the file is complete and in place, 0 otherwise (see LastError()).
    int DownHttpFile(const WindowHandle& hwnd, const std::string& url,
                     const std::string& destination, const std::string& expectedSha256 = {});
    // Closes and frees the current request and connection.
    void Clean();

    const std::string& LastError() const { return m_strError; }

private:
    std::string m_strError;
};
