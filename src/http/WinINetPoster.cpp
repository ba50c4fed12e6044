#include "http/WinINetPoster.h"

#include "http/FormatSize.h"
#include "http/HttpHeader.h"
#include "http/IFileTransferEvent.h"
#include "http/SpeedCalculater.h"
#include "http/UrlComponents.h"
#include "image/CxFile.h"
#include "platform/inet/Utf8Lossy.h"
#include "platform/inet/WinInet.h"
#include "platform/kernel/Strings.h"
#include "platform/kernel/Synch.h"
#include "platform/kernel/Tick.h"

#include <atomic>
#include <cstdio>
#include <string>

using pictavo::platform::toLocalCodePage;

struct WinINetPoster::Upload
{
    WinINetPoster* poster = nullptr;
    WorkerHold hold = nullptr;
    int itemId = -1;
    DWORD state = kStarting;
    int errorCode = 0;
    // Set under the poster's lock; read without it once per chunk.
    std::atomic<int> cancel{0};
    // Guarded by the poster's lock.
    HINTERNET request = nullptr;
    HANDLE thread = nullptr;
    DWORD threadId = 0;
};

namespace {

constexpr DWORD kSecureFlags =
    INTERNET_FLAG_SECURE | INTERNET_FLAG_IGNORE_CERT_DATE_INVALID | INTERNET_FLAG_IGNORE_CERT_CN_INVALID;

void writeStdout(const std::string& bytes)
{
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

// One clock read per chunk serves both the speed sample and the report throttle.
class ChunkSpeed : public SpeedCalculater
{
public:
    DWORD tick = 0;

protected:
    DWORD Now() override { return tick; }
};

} // namespace

WinINetPoster::WinINetPoster() = default;

WinINetPoster::~WinINetPoster()
{
    Cancel();
    m_lock.Lock();
    std::shared_ptr<Upload> last = std::move(m_current);
    HANDLE thread = last ? last->thread : nullptr;
    const DWORD threadId = last ? last->threadId : 0;
    m_lock.Unlock();
    if (!thread)
        return;
    // Destroyed from inside its own sink call, the worker touches only its context from here.
    if (threadId != GetCurrentThreadId())
        WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

void WinINetPoster::SetUrl(const std::u16string& url)
{
    m_url = url;
}

void WinINetPoster::SetEncoding(const std::u16string& encoding)
{
    m_form.SetEncoding(encoding);
}

void WinINetPoster::Cancel()
{
    HINTERNET request = nullptr;
    m_lock.Lock();
    if (m_current) {
        m_current->cancel = 1;
        request = m_current->request;
        m_current->request = nullptr;
    }
    m_lock.Unlock();
    if (request)
        InternetCloseHandle(request);
}

bool WinINetPoster::IsCancelled(Upload& upload)
{
    return upload.cancel.load(std::memory_order_acquire) != 0;
}

bool WinINetPoster::WaitForPrevious(DWORD timeoutMs)
{
    m_lock.Lock();
    std::shared_ptr<Upload> previous = m_current;
    HANDLE thread = previous ? previous->thread : nullptr;
    const DWORD threadId = previous ? previous->threadId : 0;
    m_lock.Unlock();
    if (!thread)
        return true;
    // From inside the previous upload's final sink call that worker is done with the poster.
    if (threadId != GetCurrentThreadId() && WaitForSingleObject(thread, timeoutMs) != WAIT_OBJECT_0)
        return false;
    m_lock.Lock();
    if (m_current == previous)
        m_current.reset();
    m_lock.Unlock();
    CloseHandle(thread);
    return true;
}

bool WinINetPoster::Post(int itemId, CxFile* stream, const std::u16string& fileName,
                         const std::u16string& fileFieldName)
{
    if (!stream || !WaitForPrevious(kJoinTimeoutMs))
        return false;

    auto upload = std::make_shared<Upload>();
    upload->poster = this;
    upload->hold = m_workerHold;
    upload->itemId = itemId;
    m_itemId = itemId;
    m_stream = stream;
    const int32_t size = stream->Size();
    m_fileSize = size > 0 ? static_cast<uint32_t>(size) : 0;
    m_bytesSent = 0;
    m_speed = 0;
    m_state = kStarting;
    m_errorCode = 0;
    // A status never carries over: an upload whose answer cannot be read must not pass for
    // the previous one's success.
    m_httpStatus = 0;
    m_form.AddStreamField(m_fileSize, fileName, fileFieldName);

    auto* arg = new std::shared_ptr<Upload>(upload);
    if (upload->hold)
        upload->hold(true);
    m_lock.Lock();
    m_current = upload;
    unsigned threadId = 0;
    const uintptr_t thread = _beginthreadex(nullptr, 0, &WinINetPoster::WorkerMain, arg, 0, &threadId);
    if (thread == 0) {
        m_current.reset();
        m_lock.Unlock();
        delete arg;
        if (upload->hold)
            upload->hold(false);
        return false;
    }
    upload->thread = reinterpret_cast<HANDLE>(thread);
    upload->threadId = threadId;
    m_lock.Unlock();
    return true;
}

unsigned WinINetPoster::WorkerMain(void* arg)
{
    std::shared_ptr<Upload> upload = std::move(*static_cast<std::shared_ptr<Upload>*>(arg));
    delete static_cast<std::shared_ptr<Upload>*>(arg);
    upload->poster->Work(*upload);
    const WorkerHold hold = upload->hold;
    upload.reset();
    if (hold)
        hold(false);
    return 0;
}

void WinINetPoster::Work(Upload& upload)
{
    UrlComponents url;
    url.Split(m_url);
    const DWORD flags = url.secure ? kSecureFlags : INTERNET_FLAG_NO_CACHE_WRITE;

    HINTERNET root = InternetOpenW(u"Sendrel", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET connection = root ? InternetConnectW(root, url.host.c_str(), url.port, nullptr, nullptr,
                                                   INTERNET_SERVICE_HTTP, 0, 0)
                                : nullptr;
    if (!connection) {
        upload.state = kFailed;
        upload.errorCode = 0;
    } else {
        upload.state = kGoing;
    }

    HINTERNET request = nullptr;
    if (upload.state & kGoing) {
        request =
            HttpOpenRequestW(connection, u"POST", url.path.c_str(), nullptr, nullptr, nullptr, flags, 0);
        m_lock.Lock();
        upload.request = request;
        if (upload.cancel)
            upload.state = kCancelled;
        m_lock.Unlock();
        if (!request) {
            upload.state = kFailed;
            upload.errorCode = 1;
        }
    }
    if (upload.state & kGoing) {
        const std::u16string header = HttpHeader().Render();
        INTERNET_BUFFERSW buffers{};
        buffers.dwStructSize = sizeof buffers;
        buffers.lpcszHeader = header.c_str();
        buffers.dwHeadersLength = static_cast<DWORD>(header.size());
        buffers.dwBufferTotal = static_cast<DWORD>(m_form.GetTotalLength());
        HttpSendRequestExW(request, &buffers, nullptr, 0, 0);
    }
    if (upload.state & kGoing) {
        const std::string head = toLocalCodePage(m_form.RenderHead());
        DWORD written = 0;
        if (!InternetWriteFile(request, head.data(), static_cast<DWORD>(head.size()), &written) ||
            written != head.size()) {
            upload.state = kFailed;
            upload.errorCode = 1;
        }
    }
    if (upload.state & kGoing)
        StreamData(upload, request);
    if (upload.state & kGoing) {
        const std::string tail = toLocalCodePage(m_form.RenderTail());
        DWORD written = 0;
        if (!InternetWriteFile(request, tail.data(), static_cast<DWORD>(tail.size()), &written) ||
            written != tail.size()) {
            upload.state = kFailed;
            upload.errorCode = 1;
        }
    }
    if (upload.state & kGoing)
        HttpEndRequestW(request, nullptr, 0, 0);
    // A cancelled upload has no answer to read and nothing to say about one.
    if ((upload.state & kComplete) && !IsCancelled(upload)) {
        ReadAnswer(request);
        DWORD status = 0;
        DWORD length = sizeof status;
        if (HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length,
                           nullptr))
            m_httpStatus = static_cast<int>(status);
        else
            writeStdout("Error on HttpQueryInfo " + std::to_string(GetLastError()) + " \n");
    }

    m_lock.Lock();
    request = upload.request;
    upload.request = nullptr;
    m_lock.Unlock();
    if (request)
        InternetCloseHandle(request);
    if (connection)
        InternetCloseHandle(connection);
    if (root)
        InternetCloseHandle(root);

    m_state = upload.state;
    m_errorCode = upload.errorCode;
    if (IsCancelled(upload))
        return;
    IFileTransferEvent* sink = m_sink;
    if (!sink)
        return;
    // Once the data went out the server's status is the code (1 when none could be read):
    // code 0 stays reserved for a URL without a host.
    if ((upload.state & kComplete) && m_httpStatus == 200)
        sink->OnTransferComplete(upload.itemId);
    else if (upload.state & kComplete)
        sink->OnTransferError(upload.itemId, m_httpStatus != 0 ? m_httpStatus : 1);
    else
        sink->OnTransferError(upload.itemId, upload.errorCode);
    // The poster may already serve the next upload or be gone: touch nothing of it here.
}

void WinINetPoster::StreamData(Upload& upload, HINTERNET request)
{
    char chunk[kChunk];
    m_stream->Seek(0, 0);
    size_t count = m_stream->Read(chunk, 1, sizeof chunk);
    ChunkSpeed speed;
    speed.tick = GetTickCount();
    speed.Init(0);
    DWORD lastReport = speed.tick;
    while (count > 0 && (upload.state & kGoing)) {
        if (IsCancelled(upload)) {
            upload.state = kCancelled;
            break;
        }
        DWORD written = 0;
        if (!InternetWriteFile(request, chunk, static_cast<DWORD>(count), &written) || written != count) {
            upload.state = kFailed;
            upload.errorCode = 1;
            break;
        }
        m_bytesSent += written;
        const DWORD now = GetTickCount();
        speed.tick = now;
        m_speed = static_cast<uint32_t>(speed.Sample(m_bytesSent));
        if (now - lastReport >= 1000) {
            lastReport = now;
            if (m_sink && !IsCancelled(upload))
                m_sink->OnTransferProgress(upload.itemId, m_bytesSent, FormatSize(m_speed));
        }
        count = m_stream->Read(chunk, 1, sizeof chunk);
    }
    if (upload.state & kGoing) {
        DWORD written = 0;
        if (!InternetWriteFile(request, "\r\n", 2, &written) || written != 2) {
            upload.state = kFailed;
            upload.errorCode = 1;
        }
    }
    // Only a transfer still going can be complete: a failed write never passes for success.
    if ((upload.state & kGoing) && m_bytesSent == m_fileSize)
        upload.state |= kComplete;
}

void WinINetPoster::ReadAnswer(HINTERNET request)
{
    char answer[kAnswerBytes + 1] = {};
    DWORD read = 0;
    InternetReadFile(request, answer, kAnswerBytes, &read);

    WCHAR headers[256];
    DWORD length = sizeof headers;
    if (HttpQueryInfoW(request, HTTP_QUERY_RAW_HEADERS_CRLF, headers, &length, nullptr)) {
        const std::u16string_view text(headers, length / sizeof(WCHAR));
        m_charset = text.find(u"charset=utf-8") != std::u16string_view::npos ? u"utf-8" : u"gb2312";
    } else {
        const std::string number = std::to_string(GetLastError());
        writeStdout(toLocalCodePage(u"查询Content-Type错误： " +
                                    std::u16string(number.begin(), number.end()) + u" \n"));
    }

    const std::string_view bytes(answer);
    m_responseText = m_charset == u"utf-8" ? pictavo::platform::decodeUtf8Lossy(bytes)
                                           : pictavo::platform::fromLocalCodePage(bytes);
}
