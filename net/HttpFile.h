#pragma once
// One HTTP request and its response, as a pull stream: SendRequest returns once the headers
// of the final response are in (redirects are followed), and Read hands out the body a piece
// at a time. libcurl drives the transfer through the session's multi handle; its write
// callback fills the caller's buffer directly and keeps a bounded amount aside, pausing the
// transfer while that is full, so memory stays flat in the body's size.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "net/CurlHandles.h"
#include "net/HttpConnection.h"
#include "net/NetResult.h"
#include "net/ProxyState.h"
#include "net/RateFloor.h"
#include "platform/NewDescriptors.h"

class CInternetSession;

// Request flags of the client (their values are kept for what they mean to a reader).
constexpr unsigned INTERNET_FLAG_NO_CACHE_WRITE = 0x04000000;
constexpr unsigned INTERNET_FLAG_KEEP_CONNECTION = 0x00400000;
constexpr unsigned INTERNET_FLAG_PRAGMA_NOCACHE = 0x00000100;
constexpr unsigned INTERNET_FLAG_TRANSFER_BINARY = 0x00000002;

class CHttpFile {
  public:
    CHttpFile(CInternetSession& session, HttpVerb verb, std::string url, unsigned flags);
    ~CHttpFile();
    CHttpFile(const CHttpFile&) = delete;
    CHttpFile& operator=(const CHttpFile&) = delete;

    // Adds the lines of headers ("Name: value", separated by CR LF) that name a header not
    // added before; fails only when memory runs out.
    NetResult AddRequestHeaders(const std::string& headers);
    // Bounds the whole exchange, headers and body, to seconds (before SendRequest); past it the
    // transfer fails as Stalled.
    void LimitTotalTime(long seconds);
    // Sends the request, with extra header lines and a body when given, and waits for the
    // headers of the final response. Fails with the kind of the transfer's failure
    // (Unreachable, Interrupted, Stalled, Insecure, Transfer, ...), Stopped when the stop flag
    // is raised meanwhile, and Connect when it ended without any response.
    NetResult SendRequest(const std::string& headers = {}, const std::string& body = {});
    // The same without waiting: the request joins the session's transfers, which any request
    // of the session drives (ReadAvailable, WaitForAny). Answered() or Ended() tells when the
    // headers are in; AnswerResult() then says whether an answer came.
    NetResult StartRequest(const std::string& headers = {}, const std::string& body = {});
    bool Answered() const { return m_headersDone; }
    bool Ended() const { return m_done; }
    NetResult AnswerResult() const;

    long QueryInfoStatusCode() const;
    // Content-Length of the response, read as 64-bit; -1 when the response has none.
    std::int64_t ContentLength() const;
    // Value of a header of the final response, if it has one.
    std::optional<std::string> ResponseHeader(const char* name) const;

    // Copies at most size body bytes into buffer and sets got to their number: 0 at the end
    // of the body, or when the stop flag was seen while waiting for the network (then
    // Stopped() is true). Fails with the kind of the transfer's failure once the bytes that
    // arrived before it are handed out.
    NetResult Read(void* buffer, std::size_t size, std::size_t& got);
    // Reads exactly size body bytes into bytes; Incomplete when the body ends first.
    NetResult ReadExactly(std::size_t size, std::string& bytes);
    // Reads up to size body bytes, fewer only where the body ends, and puts them back: the next
    // reads hand them out again.
    NetResult Peek(std::size_t size, std::string& bytes);
    // The same without waiting for the network: what has arrived (0 when nothing has), after
    // one step of the session. got is 0 and Ended() true at the end of the body.
    NetResult ReadAvailable(void* buffer, std::size_t size, std::size_t& got);
    // Waits until any transfer of session has something to do, at most milliseconds, then
    // drives them all one step.
    static NetResult WaitForAny(CInternetSession& session, int milliseconds);
    // Whether the whole body arrived and the transfer ended without an error.
    bool BodyComplete() const { return m_done && m_result == CURLE_OK; }
    bool Stopped() const { return m_stopped; }
    // The seconds a Retry-After header of the answer asks for; nothing without one.
    std::optional<long> RetryAfterSeconds() const;
    // The status a proxy answered to CONNECT (0 when no tunnel was asked for).
    long ConnectStatusCode() const;

    // Ends the transfer; a connection whose response was not read to its end is not reused.
    void Close();

  private:
    // Reads up to size body bytes into bytes, fewer only where the body ends or fails.
    NetResult ReadUpTo(std::size_t size, std::string& bytes);
    static std::size_t OnWrite(char* data, std::size_t one, std::size_t count, void* self);
    static std::size_t OnHeader(char* data, std::size_t one, std::size_t count, void* self);
    static int OnProgress(void* self, curl_off_t, curl_off_t received, curl_off_t, curl_off_t);
    bool IsFinalResponse(long code);
    void TakeSpare();
    // The caller's buffer for OnWrite, first filled from what was kept aside; then back.
    void LendBuffer(void* buffer, std::size_t size);
    std::size_t ReturnBuffer();
    NetResult Unpause();
    NetResult Perform();
    static NetResult PerformAll(CInternetSession& session);
    NetResult WaitForNetwork();
    NetResult TransferError() const;
    // Waits for the headers of the final response (SendRequest).
    NetResult AwaitAnswer();
    // The same request once more, from its start (with a login the person gave the proxy).
    NetResult Restart();

    CInternetSession& m_session;
    HttpVerb m_verb;
    CurlEasy m_easy;
    CurlSlist m_headers;
    std::vector<std::string> m_headerNames;
    bool m_inMulti = false;
    char m_errorText[CURL_ERROR_SIZE] = {};

    bool m_headersDone = false;
    bool m_done = false;
    CURLcode m_result = CURLE_OK;
    bool m_paused = false;
    bool m_stopped = false;
    bool m_proxyAsked = false;  // a proxy has asked for credentials once
    ProxyRoute m_route;         // the proxy this request goes through
    CRateFloor m_rateFloor;
    CNewDescriptors m_lookupDescriptors;  // a name lookup's, marked at the next progress call
    bool m_tooSlow = false;               // the rate floor ended the transfer

    // The caller's buffer during a Read.
    char* m_dst = nullptr;
    std::size_t m_room = 0;
    std::size_t m_got = 0;
    // Received bytes that did not fit the caller's buffer: [m_spareAt, size()).
    std::vector<char> m_spare;
    std::size_t m_spareAt = 0;
};
