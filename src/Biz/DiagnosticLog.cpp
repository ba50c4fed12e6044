#include "Biz/DiagnosticLog.h"

#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include <log4cplus/fileappender.h>
#include <log4cplus/layout.h>
#include <log4cplus/logger.h>

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

} // namespace

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

bool DiagnosticLog::MayTruncate(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT;
    // A link could point anywhere, a device or pipe is nobody's log.
    if (!S_ISREG(st.st_mode))
        return false;
    if (st.st_size == 0)
        return true;

    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    char buf[4096];
    ssize_t got = 0;
    size_t total = 0;
    while (total < sizeof buf && (got = ::read(fd, buf + total, sizeof buf - total)) > 0)
        total += static_cast<size_t>(got);
    ::close(fd);
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
    if (!enabled || path.empty())
        return;
    const std::string file = pictavo::platform::toUtf8(path);
    if (!MayTruncate(file))
        return;

    log4cplus::SharedAppenderPtr appender(new log4cplus::FileAppender(file, std::ios_base::trunc, true));
    appender->setLayout(std::make_unique<log4cplus::PatternLayout>(Pattern));
    log4cplus::Logger logger = log4cplus::Logger::getInstance(LoggerName);
    logger.addAppender(appender);
    if (logger.isEnabledFor(log4cplus::WARN_LOG_LEVEL))
        logger.forcedLog(log4cplus::WARN_LOG_LEVEL, CreatedMessage, "Biz\\Log", 51);
}
