#pragma once
// How an operation of the transfer ended: success, or a kind of failure with its detail (the
// address, the file, the server's answer or the transfer library's own words) and the place
// in the code where it was found, which the log shows.

#include <source_location>
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
    TooLarge,        // the body is longer than the caller allows; no more of it was read
    Insecure,        // an https server's certificate did not verify, or a redirect left https
};

class [[nodiscard]] NetResult {
  public:
    NetResult() = default;  // success

    static NetResult Fail(NetFailure failure, std::string detail,
                          std::source_location where = std::source_location::current()) {
        NetResult result;
        result.m_failure = failure;
        result.m_detail = std::move(detail);
        result.m_where = where;
        return result;
    }

    bool Ok() const { return m_failure == NetFailure::None; }
    NetFailure Failure() const { return m_failure; }
    const std::string& Detail() const { return m_detail; }
    const std::source_location& Where() const { return m_where; }

  private:
    NetFailure m_failure = NetFailure::None;
    std::string m_detail;
    std::source_location m_where;
};
