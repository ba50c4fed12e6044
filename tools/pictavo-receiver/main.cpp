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
#include <sys/stat.h>
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

// Places a finished temporary file under its final name, never replacing anything there.
int placeWithoutReplacing(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
    // A file system without the flag: a hard link cannot replace either.
    if (::link(from.c_str(), to.c_str()) != 0)
        return errno;
    ::unlink(from.c_str());
    return 0;
}

bool writeAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// One upload: text parts kept (bounded), the file part streamed to a temporary file that takes
// its real name only once the whole request has arrived intact.
class Upload : public MultipartParser::Handler
{
public:
    enum class Outcome
    {
        Stored,
        Malformed,
        Refused,
        StoreFailed
    };

    explicit Upload(const Options& options) : m_options(options) {}
    ~Upload() { discard(); }

    void onPartBegin(const MultipartParser::Part& part) override
    {
        m_inFile = part.hasFilename;
        m_value.clear();
        // Part names travel in the sender's local code page whatever the encoding.
        const std::string name = pictavo::platform::toUtf8(pictavo::platform::fromLocalCodePage(part.name));
        if (!m_inFile) {
            m_name = name;
            if (m_fields.size() >= kTextParts)
                refuse("more than " + std::to_string(kTextParts) + " fields");
            return;
        }
        if (m_seenFile) {
            refuse("one file per request");
            return;
        }
        m_seenFile = true;
        m_fileField = name;
        m_fileName = FieldDecoder::fileName(part.filename, m_options.encoding);
        if (!m_options.dir.empty())
            openTemporary();
    }

    bool onPartData(const char* data, size_t size) override
    {
        if (!m_refusal.empty() || m_storeError != 0)
            return false;
        if (m_inFile) {
            m_fileBytes += size;
            if (m_fd >= 0 && !writeAll(m_fd, data, size)) {
                m_storeError = errno != 0 ? errno : EIO;
                return false;
            }
            return true;
        }
        if (m_textBytes + size > kTextLimit) {
            refuse("fields over " + std::to_string(kTextLimit >> 20) + " MiB");
            return false;
        }
        m_textBytes += size;
        m_value.append(data, size);
        return true;
    }

    void onPartEnd() override
    {
        if (m_inFile || !m_refusal.empty())
            return;
        m_fields.emplace_back(m_name, FieldDecoder::textValue(m_value, m_options.encoding));
    }

    // Gives the stored file and its metadata their names once the request proved whole;
    // otherwise removes what was written.
    Outcome finish(bool parsed)
    {
        if (!m_refusal.empty() || m_storeError != 0 || !parsed) {
            discard();
            return !m_refusal.empty() ? Outcome::Refused
                   : m_storeError     ? Outcome::StoreFailed
                                      : Outcome::Malformed;
        }
        if (m_fd < 0)
            return Outcome::Stored; // nothing to keep: no folder, or no file part
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0)
            return failStore(errno);
        std::string meta = "file-field=" + escape(m_fileField) + "\nfilename=" + escape(m_fileName) +
                           "\nbytes=" + std::to_string(m_fileBytes) + "\n";
        for (const auto& [name, value] : m_fields)
            meta += escape(name) + "=" + escape(value) + "\n";
        const int metaFd = createTemporary(m_metaTemp);
        if (metaFd < 0)
            return failStore(errno);
        const bool written = writeAll(metaFd, meta.data(), meta.size());
        const int writeError = errno;
        if (::close(metaFd) != 0 || !written)
            return failStore(written ? errno : writeError);
        return place();
    }

    const std::string& fileName() const { return m_fileName; }
    const std::string& storedPath() const { return m_storedPath; }
    const std::string& refusal() const { return m_refusal; }
    int storeError() const { return m_storeError; }
    size_t fileBytes() const { return m_fileBytes; }
    size_t fieldCount() const { return m_fields.size(); }

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

    void refuse(const std::string& why)
    {
        if (m_refusal.empty())
            m_refusal = why;
    }

    Outcome failStore(int error)
    {
        m_storeError = error != 0 ? error : EIO;
        discard();
        return Outcome::StoreFailed;
    }

    void discard()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        for (std::string* temp : {&m_dataTemp, &m_metaTemp}) {
            if (!temp->empty())
                ::unlink(temp->c_str());
            temp->clear();
        }
    }

    // Temporary names start with a dot, which a stored name never does.
    int createTemporary(std::string& path)
    {
        static std::atomic<unsigned> counter{0};
        for (int attempt = 0; attempt < 100; ++attempt) {
            path = (std::filesystem::path(m_options.dir) /
                    (".upload-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".part"))
                       .string();
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
            if (fd >= 0)
                return fd;
            if (errno != EEXIST)
                break;
        }
        const int error = errno;
        path.clear();
        errno = error;
        return -1;
    }

    void openTemporary()
    {
        m_fd = createTemporary(m_dataTemp);
        if (m_fd < 0)
            m_storeError = errno;
    }

    // The first free name of name, name-1, name-2...: free when neither it nor its metadata
    // name exists in any form (a dangling link counts as taken). Nothing existing is replaced.
    Outcome place()
    {
        const std::string name =
            FieldDecoder::safeName(std::filesystem::path(m_fileName).filename().string());
        const std::filesystem::path dir(m_options.dir);
        const std::filesystem::path base(name);
        const std::string stem = base.stem().string();
        const std::string ext = base.extension().string();
        for (int n = 0; n < 10000; ++n) {
            const std::string path = (dir / (n == 0 ? name : stem + "-" + std::to_string(n) + ext)).string();
            const std::string metaPath = path + ".fields";
            struct stat info;
            if (::lstat(path.c_str(), &info) == 0 || ::lstat(metaPath.c_str(), &info) == 0)
                continue;
            int error = placeWithoutReplacing(m_metaTemp, metaPath);
            if (error == EEXIST)
                continue;
            if (error != 0)
                return failStore(error);
            error = placeWithoutReplacing(m_dataTemp, path);
            if (error == 0) {
                m_dataTemp.clear();
                m_metaTemp.clear();
                m_storedPath = path;
                return Outcome::Stored;
            }
            // Lost a race for the file's name: the metadata goes back to its temporary name.
            if (placeWithoutReplacing(metaPath, m_metaTemp) != 0) {
                ::unlink(metaPath.c_str());
                m_metaTemp.clear();
                return failStore(error == EEXIST ? EIO : error);
            }
            if (error != EEXIST)
                return failStore(error);
        }
        return failStore(EEXIST);
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
    std::string m_dataTemp;
    std::string m_metaTemp;
    std::string m_storedPath;
    std::string m_refusal;
    int m_storeError = 0;
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
    case 507:
        return "Insufficient Storage";
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
        logLine(head.method + " " + head.path + " 405");
        respond(fd, 405, "text/plain", "uploads only", head.keepAlive());
        return head.keepAlive();
    }
    // Two framings of one body are a smuggling attempt: which one a proxy believed is unknown.
    if (!head.header("Transfer-Encoding").empty() && !head.header("Content-Length").empty()) {
        respond(fd, 400, "text/plain", "both Transfer-Encoding and Content-Length", false);
        return false;
    }
    if (length < 0) {
        respond(fd, 411, "text/plain", "length required", false);
        return false;
    }
    // A client that waits for leave to send its body gets it at once.
    if (strcasecmp(head.header("Expect").c_str(), "100-continue") == 0 && pending.empty() && length > 0)
        sendAll(fd, "HTTP/1.1 100 Continue\r\n\r\n");

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
    const Upload::Outcome outcome = upload.finish(ok && parser.finished());
    if (options.delayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(options.delayMs));

    int status = options.status;
    const std::string stored = upload.storedPath().empty()
                                   ? upload.fileName()
                                   : std::filesystem::path(upload.storedPath()).filename().string();
    std::string answer = options.hasAnswer ? options.answer : "stored " + stored;
    switch (outcome) {
    case Upload::Outcome::Stored:
        break;
    case Upload::Outcome::Malformed:
        status = 400;
        answer = "malformed upload";
        break;
    case Upload::Outcome::Refused:
        status = 413;
        answer = "refused: " + upload.refusal();
        break;
    case Upload::Outcome::StoreFailed: {
        const int error = upload.storeError();
        status = error == ENOSPC || error == EFBIG || error == EDQUOT ? 507 : 500;
        answer = std::string("cannot store the file: ") + std::strerror(error);
        break;
    }
    }
    if (options.charset == "gb2312")
        answer = pictavo::platform::toLocalCodePage(pictavo::platform::fromUtf8(answer));
    // Logged first: a client that has its answer finds the line there.
    logLine("POST " + head.path + " " + std::to_string(status) + " body=" + std::to_string(length) +
            " fields=" + std::to_string(upload.fieldCount()) + " file=\"" + upload.fileName() +
            "\" bytes=" + std::to_string(upload.fileBytes()) +
            (upload.storedPath().empty() ? "" : " stored=" + upload.storedPath()));
    const bool keepAlive = head.keepAlive();
    respond(fd, status, options.charset == "none" ? "text/plain" : "text/plain; charset=" + options.charset,
            answer, keepAlive);
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
    // A file size limit then fails the write instead of ending the server.
    std::signal(SIGXFSZ, SIG_IGN);

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
