// pictavo-receiver: an upload server for trying the component and for its tests.

#include "FieldDecoder.h"
#include "MultipartParser.h"

#include "platform/kernel/Strings.h"

#include "RequestHead.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <strings.h>
#include <thread>
#include <vector>

namespace {

struct Options
{
    int port = 0;
    std::string dir;
    FieldDecoder::Encoding encoding = FieldDecoder::Encoding::Utf8;
    int status = 200;
    bool hasAnswer = false;
    std::string answer;
    std::string charset = "utf-8";
    int delayMs = 0;
};

// All text parts of one request together; a file part is streamed and not counted.
constexpr size_t kTextLimit = 4 << 20;
constexpr size_t kTextParts = 1000;

void usage()
{
    std::fprintf(stderr,
                 "usage: pictavo-receiver [--port N] [--dir DIR] [--encoding UTF-8|GB2312] [--status CODE]\n"
                 "                        [--answer TEXT] [--charset utf-8|gb2312|none] [--delay-ms N]\n");
}

bool parseInt(const char* text, int low, int high, int& out)
{
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < low || v > high)
        return false;
    out = static_cast<int>(v);
    return true;
}

bool parseOptions(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!v)
            return false;
        ++i;
        if (a == "--port") {
            if (!parseInt(v, 0, 65535, o.port))
                return false;
        } else if (a == "--dir") {
            o.dir = v;
        } else if (a == "--encoding") {
            if (strcasecmp(v, "UTF-8") == 0)
                o.encoding = FieldDecoder::Encoding::Utf8;
            else if (strcasecmp(v, "GB2312") == 0)
                o.encoding = FieldDecoder::Encoding::Gb2312;
            else
                return false;
        } else if (a == "--status") {
            if (!parseInt(v, 100, 999, o.status))
                return false;
        } else if (a == "--answer") {
            o.answer = v;
            o.hasAnswer = true;
        } else if (a == "--charset") {
            o.charset = v;
            if (o.charset != "utf-8" && o.charset != "gb2312" && o.charset != "none")
                return false;
        } else if (a == "--delay-ms") {
            if (!parseInt(v, 0, 3600000, o.delayMs))
                return false;
        } else {
            return false;
        }
    }
    return true;
}

// One upload: text parts kept (bounded), the file part streamed to disk or counted.
class Upload : public MultipartParser::Handler
{
public:
    explicit Upload(const Options& options) : m_options(options) {}
    ~Upload()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    void onPartBegin(const MultipartParser::Part& part) override
    {
        m_inFile = part.hasFilename;
        m_value.clear();
        // Part names travel in the sender's local code page whatever the encoding.
        const std::string name = pictavo::platform::toUtf8(pictavo::platform::fromLocalCodePage(part.name));
        if (!m_inFile)
            m_name = name;
        if (!m_inFile || m_seenFile)
            return;
        m_seenFile = true;
        m_fileField = name;
        m_fileName = FieldDecoder::fileName(part.filename, m_options.encoding);
        if (!m_options.dir.empty())
            openStore(FieldDecoder::safeName(std::filesystem::path(m_fileName).filename().string()));
    }

    bool onPartData(const char* data, size_t size) override
    {
        if (m_inFile) {
            m_fileBytes += size;
            return m_fd < 0 || ::write(m_fd, data, size) == static_cast<ssize_t>(size);
        }
        if (m_textBytes + size > kTextLimit)
            return false;
        m_textBytes += size;
        m_value.append(data, size);
        return true;
    }

    void onPartEnd() override
    {
        if (m_inFile || m_fields.size() >= kTextParts)
            return;
        m_fields.emplace_back(m_name, FieldDecoder::textValue(m_value, m_options.encoding));
    }

    // Writes the metadata beside the stored file; false when the file could not be stored.
    bool finish()
    {
        if (m_fd < 0)
            return m_options.dir.empty() || !m_seenFile;
        ::close(m_fd);
        m_fd = -1;
        std::string meta = "file-field=" + escape(m_fileField) + "\nfilename=" + escape(m_fileName) +
                           "\nbytes=" + std::to_string(m_fileBytes) + "\n";
        for (const auto& [name, value] : m_fields)
            meta += escape(name) + "=" + escape(value) + "\n";
        const std::string metaPath = m_storedPath + ".fields";
        const int fd = ::open(metaPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0644);
        if (fd < 0)
            return false;
        const bool ok = ::write(fd, meta.data(), meta.size()) == static_cast<ssize_t>(meta.size());
        ::close(fd);
        return ok;
    }

    const std::string& fileName() const { return m_fileName; }
    const std::string& storedPath() const { return m_storedPath; }
    size_t fileBytes() const { return m_fileBytes; }
    size_t fieldCount() const { return m_fields.size(); }
    bool seenFile() const { return m_seenFile; }

private:
    static std::string escape(const std::string& s)
    {
        std::string out;
        for (const char c : s) {
            if (c == '\n')
                out += "\\n";
            else if (c == '\r')
                out += "\\r";
            else if (c == '\\')
                out += "\\\\";
            else
                out += c;
        }
        return out;
    }

    // The name is one plain entry (no separators), opened exclusively: nothing outside the
    // folder and no existing file is ever written.
    void openStore(const std::string& name)
    {
        const std::filesystem::path dir(m_options.dir);
        const std::filesystem::path base(name);
        const std::string stem = base.stem().string();
        const std::string ext = base.extension().string();
        for (int n = 0; n < 10000 && m_fd < 0; ++n) {
            const std::string candidate = n == 0 ? name : stem + "-" + std::to_string(n) + ext;
            const std::string path = (dir / candidate).string();
            m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0644);
            if (m_fd >= 0) {
                m_storedPath = path;
                // The metadata name must not exist either.
                if (std::filesystem::exists(path + ".fields")) {
                    ::close(m_fd);
                    m_fd = -1;
                    continue;
                }
            } else if (errno != EEXIST) {
                return;
            }
        }
    }

    const Options& m_options;
    bool m_inFile = false;
    bool m_seenFile = false;
    std::string m_name;
    std::string m_value;
    size_t m_textBytes = 0;
    std::vector<std::pair<std::string, std::string>> m_fields;
    std::string m_fileField;
    std::string m_fileName;
    std::string m_storedPath;
    size_t m_fileBytes = 0;
    int m_fd = -1;
};

std::mutex g_outputLock;

// One line per request, whatever a client put in its names.
void logLine(std::string line)
{
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20)
            c = '?';
    }
    std::lock_guard lock(g_outputLock);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

constexpr int kIdleMs = 30000;
constexpr int kMaxConnections = 64;
std::atomic<int> g_connections{0};

// Waits for input; false on time-out, end or error.
bool readSome(int fd, std::string& data)
{
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, kIdleMs) <= 0)
        return false;
    char buffer[65536];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0)
        return false;
    data.append(buffer, static_cast<size_t>(n));
    return true;
}

bool sendAll(int fd, const std::string& data)
{
    size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

const char* reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 303:
        return "See Other";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 411:
        return "Length Required";
    case 413:
        return "Payload Too Large";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

void respond(int fd, int status, const std::string& contentType, const std::string& body, bool keepAlive)
{
    std::string head = "HTTP/1.1 " + std::to_string(status) + " " + reason(status) + "\r\n";
    if (!contentType.empty())
        head += "Content-Type: " + contentType + "\r\n";
    head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    head += keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    sendAll(fd, head + body);
}

// One request; false when the connection must end.
bool serveRequest(int fd, std::string& pending, const Options& options)
{
    size_t end;
    while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
        if (pending.size() > RequestHead::kLimit) {
            respond(fd, 400, "text/plain", "header too large", false);
            return false;
        }
        if (!readSome(fd, pending))
            return false;
    }
    RequestHead head;
    if (end > RequestHead::kLimit || !head.parse(pending.substr(0, end))) {
        respond(fd, 400, "text/plain", "bad request", false);
        return false;
    }
    pending.erase(0, end + 4);
    const int64_t length = head.contentLength();
    if (head.method != "POST") {
        // Nothing to upload: drain a declared body and answer that only uploads are taken.
        if (length > 0) {
            respond(fd, 405, "text/plain", "uploads only", false);
            return false;
        }
        respond(fd, 405, "text/plain", "uploads only", head.keepAlive());
        logLine(head.method + " " + head.path + " 405");
        return head.keepAlive();
    }
    if (length < 0) {
        respond(fd, 411, "text/plain", "length required", false);
        return false;
    }

    const std::string boundary = MultipartParser::boundaryOf(head.header("Content-Type"));
    Upload upload(options);
    MultipartParser parser(boundary, upload);
    bool ok = !boundary.empty();
    int64_t left = length;
    while (left > 0) {
        if (pending.empty() && !readSome(fd, pending))
            return false;
        const size_t take =
            static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(pending.size())));
        if (ok)
            ok = parser.feed(pending.data(), take);
        pending.erase(0, take);
        left -= static_cast<int64_t>(take);
    }
    ok = ok && parser.finished() && upload.finish();
    if (options.delayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(options.delayMs));

    int status = options.status;
    std::string answer = options.hasAnswer ? options.answer : "stored " + upload.fileName();
    if (!ok) {
        status = 400;
        answer = "malformed upload";
    }
    if (options.charset == "gb2312")
        answer = pictavo::platform::toLocalCodePage(pictavo::platform::fromUtf8(answer));
    const bool keepAlive = head.keepAlive();
    respond(fd, status, options.charset == "none" ? "text/plain" : "text/plain; charset=" + options.charset,
            answer, keepAlive);
    logLine("POST " + head.path + " " + std::to_string(status) + " body=" + std::to_string(length) +
            " fields=" + std::to_string(upload.fieldCount()) + " file=\"" + upload.fileName() +
            "\" bytes=" + std::to_string(upload.fileBytes()) +
            (upload.storedPath().empty() ? "" : " stored=" + upload.storedPath()));
    return keepAlive;
}

void serveConnection(int fd, const Options& options)
{
    std::string pending;
    while (serveRequest(fd, pending, options)) {
    }
    ::close(fd);
    --g_connections;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parseOptions(argc, argv, options)) {
        usage();
        return 2;
    }
    if (!options.dir.empty() && !std::filesystem::is_directory(options.dir)) {
        std::fprintf(stderr, "pictavo-receiver: %s is not a folder\n", options.dir.c_str());
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);

    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(options.port));
    socklen_t len = sizeof addr;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener, 64) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        std::fprintf(stderr, "pictavo-receiver: cannot listen on port %d: %s\n", options.port,
                     std::strerror(errno));
        return 1;
    }
    logLine("listening on http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/");
    for (;;) {
        const int fd = ::accept(listener, nullptr, nullptr);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED || errno == EMFILE)
                continue;
            return 1;
        }
        if (g_connections.load() >= kMaxConnections) {
            respond(fd, 503, "text/plain", "busy", false);
            ::close(fd);
            continue;
        }
        ++g_connections;
        std::thread(serveConnection, fd, std::cref(options)).detach();
    }
}
