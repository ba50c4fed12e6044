#pragma once

// OLE drag and drop and the shell's file-drop list: the data object, drop target and drop
// source interfaces, the modal drag loop, clipboard format names.

#include "platform/com/HResult.h"
#include "platform/com/Unknown.h"
#include "platform/gfx/Gdi.h"
#include "platform/kernel/GlobalMemory.h"
#include "platform/win/WinUser.h"

#include <string>
#include <vector>

using CLIPFORMAT = WORD;

#define CF_BITMAP 2
#define CF_HDROP 15

#define DVASPECT_CONTENT 1
#define TYMED_NULL 0
#define TYMED_HGLOBAL 1
#define TYMED_FILE 2
#define TYMED_GDI 16

#define DROPEFFECT_NONE 0
#define DROPEFFECT_COPY 1
#define DROPEFFECT_MOVE 2
#define DROPEFFECT_LINK 4
#define DROPEFFECT_SCROLL 0x80000000u

inline constexpr HRESULT DRAGDROP_S_DROP = static_cast<HRESULT>(0x00040100u);
inline constexpr HRESULT DRAGDROP_S_CANCEL = static_cast<HRESULT>(0x00040101u);
inline constexpr HRESULT DRAGDROP_S_USEDEFAULTCURSORS = static_cast<HRESULT>(0x00040102u);
inline constexpr HRESULT DRAGDROP_E_NOTREGISTERED = static_cast<HRESULT>(0x80040100u);
inline constexpr HRESULT DRAGDROP_E_ALREADYREGISTERED = static_cast<HRESULT>(0x80040101u);
inline constexpr HRESULT DRAGDROP_E_INVALIDHWND = static_cast<HRESULT>(0x80040102u);
inline constexpr HRESULT DV_E_FORMATETC = static_cast<HRESULT>(0x80040064u);
inline constexpr HRESULT DV_E_TYMED = static_cast<HRESULT>(0x80040069u);
inline constexpr HRESULT OLE_E_ADVISENOTSUPPORTED = static_cast<HRESULT>(0x80040003u);

struct DVTARGETDEVICE;

struct FORMATETC
{
    CLIPFORMAT cfFormat;
    DVTARGETDEVICE* ptd;
    DWORD dwAspect;
    LONG lindex;
    DWORD tymed;
};

struct STGMEDIUM
{
    DWORD tymed;
    union {
        HBITMAP hBitmap;
        HGLOBAL hGlobal;
        LPWSTR lpszFileName;
    };
    IUnknown* pUnkForRelease;
};

struct POINTL
{
    LONG x;
    LONG y;
};

struct IEnumFORMATETC;
struct IAdviseSink;
struct IEnumSTATDATA;

struct IDataObject : IUnknown
{
    virtual HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) = 0;
    virtual HRESULT GetDataHere(FORMATETC* format, STGMEDIUM* medium) = 0;
    virtual HRESULT QueryGetData(FORMATETC* format) = 0;
    virtual HRESULT GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) = 0;
    virtual HRESULT SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) = 0;
    virtual HRESULT EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) = 0;
    virtual HRESULT DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection) = 0;
    virtual HRESULT DUnadvise(DWORD connection) = 0;
    virtual HRESULT EnumDAdvise(IEnumSTATDATA** advises) = 0;

protected:
    ~IDataObject() = default;
};
PICTAVO_DECLARE_IID(IDataObject, IID_IDataObject)

struct IDropSource : IUnknown
{
    virtual HRESULT QueryContinueDrag(BOOL escapePressed, DWORD keyState) = 0;
    virtual HRESULT GiveFeedback(DWORD effect) = 0;

protected:
    ~IDropSource() = default;
};
PICTAVO_DECLARE_IID(IDropSource, IID_IDropSource)

struct IDropTarget : IUnknown
{
    virtual HRESULT DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) = 0;
    virtual HRESULT DragOver(DWORD keyState, POINTL point, DWORD* effect) = 0;
    virtual HRESULT DragLeave() = 0;
    virtual HRESULT Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) = 0;

protected:
    ~IDropTarget() = default;
};
PICTAVO_DECLARE_IID(IDropTarget, IID_IDropTarget)

HRESULT OleInitialize(LPVOID reserved);
void OleUninitialize();
// The target takes drops on the window (and on its child windows that have none of their own).
HRESULT RegisterDragDrop(HWND hwnd, IDropTarget* target);
HRESULT RevokeDragDrop(HWND hwnd);
// The modal drag loop on the calling thread: ends when the source reports a drop or a cancel.
HRESULT DoDragDrop(IDataObject* data, IDropSource* source, DWORD allowedEffects, DWORD* effect);
void ReleaseStgMedium(STGMEDIUM* medium);

// Format names are process-wide and case-insensitive; the same name gives the same number.
UINT RegisterClipboardFormatW(LPCWSTR name);
int GetClipboardFormatNameW(UINT format, LPWSTR buffer, int size);

// The file-drop list: a DROPFILES header followed by double-NUL-terminated wide paths.
DECLARE_PICTAVO_HANDLE(HDROP);
struct DROPFILES
{
    DWORD pFiles;
    POINT pt;
    BOOL fNC;
    BOOL fWide;
};
UINT DragQueryFileW(HDROP drop, UINT index, LPWSTR buffer, UINT size);
BOOL DragQueryPoint(HDROP drop, POINT* point);
void DragFinish(HDROP drop);

namespace pictavo::platform {
// A global block holding a DROPFILES list of the paths (point in client coordinates).
HGLOBAL makeDropFiles(const std::vector<std::u16string>& paths, POINT point);
// A data object offering exactly CF_HDROP for the paths, as a file manager's drag does.
IDataObject* createFileDropData(const std::vector<std::u16string>& paths, POINT point);
// The cursor the drag loop shows for an effect (no-drop, copy, move or link).
HCURSOR dragCursor(DWORD effect);
// The drop target registered for the window or, failing that, its nearest ancestor.
IDropTarget* findDropTarget(HWND hwnd, HWND* registeredWindow = nullptr);
} // namespace pictavo::platform
