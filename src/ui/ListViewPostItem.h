#pragma once

#include "ui/ListViewItem.h"
#include "ui/has_slots.h"

// A tile of the upload list: tools to turn, edit, preview, delete and rename the picture, and
// the upload progress.
class ListViewPostItem : public ListViewItem, public has_slots
{
public:
    using ListViewItem::ListViewItem;

    void SetRect(RECT r) override;
    bool HitsTool(POINT point) override;
    void EndRename() override;
    void Draw(Quendal::UI::CPaintEventArgs& e, const RECT& r) override;
    void OnLButtonDown(POINT point) override;
    void OnLButtonUp(POINT point) override;
    std::u16string KindName() const override { return u"ListViewPostItem"; }
    void Describe(pictavo::platform::AutomationNode& node) override;

    void SetBytesSent(uint64_t n);
    void RefreshProgress();
    void MarkUploaded();
    void ResetProgress();
    void SetPreparedSize(uint64_t n);
    void SetPostFlag(BYTE flag) { postFlag = flag; }
    bool IsUploaded();
    // Percent shown by the overlay, 0..100.
    int ProgressPercent();

    bool uploaded = false;
    uint64_t bytesSent = 0;
    // What the last upload of the picture measures its progress against; the file's own size
    // stays in fileSize, which decides how a later run sends the picture.
    uint64_t preparedSize = 0;
    BYTE postFlag = 0;
    RECT editRect{}, rotateLeftRect{}, rotateRightRect{}, previewRect{}, deleteRect{}, nameRect{};
    // Guards uploaded, bytesSent and preparedSize, which the upload thread writes.
    Quendal::Threading::CriticalSection progressLock;
};
