#include "platform/inet/WinInet.h"

#include "platform/inet/CurlRequest.h"
#include "platform/inet/Utf8Lossy.h"
#include "platform/kernel/Strings.h"
#include "platform/kernel/Synch.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <variant>

using pictavo::platform::CurlRequest;
using pictavo::platform::CurlTimeouts;

namespace {

struct Root
{
    CurlTimeouts timeouts;
};
struct Connection
{
    std::string host;
    INTERNET_PORT port;
    CurlTimeouts timeouts;
};
using Object = std::variant<Root, Connection, std::shared_ptr<CurlRequest>>;

// Handles are numbers that are never reused, so a stale or doubly closed handle is refused
// instead of reaching freed memory.
struct HandleTable
{
    std::mutex lock;
    std::unordered_map<uintptr_t, Object> objects;
    uintptr_t next = 0x1000;
    CurlTimeouts defaults;
};

HandleTable& table()
{
    static HandleTable* t = [] {
        auto* created = new HandleTable;
        if (const char* ms = std::getenv("PICTAVO_ANSWER_DEADLINE_MS")) {
            char* end = nullptr;
            const unsigned long value = std::strtoul(ms, &end, 10);
            if (*ms && !*end && value > 0 && value <= 0xFFFFFFFFul)
                created->defaults.answerMs = static_cast<DWORD>(value);
        }
        return created;
    }();
    return *t;
}

HINTERNET insert(Object object)
{
    HandleTable& t = table();
    std::lock_guard lock(t.lock);
    const uintptr_t id = t.next++;
    t.objects.emplace(id, std::move(object));
    return reinterpret_cast<HINTERNET>(id);
}

template <class T> bool lookup(HINTERNET handle, T& out)
{
    HandleTable& t = table();
    std::lock_guard lock(t.lock);
    const auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == t.objects.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (const T* value = std::get_if<T>(&it->second)) {
        out = *value;
        return true;
    }
    SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    return false;
}

// Counts closed handles: while it stands still, a thread's last request needs no table lookup.
std::atomic<uint64_t> closedHandles{0};

// The poster writes in small pieces, one lookup each. A thread keeps its last request, and a
// reference to it, until a handle is closed anywhere; so a request closed by another thread
// lives on until the call using it has returned.
struct LastRequest
{
    HINTERNET handle = nullptr;
    uint64_t closed = 0;
    std::shared_ptr<CurlRequest> object;
};
thread_local LastRequest lastRequest;

CurlRequest* request(HINTERNET handle)
{
    const uint64_t closed = closedHandles.load(std::memory_order_acquire);
    if (handle == lastRequest.handle && closed == lastRequest.closed && handle)
        return lastRequest.object.get();
    lastRequest = {};
    std::shared_ptr<CurlRequest> r;
    if (!lookup(handle, r))
        return nullptr;
    lastRequest = {handle, closed, std::move(r)};
    return lastRequest.object.get();
}

std::string narrow(LPCWSTR text)
{
    return text ? pictavo::platform::toUtf8(text) : std::string();
}

// Spaces, controls and non-ASCII characters are escaped (UTF-8); existing %xx escapes stay.
std::string escapePath(const std::string& path)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : path) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b >= 0x7F || b == '"' || b == '<' || b == '>' || b == '\\' || b == '^' || b == '`' ||
            b == '{' || b == '|' || b == '}') {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 15];
        } else {
            out += c;
        }
    }
    return out.empty() || out[0] != '/' ? "/" + out : out;
}

} // namespace

HINTERNET InternetOpenW(LPCWSTR, DWORD, LPCWSTR, LPCWSTR, DWORD)
{
    Root root;
    {
        std::lock_guard lock(table().lock);
        root.timeouts = table().defaults;
    }
    return insert(root);
}

HINTERNET InternetConnectW(HINTERNET internet, LPCWSTR serverName, INTERNET_PORT port, LPCWSTR, LPCWSTR,
                           DWORD, DWORD, DWORD_PTR)
{
    Root root;
    if (!lookup(internet, root))
        return nullptr;
    const std::string host = narrow(serverName);
    if (host.empty() || host.find_first_of("/?#@ \r\n") != std::string::npos) {
        SetLastError(ERROR_INTERNET_INVALID_URL);
        return nullptr;
    }
    return insert(Connection{host, port, root.timeouts});
}

HINTERNET HttpOpenRequestW(HINTERNET connect, LPCWSTR verb, LPCWSTR objectName, LPCWSTR, LPCWSTR, LPCWSTR*,
                           DWORD flags, DWORD_PTR)
{
    Connection c;
    if (!lookup(connect, c))
        return nullptr;
    const bool secure = flags & INTERNET_FLAG_SECURE;
    const std::string host = c.host.find(':') != std::string::npos ? "[" + c.host + "]" : c.host;
    std::string url = (secure ? "https://" : "http://") + host + ":" + std::to_string(c.port) +
                      escapePath(narrow(objectName));
    std::string method = verb && *verb ? narrow(verb) : "GET";
    return insert(std::make_shared<CurlRequest>(std::move(url), std::move(method), flags, c.timeouts));
}

BOOL HttpSendRequestExW(HINTERNET handle, INTERNET_BUFFERSW* in, INTERNET_BUFFERSW*, DWORD, DWORD_PTR)
{
    const auto r = request(handle);
    if (!r)
        return FALSE;
    std::vector<std::string> lines;
    uint64_t bodyLength = 0;
    if (in) {
        bodyLength = in->dwBufferTotal;
        if (in->lpcszHeader) {
            std::u16string_view block(in->lpcszHeader);
            if (in->dwHeadersLength != DWORD(-1) && in->dwHeadersLength < block.size())
                block = block.substr(0, in->dwHeadersLength);
            const std::string text = pictavo::platform::toLocalCodePage(block);
            size_t start = 0;
            while (start < text.size()) {
                size_t endOfLine = text.find('\n', start);
                if (endOfLine == std::string::npos)
                    endOfLine = text.size();
                std::string line = text.substr(start, endOfLine - start);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                if (!line.empty())
                    lines.push_back(line);
                start = endOfLine + 1;
            }
        }
    }
    return r->start(lines, bodyLength) ? TRUE : FALSE;
}

BOOL InternetWriteFile(HINTERNET handle, LPCVOID buffer, DWORD count, DWORD* written)
{
    if (written)
        *written = 0;
    const auto r = request(handle);
    if (!r || !r->write(buffer, count))
        return FALSE;
    if (written)
        *written = count;
    return TRUE;
}

BOOL HttpEndRequestW(HINTERNET handle, INTERNET_BUFFERSW*, DWORD, DWORD_PTR)
{
    const auto r = request(handle);
    return r && r->end() ? TRUE : FALSE;
}

BOOL InternetReadFile(HINTERNET handle, LPVOID buffer, DWORD count, DWORD* read)
{
    if (read)
        *read = 0;
    const auto r = request(handle);
    size_t got = 0;
    if (!r || !r->read(buffer, count, got))
        return FALSE;
    if (read)
        *read = static_cast<DWORD>(got);
    return TRUE;
}

namespace {

// A query's text answer: the length in bytes with the terminator when it does not fit,
// without it when it does.
BOOL copyText(const std::u16string& text, LPVOID buffer, DWORD* length)
{
    const DWORD needed = static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR));
    if (*length < needed || !buffer) {
        *length = needed;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(buffer, text.c_str(), needed);
    *length = needed - sizeof(WCHAR);
    return TRUE;
}

} // namespace

BOOL HttpQueryInfoW(HINTERNET handle, DWORD infoLevel, LPVOID buffer, DWORD* length, DWORD*)
{
    const auto r = request(handle);
    if (!r)
        return FALSE;
    if (!length) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const DWORD level = infoLevel & 0xFFFF;
    const bool number = infoLevel & HTTP_QUERY_FLAG_NUMBER;
    if (level == HTTP_QUERY_STATUS_CODE) {
        DWORD code = 0;
        if (!r->status(code)) {
            SetLastError(ERROR_HTTP_HEADER_NOT_FOUND);
            return FALSE;
        }
        if (number) {
            if (*length < sizeof(DWORD) || !buffer) {
                *length = sizeof(DWORD);
                SetLastError(ERROR_INSUFFICIENT_BUFFER);
                return FALSE;
            }
            std::memcpy(buffer, &code, sizeof code);
            *length = sizeof(DWORD);
            return TRUE;
        }
        const std::string digits = std::to_string(code);
        return copyText(std::u16string(digits.begin(), digits.end()), buffer, length);
    }
    if (level == HTTP_QUERY_RAW_HEADERS_CRLF) {
        std::string raw;
        if (!r->rawHeaders(raw)) {
            SetLastError(ERROR_HTTP_HEADER_NOT_FOUND);
            return FALSE;
        }
        return copyText(pictavo::platform::decodeUtf8Lossy(raw), buffer, length);
    }
    SetLastError(ERROR_HTTP_HEADER_NOT_FOUND);
    return FALSE;
}

BOOL InternetSetOptionW(HINTERNET internet, DWORD option, LPVOID buffer, DWORD length)
{
    if (!buffer || length < sizeof(DWORD)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD value = 0;
    std::memcpy(&value, buffer, sizeof value);
    HandleTable& t = table();
    std::lock_guard lock(t.lock);
    CurlTimeouts* timeouts = &t.defaults;
    if (internet) {
        const auto it = t.objects.find(reinterpret_cast<uintptr_t>(internet));
        if (it == t.objects.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        if (auto* root = std::get_if<Root>(&it->second))
            timeouts = &root->timeouts;
        else if (auto* c = std::get_if<Connection>(&it->second))
            timeouts = &c->timeouts;
        else {
            SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
            return FALSE;
        }
    }
    switch (option) {
    case INTERNET_OPTION_CONNECT_TIMEOUT:
        timeouts->connectMs = value;
        return TRUE;
    case INTERNET_OPTION_SEND_TIMEOUT:
    case INTERNET_OPTION_RECEIVE_TIMEOUT:
        timeouts->stallMs = value;
        return TRUE;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
}

BOOL InternetCloseHandle(HINTERNET internet)
{
    lastRequest = {};
    Object object;
    {
        HandleTable& t = table();
        std::lock_guard lock(t.lock);
        const auto it = t.objects.find(reinterpret_cast<uintptr_t>(internet));
        if (it == t.objects.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        object = std::move(it->second);
        t.objects.erase(it);
    }
    closedHandles.fetch_add(1, std::memory_order_release);
    // A call blocked on this request on another thread returns at once; the request itself
    // is freed when that call lets go of it.
    if (auto* r = std::get_if<std::shared_ptr<CurlRequest>>(&object))
        (*r)->abort();
    return TRUE;
}
