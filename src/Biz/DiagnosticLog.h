#pragma once

#include <mutex>
#include <string>

// The support log: one named logger shared by every control in the process.
class DiagnosticLog
{
public:
    static DiagnosticLog* Instance();

    DiagnosticLog() = default;
    virtual ~DiagnosticLog();
    DiagnosticLog(const DiagnosticLog&) = delete;
    DiagnosticLog& operator=(const DiagnosticLog&) = delete;

    // Makes the file the log's one file (closing the previous one) and records its creation,
    // when enabled. The control is marked safe for untrusted pages, so a path naming some other
    // existing file, a link or a name with a NUL in it is refused and left untouched.
    void Open(bool enabled, const std::u16string& path);
    bool Enabled() const;

    // True for an opened empty regular file, or one whose first line looks like our record.
    static bool MayTruncate(int fd);

private:
    mutable std::mutex m_lock;
    bool m_enabled = false;
    std::string m_appender;
};
