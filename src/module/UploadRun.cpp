#include "module/UploadRun.h"

#include "Biz/AppState.h"
#include "Biz/ConfigMgr.h"
#include "forms/CMessageDialog.h"
#include "http/FormatDuration.h"
#include "http/FormatSize.h"
#include "http/WinINetPoster.h"
#include "image/CxIOFile.h"
#include "image/CxMemFile.h"
#include "io/FileFunctions.h"
#include "module/IRunPanel.h"
#include "module/Module.h"
#include "module/Pictavo.h"
#include "platform/com/ClassLoader.h"
#include "platform/kernel/MessageBox.h"
#include "platform/kernel/WFormat.h"
#include "ui/ListView.h"
#include "ui/ListViewPostItem.h"

#include <algorithm>
#include <climits>

namespace {

constexpr UINT SetStatusText = WM_USER + 101;
constexpr UINT SetRemainingTimeText = WM_USER + 102;
constexpr UINT SetSpeedText = WM_USER + 103;

// The form's length is a 32-bit int: leave room for the fields around the file.
constexpr int32_t kLargestPost = INT32_MAX - 16 * 1048576;

std::u16string fileNamePart(const std::u16string& path)
{
    const size_t slash = path.find_last_of(u"/\\");
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

void holdModule(bool held)
{
    if (held)
        Module::Lock();
    else
        Module::Unlock();
}

void showMessage(const std::u16string& caption, const std::u16string& text)
{
    CMessageDialog dialog;
    if (!caption.empty())
        dialog.SetCaption(caption);
    dialog.SetText(text);
    dialog.DoModal(GetActiveWindow());
}

} // namespace

UploadRun::Job::~Job()
{
    if (picture.bitmap)
        GdipDisposeImage(picture.bitmap);
}

UploadRun::UploadRun(CPictavo& control) : m_control(control) {}

UploadRun::~UploadRun()
{
    Shutdown();
}

ListView* UploadRun::List() const
{
    return m_panel ? m_panel->List() : nullptr;
}

ListViewPostItem* UploadRun::FindTile(int id) const
{
    ListView* list = List();
    return list && id >= 0 ? dynamic_cast<ListViewPostItem*>(list->FindById(id)) : nullptr;
}

void UploadRun::SetText(UINT message, const std::u16string& text)
{
    if (HWND window = m_window.load())
        SendMessageW(window, message, reinterpret_cast<WPARAM>(text.c_str()), 0);
}

void UploadRun::ShowRunTexts(uint32_t speed, const std::u16string& speedText)
{
    // Without a speed there is no estimate: the remaining time stays as it was.
    if (speed > 0)
        SetText(SetRemainingTimeText,
                u"剩余时间：" + FormatDuration(static_cast<double>(static_cast<uint64_t>(m_remainingBytes) / speed)));
    SetText(SetSpeedText, u"速度：" + speedText);
}

// ---- the window thread

void UploadRun::OnPostClicked()
{
    // Each control decides on its own run: another control's upload is not this one's.
    if (m_running) {
        const int run = m_runNumber;
        CMessageDialog dialog;
        dialog.SetCaption(u"取消上传");
        dialog.SetText(u"照片正在上传中，确定取消上传吗？");
        // The question is modal and the run goes on meanwhile: OK stops only the run it was
        // asked about.
        if (dialog.DoModal(GetActiveWindow()) == IDOK && m_running && m_runNumber == run)
            StopRun();
        return;
    }
    ListView* list = List();
    if (!list || list->Count() == 0) {
        showMessage(u"", u"上传列表为空，请选择文件");
        return;
    }
    StartRun();
}

void UploadRun::StartRun()
{
    ListView* list = List();
    if (!list || m_running)
        return;
    m_window = m_control.Window();
    ++m_runNumber;
    m_running = true;
    if (ListViewPostItem* renamed = list->renaming) {
        list->renaming = nullptr;
        renamed->EndRename();
    }
    list->SetEditable(false);
    AppState::Instance()->BeginRun();
    m_panel->SetPostSkins(true);
    m_panel->EnablePost(true);
    m_panel->EnableAdd(false);
    m_panel->EnableSelectAll(false);
    m_panel->ShowRunLabels(true);
    m_panel->UpdateTools();
    m_panel->InvalidateList();

    Revoke();
    m_git = nullptr;
    CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER, IID_IGlobalInterfaceTable,
                     reinterpret_cast<void**>(m_git.GetAddressOf()));
    if (m_git)
        m_git->RegisterInterfaceInGlobal(static_cast<IPictavo*>(&m_control), IID_IPictavo, &m_gitCookie);

    m_totalCount = static_cast<int>(list->Count());
    m_nextIndex = 1;
    m_remainingBytes = 0;
    m_queue.clear();
    for (ListViewItem* item : list->Items()) {
        auto* tile = dynamic_cast<ListViewPostItem*>(item);
        if (!tile)
            continue;
        m_remainingBytes += std::max<int64_t>(0, tile->fileSize);
        if (!tile->IsUploaded())
            m_queue.push_back(tile->id);
    }
    Advance(0);
}

// The next tile still in the list, or the end of a run that sent everything.
void UploadRun::Advance(uint32_t speed)
{
    while (!m_queue.empty()) {
        const int id = m_queue.front();
        m_queue.pop_front();
        ListViewPostItem* tile = FindTile(id);
        if (!tile || tile->IsUploaded())
            continue;
        if (speed > 0 && m_poster)
            ShowRunTexts(speed, FormatSize(speed));
        PostItem(id);
        return;
    }
    EndRun(End::Complete);
}

void UploadRun::PostItem(int tileId)
{
    ListViewPostItem* tile = FindTile(tileId);
    if (!tile) {
        Advance(0);
        return;
    }
    m_currentTile = tileId;
    auto job = std::make_unique<Job>();
    tile->lock.Lock();
    const bool ready = tile->image && tile->imageReady;
    GpImage* shared = nullptr;
    if (ready)
        GdipCloneImage(tile->image, &shared);
    tile->lock.Unlock();
    if (!shared) {
        EndRun(End::NoData);
        return;
    }
    ConfigMgr* config = ConfigMgr::Instance();
    job->tileId = tileId;
    job->picture.path = tile->path;
    job->picture.extension = tile->extension;
    job->picture.fileSize = tile->fileSize;
    job->picture.bitmap = static_cast<GpBitmap*>(shared);
    job->picture.valid = true;
    job->settings.compressSizeLimit = config->CompressSizeLimit();
    job->settings.thumbnailWidth = static_cast<uint16_t>(config->ThumbnailWidth());
    job->settings.thumbnailHeight = static_cast<uint16_t>(config->ThumbnailHeight());
    job->settings.watermark = config->Watermark();
    job->settings.uploadFormat = config->UploadFormat();
    job->settings.jpegQuality = config->JpegQuality();
    job->settings.resources = Module::Handle();
    job->name = tile->name;
    job->fileName = UploadFileName(fileNamePart(tile->path), job->settings.uploadFormat);
    GdipGetImageWidth(shared, &job->width);
    GdipGetImageHeight(shared, &job->height);
    tile->SetPostFlag(1);

    JoinPreparation();
    m_activePrep = ++m_serial;
    const int id = m_activePrep;
    m_preparing = std::thread([this, id, work = std::move(job)]() mutable {
        // A file that vanished or cannot be read fails here, before the size routine would
        // raise its message box on this thread.
        if (CanSendUnchanged(work->picture.path)) {
            work->buffer = std::make_unique<CxMemFile>();
            work->result = PreparePicture(work->picture, work->settings, *work->buffer);
            work->lastWriteTime = FormatLastWriteTime(work->picture.path);
        }
        Notice notice;
        notice.kind = Notice::Prepared;
        notice.id = id;
        notice.job = std::move(work);
        Queue(std::move(notice));
    });
}

void UploadRun::OnPrepared(Job& job)
{
    m_activePrep = 0;
    ListViewPostItem* tile = FindTile(job.tileId);
    // Whatever the preparation decoded goes with its handle; an unchanged picture reads its
    // file again when it is next needed.
    if (job.picture.bitmap) {
        GdipDisposeImage(job.picture.bitmap);
        job.picture.bitmap = nullptr;
    }
    if (!tile) {
        Advance(0);
        return;
    }
    tile->DropPicture();

    std::unique_ptr<CxFile> stream;
    if (job.result == PrepareResult::Encoded) {
        stream = std::move(job.buffer);
    } else if (job.result == PrepareResult::Unchanged) {
        auto file = std::make_unique<CxIOFile>();
        if (file->Open(job.picture.path.c_str(), u"rb"))
            stream = std::move(file);
    }
    const int32_t size = stream ? stream->Size() : 0;
    if (!stream || size <= 0 || size > kLargestPost) {
        Fail();
        return;
    }
    tile->SetPreparedSize(static_cast<uint64_t>(size));

    if (!m_poster) {
        m_poster = std::make_unique<WinINetPoster>();
        m_poster->SetWorkerHold(&holdModule);
        m_poster->SetEventSink(&m_control);
        m_poster->SetUrl(m_control.PostUrl());
        m_poster->SetEncoding(ConfigMgr::Instance()->EncodeType());
        m_posterSeen = m_poster.get();
    }
    HttpForm& form = m_poster->GetForm();
    form.RemoveAllFields();
    for (const auto& [name, value] : m_control.ExtraFields())
        form.AddTextField(name, value);
    form.AddTextField(u"lastWriteTime", job.lastWriteTime);
    form.AddNumberField(u"width", job.width);
    form.AddNumberField(u"height", job.height);
    form.AddTextField(u"remark", job.name);

    SetText(SetStatusText, pictavo::platform::wformat(u"正在上传第%d/%d张图片", m_nextIndex, m_totalCount));
    ++m_nextIndex;
    m_activeUpload = ++m_serial;
    if (!m_poster->Post(m_activeUpload, stream.get(), job.fileName, ConfigMgr::Instance()->FileFieldName())) {
        m_activeUpload = 0;
        Fail();
        return;
    }
    // Post returns once the previous worker has ended, so its stream can go now.
    m_sending = std::move(stream);
}

void UploadRun::Fail()
{
    SetText(SetStatusText, u"上传错误");
    EndRun(End::Failed);
}

void UploadRun::StopRun()
{
    if (m_running)
        EndRun(End::Cancelled);
}

void UploadRun::EndRun(End how)
{
    m_running = false;
    m_activeUpload = 0;
    m_activePrep = 0;
    m_queue.clear();
    if (how == End::Cancelled && m_poster)
        m_poster->Cancel();
    ListViewPostItem* tile = FindTile(m_currentTile);
    m_currentTile = -1;
    if (tile && (how == End::Failed || how == End::Cancelled))
        tile->ResetProgress();
    if (how == End::Complete) {
        SetText(SetStatusText, u"所有图片已上传完毕");
        SetText(SetRemainingTimeText, u"");
        SetText(SetSpeedText, u"");
    }
    ListView* list = List();
    if (list) {
        list->SetEditable(true);
        if (how == End::Complete)
            list->Clear();
    }
    AppState::Instance()->EndRun();
    if (m_panel) {
        m_panel->EnableAdd(true);
        m_panel->EnableSelectAll(true);
        m_panel->SetPostSkins(false);
        m_panel->EnablePost(how != End::Complete);
        if (how == End::Failed || how == End::Cancelled)
            m_panel->ShowRunLabels(false);
        m_panel->UpdateTools();
        m_panel->UpdateLook();
        m_panel->InvalidateList();
    }
    ComPtr<IPictavo> page;
    if (how == End::Complete && m_git && m_gitCookie)
        m_git->GetInterfaceFromGlobal(m_gitCookie, IID_IPictavo, reinterpret_cast<void**>(page.GetAddressOf()));
    Revoke();
    if (how == End::NoData)
        showMessage(u"上传错误", u"获取图片数据失败。");
    if (page)
        page->OnImagesPosted();
}

void UploadRun::Revoke()
{
    if (m_git && m_gitCookie)
        m_git->RevokeInterfaceFromGlobal(m_gitCookie);
    m_gitCookie = 0;
}

void UploadRun::Shutdown()
{
    if (m_running) {
        m_running = false;
        m_activeUpload = 0;
        m_activePrep = 0;
        m_queue.clear();
        m_currentTile = -1;
        if (m_poster)
            m_poster->Cancel();
        AppState::Instance()->EndRun();
    }
    Revoke();
    m_git = nullptr;
    m_window = nullptr;
    JoinPreparation();
    // The destructor waits for the worker; the worker still reads this run meanwhile.
    m_poster.reset();
    m_posterSeen = nullptr;
    m_sending.reset();
    std::lock_guard guard(m_noticeLock);
    m_notices.clear();
}

void UploadRun::JoinPreparation()
{
    if (m_preparing.joinable())
        m_preparing.join();
}

void UploadRun::OnCarried()
{
    for (;;) {
        Notice notice;
        {
            std::lock_guard guard(m_noticeLock);
            if (m_notices.empty())
                return;
            notice = std::move(m_notices.front());
            m_notices.pop_front();
        }
        // One at a time: a step may run a modal loop or the page's callback, which may bring
        // this handler back in.
        switch (notice.kind) {
        case Notice::Prepared:
            if (m_running && notice.id == m_activePrep && notice.job)
                OnPrepared(*notice.job);
            break;
        case Notice::Progress:
            if (m_running && notice.id == m_activeUpload) {
                if (ListViewPostItem* tile = FindTile(m_currentTile)) {
                    tile->SetBytesSent(notice.bytes);
                    tile->RefreshProgress();
                }
                ShowRunTexts(notice.speed, notice.text);
            }
            break;
        case Notice::Complete:
            if (m_running && notice.id == m_activeUpload) {
                m_activeUpload = 0;
                m_remainingBytes = std::max<int64_t>(0, m_remainingBytes - notice.bytes);
                if (ListViewPostItem* tile = FindTile(m_currentTile))
                    tile->MarkUploaded();
                m_currentTile = -1;
                m_control.AppendPostedAnswer(notice.text);
                if (m_panel)
                    m_panel->UpdateTools();
                Advance(notice.speed);
            }
            break;
        case Notice::Error:
            if (m_running && notice.id == m_activeUpload) {
                m_activeUpload = 0;
                Fail();
            }
            break;
        }
    }
}

// ---- any thread

void UploadRun::Queue(Notice notice)
{
    {
        std::lock_guard guard(m_noticeLock);
        m_notices.push_back(std::move(notice));
    }
    if (HWND window = m_window.load())
        PostMessageW(window, WM_CARRIED, 0, 0);
}

void UploadRun::CarryComplete(int uploadId)
{
    Notice notice;
    notice.kind = Notice::Complete;
    notice.id = uploadId;
    if (WinINetPoster* poster = m_posterSeen.load()) {
        notice.bytes = poster->GetFileSize();
        notice.speed = poster->GetSpeed();
        notice.text = poster->GetResponseText();
    }
    Queue(std::move(notice));
}

void UploadRun::CarryError(int uploadId, int)
{
    Notice notice;
    notice.kind = Notice::Error;
    notice.id = uploadId;
    Queue(std::move(notice));
}

void UploadRun::CarryProgress(int uploadId, uint32_t bytesSent, const std::u16string& speedText)
{
    Notice notice;
    notice.kind = Notice::Progress;
    notice.id = uploadId;
    notice.bytes = bytesSent;
    notice.text = speedText;
    if (WinINetPoster* poster = m_posterSeen.load())
        notice.speed = poster->GetSpeed();
    Queue(std::move(notice));
}
