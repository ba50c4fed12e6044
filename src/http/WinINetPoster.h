#pragma once

#include "http/HttpPoster.h"
#include "platform/kernel/WinTypes.h"
#include "threading/CriticalSection.h"

#include <memory>
#include <string>

class CxFile;

// Sends one file at a time as a multipart POST on a worker thread of its own. Uploads never
// overlap: Post waits for a cancelled upload's worker to end, and the destructor cancels and
// waits for the running one.
class WinINetPoster : public HttpPoster
{
public:
    WinINetPoster();
    ~WinINetPoster() override;

    void SetUrl(const std::u16string& url) override;
    virtual void Cancel();

    void SetEncoding(const std::u16string& encoding);
    // Called with true before an upload's worker starts and with false as that worker's very
    // last step: whoever loaded this code keeps it loaded while a worker still runs it.
    using WorkerHold = void (*)(bool held);
    void SetWorkerHold(WorkerHold hold) { m_workerHold = hold; }
    // Starts an upload and returns at once; the outcome arrives through the sink. The stream
    // must stay alive and unchanged until then. False (and no sink call) when no worker could
    // be started or the previous upload did not end in time. The file part is named
    // fileFieldName in the form.
    bool Post(int itemId, CxFile* stream, const std::u16string& fileName,
              const std::u16string& fileFieldName);

    const std::u16string& GetResponseText() const { return m_responseText; }
    const std::u16string& GetResponseCharset() const { return m_charset; }
    int GetHttpStatus() const { return m_httpStatus; }

    // How long Post waits for the previous upload's worker to end.
    static constexpr DWORD kJoinTimeoutMs = 10000;
    static constexpr size_t kChunk = 512;
    static constexpr size_t kAnswerBytes = 255;

private:
    struct Upload;

    static unsigned WorkerMain(void* arg);
    void Work(Upload& upload);
    void StreamData(Upload& upload, void* request);
    void ReadAnswer(void* request);
    bool IsCancelled(Upload& upload);
    bool WaitForPrevious(DWORD timeoutMs);

    Quendal::Threading::CriticalSection m_lock;
    std::shared_ptr<Upload> m_current; // guarded by m_lock
    std::u16string m_url;
    std::u16string m_responseText;
    std::u16string m_charset;
    int m_httpStatus = 0;
    CxFile* m_stream = nullptr;
    WorkerHold m_workerHold = nullptr;
};
