#include "platform/inet/CurlRequest.h"

#include "platform/inet/WinInet.h"
#include "platform/kernel/Strings.h"

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace pictavo::platform {

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kBodyLimit = 64 * 1024;

// Forgives a certificate's dates and nothing else; an untrusted chain still fails.
int forgiveDates(int preverifyOk, X509_STORE_CTX* store)
{
    if (preverifyOk)
        return 1;
    const int err = X509_STORE_CTX_get_error(store);
    if (err == X509_V_ERR_CERT_HAS_EXPIRED || err == X509_V_ERR_CERT_NOT_YET_VALID) {
        X509_STORE_CTX_set_error(store, X509_V_OK);
        return 1;
    }
    return 0;
}

CURLcode onSslContext(CURL*, void* sslCtx, void*)
{
    SSL_CTX_set_verify(static_cast<SSL_CTX*>(sslCtx), SSL_VERIFY_PEER, forgiveDates);
    return CURLE_OK;
}

// Followed as GET. 307 and 308 would repeat the POST with its body, which is gone by then:
// they are final answers.
bool isFollowedRedirect(int status)
{
    return status == 301 || status == 302 || status == 303;
}

constexpr int kMaxRedirects = 10;

} // namespace

CurlRequest::CurlRequest(std::string url, std::string verb, DWORD flags, CurlTimeouts timeouts)
    : m_url(std::move(url)), m_verb(std::move(verb)), m_flags(flags), m_timeouts(timeouts)
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    // Created here, before another thread can see the request, so abort() reads it safely.
    m_multi = curl_multi_init();
}

CurlRequest::~CurlRequest()
{
    if (m_multi && m_easy)
        curl_multi_remove_handle(m_multi, m_easy);
    if (m_easy)
        curl_easy_cleanup(m_easy);
    if (m_multi)
        curl_multi_cleanup(m_multi);
    curl_slist_free_all(m_headers);
}

bool CurlRequest::fail(DWORD error)
{
    if (m_error == 0)
        m_error = error;
    SetLastError(m_error);
    return false;
}

bool CurlRequest::refuse(DWORD error)
{
    SetLastError(error);
    return false;
}

bool CurlRequest::failed()
{
    if (m_aborted.load())
        m_error = ERROR_INTERNET_OPERATION_CANCELLED;
    if (m_error == 0)
        return false;
    SetLastError(m_error);
    return true;
}

DWORD CurlRequest::mapError(int code)
{
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT:
        return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT:
        return ERROR_INTERNET_TIMEOUT;
    case CURLE_PEER_FAILED_VERIFICATION:
        return ERROR_INTERNET_INVALID_CA;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
        return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY:
        return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
        return ERROR_INTERNET_CONNECTION_RESET;
    default:
        return ERROR_INTERNET_INTERNAL_ERROR;
    }
}

bool CurlRequest::start(const std::vector<std::string>& headers, uint64_t bodyLength)
{
    if (m_started)
        return refuse(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    m_started = true;
    m_bodyLength = bodyLength;
    m_easy = curl_easy_init();
    if (!m_multi || !m_easy)
        return fail(ERROR_INTERNET_INTERNAL_ERROR);

    // curl adds nothing of its own: the caller's block decides every optional header.
    bool hasAccept = false;
    bool hasContentType = false;
    for (const std::string& line : headers) {
        if (line.empty())
            continue;
        const std::string lower = [&] {
            std::string s = line.substr(0, line.find(':'));
            for (char& c : s)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            return s;
        }();
        hasAccept |= lower == "accept";
        hasContentType |= lower == "content-type";
        m_headers = curl_slist_append(m_headers, line.c_str());
    }
    m_headers = curl_slist_append(m_headers, "Expect:");
    if (!hasAccept)
        m_headers = curl_slist_append(m_headers, "Accept:");
    if (!hasContentType)
        m_headers = curl_slist_append(m_headers, "Content-Type:");

    CURL* e = m_easy;
    curl_easy_setopt(e, CURLOPT_URL, m_url.c_str());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, m_headers);
    if (m_verb == "POST" || m_verb == "PUT" || bodyLength > 0) {
        curl_easy_setopt(e, CURLOPT_POST, 1L);
        curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(bodyLength));
        curl_easy_setopt(e, CURLOPT_READFUNCTION, &CurlRequest::onRead);
        curl_easy_setopt(e, CURLOPT_READDATA, this);
        if (m_verb != "POST")
            curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, m_verb.c_str());
    } else if (m_verb != "GET") {
        curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, m_verb.c_str());
    }
    // Redirects are followed here rather than by curl, which would follow 307 and 308 too.
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
    // A proxy's answer to CONNECT must never pass for the server's.
    curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &CurlRequest::onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &CurlRequest::onWrite);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(m_timeouts.connectMs));
    curl_easy_setopt(e, CURLOPT_UPLOAD_BUFFERSIZE, static_cast<long>(kQueueLimit));

    // A resumed session would skip the verification below.
    curl_easy_setopt(e, CURLOPT_SSL_SESSIONID_CACHE, 0L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, (m_flags & INTERNET_FLAG_IGNORE_CERT_CN_INVALID) ? 0L : 2L);
    if (m_flags & INTERNET_FLAG_IGNORE_CERT_DATE_INVALID)
        curl_easy_setopt(e, CURLOPT_SSL_CTX_FUNCTION, &onSslContext);
    if (const char* bundle = std::getenv("SSL_CERT_FILE"); bundle && *bundle)
        curl_easy_setopt(e, CURLOPT_CAINFO, bundle);

    if (curl_multi_add_handle(m_multi, m_easy) != CURLM_OK)
        return fail(ERROR_INTERNET_INTERNAL_ERROR);
    int running = 0;
    curl_multi_perform(m_multi, &running);
    return true;
}

size_t CurlRequest::onRead(char* buffer, size_t size, size_t count, void* selfPtr)
{
    auto* self = static_cast<CurlRequest*>(selfPtr);
    self->m_bodyAsked = true;
    const size_t available = self->m_queue.size() - self->m_queueOffset;
    if (available == 0) {
        if (self->m_queued >= self->m_bodyLength)
            return 0;
        self->m_sendPaused = true;
        return CURL_READFUNC_PAUSE;
    }
    const size_t n = std::min(available, size * count);
    std::memcpy(buffer, self->m_queue.data() + self->m_queueOffset, n);
    self->m_queueOffset += n;
    if (self->m_queueOffset == self->m_queue.size()) {
        self->m_queue.clear();
        self->m_queueOffset = 0;
    }
    ++self->m_activity;
    return n;
}

size_t CurlRequest::onWrite(char* data, size_t size, size_t count, void* selfPtr)
{
    auto* self = static_cast<CurlRequest*>(selfPtr);
    ++self->m_activity;
    if (self->m_followPending)
        return size * count; // a redirect's own text is nobody's answer
    if (self->m_body.size() >= kBodyLimit) {
        self->m_recvPaused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    self->m_body.append(data, size * count);
    return size * count;
}

size_t CurlRequest::onHeader(char* data, size_t size, size_t count, void* selfPtr)
{
    auto* self = static_cast<CurlRequest*>(selfPtr);
    const size_t n = size * count;
    std::string line(data, n);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    ++self->m_activity;
    if (line.rfind("HTTP/", 0) == 0) {
        self->m_currentLines.clear();
        self->m_currentHasLocation = false;
        const size_t sp = line.find(' ');
        self->m_currentStatus = sp == std::string::npos ? 0 : std::atoi(line.c_str() + sp + 1);
        self->m_currentLines.push_back(line);
        return n;
    }
    if (line.empty()) {
        const int status = self->m_currentStatus;
        const bool followed = isFollowedRedirect(status) && self->m_currentHasLocation;
        self->m_followPending = followed;
        if (status >= 200 && !followed) {
            self->m_finalLines = self->m_currentLines;
            self->m_finalStatus = status;
            self->m_headersDone = true;
        }
        return n;
    }
    if (line.size() > 9 && strncasecmp(line.c_str(), "location:", 9) == 0)
        self->m_currentHasLocation = true;
    // Bounded: a server cannot grow the stored block without limit.
    if (self->m_currentLines.size() < 256)
        self->m_currentLines.push_back(line.substr(0, 8192));
    return n;
}

void CurlRequest::resume()
{
    const bool sendReady = m_sendPaused && (m_queue.size() > m_queueOffset || m_queued >= m_bodyLength);
    const bool recvReady = m_recvPaused && m_body.size() < kBodyLimit;
    if (!sendReady && !recvReady)
        return;
    if (sendReady)
        m_sendPaused = false;
    if (recvReady)
        m_recvPaused = false;
    const int mask = (m_sendPaused ? CURLPAUSE_SEND : 0) | (m_recvPaused ? CURLPAUSE_RECV : 0);
    curl_easy_pause(m_easy, mask);
}

bool CurlRequest::followRedirect()
{
    char* location = nullptr;
    if (++m_redirects > kMaxRedirects ||
        curl_easy_getinfo(m_easy, CURLINFO_REDIRECT_URL, &location) != CURLE_OK || !location)
        return false;
    const std::string next = location;
    curl_multi_remove_handle(m_multi, m_easy);
    curl_easy_setopt(m_easy, CURLOPT_URL, next.c_str());
    curl_easy_setopt(m_easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(m_easy, CURLOPT_CUSTOMREQUEST, static_cast<char*>(nullptr));
    m_followPending = false;
    m_done = false;
    m_result = CURLE_OK;
    m_currentLines.clear();
    m_body.clear();
    m_sendPaused = false;
    m_recvPaused = false;
    if (curl_multi_add_handle(m_multi, m_easy) != CURLM_OK)
        return false;
    ++m_activity;
    return true;
}

bool CurlRequest::pump(const std::function<bool()>& ready, Clock::time_point deadline)
{
    auto lastProgress = Clock::now();
    uint64_t seen = m_activity;
    for (;;) {
        if (failed())
            return false;
        if (ready())
            return true;
        if (m_done && m_followPending && m_result == CURLE_OK && m_queued >= m_bodyLength) {
            if (!followRedirect())
                return fail(ERROR_HTTP_REDIRECT_FAILED);
            continue;
        }
        if (m_done) {
            if (m_result != CURLE_OK)
                return fail(mapError(m_result));
            return fail(ERROR_INTERNET_CONNECTION_ABORTED);
        }
        resume();
        int running = 0;
        curl_multi_perform(m_multi, &running);
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(m_multi, &left)) {
            if (msg->msg == CURLMSG_DONE && msg->easy_handle == m_easy) {
                m_done = true;
                m_result = msg->data.result;
            }
        }
        if (m_aborted.load())
            continue;
        if (ready() || m_done)
            continue;
        const auto now = Clock::now();
        if (m_activity != seen) {
            seen = m_activity;
            lastProgress = now;
        }
        // Connecting has its own limit in curl; past it, silence means a stalled peer.
        const auto silent = std::chrono::duration_cast<std::chrono::milliseconds>(now - lastProgress).count();
        const long long limit =
            m_bodyAsked || m_headersDone ? m_timeouts.stallMs : m_timeouts.connectMs + m_timeouts.stallMs;
        if (silent >= limit || now >= deadline)
            return fail(ERROR_INTERNET_TIMEOUT);
        const long long untilDeadline =
            deadline == Clock::time_point::max()
                ? 1000
                : std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1;
        const int wait = static_cast<int>(std::min<long long>({limit - silent, untilDeadline, 1000}));
        curl_multi_poll(m_multi, nullptr, 0, wait, nullptr);
    }
}

bool CurlRequest::write(const void* data, size_t size)
{
    if (!m_started)
        return refuse(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    if (failed())
        return false;
    if (m_queued + size > m_bodyLength)
        return refuse(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    // Connection, name and TLS failures show at the first write, as the caller expects.
    if (!m_bodyAsked && !pump([this] { return m_bodyAsked; }))
        return false;
    if (m_done && m_queued < m_bodyLength)
        return fail(m_result != CURLE_OK ? mapError(m_result) : ERROR_INTERNET_CONNECTION_ABORTED);
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        if (m_queue.size() - m_queueOffset >= kQueueLimit &&
            !pump([this] { return m_queue.size() - m_queueOffset < kQueueLimit; }))
            return false;
        if (m_queueOffset > 0) {
            m_queue.erase(0, m_queueOffset);
            m_queueOffset = 0;
        }
        const size_t n = std::min(size, kQueueLimit - m_queue.size());
        m_queue.append(p, n);
        m_queued += n;
        p += n;
        size -= n;
    }
    return true;
}

bool CurlRequest::end()
{
    if (!m_started)
        return refuse(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    if (failed())
        return false;
    if (m_queued < m_bodyLength)
        return refuse(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    return pump([this] { return m_headersDone; },
                Clock::now() + std::chrono::milliseconds(m_timeouts.answerMs));
}

bool CurlRequest::read(void* buffer, size_t size, size_t& got)
{
    got = 0;
    if (!m_headersDone && !end())
        return false;
    // The end of the answer, a failure after some bytes, or enough bytes: all end the wait.
    pump([this, size] { return m_body.size() >= size || m_done; });
    if (m_aborted.load())
        return fail(ERROR_INTERNET_OPERATION_CANCELLED);
    got = std::min(size, m_body.size());
    std::memcpy(buffer, m_body.data(), got);
    m_body.erase(0, got);
    if (got == 0 && m_done && m_result != CURLE_OK)
        return fail(mapError(m_result));
    m_error = 0;
    return true;
}

bool CurlRequest::status(DWORD& code) const
{
    if (!m_headersDone)
        return false;
    code = static_cast<DWORD>(m_finalStatus);
    return true;
}

bool CurlRequest::rawHeaders(std::string& out) const
{
    if (!m_headersDone)
        return false;
    out.clear();
    for (const std::string& line : m_finalLines)
        out += line + "\r\n";
    out += "\r\n";
    return true;
}

void CurlRequest::abort()
{
    m_aborted.store(true);
    if (m_multi)
        curl_multi_wakeup(m_multi);
}

} // namespace pictavo::platform
