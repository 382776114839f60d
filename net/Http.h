#pragma once
// The HTTP client of one worker run: one session (keeping connections alive across its
// requests, and driving a download's parallel ranges through one multi handle), the current
// request of a text exchange or size query with its connection, and a lock around their
// creation and release. A download's requests belong to the download (DownloadSteps.h).
// http and https URLs are served; anything else fails at once without traffic.
//
// Every failure inside is a NetResult, which the operations that tell failures apart return;
// the others keep the answers of the original interface (an empty text, a size of 0, a
// download result of 0 with LastError()).

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "net/AddressHistory.h"
#include "net/DownloadContext.h"
#include "net/DownloadHeaders.h"
#include "net/HttpConnection.h"
#include "net/HttpFile.h"
#include "net/InternetSession.h"
#include "net/NetResult.h"
#include "net/RangeSettings.h"
#include "net/ResumeRecord.h"
#include "net/RetryPolicy.h"
#include "net/TransferSink.h"
#include "net/UrlParts.h"

class CHttp {
  public:
    // agent: sent as the User-Agent of text requests (the application's name); stopFlag: the
    // application's quit flag, which ends transfers at their next poll; logPath: the
    // diagnostic log that failed downloads are written to.
    CHttp(std::string agent, const std::atomic<int>& stopFlag, std::string logPath);
    ~CHttp();
    CHttp(const CHttp&) = delete;
    CHttp& operator=(const CHttp&) = delete;

    // GET (or a form POST for the exact verb "POST"); the body of a 200 answer, trimmed;
    // empty on any failure, and for a body longer than maxBytes (no prefix of it, which
    // could parse as something else).
    std::string SendHttpRequest(const std::string& url, const std::string& verb,
                                const std::string& content, std::size_t maxBytes = kNoBound);
    // The same with the failure told apart: text is the trimmed body of a 200 answer and
    // empty for any other status; TooLarge once more than maxBytes arrived (no more is read).
    NetResult FetchText(const std::string& url, const std::string& verb, const std::string& content,
                        std::string& text, std::size_t maxBytes = kNoBound);
    static constexpr std::size_t kNoBound = SIZE_MAX;
    // GET of url taking the body of a 200 answer byte for byte (nothing decoded, trimmed or cut
    // at a NUL) and the value of the response header headerName, nothing when it has none.
    // Reading stops after maxBytes + 1 bytes: a longer body fails with TooLarge, body holding
    // the bytes read. Any other status fails with Refused (its number as the detail).
    NetResult FetchRawText(const std::string& url, std::size_t maxBytes, const char* headerName,
                           std::string& body, std::optional<std::string>& header);
    // Content-Length of url; 0 when the file is missing (404) or on any failure.
    std::int64_t GetHttpFileSize(const std::string& url);
    // The same with the failure told apart: NotFound for a 404.
    NetResult QueryFileSize(const std::string& url, std::int64_t& size);
    // Resumable download of url into destination through destination + ".df"; reports size,
    // progress, speed and (once the file is in place) completion to sink, which may be null.
    // When expectedSha256 (64 hex digits) is given, the file is moved into place only if its
    // digest matches. 1 when the file is complete and in place, 0 otherwise (see LastError()).
    int DownHttpFile(ITransferSink* sink, const std::string& url, const std::string& destination,
                     const std::string& expectedSha256 = {});
    // The same for target fetched from url (its main address or a mirror). When target knows
    // the size, a body that would make the file longer stops the transfer and fails with
    // TooLarge, and its partial file is removed. The partial file
    // keeps a record beside it (ResumeRecord.h) so that it is only ever resumed with bytes of
    // the same file: a partial of another file, or one the server no longer vouches for,
    // starts again from its first byte.
    int DownHttpFile(ITransferSink* sink, const std::string& url, const std::string& destination,
                     const DownloadTarget& target);
    // The same with the failure told apart: what the retry decision and the failure view need.
    NetResult DownloadFile(ITransferSink* sink, const std::string& url,
                           const std::string& destination, const DownloadTarget& target);
    // Whether the complete file at path is still the one at url: the server still vouches for
    // the validator recorded with it, and the last 64 KiB it sends are those on disk. False
    // when it cannot be told (then the file is fetched again).
    bool ConfirmCopy(const std::string& url, const std::string& path);
    // Closes and frees the current request and connection.
    void Clean();

    // The text the last failed download left (FailureText.h); each operation clears it.
    const std::string& LastError() const { return m_strError; }
    // Free bytes on the file system of a path; tests hand in a small disk.
    using FreeSpaceProbe = ::FreeSpaceProbe;
    void SetFreeSpaceProbe(FreeSpaceProbe probe) { m_freeSpace = std::move(probe); }
    // Size of the file the last DownHttpFile expected: bytes on disk plus the announced length.
    std::uint64_t TotalSize() const { return m_nTotalSize; }
    // Time limits of later transfers; tests shorten them. Takes effect when the session is
    // created, that is before the first operation (the exchange limit at once).
    void SetTransferLimits(const CTransferLimits& limits) { m_limits = limits; }
    // How downloads may split into parallel ranges; one connection on a metered network.
    void SetRangeSettings(const RangeSettings& settings) { m_rangeSettings = settings; }
    // How each range of a download is tried again; the same numbers as the worker's attempts.
    void SetRetrySettings(const RetrySettings& settings) { m_retrySettings = settings; }
    // Tests only: https servers are verified against the CA certificates in this file instead
    // of the system's store. Takes effect when the session is created.
    void SetCaFile(std::string path) { m_caFile = std::move(path); }
    // The run's proxies (ProxyState.h), shared by its clients; without it only the
    // environment's proxy is used, as libcurl finds it. Takes effect when the session is created.
    void SetProxyState(std::shared_ptr<CProxyState> state) { m_proxyState = std::move(state); }
    // Asks the person for a proxy's login on a 407, once a session; without it (the
    // advertisement's client) a 407 fails at once. Takes effect when the session is created.
    void SetProxyLoginPrompt(ProxyLoginPrompt prompt) { m_loginPrompt = std::move(prompt); }

  private:
    void InitSession();
    // Opens the connection and a request for url's parts, releasing any held before.
    void OpenRequest(const CUrlParts& parts, HttpVerb verb);
    // The same for an exchange other than a download, held to the exchange's time limit.
    void OpenExchange(const CUrlParts& parts, HttpVerb verb);
    // The current answer's body as text: pieces of 1024 bytes, each cut at a zero byte.
    NetResult ReadText(std::size_t maxBytes, std::string& text);
    // What a download is given of this client (DownloadContext.h).
    DownloadContext Context();
    // Leaves the failure's text in m_strError and the log, as far as its kind asks for.
    void Report(const NetResult& failure, const std::string& destination);

    int m_bStop = 0;  // nothing sets it; a nonzero value stops a download between blocks
    int m_bSessionOpen = 0;
    std::string m_strError;
    std::uint64_t m_nTotalSize = 0;
    std::uint32_t m_dwRequestFlags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION |
                                     INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_TRANSFER_BINARY;
    const std::string m_agent;
    const std::atomic<int>& m_stopFlag;
    const std::string m_logPath;
    // Released in this order: the request before its connection before the session.
    std::unique_ptr<CInternetSession> m_pSession;
    std::unique_ptr<CHttpConnection> m_pConnection;
    std::unique_ptr<CHttpFile> m_pHttpFile;
    std::recursive_mutex m_cs;
    CTransferLimits m_limits;
    FreeSpaceProbe m_freeSpace;
    RangeSettings m_rangeSettings;
    RetrySettings m_retrySettings;
    CAddressHistory m_history;  // what this run learned of each address
    std::string m_caFile;
    std::shared_ptr<CProxyState> m_proxyState;
    ProxyLoginPrompt m_loginPrompt;
};
