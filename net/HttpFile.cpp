#include "net/HttpFile.h"

#include <glib.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "net/CurlDescriptors.h"
#include "net/InternetSession.h"

namespace {
// libcurl's receive buffer: the most one receive hands over.
constexpr long kReceiveBufferBytes = 128 * 1024;
// What is kept aside for later Reads. One step of the transfer receives as long as the socket
// has data, so this holds several receive buffers: the transfer is paused (which makes libcurl
// copy the block it could not hand over) only when the reader falls far behind.
constexpr std::size_t kSpareBytes = 8 * kReceiveBufferBytes;
constexpr int kWaitMilliseconds = 100;
constexpr long kMaxRedirects = 10;

// What a failed transfer means to whoever decides what to do next.
NetFailure KindOfTransferFailure(CURLcode code) {
    switch (code) {
        // A certificate the system does not trust: a network's inspection box, say.
        case CURLE_PEER_FAILED_VERIFICATION:
            return NetFailure::Untrusted;
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_UNSUPPORTED_PROTOCOL:  // a redirect to a scheme not allowed (https to http)
            return NetFailure::Insecure;
        case CURLE_COULDNT_CONNECT:
            return NetFailure::Unreachable;
        case CURLE_OPERATION_TIMEDOUT:  // also a stall: nothing for the stall time
            return NetFailure::Stalled;
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_PARTIAL_FILE:
        case CURLE_GOT_NOTHING:
            return NetFailure::Interrupted;
        default:
            return NetFailure::Transfer;
    }
}

std::string HeaderName(std::string_view line) {
    std::string_view name = line.substr(0, line.find(':'));
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
    return std::string(name);
}
}  // namespace

CHttpFile::CHttpFile(CInternetSession& session, HttpVerb verb, std::string url, unsigned flags)
    : m_session(session),
      m_verb(verb),
      m_easy(curl_easy_init()),
      m_rateFloor(session.Limits().minBytesPerSecond,
                  std::chrono::seconds(session.Limits().rateWindowSeconds)) {
    if (!m_easy) return;  // SendRequest reports it
    CURL* easy = m_easy.get();
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, m_errorText);
    // The session's other transfers hand this one its end through the multi handle.
    curl_easy_setopt(easy, CURLOPT_PRIVATE, this);
    // Parallel ranges of one file are separate TCP connections, never streams sharing one.
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    // Closing the window must not wait for a name lookup still running in libcurl's resolver
    // thread.
    curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    KeepDescriptorsFromChildren(easy, m_lookupDescriptors);
    // What was asked for over https is never fetched over plain http, not even by redirect.
    // Certificates are verified (libcurl's default) against the system's store.
    const bool secure = g_ascii_strncasecmp(url.c_str(), "https:", 6) == 0;
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
    if (!session.CaFile().empty()) {
        curl_easy_setopt(easy, CURLOPT_CAINFO, session.CaFile().c_str());
        curl_easy_setopt(easy, CURLOPT_PROXY_CAINFO, session.CaFile().c_str());
    }
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, session.Agent().c_str());
    // The environment's proxy or the desktop's for this address, with the run's login for it,
    // offered with the method the proxy named, or any until it has named one.
    m_route = session.Proxy().Apply(easy, url, session.StopFlag());
    // The proxy's "Connection established" is not the server's answer: only the server's
    // headers reach OnHeader.
    curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, session.Limits().connectTimeoutSeconds);
    // A transfer that receives nothing for this long has stalled.
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, session.Limits().stallSeconds);
    // A server that keeps sending a few bytes now and then is held to a floor as well.
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &CHttpFile::OnProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CHttpFile::OnWrite);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &CHttpFile::OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    // Ask caches on the way (proxies) to fetch from the origin server.
    if (flags & INTERNET_FLAG_PRAGMA_NOCACHE)
        static_cast<void>(AddRequestHeaders("Pragma: no-cache"));
    m_spare.reserve(kSpareBytes);
}

CHttpFile::~CHttpFile() {
    Close();
}

NetResult CHttpFile::AddRequestHeaders(const std::string& headers) {
    std::string_view rest = headers;
    while (!rest.empty()) {
        std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        std::string name = HeaderName(line);
        bool known = std::any_of(m_headerNames.begin(), m_headerNames.end(), [&](const auto& n) {
            return g_ascii_strcasecmp(n.c_str(), name.c_str()) == 0;
        });
        if (known) continue;
        curl_slist* list = curl_slist_append(m_headers.get(), std::string(line).c_str());
        if (!list)
            return NetResult::Fail(NetFailure::Transfer, "out of memory for request headers");
        m_headers.release();
        m_headers.reset(list);
        m_headerNames.push_back(std::move(name));
    }
    return {};
}

void CHttpFile::LimitTotalTime(long seconds) {
    if (m_easy && seconds > 0) curl_easy_setopt(m_easy.get(), CURLOPT_TIMEOUT, seconds);
}

NetResult CHttpFile::SendRequest(const std::string& headers, const std::string& body) {
    if (NetResult started = StartRequest(headers, body); !started.Ok()) return started;
    NetResult answer = AwaitAnswer();
    // A proxy that wants a login the run does not have, or refused the one it has: the person
    // may give one (once a session), and the request goes again with it.
    if (answer.Failure() == NetFailure::ProxyRefused && answer.Status() == 407 &&
        m_session.Proxy().AskLogin(m_easy.get(), m_route)) {
        answer = Restart();
        if (answer.Ok()) answer = AwaitAnswer();
    }
    return answer;
}

NetResult CHttpFile::Restart() {
    curl_multi_remove_handle(m_session.Multi(), m_easy.get());
    m_inMulti = m_headersDone = m_done = m_paused = m_proxyAsked = false;
    m_result = CURLE_OK;
    *m_errorText = '\0';
    m_spare.clear();
    m_spareAt = 0;
    CURLMcode joined = curl_multi_add_handle(m_session.Multi(), m_easy.get());
    if (joined != CURLM_OK)
        return NetResult::Fail(NetFailure::Transfer, curl_multi_strerror(joined));
    m_inMulti = true;
    return {};
}

NetResult CHttpFile::AwaitAnswer() {
    while (!m_headersDone && !m_done) {
        if (NetResult step = Perform(); !step.Ok()) return step;
        if (m_headersDone || m_done) break;
        if (m_session.StopFlag().load(std::memory_order_relaxed)) {
            m_stopped = true;
            return NetResult::Fail(NetFailure::Stopped, "the transfer was stopped");
        }
        if (NetResult waited = WaitForNetwork(); !waited.Ok()) return waited;
    }
    m_session.Proxy().NoteMethods(m_easy.get(), m_route);
    return AnswerResult();
}

NetResult CHttpFile::StartRequest(const std::string& headers, const std::string& body) {
    CURL* easy = m_easy.get();
    if (!easy) return NetResult::Fail(NetFailure::Transfer, "cannot create a transfer");
    NetResult added = AddRequestHeaders(headers);
    if (added.Ok() && m_verb == HttpVerb::Post) {
        // The whole body goes with the request; no waiting for a "100 Continue".
        added = AddRequestHeaders("Expect:");
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(easy, CURLOPT_COPYPOSTFIELDS, body.c_str());
    }
    if (!added.Ok()) return added;
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, m_headers.get());

    CURLMcode joined = curl_multi_add_handle(m_session.Multi(), easy);
    if (joined != CURLM_OK)
        return NetResult::Fail(NetFailure::Transfer, curl_multi_strerror(joined));
    m_inMulti = true;
    return {};
}

NetResult CHttpFile::AnswerResult() const {
    // A proxy that will not open a tunnel answers the CONNECT, not the request: a refusal with
    // its status, not a dropped connection.
    const long connect = ConnectStatusCode();
    if (!m_headersDone && connect >= 300)
        return NetResult::Fail(NetFailure::ProxyRefused, std::to_string(connect)).Answered(connect);
    if (!m_headersDone && m_result != CURLE_OK) return TransferError();
    const long status = QueryInfoStatusCode();
    if (status == 0) return NetResult::Fail(NetFailure::Connect, "no answer");
    // A 407 that libcurl could not answer with a login is the proxy's last word.
    if (status == 407) return NetResult::Fail(NetFailure::ProxyRefused, "407").Answered(407);
    return {};
}

long CHttpFile::QueryInfoStatusCode() const {
    long code = 0;
    curl_easy_getinfo(m_easy.get(), CURLINFO_RESPONSE_CODE, &code);
    return code;
}

std::int64_t CHttpFile::ContentLength() const {
    curl_off_t length = -1;
    if (curl_easy_getinfo(m_easy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK)
        return -1;
    return length;
}

std::optional<std::string> CHttpFile::ResponseHeader(const char* name) const {
    curl_header* header = nullptr;
    if (curl_easy_header(m_easy.get(), name, 0, CURLH_HEADER, -1, &header) != CURLHE_OK)
        return std::nullopt;
    return std::string(header->value);
}

NetResult CHttpFile::Read(void* buffer, std::size_t size, std::size_t& got) {
    got = 0;
    if (size == 0 || !m_inMulti) return {};
    LendBuffer(buffer, size);
    NetResult result;
    while (m_got == 0 && result.Ok()) {
        if (m_paused) {
            result = Unpause();
            if (!result.Ok() || m_got > 0) break;
        }
        if (m_done) {
            if (m_result != CURLE_OK) result = TransferError();
            break;
        }
        result = Perform();
        if (!result.Ok() || m_got > 0 || m_done || m_paused) continue;
        if (m_session.StopFlag().load(std::memory_order_relaxed)) {
            m_stopped = true;
            break;
        }
        result = WaitForNetwork();
    }
    got = ReturnBuffer();
    return result;
}

NetResult CHttpFile::ReadUpTo(std::size_t size, std::string& bytes) {
    bytes.assign(size, '\0');
    std::size_t got = 0;
    NetResult read;
    while (got < size && read.Ok()) {
        std::size_t n = 0;
        read = Read(bytes.data() + got, size - got, n);
        got += n;
        if (n == 0) break;
    }
    bytes.resize(got);
    return read;
}

NetResult CHttpFile::ReadExactly(std::size_t size, std::string& bytes) {
    if (NetResult read = ReadUpTo(size, bytes); !read.Ok()) return read;
    if (bytes.size() < size) return NetResult::Fail(NetFailure::Incomplete, "answer ended early");
    return {};
}

NetResult CHttpFile::Peek(std::size_t size, std::string& bytes) {
    NetResult read = ReadUpTo(size, bytes);
    // Back in front of what is kept aside, in their order.
    m_spare.erase(m_spare.begin(), m_spare.begin() + static_cast<std::ptrdiff_t>(m_spareAt));
    m_spare.insert(m_spare.begin(), bytes.begin(), bytes.end());
    m_spareAt = 0;
    return read;
}

NetResult CHttpFile::ReadAvailable(void* buffer, std::size_t size, std::size_t& got) {
    got = 0;
    if (size == 0 || !m_inMulti) return {};
    LendBuffer(buffer, size);
    NetResult result;
    if (m_got == 0 && m_paused) result = Unpause();
    // One step of the session: this transfer's bytes come straight into buffer.
    if (result.Ok() && m_got == 0 && !m_done && !m_paused) result = Perform();
    if (result.Ok() && m_got == 0 && m_done && m_result != CURLE_OK) result = TransferError();
    got = ReturnBuffer();
    return result;
}

void CHttpFile::LendBuffer(void* buffer, std::size_t size) {
    m_dst = static_cast<char*>(buffer);
    m_room = size;
    m_got = 0;
    TakeSpare();
}

std::size_t CHttpFile::ReturnBuffer() {
    m_dst = nullptr;
    m_room = 0;
    return m_got;
}

NetResult CHttpFile::Unpause() {
    // The block held back by libcurl arrives through OnWrite during this call.
    m_paused = false;
    if (CURLcode resumed = curl_easy_pause(m_easy.get(), CURLPAUSE_CONT); resumed != CURLE_OK) {
        m_result = resumed;
        return TransferError();
    }
    return {};
}

NetResult CHttpFile::WaitForAny(CInternetSession& session, int milliseconds) {
    CURLMcode waited = curl_multi_poll(session.Multi(), nullptr, 0, milliseconds, nullptr);
    if (waited != CURLM_OK)
        return NetResult::Fail(NetFailure::Transfer, curl_multi_strerror(waited));
    return PerformAll(session);
}

void CHttpFile::Close() {
    if (m_inMulti) {
        curl_multi_remove_handle(m_session.Multi(), m_easy.get());
        m_inMulti = false;
    }
    m_easy.reset();
    m_headers.reset();
}

std::size_t CHttpFile::OnWrite(char* data, std::size_t, std::size_t count, void* self) {
    auto& file = *static_cast<CHttpFile*>(self);
    if (!file.m_headersDone) return count;  // the body of an answer that is not the final one
    std::size_t direct = std::min(count, file.m_room);
    if (file.m_spare.size() + (count - direct) > kSpareBytes) {
        // No room to keep it: libcurl holds this block until Read asks for more.
        file.m_paused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    if (direct > 0) {
        std::memcpy(file.m_dst, data, direct);
        file.m_dst += direct;
        file.m_room -= direct;
        file.m_got += direct;
    }
    file.m_spare.insert(file.m_spare.end(), data + direct, data + count);
    return count;
}

std::size_t CHttpFile::OnHeader(char* data, std::size_t, std::size_t count, void* self) {
    auto& file = *static_cast<CHttpFile*>(self);
    std::string_view line(data, count);
    if (!file.m_headersDone && (line == "\r\n" || line == "\n"))
        file.m_headersDone = file.IsFinalResponse(file.QueryInfoStatusCode());
    return count;
}

int CHttpFile::OnProgress(void* self, curl_off_t, curl_off_t received, curl_off_t, curl_off_t) {
    auto& file = *static_cast<CHttpFile*>(self);
    file.m_lookupDescriptors.Mark();
    if (!file.m_rateFloor.Below(static_cast<std::uint64_t>(received))) return 0;
    file.m_tooSlow = true;
    return 1;  // libcurl ends the transfer
}

bool CHttpFile::IsFinalResponse(long code) {
    if (code < 200) return false;  // informational: the real answer follows
    // A proxy's first 407 is answered by libcurl itself, with the credentials of the proxy
    // address, when it has any: the answer to that second request is the one that counts.
    if (code == 407 && !m_proxyAsked) {
        m_proxyAsked = true;
        return !ResponseHeader("Proxy-Authenticate");
    }
    // A redirect with a target is followed: its headers are not the answer either.
    return code / 100 != 3 || !ResponseHeader("Location");
}

void CHttpFile::TakeSpare() {
    std::size_t n = std::min(m_room, m_spare.size() - m_spareAt);
    if (n == 0) return;
    std::memcpy(m_dst, m_spare.data() + m_spareAt, n);
    m_spareAt += n;
    m_dst += n;
    m_room -= n;
    m_got += n;
    if (m_spareAt == m_spare.size()) {
        m_spare.clear();
        m_spareAt = 0;
    }
}

NetResult CHttpFile::Perform() {
    return PerformAll(m_session);
}

NetResult CHttpFile::PerformAll(CInternetSession& session) {
    int running = 0;
    CURLMcode performed = curl_multi_perform(session.Multi(), &running);
    if (performed != CURLM_OK)
        return NetResult::Fail(NetFailure::Transfer, curl_multi_strerror(performed));
    // Each end goes to the request it belongs to, whichever request drove the session.
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(session.Multi(), &queued)) {
        if (message->msg != CURLMSG_DONE) continue;
        CHttpFile* owner = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &owner);
        if (!owner) continue;
        owner->m_done = true;
        owner->m_result = message->data.result;
    }
    return {};
}

NetResult CHttpFile::WaitForNetwork() {
    CURLMcode waited = curl_multi_poll(m_session.Multi(), nullptr, 0, kWaitMilliseconds, nullptr);
    if (waited != CURLM_OK)
        return NetResult::Fail(NetFailure::Transfer, curl_multi_strerror(waited));
    return {};
}

NetResult CHttpFile::TransferError() const {
    // curl's detailed error buffer when it has one, otherwise the code's generic text.
    std::string text = *m_errorText ? m_errorText : curl_easy_strerror(m_result);
    if (m_tooSlow) {
        const CTransferLimits& limits = m_session.Limits();
        return NetResult::Fail(NetFailure::Stalled,
                               "less than " + std::to_string(limits.minBytesPerSecond) +
                                   " bytes a second over " +
                                   std::to_string(limits.rateWindowSeconds) + " s");
    }
    return NetResult::Fail(KindOfTransferFailure(m_result), std::move(text));
}

std::optional<long> CHttpFile::RetryAfterSeconds() const {
    curl_off_t seconds = 0;
    if (curl_easy_getinfo(m_easy.get(), CURLINFO_RETRY_AFTER, &seconds) != CURLE_OK || seconds <= 0)
        return std::nullopt;
    return static_cast<long>(std::min<curl_off_t>(seconds, 86400));
}

long CHttpFile::ConnectStatusCode() const {
    long code = 0;
    curl_easy_getinfo(m_easy.get(), CURLINFO_HTTP_CONNECTCODE, &code);
    return code;
}
