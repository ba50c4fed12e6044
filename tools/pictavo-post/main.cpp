// pictavo-post: posts one file exactly as the control does.

#include "http/HttpForm.h"
#include "http/IFileTransferEvent.h"
#include "http/WinINetPoster.h"
#include "image/CxMemFile.h"
#include "platform/kernel/Strings.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

using pictavo::platform::fromUtf8;
using pictavo::platform::toUtf8;

namespace {

void usage()
{
    std::fprintf(stderr,
                 "usage: pictavo-post --url URL [--encoding E] [--file-field NAME] [--field NAME=VALUE]...\n"
                 "                    [--number NAME=N]... FILE\n");
}

// Prints the notifications; after a cancel nothing more is printed.
class Printer : public IFileTransferEvent
{
public:
    void SetPoster(WinINetPoster* poster) { m_poster = poster; }

    void OnTransferComplete(int) override
    {
        std::lock_guard lock(m_lock);
        if (m_quiet)
            return;
        const std::string text = toUtf8(m_poster->GetResponseText());
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
        m_result = 0;
        Wake();
    }
    void OnTransferError(int, int code) override
    {
        std::lock_guard lock(m_lock);
        if (m_quiet)
            return;
        std::printf("error %d\n", code);
        std::fflush(stdout);
        m_result = 1;
        Wake();
    }
    void OnTransferProgress(int, uint32_t bytes, std::u16string speed) override
    {
        std::lock_guard lock(m_lock);
        if (m_quiet)
            return;
        std::printf("progress %u %s\n", bytes, toUtf8(speed).c_str());
        std::fflush(stdout);
    }
    void OnTransferReserved(int32_t) override {}

    void Silence()
    {
        std::lock_guard lock(m_lock);
        m_quiet = true;
    }
    // -1 while the upload runs.
    // The main thread waits for signals: SIGUSR1 tells it the outcome is in.
    void SetWaiter(pthread_t thread) { m_waiter = thread; }
    int Result()
    {
        std::lock_guard lock(m_lock);
        return m_result;
    }

private:
    WinINetPoster* m_poster = nullptr;
    std::mutex m_lock;
    bool m_quiet = false;
    int m_result = -1;
    pthread_t m_waiter{};

    void Wake() { pthread_kill(m_waiter, SIGUSR1); }
};

bool splitPair(const char* arg, std::u16string& name, std::string& value)
{
    const char* eq = std::strchr(arg, '=');
    if (!eq || eq == arg)
        return false;
    name = fromUtf8(std::string(arg, eq));
    value = eq + 1;
    return true;
}

// The declared body length is a signed 32-bit number: leave room for the form around the file.
constexpr uint64_t kFileLimit = INT32_MAX - (1 << 20);

std::string tooLarge(uint64_t size)
{
    return size >= (uint64_t(1) << 31) ? "2 GiB or more" : "too large: the request must stay under 2 GiB";
}

// Reads the whole file; on failure returns why. Only regular files are taken: a pipe could
// block for ever and a device never ends. The size is a hint (files under /proc declare 0).
std::string readWhole(const std::string& path, std::vector<BYTE>& bytes)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return "no such file";
        if (errno == EACCES || errno == EPERM)
            return "permission denied";
        return std::strerror(errno);
    }
    struct stat info;
    std::string why;
    if (::fstat(fd, &info) != 0)
        why = std::strerror(errno);
    else if (!S_ISREG(info.st_mode))
        why = "not a regular file";
    else if (static_cast<uint64_t>(info.st_size) > kFileLimit)
        why = tooLarge(static_cast<uint64_t>(info.st_size));
    size_t length = 0;
    if (why.empty()) {
        bytes.resize(static_cast<size_t>(info.st_size) + 1);
        for (;;) {
            if (length == bytes.size()) {
                if (length > kFileLimit) {
                    why = tooLarge(length);
                    break;
                }
                bytes.resize(std::min<uint64_t>(std::max<size_t>(length * 2, 4096), kFileLimit + 1));
            }
            const ssize_t n = ::read(fd, bytes.data() + length, bytes.size() - length);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                why = std::strerror(errno);
                break;
            }
            if (n == 0)
                break;
            length += static_cast<size_t>(n);
        }
        if (why.empty() && length > kFileLimit)
            why = tooLarge(length);
    }
    ::close(fd);
    bytes.resize(why.empty() ? length : 0);
    return why;
}

// Only these schemes are posted to; any other would be sent as plain HTTP to its host.
bool isWebUrl(const std::string& url)
{
    const size_t sep = url.find("://");
    if (sep == std::string::npos)
        return true; // the poster itself refuses what it cannot split
    const std::string scheme = url.substr(0, sep);
    return strcasecmp(scheme.c_str(), "http") == 0 || strcasecmp(scheme.c_str(), "https") == 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::string url;
    std::u16string encoding = u"UTF-8";
    std::u16string fileField = u"img";
    std::string path;
    struct Field
    {
        std::u16string name;
        std::u16string text;
        bool number;
        uint32_t value;
    };
    std::vector<Field> fields;

    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--url" && hasValue) {
            url = argv[++i];
        } else if (a == "--encoding" && hasValue) {
            encoding = fromUtf8(argv[++i]);
        } else if (a == "--file-field" && hasValue) {
            fileField = fromUtf8(argv[++i]);
        } else if ((a == "--field" || a == "--number") && hasValue) {
            Field f{};
            std::string value;
            if (!splitPair(argv[++i], f.name, value)) {
                usage();
                return 2;
            }
            f.number = a == "--number";
            if (f.number) {
                char* end = nullptr;
                errno = 0;
                const unsigned long long n = std::strtoull(value.c_str(), &end, 10);
                if (value.empty() || *end || errno || n > 0xFFFFFFFFull || value[0] == '-') {
                    usage();
                    return 2;
                }
                f.value = static_cast<uint32_t>(n);
            } else {
                f.text = fromUtf8(value);
            }
            fields.push_back(std::move(f));
        } else if (!a.empty() && a[0] != '-' && path.empty()) {
            path = a;
        } else {
            usage();
            return 2;
        }
    }
    if (url.empty() || path.empty()) {
        usage();
        return 2;
    }

    if (!isWebUrl(url)) {
        std::fprintf(stderr, "pictavo-post: cannot post to %s: only http and https URLs are taken\n",
                     url.c_str());
        return 2;
    }
    std::vector<BYTE> bytes;
    const std::string unreadable = readWhole(path, bytes);
    if (!unreadable.empty()) {
        std::fprintf(stderr, "pictavo-post: cannot read %s: %s\n", path.c_str(), unreadable.c_str());
        return 2;
    }
    CxMemFile file(bytes.data(), static_cast<DWORD>(bytes.size()));

    // SIGINT and SIGUSR1 are taken by this thread alone, so the workers never see them.
    sigset_t interrupt;
    sigemptyset(&interrupt);
    sigaddset(&interrupt, SIGINT);
    sigaddset(&interrupt, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &interrupt, nullptr);

    // The poster goes first, so its worker has ended before the printer does.
    Printer printer;
    WinINetPoster poster;
    printer.SetPoster(&poster);
    printer.SetWaiter(pthread_self());
    poster.SetEventSink(&printer);
    poster.SetUrl(fromUtf8(url));
    poster.SetEncoding(encoding);
    HttpForm& form = poster.GetForm();
    form.RemoveAllFields();
    for (const Field& f : fields) {
        if (f.number)
            form.AddNumberField(f.name, f.value);
        else
            form.AddTextField(f.name, f.text);
    }
    const std::u16string name = fromUtf8(std::filesystem::path(path).filename().string());
    if (!poster.Post(0, &file, name, fileField)) {
        std::printf("error 1\n");
        return 1;
    }
    for (;;) {
        const int result = printer.Result();
        if (result >= 0)
            return result;
        int signal = 0;
        if (sigwait(&interrupt, &signal) == 0 && signal == SIGINT) {
            printer.Silence();
            poster.Cancel();
            return 130;
        }
    }
}
