#pragma once

// The OLE embedding, in-place activation, view and persistence interfaces that a windowed
// control and its container speak (oleidl/ocidl on Windows). Only what the two call.

#include "platform/com/ControlInterfaces.h"
#include "platform/com/OleAuto.h"
#include "platform/gfx/Gdi.h"
#include "platform/gfx/Stream.h"
#include "platform/kernel/Message.h"
#include "platform/ole/Ole2.h"
#include "platform/win/WinUser.h"

struct RECTL
{
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
using LPCRECTL = const RECTL*;
struct SIZEL
{
    LONG cx;
    LONG cy;
};
using OLE_COLOR = DWORD;
DECLARE_PICTAVO_HANDLE(HACCEL);

PICTAVO_GUID(IID_IOleClientSite, "00000118-0000-0000-C000-000000000046");
PICTAVO_GUID(IID_IOleInPlaceSite, "00000119-0000-0000-C000-000000000046");
PICTAVO_GUID(IID_IOleInPlaceUIWindow, "00000115-0000-0000-C000-000000000046");
PICTAVO_GUID(IID_IOleInPlaceFrame, "00000116-0000-0000-C000-000000000046");
PICTAVO_GUID(IID_IAdviseSink, "0000010F-0000-0000-C000-000000000046");
PICTAVO_GUID(IID_IOleInPlaceSiteEx, "9C2CAD80-3424-11CF-B670-00AA004CD6D8");
PICTAVO_GUID(IID_IPersistPropertyBag, "37D84F60-42CB-11CE-8135-00AA004BB851");
PICTAVO_GUID(IID_IPropertyBag, "55272A00-42CB-11CE-8135-00AA004BB851");
PICTAVO_GUID(IID_IErrorLog, "3127CA40-446E-11CE-8135-00AA004BB851");

constexpr LONG OLEIVERB_PRIMARY = 0;
constexpr LONG OLEIVERB_SHOW = -1;
constexpr LONG OLEIVERB_HIDE = -3;
constexpr LONG OLEIVERB_UIACTIVATE = -4;
constexpr LONG OLEIVERB_INPLACEACTIVATE = -5;

constexpr DWORD OLEMISC_RECOMPOSEONRESIZE = 0x1;
constexpr DWORD OLEMISC_CANTLINKINSIDE = 0x10;
constexpr DWORD OLEMISC_INSIDEOUT = 0x80;
constexpr DWORD OLEMISC_ACTIVATEWHENVISIBLE = 0x100;
constexpr DWORD OLEMISC_SETCLIENTSITEFIRST = 0x20000;

constexpr DWORD OLECLOSE_SAVEIFDIRTY = 0;
constexpr DWORD OLECLOSE_NOSAVE = 1;
constexpr DWORD VIEWSTATUS_OPAQUE = 0x1;
constexpr DWORD VIEWSTATUS_SOLIDBKGND = 0x2;
constexpr DWORD HITRESULT_OUTSIDE = 0;
constexpr DWORD HITRESULT_HIT = 3;
constexpr DWORD GUIDKIND_DEFAULT_SOURCE_DISP_IID = 1;

inline constexpr HRESULT OLE_E_NOCONNECTION = static_cast<HRESULT>(0x80040004u);
inline constexpr HRESULT OLE_E_NOT_INPLACEACTIVE = static_cast<HRESULT>(0x80040010u);
inline constexpr HRESULT OLE_E_BLANK = static_cast<HRESULT>(0x80040007u);
inline constexpr HRESULT OLEOBJ_S_INVALIDVERB = static_cast<HRESULT>(0x00040180u);
inline constexpr HRESULT OLEOBJ_E_NOVERBS = static_cast<HRESULT>(0x80040180u);
inline constexpr HRESULT DV_E_DVASPECT = static_cast<HRESULT>(0x8004006Bu);
inline constexpr HRESULT STG_E_READFAULT = static_cast<HRESULT>(0x8003001Eu);

struct IMoniker;
struct IStorage;
struct IEnumOLEVERB;
struct IOleContainer;
struct IOleInPlaceFrame;
struct IOleInPlaceUIWindow;

struct IAdviseSink : IUnknown
{
    virtual void OnDataChange(FORMATETC* format, STGMEDIUM* medium) = 0;
    virtual void OnViewChange(DWORD aspect, LONG index) = 0;
    virtual void OnRename(IMoniker* moniker) = 0;
    virtual void OnSave() = 0;
    virtual void OnClose() = 0;

protected:
    ~IAdviseSink() = default;
};
PICTAVO_DECLARE_IID(IAdviseSink, IID_IAdviseSink)

struct IOleClientSite : IUnknown
{
    virtual HRESULT SaveObject() = 0;
    virtual HRESULT GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) = 0;
    virtual HRESULT GetContainer(IOleContainer** container) = 0;
    virtual HRESULT ShowObject() = 0;
    virtual HRESULT OnShowWindow(BOOL show) = 0;
    virtual HRESULT RequestNewObjectLayout() = 0;

protected:
    ~IOleClientSite() = default;
};
PICTAVO_DECLARE_IID(IOleClientSite, IID_IOleClientSite)

struct OLEVERB
{
    LONG lVerb;
    LPOLESTR lpszVerbName;
    DWORD fuFlags;
    DWORD grfAttribs;
};

struct IOleObject : IUnknown
{
    virtual HRESULT SetClientSite(IOleClientSite* site) = 0;
    virtual HRESULT GetClientSite(IOleClientSite** site) = 0;
    virtual HRESULT SetHostNames(LPCOLESTR containerApp, LPCOLESTR containerObject) = 0;
    virtual HRESULT Close(DWORD saveOption) = 0;
    virtual HRESULT SetMoniker(DWORD which, IMoniker* moniker) = 0;
    virtual HRESULT GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) = 0;
    virtual HRESULT InitFromData(IDataObject* data, BOOL creation, DWORD reserved) = 0;
    virtual HRESULT GetClipboardData(DWORD reserved, IDataObject** data) = 0;
    virtual HRESULT DoVerb(LONG verb, LPMSG msg, IOleClientSite* site, LONG index, HWND parent,
                           const RECT* posRect) = 0;
    virtual HRESULT EnumVerbs(IEnumOLEVERB** verbs) = 0;
    virtual HRESULT Update() = 0;
    virtual HRESULT IsUpToDate() = 0;
    virtual HRESULT GetUserClassID(CLSID* clsid) = 0;
    virtual HRESULT GetUserType(DWORD form, LPOLESTR* userType) = 0;
    virtual HRESULT SetExtent(DWORD aspect, SIZEL* size) = 0;
    virtual HRESULT GetExtent(DWORD aspect, SIZEL* size) = 0;
    virtual HRESULT Advise(IAdviseSink* sink, DWORD* connection) = 0;
    virtual HRESULT Unadvise(DWORD connection) = 0;
    virtual HRESULT EnumAdvise(IEnumSTATDATA** advises) = 0;
    virtual HRESULT GetMiscStatus(DWORD aspect, DWORD* status) = 0;
    virtual HRESULT SetColorScheme(void* palette) = 0;

protected:
    ~IOleObject() = default;
};
PICTAVO_DECLARE_IID(IOleObject, IID_IOleObject)

struct IOleWindow : IUnknown
{
    virtual HRESULT GetWindow(HWND* hwnd) = 0;
    virtual HRESULT ContextSensitiveHelp(BOOL enterMode) = 0;

protected:
    ~IOleWindow() = default;
};
PICTAVO_DECLARE_IID(IOleWindow, IID_IOleWindow)

struct IOleInPlaceActiveObject : IOleWindow
{
    virtual HRESULT TranslateAccelerator(LPMSG msg) = 0;
    virtual HRESULT OnFrameWindowActivate(BOOL activate) = 0;
    virtual HRESULT OnDocWindowActivate(BOOL activate) = 0;
    virtual HRESULT ResizeBorder(const RECT* border, IOleInPlaceUIWindow* window, BOOL frameWindow) = 0;
    virtual HRESULT EnableModeless(BOOL enable) = 0;

protected:
    ~IOleInPlaceActiveObject() = default;
};
PICTAVO_DECLARE_IID(IOleInPlaceActiveObject, IID_IOleInPlaceActiveObject)

using BORDERWIDTHS = RECT;

struct IOleInPlaceUIWindow : IOleWindow
{
    virtual HRESULT GetBorder(RECT* border) = 0;
    virtual HRESULT RequestBorderSpace(const BORDERWIDTHS* widths) = 0;
    virtual HRESULT SetBorderSpace(const BORDERWIDTHS* widths) = 0;
    virtual HRESULT SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR name) = 0;

protected:
    ~IOleInPlaceUIWindow() = default;
};
PICTAVO_DECLARE_IID(IOleInPlaceUIWindow, IID_IOleInPlaceUIWindow)

struct OLEMENUGROUPWIDTHS
{
    LONG width[6];
};
using HOLEMENU = void*;

struct IOleInPlaceFrame : IOleInPlaceUIWindow
{
    virtual HRESULT InsertMenus(HMENU shared, OLEMENUGROUPWIDTHS* widths) = 0;
    virtual HRESULT SetMenu(HMENU shared, HOLEMENU ole, HWND activeObject) = 0;
    virtual HRESULT RemoveMenus(HMENU shared) = 0;
    virtual HRESULT SetStatusText(LPCOLESTR text) = 0;
    virtual HRESULT EnableModeless(BOOL enable) = 0;
    virtual HRESULT TranslateAccelerator(LPMSG msg, WORD id) = 0;

protected:
    ~IOleInPlaceFrame() = default;
};
PICTAVO_DECLARE_IID(IOleInPlaceFrame, IID_IOleInPlaceFrame)

struct OLEINPLACEFRAMEINFO
{
    UINT cb;
    BOOL fMDIApp;
    HWND hwndFrame;
    HACCEL haccel;
    UINT cAccelEntries;
};

struct IOleInPlaceSite : IOleWindow
{
    virtual HRESULT CanInPlaceActivate() = 0;
    virtual HRESULT OnInPlaceActivate() = 0;
    virtual HRESULT OnUIActivate() = 0;
    virtual HRESULT GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, RECT* posRect,
                                     RECT* clipRect, OLEINPLACEFRAMEINFO* frameInfo) = 0;
    virtual HRESULT Scroll(SIZE extent) = 0;
    virtual HRESULT OnUIDeactivate(BOOL undoable) = 0;
    virtual HRESULT OnInPlaceDeactivate() = 0;
    virtual HRESULT DiscardUndoState() = 0;
    virtual HRESULT DeactivateAndUndo() = 0;
    virtual HRESULT OnPosRectChange(const RECT* posRect) = 0;

protected:
    ~IOleInPlaceSite() = default;
};
PICTAVO_DECLARE_IID(IOleInPlaceSite, IID_IOleInPlaceSite)

struct IOleInPlaceSiteEx : IOleInPlaceSite
{
    virtual HRESULT OnInPlaceActivateEx(BOOL* noRedraw, DWORD flags) = 0;
    virtual HRESULT OnInPlaceDeactivateEx(BOOL noRedraw) = 0;
    virtual HRESULT RequestUIActivate() = 0;

protected:
    ~IOleInPlaceSiteEx() = default;
};
PICTAVO_DECLARE_IID(IOleInPlaceSiteEx, IID_IOleInPlaceSiteEx)

struct IOleInPlaceObject : IOleWindow
{
    virtual HRESULT InPlaceDeactivate() = 0;
    virtual HRESULT UIDeactivate() = 0;
    virtual HRESULT SetObjectRects(const RECT* posRect, const RECT* clipRect) = 0;
    virtual HRESULT ReactivateAndUndo() = 0;

protected:
    ~IOleInPlaceObject() = default;
};
PICTAVO_DECLARE_IID(IOleInPlaceObject, IID_IOleInPlaceObject)

struct IOleInPlaceObjectWindowless : IOleInPlaceObject
{
    virtual HRESULT OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) = 0;
    virtual HRESULT GetDropTarget(IDropTarget** target) = 0;

protected:
    ~IOleInPlaceObjectWindowless() = default;
};
PICTAVO_DECLARE_IID(IOleInPlaceObjectWindowless, IID_IOleInPlaceObjectWindowless)

struct CONTROLINFO
{
    ULONG cb;
    HACCEL hAccel;
    USHORT cAccel;
    DWORD dwFlags;
};

struct IOleControl : IUnknown
{
    virtual HRESULT GetControlInfo(CONTROLINFO* info) = 0;
    virtual HRESULT OnMnemonic(LPMSG msg) = 0;
    virtual HRESULT OnAmbientPropertyChange(DISPID id) = 0;
    virtual HRESULT FreezeEvents(BOOL freeze) = 0;

protected:
    ~IOleControl() = default;
};
PICTAVO_DECLARE_IID(IOleControl, IID_IOleControl)

using ContinueCallback = BOOL (*)(ULONG_PTR);

struct IViewObject : IUnknown
{
    virtual HRESULT Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* target, HDC targetDevice,
                         HDC draw, LPCRECTL bounds, LPCRECTL wBounds, ContinueCallback keepGoing,
                         ULONG_PTR keepGoingArg) = 0;
    virtual HRESULT GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* target,
                                HDC targetDevice, void** colours) = 0;
    virtual HRESULT Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) = 0;
    virtual HRESULT Unfreeze(DWORD freeze) = 0;
    virtual HRESULT SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) = 0;
    virtual HRESULT GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) = 0;

protected:
    ~IViewObject() = default;
};
PICTAVO_DECLARE_IID(IViewObject, IID_IViewObject)

struct IViewObject2 : IViewObject
{
    virtual HRESULT GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* target, SIZEL* size) = 0;

protected:
    ~IViewObject2() = default;
};
PICTAVO_DECLARE_IID(IViewObject2, IID_IViewObject2)

struct IViewObjectEx : IViewObject2
{
    virtual HRESULT GetRect(DWORD aspect, RECTL* rect) = 0;
    virtual HRESULT GetViewStatus(DWORD* status) = 0;
    virtual HRESULT QueryHitPoint(DWORD aspect, const RECT* bounds, POINT location, LONG closeHint,
                                  DWORD* hitResult) = 0;
    virtual HRESULT QueryHitRect(DWORD aspect, const RECT* bounds, const RECT* location, LONG closeHint,
                                 DWORD* hitResult) = 0;
    virtual HRESULT GetNaturalExtent(DWORD aspect, LONG index, DVTARGETDEVICE* target, HDC targetDevice,
                                     void* info, SIZEL* size) = 0;

protected:
    ~IViewObjectEx() = default;
};
PICTAVO_DECLARE_IID(IViewObjectEx, IID_IViewObjectEx)

struct IPersist : IUnknown
{
    virtual HRESULT GetClassID(CLSID* clsid) = 0;

protected:
    ~IPersist() = default;
};
PICTAVO_DECLARE_IID(IPersist, IID_IPersist)

struct IPersistStreamInit : IPersist
{
    virtual HRESULT IsDirty() = 0;
    virtual HRESULT Load(IStream* stream) = 0;
    virtual HRESULT Save(IStream* stream, BOOL clearDirty) = 0;
    virtual HRESULT GetSizeMax(ULARGE_INTEGER* size) = 0;
    virtual HRESULT InitNew() = 0;

protected:
    ~IPersistStreamInit() = default;
};
PICTAVO_DECLARE_IID(IPersistStreamInit, IID_IPersistStreamInit)

struct IErrorLog : IUnknown
{
    virtual HRESULT AddError(LPCOLESTR property, EXCEPINFO* info) = 0;

protected:
    ~IErrorLog() = default;
};
PICTAVO_DECLARE_IID(IErrorLog, IID_IErrorLog)

struct IPropertyBag : IUnknown
{
    // value->vt on entry is the type the reader wants (VT_EMPTY: whatever is stored).
    virtual HRESULT Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) = 0;
    virtual HRESULT Write(LPCOLESTR name, VARIANT* value) = 0;

protected:
    ~IPropertyBag() = default;
};
PICTAVO_DECLARE_IID(IPropertyBag, IID_IPropertyBag)

struct IPersistPropertyBag : IPersist
{
    virtual HRESULT InitNew() = 0;
    virtual HRESULT Load(IPropertyBag* bag, IErrorLog* log) = 0;
    virtual HRESULT Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) = 0;

protected:
    ~IPersistPropertyBag() = default;
};
PICTAVO_DECLARE_IID(IPersistPropertyBag, IID_IPersistPropertyBag)

// Storage persistence keeps its data in one stream of the storage; no storage objects exist
// on this platform, so the interface is answered but every storage argument fails.
struct IPersistStorage : IPersist
{
    virtual HRESULT IsDirty() = 0;
    virtual HRESULT InitNew(IStorage* storage) = 0;
    virtual HRESULT Load(IStorage* storage) = 0;
    virtual HRESULT Save(IStorage* storage, BOOL sameAsLoad) = 0;
    virtual HRESULT SaveCompleted(IStorage* storage) = 0;
    virtual HRESULT HandsOffStorage() = 0;

protected:
    ~IPersistStorage() = default;
};
PICTAVO_DECLARE_IID(IPersistStorage, IID_IPersistStorage)

struct QACONTAINER
{
    ULONG cbSize;
    IOleClientSite* pClientSite;
    IAdviseSink* pAdviseSink;
    IUnknown* pPropertyNotifySink;
    IUnknown* pUnkEventSink;
    DWORD dwAmbientFlags;
    OLE_COLOR colorFore;
    OLE_COLOR colorBack;
    void* pFont;
    void* pUndoMgr;
    DWORD dwAppearance;
    LONG lcid;
    HPALETTE hpal;
    void* pBindHost;
    void* pOleControlSite;
    void* pServiceProvider;
};

struct QACONTROL
{
    ULONG cbSize;
    DWORD dwMiscStatus;
    DWORD dwViewStatus;
    DWORD dwEventCookie;
    DWORD dwPropNotifyCookie;
    DWORD dwPointerActivationPolicy;
};

struct IQuickActivate : IUnknown
{
    virtual HRESULT QuickActivate(QACONTAINER* container, QACONTROL* control) = 0;
    virtual HRESULT SetContentExtent(SIZEL* size) = 0;
    virtual HRESULT GetContentExtent(SIZEL* size) = 0;

protected:
    ~IQuickActivate() = default;
};
PICTAVO_DECLARE_IID(IQuickActivate, IID_IQuickActivate)

struct IProvideClassInfo : IUnknown
{
    virtual HRESULT GetClassInfo(ITypeInfo** info) = 0;

protected:
    ~IProvideClassInfo() = default;
};
PICTAVO_DECLARE_IID(IProvideClassInfo, IID_IProvideClassInfo)

struct IProvideClassInfo2 : IProvideClassInfo
{
    virtual HRESULT GetGUID(DWORD kind, GUID* guid) = 0;

protected:
    ~IProvideClassInfo2() = default;
};
PICTAVO_DECLARE_IID(IProvideClassInfo2, IID_IProvideClassInfo2)

// Pixels and the container's HIMETRIC units (0.01 mm) at the screen's 96 pixels per inch.
inline LONG PixelsToHimetric(LONG pixels)
{
    return static_cast<LONG>((static_cast<long long>(pixels) * 2540 + 48) / 96);
}
inline LONG HimetricToPixels(LONG himetric)
{
    return static_cast<LONG>((static_cast<long long>(himetric) * 96 + 1270) / 2540);
}
