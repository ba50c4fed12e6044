#pragma once

#include <mutex>
#include <string>

// The support log: one named logger shared by every control in the process.
class DiagnosticLog
{
public:
    static DiagnosticLog* Instance();

    DiagnosticLog() = default;
    virtual ~DiagnosticLog() = default;
    DiagnosticLog(const DiagnosticLog&) = delete;
    DiagnosticLog& operator=(const DiagnosticLog&) = delete;

    // Adds a file to the log and records its creation, when enabled. The control is marked
    // safe for untrusted pages, so a path naming some other existing file is refused untouched.
    void Open(bool enabled, const std::u16string& path);
    bool Enabled() const;

    // True when the path is missing, an empty regular file, or a regular file whose first
    // line looks like one of our records.
    static bool MayTruncate(const std::string& path);

private:
    mutable std::mutex m_lock;
    bool m_enabled = false;
};
