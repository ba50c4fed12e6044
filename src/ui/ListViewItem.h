#pragma once

#include "platform/gfx/GdiPlus.h"
#include "platform/win/AutomationNode.h"
#include "threading/CriticalSection.h"
#include "ui/CPaintEventArgs.h"
#include "ui/IElement.h"

#include <cstdint>
#include <string>

class ListView;

// Right and bottom are outside, as everywhere.
inline bool PtInRect(const RECT* r, POINT p)
{
    return p.x >= r->left && p.x < r->right && p.y >= r->top && p.y < r->bottom;
}

// A tile of a list view: a picture file shown as a thumbnail with its name.
// Memory: `image` is the whole picture, but one made from the file holds only its path and
// size until its pixels are needed (turn, edit, preview, upload); `thumbnail` is decoded at
// the DCT scale nearest its box, so a list of photos costs about 56 KiB a tile.
class ListViewItem : public IElement
{
public:
    enum StateBits : DWORD
    {
        Hovered = 1,
        Selected = 2,
    };
    // What one decode made, handed from the loader to the tile.
    struct Decoded
    {
        GpBitmap* image = nullptr;
        GpImage* thumbnail = nullptr;
        void Free();
    };

    ListViewItem() = default;
    explicit ListViewItem(const std::u16string& filePath);
    ~ListViewItem() override;
    ListViewItem(const ListViewItem&) = delete;
    ListViewItem& operator=(const ListViewItem&) = delete;

    virtual void SetStatus(int value);
    virtual void SetItemState(DWORD value);
    virtual bool HitsTool(POINT) { return false; }
    virtual void EndRename() {}
    void PaintScrolled(Quendal::UI::CPaintEventArgs& e, int scroll);
    virtual void Draw(Quendal::UI::CPaintEventArgs& e, const RECT& r);
    bool IsPath(const ListViewItem& other) const { return path == other.path; }
    bool IsPathText(const std::u16string& text) const { return path == text; }
    virtual void Select(POINT point);
    int64_t GetFileSize() const { return fileSize; }
    virtual void SizeForTotal(int64_t& out);
    virtual void OnLButtonDown(POINT point);
    virtual void OnLButtonUp(POINT) {}
    virtual void OnMouseMove(POINT);
    virtual void OnMouseLeave();
    RECT ThumbnailRect(const RECT& r) const { return RECT{r.left + 2, r.top + 2, r.left + 135, r.top + 104}; }
    RECT CaptionRect(const RECT& r) const;
    virtual std::u16string KindName() const { return u"ListViewItem"; }
    virtual void Describe(pictavo::platform::AutomationNode& node);

    // Decodes path into a picture and its thumbnail fitted to the box; touches no tile.
    static Decoded Decode(const std::u16string& filePath, int boxWidth, int boxHeight);
    // The largest size that fits the box keeping the shape, each side at least 1; the picture
    // itself when it fits already.
    static SIZE FitThumbnail(UINT width, UINT height, int boxWidth, int boxHeight);
    // Takes what a decode made unless the tile's picture is loaded already (then frees it);
    // true when taken.
    bool Publish(Decoded& decoded);
    // Loads the picture now on the calling thread and marks it loaded.
    void LoadThumbnail();
    // The picture becomes a 32-bit copy of source, the thumbnail fits the frame.
    void SetImage(GpImage* source);
    // The picture becomes bitmap itself, no copy: the caller gives it up and nobody else may
    // hold it. A bitmap that is not 32-bit ARGB is copied as SetImage does, then freed.
    void TakeImage(GpBitmap* bitmap);
    // A quarter turn of the picture, alpha kept; false when the picture cannot be read.
    bool Turn(bool left);
    // Frees the decoded pixels of an unchanged picture; they are read from the file again
    // when needed.
    void DropPicture();
    bool IsLoaded();
    bool IsImageReady();
    void Redraw();
    // 64-bit size of a regular file, -1 when it is not one.
    static int64_t FileSizeOf(const std::u16string& filePath);

    int status = 0;
    bool thumbLoaded = false;
    bool imageReady = false;
    int64_t fileSize = 0;
    ListView* owner = nullptr;
    GpBitmap* image = nullptr;
    GpImage* thumbnail = nullptr;
    std::u16string name;
    std::u16string path;
    std::u16string extension = u"jpg";
    int64_t addedTime = 0;
    int64_t changedTime = 0;
    // Guards image, thumbnail, thumbLoaded and imageReady; innermost of the list's locks.
    Quendal::Threading::CriticalSection lock;
    // Loader bookkeeping, under the list's itemsLock: the last pass that tried this tile.
    int triedPass = 0;

protected:
    void DrawThumbnailCentred(GpGraphics* graphics, const RECT& box);
    void DrawCaptionCentred(HDC dc, const RECT& r);
    void SetPicture(GpBitmap* newImage, GpImage* newThumbnail, bool edited);
    bool m_edited = false;
};
