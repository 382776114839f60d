#pragma once
// How an operation of the transfer ended: success, or one kind of failure. The value is the
// one account of a failure: its kind (which net/ decides where it is found), its detail (the
// address, the file, the server's answer or the transfer library's own words), the place in
// the code where it was found (the log shows it), and what a decision to try again needs:
// the address that failed, the server's status and Retry-After, and how many bytes the
// attempt added to the partial file. FailureText.h turns it into the texts people read.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

enum class NetFailure {
    None,
    BadUrl,          // not an address this client serves
    BadDigest,       // the expected digest is not 64 hexadecimal digits
    FileInUse,       // the partial file cannot be opened, or another writer holds it
    Connect,         // the request brought no answer at all
    NotFound,        // the server answered 404
    Refused,         // another answer whose body cannot continue the partial file (Status())
    Unreachable,     // nobody accepted the connection
    Interrupted,     // the connection broke off: reset, closed early, or nothing came back
    Stalled,         // nothing arrived for the stall time, or connecting took too long
    Transfer,        // another failure of the transfer: resolving, redirects, protocol
    Stopped,         // the quit flag was raised while the request waited for the network
    FileError,       // a local file could not be read or written
    Incomplete,      // the body ended, or reading it stopped, before the whole file was there
    DigestMismatch,  // the whole file is not the one expected
    MoveFailed,      // the finished file could not be moved into place
    NoSpace,         // the disk cannot hold what remains to be downloaded
    TooLarge,        // the body is longer than the caller allows; no more of it was read
    Contradicted,    // the answer claims another size than the signed one: not the file
    Insecure,        // a secure connection failed otherwise, or a redirect left https
    FileChanged,     // the server's file changed under the download: it starts again
    KeepsChanging,   // the file at this address changed under every try: it is given up
    Untrusted,       // an https server's certificate is not one the system trusts
    WebPage,         // the answer is a web page (a network's sign-in page), not the file
    ProxyRefused,    // the proxy refused the tunnel or its login (Status(): its answer)
};

class [[nodiscard]] NetResult {
  public:
    NetResult() = default;  // success

    // file and line default to the caller's: where the failure was found. (The builtins,
    // not std::source_location, which clang 14 cannot give with this standard library.)
    static NetResult Fail(NetFailure failure, std::string detail,
                          const char* file = __builtin_FILE(), int line = __builtin_LINE()) {
        NetResult result;
        result.m_failure = failure;
        result.m_detail = std::move(detail);
        result.m_file = file;
        result.m_line = line;
        return result;
    }

    bool Ok() const { return m_failure == NetFailure::None; }
    NetFailure Failure() const { return m_failure; }
    const std::string& Detail() const { return m_detail; }
    const char* File() const { return m_file; }
    int Line() const { return m_line; }

    // The address the operation was given; empty until the operation names it.
    const std::string& Url() const { return m_url; }
    // The status of the server's answer (a proxy's 407 included); 0 without one.
    long Status() const { return m_status; }
    // The seconds a Retry-After header asked for.
    std::optional<long> RetryAfterSeconds() const { return m_retryAfter; }
    // Bytes this attempt added to what the partial file safely holds.
    std::uint64_t BytesGained() const { return m_bytesGained; }

    NetResult& At(std::string url) {
        m_url = std::move(url);
        return *this;
    }
    NetResult& Answered(long status, std::optional<long> retryAfterSeconds = std::nullopt) {
        m_status = status;
        m_retryAfter = retryAfterSeconds;
        return *this;
    }
    NetResult& Gained(std::uint64_t bytes) {
        m_bytesGained = bytes;
        return *this;
    }

  private:
    NetFailure m_failure = NetFailure::None;
    std::string m_detail;
    const char* m_file = "";
    int m_line = 0;
    std::string m_url;
    long m_status = 0;
    std::optional<long> m_retryAfter;
    std::uint64_t m_bytesGained = 0;
};
