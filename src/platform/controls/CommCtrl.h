#pragma once

// The common-controls subset: notifications through WM_NOTIFY, image lists and the tree view.

#include "platform/gfx/Gdi.h"
#include "platform/win/WinUser.h"

#include <memory>

#define WM_NOTIFY 0x004E

struct NMHDR
{
    HWND hwndFrom;
    UINT_PTR idFrom;
    UINT code;
};
using LPNMHDR = NMHDR*;

#define NM_FIRST 0u
#define NM_CLICK (NM_FIRST - 2)
#define NM_DBLCLK (NM_FIRST - 3)
#define NM_RETURN (NM_FIRST - 4)
#define NM_RCLICK (NM_FIRST - 5)
#define NM_SETFOCUS (NM_FIRST - 7)
#define NM_KILLFOCUS (NM_FIRST - 8)

DECLARE_PICTAVO_HANDLE(HIMAGELIST);

#define ILC_MASK 0x0001
#define ILC_COLOR 0x0000
#define ILC_COLOR24 0x0018
#define ILC_COLOR32 0x0020

#define ILD_NORMAL 0x0000
#define ILD_TRANSPARENT 0x0001
#define ILD_BLEND25 0x0002
#define ILD_BLEND50 0x0004
#define ILD_FOCUS ILD_BLEND25
#define ILD_SELECTED ILD_BLEND50
#define ILD_BLEND ILD_BLEND50

#define CLR_NONE 0xFFFFFFFFu
#define CLR_DEFAULT 0xFF000000u

HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int initial, int grow);
BOOL ImageList_Destroy(HIMAGELIST list);
// A bitmap wider than the list's images adds one image per cx columns; returns the first
// new index, -1 on failure.
int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask);
int ImageList_AddMasked(HIMAGELIST list, HBITMAP image, COLORREF mask);
int ImageList_GetImageCount(HIMAGELIST list);
BOOL ImageList_GetIconSize(HIMAGELIST list, int* cx, int* cy);
COLORREF ImageList_SetBkColor(HIMAGELIST list, COLORREF colour);
COLORREF ImageList_GetBkColor(HIMAGELIST list);
BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style);
BOOL ImageList_DrawEx(HIMAGELIST list, int index, HDC dc, int x, int y, int dx, int dy, COLORREF background,
                      COLORREF foreground, UINT style);
BOOL ImageList_Remove(HIMAGELIST list, int index);

// Tree view ("SysTreeView32"). The class exists once the platform library is loaded;
// InitCommonControlsEx is there for callers written against Windows.
struct INITCOMMONCONTROLSEX
{
    DWORD dwSize;
    DWORD dwICC;
};
#define ICC_TREEVIEW_CLASSES 0x00000002
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init);
void InitCommonControls();

#define WC_TREEVIEWW u"SysTreeView32"

DECLARE_PICTAVO_HANDLE(HTREEITEM);

#define TVS_HASBUTTONS 0x0001
#define TVS_HASLINES 0x0002
#define TVS_LINESATROOT 0x0004
#define TVS_EDITLABELS 0x0008
#define TVS_DISABLEDRAGDROP 0x0010
#define TVS_SHOWSELALWAYS 0x0020
#define TVS_NOTOOLTIPS 0x0080
#define TVS_CHECKBOXES 0x0100
#define TVS_TRACKSELECT 0x0200
#define TVS_SINGLEEXPAND 0x0400
#define TVS_FULLROWSELECT 0x1000
#define TVS_NOSCROLL 0x2000
#define TVS_NONEVENHEIGHT 0x4000
#define TVS_NOHSCROLL 0x8000

#define TVIF_TEXT 0x0001
#define TVIF_IMAGE 0x0002
#define TVIF_PARAM 0x0004
#define TVIF_STATE 0x0008
#define TVIF_HANDLE 0x0010
#define TVIF_SELECTEDIMAGE 0x0020
#define TVIF_CHILDREN 0x0040
#define TVIF_INTEGRAL 0x0080
#define TVIF_DI_SETITEM 0x1000

#define TVIS_SELECTED 0x0002
#define TVIS_CUT 0x0004
#define TVIS_DROPHILITED 0x0008
#define TVIS_BOLD 0x0010
#define TVIS_EXPANDED 0x0020
#define TVIS_EXPANDEDONCE 0x0040
#define TVIS_EXPANDPARTIAL 0x0080
#define TVIS_OVERLAYMASK 0x0F00
#define TVIS_STATEIMAGEMASK 0xF000
#define TVIS_USERMASK 0xF000

#define I_CHILDRENCALLBACK (-1)
#define I_IMAGECALLBACK (-1)
#define I_IMAGENONE (-2)
#define LPSTR_TEXTCALLBACKW (reinterpret_cast<LPWSTR>(static_cast<intptr_t>(-1)))

#define TVI_ROOT (reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(-0x10000)))
#define TVI_FIRST (reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(-0x0FFFF)))
#define TVI_LAST (reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(-0x0FFFE)))
#define TVI_SORT (reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(-0x0FFFD)))

#define TVGN_ROOT 0x0000
#define TVGN_NEXT 0x0001
#define TVGN_PREVIOUS 0x0002
#define TVGN_PARENT 0x0003
#define TVGN_CHILD 0x0004
#define TVGN_FIRSTVISIBLE 0x0005
#define TVGN_NEXTVISIBLE 0x0006
#define TVGN_PREVIOUSVISIBLE 0x0007
#define TVGN_DROPHILITE 0x0008
#define TVGN_CARET 0x0009
#define TVGN_LASTVISIBLE 0x000A

#define TVE_COLLAPSE 0x0001
#define TVE_EXPAND 0x0002
#define TVE_TOGGLE 0x0003
#define TVE_EXPANDPARTIAL 0x4000
#define TVE_COLLAPSERESET 0x8000

#define TVC_UNKNOWN 0x0000
#define TVC_BYMOUSE 0x0001
#define TVC_BYKEYBOARD 0x0002

#define TVSIL_NORMAL 0
#define TVSIL_STATE 2

#define TVHT_NOWHERE 0x0001
#define TVHT_ONITEMICON 0x0002
#define TVHT_ONITEMLABEL 0x0004
#define TVHT_ONITEMINDENT 0x0008
#define TVHT_ONITEMBUTTON 0x0010
#define TVHT_ONITEMRIGHT 0x0020
#define TVHT_ONITEMSTATEICON 0x0040
#define TVHT_ONITEM (TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON)
#define TVHT_ABOVE 0x0100
#define TVHT_BELOW 0x0200
#define TVHT_TORIGHT 0x0400
#define TVHT_TOLEFT 0x0800

#define TV_FIRST 0x1100
#define TVM_DELETEITEM (TV_FIRST + 1)
#define TVM_EXPAND (TV_FIRST + 2)
#define TVM_GETITEMRECT (TV_FIRST + 4)
#define TVM_GETCOUNT (TV_FIRST + 5)
#define TVM_GETINDENT (TV_FIRST + 6)
#define TVM_SETINDENT (TV_FIRST + 7)
#define TVM_GETIMAGELIST (TV_FIRST + 8)
#define TVM_SETIMAGELIST (TV_FIRST + 9)
#define TVM_GETNEXTITEM (TV_FIRST + 10)
#define TVM_SELECTITEM (TV_FIRST + 11)
#define TVM_GETVISIBLECOUNT (TV_FIRST + 16)
#define TVM_HITTEST (TV_FIRST + 17)
#define TVM_ENSUREVISIBLE (TV_FIRST + 20)
#define TVM_SORTCHILDRENCB (TV_FIRST + 21)
#define TVM_GETITEMHEIGHT (TV_FIRST + 28)
#define TVM_INSERTITEMW (TV_FIRST + 50)
#define TVM_GETITEMW (TV_FIRST + 62)
#define TVM_SETITEMW (TV_FIRST + 63)

#define TVN_FIRST (0u - 400u)
#define TVN_KEYDOWN (TVN_FIRST - 12)
#define TVN_SELCHANGINGW (TVN_FIRST - 50)
#define TVN_SELCHANGEDW (TVN_FIRST - 51)
#define TVN_GETDISPINFOW (TVN_FIRST - 52)
#define TVN_SETDISPINFOW (TVN_FIRST - 53)
#define TVN_ITEMEXPANDINGW (TVN_FIRST - 54)
#define TVN_ITEMEXPANDEDW (TVN_FIRST - 55)
#define TVN_DELETEITEMW (TVN_FIRST - 58)

struct TVITEMW
{
    UINT mask;
    HTREEITEM hItem;
    UINT state;
    UINT stateMask;
    LPWSTR pszText;
    int cchTextMax;
    int iImage;
    int iSelectedImage;
    int cChildren;
    LPARAM lParam;
};
using LPTVITEMW = TVITEMW*;
using TV_ITEMW = TVITEMW;

struct TVITEMEXW
{
    UINT mask;
    HTREEITEM hItem;
    UINT state;
    UINT stateMask;
    LPWSTR pszText;
    int cchTextMax;
    int iImage;
    int iSelectedImage;
    int cChildren;
    LPARAM lParam;
    int iIntegral;
};

struct TVINSERTSTRUCTW
{
    HTREEITEM hParent;
    HTREEITEM hInsertAfter;
    union {
        TVITEMEXW itemex;
        TVITEMW item;
    };
};
using LPTVINSERTSTRUCTW = TVINSERTSTRUCTW*;

struct NMTREEVIEWW
{
    NMHDR hdr;
    UINT action;
    TVITEMW itemOld;
    TVITEMW itemNew;
    POINT ptDrag;
};
using LPNMTREEVIEWW = NMTREEVIEWW*;

struct NMTVDISPINFOW
{
    NMHDR hdr;
    TVITEMW item;
};

struct NMTVKEYDOWN
{
    NMHDR hdr;
    WORD wVKey;
    UINT flags;
};

struct TVHITTESTINFO
{
    POINT pt;
    UINT flags;
    HTREEITEM hItem;
};
using LPTVHITTESTINFO = TVHITTESTINFO*;

using PFNTVCOMPARE = int (*)(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort);
struct TVSORTCB
{
    HTREEITEM hParent;
    PFNTVCOMPARE lpfnCompare;
    LPARAM lParam;
};
using LPTVSORTCB = TVSORTCB*;

#define TreeView_InsertItem(hwnd, is)                                                                        \
    reinterpret_cast<HTREEITEM>(SendMessageW((hwnd), TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(is)))
#define TreeView_DeleteItem(hwnd, item) SendMessageW((hwnd), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item))
#define TreeView_Expand(hwnd, item, code)                                                                    \
    SendMessageW((hwnd), TVM_EXPAND, (code), reinterpret_cast<LPARAM>(item))
#define TreeView_GetNextItem(hwnd, item, code)                                                               \
    reinterpret_cast<HTREEITEM>(SendMessageW((hwnd), TVM_GETNEXTITEM, (code), reinterpret_cast<LPARAM>(item)))
#define TreeView_GetChild(hwnd, item) TreeView_GetNextItem(hwnd, item, TVGN_CHILD)
#define TreeView_GetNextSibling(hwnd, item) TreeView_GetNextItem(hwnd, item, TVGN_NEXT)
#define TreeView_GetParent(hwnd, item) TreeView_GetNextItem(hwnd, item, TVGN_PARENT)
#define TreeView_GetSelection(hwnd) TreeView_GetNextItem(hwnd, nullptr, TVGN_CARET)
#define TreeView_GetRoot(hwnd) TreeView_GetNextItem(hwnd, nullptr, TVGN_ROOT)
#define TreeView_SelectItem(hwnd, item)                                                                      \
    SendMessageW((hwnd), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item))

namespace pictavo::platform {
class Bitmap;
// Adds straight-alpha ARGB art (our own icons) without going through a GDI bitmap.
int imageListAddBitmap(HIMAGELIST list, const std::shared_ptr<Bitmap>& image);
} // namespace pictavo::platform
