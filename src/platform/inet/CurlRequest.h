#pragma once

#include "platform/kernel/WinTypes.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

typedef void CURL;
typedef void CURLM;
struct curl_slist;

namespace pictavo::platform {

struct CurlTimeouts
{
    DWORD connectMs = 30000;
    DWORD stallMs = 30000;
    // From the end of the body to the last line of the final answer's headers, redirects
    // included: a server that keeps sending something never holds the caller for longer.
    DWORD answerMs = 60000;
};

// One HTTP request driven by curl's multi interface on the thread that calls it. Only abort()
// may be called from another thread. Failures leave a Win32 error number in error().
class CurlRequest
{
public:
    CurlRequest(std::string url, std::string verb, DWORD flags, CurlTimeouts timeouts);
    ~CurlRequest();
    CurlRequest(const CurlRequest&) = delete;
    CurlRequest& operator=(const CurlRequest&) = delete;

    bool start(const std::vector<std::string>& headers, uint64_t bodyLength);
    bool write(const void* data, size_t size);
    bool end();
    bool read(void* buffer, size_t size, size_t& got);
    bool status(DWORD& code) const;
    // Status line and header lines of the final answer, each ended by CRLF, then CRLF.
    bool rawHeaders(std::string& out) const;
    void abort();

    DWORD error() const { return m_error; }

    static constexpr size_t kQueueLimit = 64 * 1024;

private:
    static size_t onRead(char* buffer, size_t size, size_t count, void* self);
    static size_t onWrite(char* data, size_t size, size_t count, void* self);
    static size_t onHeader(char* data, size_t size, size_t count, void* self);

    // fail ends the transfer for good; refuse turns down one call that came at the wrong time.
    bool fail(DWORD error);
    bool refuse(DWORD error);
    bool failed();
    // Drives the transfer until ready() holds; false on failure, abort, stall or deadline.
    bool pump(const std::function<bool()>& ready,
              std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max());
    bool followRedirect();
    void resume();
    static DWORD mapError(int curlCode);

    std::string m_url;
    std::string m_verb;
    DWORD m_flags;
    CurlTimeouts m_timeouts;
    CURLM* m_multi = nullptr;
    CURL* m_easy = nullptr;
    curl_slist* m_headers = nullptr;
    std::atomic<bool> m_aborted{false};
    bool m_started = false;
    DWORD m_error = 0;

    // Outgoing body: the bytes the writer queued and curl has not yet taken.
    std::string m_queue;
    size_t m_queueOffset = 0;
    uint64_t m_bodyLength = 0;
    uint64_t m_queued = 0;
    bool m_bodyAsked = false;
    bool m_sendPaused = false;

    // Answer: the current response's header lines, the final one's once complete.
    int m_currentStatus = 0;
    bool m_currentHasLocation = false;
    // The answer just read is a redirect this request follows once it has ended.
    bool m_followPending = false;
    int m_redirects = 0;
    std::vector<std::string> m_currentLines;
    std::vector<std::string> m_finalLines;
    int m_finalStatus = 0;
    bool m_headersDone = false;
    std::string m_body;
    bool m_recvPaused = false;
    bool m_done = false;
    int m_result = 0;
    uint64_t m_activity = 0;
};

} // namespace pictavo::platform
