#pragma once

// The shell namespace subset: item-id lists, the shell allocator, folders and their
// enumerators, file information with system icons. docs/shell.md describes the namespace.

#include "platform/com/Unknown.h"
#include "platform/controls/CommCtrl.h"
#include "platform/shell/FileFind.h"

#pragma pack(push, 1)
struct SHITEMID
{
    USHORT cb; // size of this id including cb itself
    BYTE abID[1];
};
struct ITEMIDLIST
{
    SHITEMID mkid; // a zero cb ends the list
};
#pragma pack(pop)

using LPITEMIDLIST = ITEMIDLIST*;
using LPCITEMIDLIST = const ITEMIDLIST*;
using PIDLIST_ABSOLUTE = ITEMIDLIST*;
using PCIDLIST_ABSOLUTE = const ITEMIDLIST*;
using PIDLIST_RELATIVE = ITEMIDLIST*;
using PCUIDLIST_RELATIVE = const ITEMIDLIST*;
using PITEMID_CHILD = ITEMIDLIST*;
using PCUITEMID_CHILD = const ITEMIDLIST*;

struct IBindCtx;

struct IMalloc : IUnknown
{
    virtual void* Alloc(SIZE_T size) = 0;
    virtual void* Realloc(void* block, SIZE_T size) = 0;
    virtual void Free(void* block) = 0;
    virtual SIZE_T GetSize(void* block) = 0;
    virtual int DidAlloc(void* block) = 0;
    virtual void HeapMinimize() = 0;

protected:
    ~IMalloc() = default;
};
using LPMALLOC = IMalloc*;

struct IEnumIDList : IUnknown
{
    virtual HRESULT Next(ULONG count, PITEMID_CHILD* items, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumIDList** copy) = 0;

protected:
    ~IEnumIDList() = default;
};

#define SHCONTF_FOLDERS 0x0020
#define SHCONTF_NONFOLDERS 0x0040
#define SHCONTF_INCLUDEHIDDEN 0x0080
using SHCONTF = DWORD;

#define SHGDN_NORMAL 0x0000
#define SHGDN_INFOLDER 0x0001
#define SHGDN_FORPARSING 0x8000
using SHGDNF = DWORD;

#define STRRET_WSTR 0x0000
#define STRRET_OFFSET 0x0001
#define STRRET_CSTR 0x0002
struct STRRET
{
    UINT uType;
    union {
        LPWSTR pOleStr; // STRRET_WSTR: task memory, freed by the caller
        UINT uOffset;
        char cStr[260];
    };
};

struct IShellFolder : IUnknown
{
    virtual HRESULT EnumObjects(HWND owner, SHCONTF flags, IEnumIDList** items) = 0;
    virtual HRESULT BindToObject(PCUIDLIST_RELATIVE item, IBindCtx* context, REFIID riid, void** object) = 0;
    // Negative, zero or positive in the code of a success HRESULT (the HRESULT_CODE).
    virtual HRESULT CompareIDs(LPARAM column, PCUIDLIST_RELATIVE a, PCUIDLIST_RELATIVE b) = 0;
    virtual HRESULT GetDisplayNameOf(PCUITEMID_CHILD item, SHGDNF flags, STRRET* name) = 0;

protected:
    ~IShellFolder() = default;
};
using LPSHELLFOLDER = IShellFolder*;

PICTAVO_GUID(IID_IMalloc, "00000002-0000-0000-C000-000000000046");
PICTAVO_GUID(IID_IShellFolder, "000214E6-0000-0000-C000-000000000046");
PICTAVO_GUID(IID_IEnumIDList, "000214F2-0000-0000-C000-000000000046");
PICTAVO_DECLARE_IID(IMalloc, IID_IMalloc)
PICTAVO_DECLARE_IID(IShellFolder, IID_IShellFolder)
PICTAVO_DECLARE_IID(IEnumIDList, IID_IEnumIDList)

HRESULT SHGetDesktopFolder(IShellFolder** folder);
HRESULT SHGetMalloc(IMalloc** allocator);

// Id lists live in task memory (CoTaskMemAlloc); the shell allocator frees them as well.
PIDLIST_ABSOLUTE ILClone(PCIDLIST_ABSOLUTE list);
PIDLIST_ABSOLUTE ILCombine(PCIDLIST_ABSOLUTE parent, PCUIDLIST_RELATIVE child);
void ILFree(PIDLIST_RELATIVE list);
// Bytes including the terminator; 0 for a null list.
UINT ILGetSize(PCUIDLIST_RELATIVE list);
// The id after the first one, or null at the end.
PCUIDLIST_RELATIVE ILGetNext(PCUIDLIST_RELATIVE list);
BOOL ILIsEmpty(PCUIDLIST_RELATIVE list);

// The file-system folder or file of an absolute list; FALSE and an empty string for virtual
// items and for paths that do not fit MAX_PATH. path holds MAX_PATH characters.
BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE list, LPWSTR path);

#define SHGFI_ICON 0x000000100
#define SHGFI_DISPLAYNAME 0x000000200
#define SHGFI_TYPENAME 0x000000400
#define SHGFI_ATTRIBUTES 0x000000800
#define SHGFI_SYSICONINDEX 0x000004000
#define SHGFI_LARGEICON 0x000000000
#define SHGFI_SMALLICON 0x000000001
#define SHGFI_OPENICON 0x000000002
#define SHGFI_PIDL 0x000000008
#define SHGFI_USEFILEATTRIBUTES 0x000000010

#define SFGAO_FOLDER 0x20000000u
#define SFGAO_FILESYSTEM 0x40000000u
#define SFGAO_HIDDEN 0x00080000u

struct SHFILEINFOW
{
    HICON hIcon; // never filled: only icon indices into the system list exist
    int iIcon;
    DWORD dwAttributes;
    WCHAR szDisplayName[MAX_PATH];
    WCHAR szTypeName[80];
};

// path is a file-system path, or with SHGFI_PIDL an absolute id list. With SHGFI_SYSICONINDEX
// returns the system image list (16 x 16 icons only), otherwise nonzero; 0 on failure.
// SHGFI_USEFILEATTRIBUTES decides from attributes and the name alone, without the disk.
DWORD_PTR SHGetFileInfoW(LPCWSTR path, DWORD attributes, SHFILEINFOW* info, UINT infoSize, UINT flags);
