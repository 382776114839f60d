#pragma once
// How an operation of the transfer ended: success, or a kind of failure with its detail (the
// address, the file, the server's answer or the transfer library's own words) and the place
// in the code where it was found, which the log shows.

#include <string>
#include <utility>

enum class NetFailure {
    None,
    BadUrl,          // not an address this client serves
    BadDigest,       // the expected digest is not 64 hexadecimal digits
    FileInUse,       // the partial file cannot be opened, or another writer holds it
    Connect,         // the request brought no answer at all
    NotFound,        // the server answered 404
    Refused,         // another answer whose body cannot continue the partial file
    Transfer,        // the transfer library failed: resolving, connecting, sending, receiving
    Stopped,         // the quit flag was raised while the request waited for the network
    FileError,       // a local file could not be read or written
    Incomplete,      // the body ended, or reading it stopped, before the whole file was there
    DigestMismatch,  // the whole file is not the one expected
    MoveFailed,      // the finished file could not be moved into place
    NoSpace,         // the disk cannot hold what remains to be downloaded
    TooLarge,        // the body is longer than the caller allows; no more of it was read
    Insecure,        // an https server's certificate did not verify, or a redirect left https
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

  private:
    NetFailure m_failure = NetFailure::None;
    std::string m_detail;
    const char* m_file = "";
    int m_line = 0;
};
