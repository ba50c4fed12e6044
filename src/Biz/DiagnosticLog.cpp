#include "Biz/DiagnosticLog.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include <log4cplus/appender.h>
#include <log4cplus/layout.h>
#include <log4cplus/logger.h>
#include <log4cplus/spi/loggingevent.h>

#include "platform/kernel/Strings.h"

namespace {

const char* const LoggerName = "PictavoPre(x86)";
const char* const Pattern = "%d{%m/%d/%y %H:%M:%S}    - %m [%l]%n";
// "日志创建成功" in GBK, whatever the process locale is.
const char* const CreatedMessage = "\xC8\xD5\xD6\xBE\xB4\xB4\xBD\xA8\xB3\xC9\xB9\xA6";

bool digitsAt(std::string_view s, size_t pos, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        if (!std::isdigit(static_cast<unsigned char>(s[pos + i])))
            return false;
    return true;
}

// "MM/DD/YY HH:MM:SS    - message [file:line]"
bool looksLikeRecord(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    constexpr std::string_view sep = "    - ";
    if (line.size() < 17 + sep.size() + 4)
        return false;
    if (!digitsAt(line, 0, 2) || line[2] != '/' || !digitsAt(line, 3, 2) || line[5] != '/' ||
        !digitsAt(line, 6, 2) || line[8] != ' ' || !digitsAt(line, 9, 2) || line[11] != ':' ||
        !digitsAt(line, 12, 2) || line[14] != ':' || !digitsAt(line, 15, 2))
        return false;
    if (line.substr(17, sep.size()) != sep || line.back() != ']')
        return false;
    const size_t open = line.rfind('[');
    const size_t colon = line.rfind(':');
    if (open == std::string_view::npos || open < 17 + sep.size() || colon == std::string_view::npos ||
        colon < open || colon + 2 > line.size() - 1)
        return false;
    return digitsAt(line, colon + 1, line.size() - 1 - (colon + 1));
}

// log4cplus's file appender opens by name; this one writes to the descriptor that was judged,
// so the file checked is the file written.
class DescriptorAppender : public log4cplus::Appender
{
public:
    explicit DescriptorAppender(int fd) : m_fd(fd) {}
    ~DescriptorAppender() override { destructorImpl(); }

    void close() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        closed = true;
    }

protected:
    void append(const log4cplus::spi::InternalLoggingEvent& event) override
    {
        const log4cplus::tstring& text = formatEvent(event);
        size_t done = 0;
        while (m_fd >= 0 && done < text.size()) {
            const ssize_t n = ::write(m_fd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += static_cast<size_t>(n);
        }
    }

private:
    int m_fd;
};

// Opens the one file the path names without following a link, judges what was opened and
// only then empties it; -1 when it is not ours to empty.
int openForTruncate(const std::string& path)
{
    struct stat st{};
    // Devices and pipes are not even opened: opening some has effects of its own.
    if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return -1;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                          0644);
    if (fd < 0)
        return -1;
    if (!DiagnosticLog::MayTruncate(fd) || ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void removeAppender(log4cplus::Logger& logger, const std::string& name)
{
    if (name.empty())
        return;
    if (log4cplus::SharedAppenderPtr appender = logger.getAppender(name)) {
        logger.removeAppender(appender);
        appender->close();
    }
}

} // namespace

DiagnosticLog::~DiagnosticLog()
{
    log4cplus::Logger logger = log4cplus::Logger::getInstance(LoggerName);
    removeAppender(logger, m_appender);
}

DiagnosticLog* DiagnosticLog::Instance()
{
    static DiagnosticLog* const instance = new DiagnosticLog;
    return instance;
}

bool DiagnosticLog::Enabled() const
{
    std::lock_guard guard(m_lock);
    return m_enabled;
}

bool DiagnosticLog::MayTruncate(int fd)
{
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    if (st.st_size == 0)
        return true;
    char buf[4096];
    ssize_t got = 0;
    size_t total = 0;
    while (total < sizeof buf &&
           (got = ::pread(fd, buf + total, sizeof buf - total, static_cast<off_t>(total))) > 0)
        total += static_cast<size_t>(got);
    const std::string_view head(buf, total);
    const size_t end = head.find('\n');
    if (end == std::string_view::npos)
        return false;
    return looksLikeRecord(head.substr(0, end));
}

void DiagnosticLog::Open(bool enabled, const std::u16string& path)
{
    std::lock_guard guard(m_lock);
    m_enabled = enabled;
    // A NUL would end the name early and open a file the page did not name.
    if (!enabled || path.empty() || path.find(u'\0') != std::u16string::npos)
        return;
    const int fd = openForTruncate(pictavo::platform::toUtf8(path));
    if (fd < 0)
        return;

    static std::atomic<unsigned> serial{0};
    log4cplus::SharedAppenderPtr appender(new DescriptorAppender(fd));
    appender->setName("file" + std::to_string(++serial));
    appender->setLayout(std::make_unique<log4cplus::PatternLayout>(Pattern));
    log4cplus::Logger logger = log4cplus::Logger::getInstance(LoggerName);
    removeAppender(logger, m_appender);
    m_appender = appender->getName();
    logger.addAppender(appender);
    if (logger.isEnabledFor(log4cplus::WARN_LOG_LEVEL))
        logger.forcedLog(log4cplus::WARN_LOG_LEVEL, CreatedMessage, "Biz\\Log", 51);
}
