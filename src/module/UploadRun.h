#pragma once

#include "image/UploadPreparation.h"
#include "platform/com/Apartment.h"
#include "platform/com/ComPtr.h"
#include "platform/win/WinUser.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class CPictavo;
class CxFile;
class ListView;
class ListViewPostItem;
class WinINetPoster;
struct IRunPanel;

// One control's upload run. The window thread decides everything: the poster's worker and the
// thread that prepares a picture only queue what happened (the Carry calls) and wake the
// window with WM_CARRIED. Uploads and preparations are numbered, so whatever a cancelled or
// finished run still reports is dropped; tiles are named by id.
class UploadRun
{
public:
    static constexpr UINT WM_CARRIED = WM_USER + 110;

    explicit UploadRun(CPictavo& control);
    ~UploadRun();
    UploadRun(const UploadRun&) = delete;
    UploadRun& operator=(const UploadRun&) = delete;

    void SetPanel(IRunPanel* panel) { m_panel = panel; }
    bool IsRunning() const { return m_running; }

    // The post button: starts a run, or asks whether to cancel the one going on.
    void OnPostClicked();
    void StartRun();
    // The user's cancel: the poster drops the upload and reports nothing more of it.
    void StopRun();
    // The window goes away: stops quietly and waits for every thread working for the run.
    void Shutdown();

    // Any thread.
    void CarryComplete(int uploadId);
    void CarryError(int uploadId, int errorCode);
    void CarryProgress(int uploadId, uint32_t bytesSent, const std::u16string& speedText);
    // Window thread, on WM_CARRIED.
    void OnCarried();

private:
    enum class End
    {
        Complete,
        Failed,
        Cancelled,
        NoData
    };
    // What the preparing thread needs of a tile, taken on the window thread, and what it made.
    struct Job
    {
        int tileId = -1;
        UploadPicture picture; // the bitmap is a handle of its own on the tile's pixels
        UploadSettings settings;
        PrepareResult result = PrepareResult::Failed;
        std::unique_ptr<CxMemFile> buffer;
        std::u16string name, fileName, lastWriteTime;
        UINT width = 0, height = 0;
        ~Job();
    };
    struct Notice
    {
        enum Kind
        {
            Progress,
            Complete,
            Error,
            Prepared
        } kind = Progress;
        int id = 0;
        uint32_t bytes = 0;
        uint32_t speed = 0;
        std::u16string text;
        std::unique_ptr<Job> job;
    };

    ListView* List() const;
    ListViewPostItem* FindTile(int id) const;
    void PostItem(int tileId);
    void Advance(uint32_t speed);
    void OnPrepared(Job& job);
    void Fail();
    void EndRun(End how);
    void SetText(UINT message, const std::u16string& text);
    void ShowRunTexts(uint32_t speed, const std::u16string& speedText);
    void Queue(Notice notice);
    void JoinPreparation();
    void Revoke();

    CPictavo& m_control;
    IRunPanel* m_panel = nullptr;
    std::atomic<HWND> m_window{nullptr};

    bool m_running = false;
    int m_runNumber = 0;
    int m_serial = 0;
    int m_activeUpload = 0; // the upload whose outcome the run waits for
    int m_activePrep = 0;   // the preparation whose result the run waits for
    int m_totalCount = 0;
    int m_nextIndex = 0;
    int64_t m_remainingBytes = 0;
    std::deque<int> m_queue;
    int m_currentTile = -1;

    ComPtr<IGlobalInterfaceTable> m_git;
    DWORD m_gitCookie = 0;

    std::mutex m_noticeLock;
    std::deque<Notice> m_notices;

    std::thread m_preparing;
    // The stream the poster was last given: a cancelled worker may read it until the next Post.
    std::unique_ptr<CxFile> m_sending;
    // Read by the poster's worker inside its sink calls; outlives every worker.
    std::atomic<WinINetPoster*> m_posterSeen{nullptr};
    std::unique_ptr<WinINetPoster> m_poster;
};
