#pragma once

#include "platform/ole/Ole2.h"

#include <atomic>
#include <vector>

// A window's drop target: takes file lists and the process's private formats; owners override
// the hooks. Part of its owner, so the last Release does not delete it.
class CIDropTargetImpl : public IDropTarget
{
public:
    CIDropTargetImpl();
    virtual ~CIDropTargetImpl() = default;
    CIDropTargetImpl(const CIDropTargetImpl&) = delete;
    CIDropTargetImpl& operator=(const CIDropTargetImpl&) = delete;

    void SetDropEnabled(bool on) { enabled = on ? 1 : 0; }

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT DragLeave() override;
    HRESULT Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;

    virtual void OnDropFiles(HDROP files);
    virtual void OnDropBitmap(HBITMAP bitmap);
    virtual void OnDropCustom(IDataObject* data, DWORD keyState, int x, int y, DWORD* effect);

private:
    static DWORD ChooseEffect(DWORD keyState, DWORD allowed);

    std::atomic<LONG> referenceCount{1};
    int acceptable = 0;
    int enabled = 1;
    std::vector<FORMATETC> acceptedFormats;
};
