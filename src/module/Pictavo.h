#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/com/ControlInterfaces.h"
#include "Biz/IPictavo.h"
#include "Biz/IUploadList.h"
#include "http/IFileTransferEvent.h"
#include "platform/com/ComPtr.h"
#include "platform/com/DispatchImpl.h"
#include "platform/ole/OleControl.h"
#include "module/MainPanel.h"
#include "module/PictavoDropTarget.h"

#include <memory>

class UploadRun;
struct IRunPanel;

// The control object: the page's scripting surface and the COM identity around it.
class CPictavo final : public IPictavo,
                       public ISupportErrorInfo,
                       public ISpecifyPropertyPages,
                       public IObjectSafety,
                       public IViewObjectEx,
                       public IOleInPlaceObjectWindowless,
                       public IOleInPlaceActiveObject,
                       public IOleControl,
                       public IOleObject,
                       public IPersistStreamInit,
                       public IPersistPropertyBag,
                       public IPersistStorage,
                       public IQuickActivate,
                       public IDataObject,
                       public IProvideClassInfo2,
                       public IFileTransferEvent
{
public:
    using FieldList = std::vector<std::pair<std::u16string, std::u16string>>;

    // Aggregation is not supported: a non-null outer fails with CLASS_E_NOAGGREGATION.
    static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv);

    // IUnknown
    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // IDispatch
    HRESULT GetTypeInfoCount(UINT* count) override;
    HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* excepInfo, UINT* argErr) override;

    // IPictavo
    HRESULT put_Object(IDispatch* value) override;
    HRESULT put_Debug(VARIANT_BOOL value) override;
    HRESULT put_LogFile(BSTR value) override;
    HRESULT put_PostUrl(BSTR value) override;
    HRESULT put_Watermark(VARIANT_BOOL value) override;
    HRESULT put_ThumbnailWidth(USHORT value) override;
    HRESULT put_ThumbnailHeight(USHORT value) override;
    HRESULT put_ViewWidth(USHORT value) override;
    HRESULT put_ViewHeight(USHORT value) override;
    HRESULT put_ImgSizeLimit(LONG value) override;
    HRESULT put_ImgCountLimit(LONG value) override;
    HRESULT put_CompressSizeLimit(LONG value) override;
    HRESULT put_FileFieldName(BSTR value) override;
    HRESULT put_EncodeType(BSTR value) override;
    HRESULT put_UploadFormat(BSTR value) override;
    HRESULT put_JpegQuality(USHORT value) override;
    HRESULT put_DefaultFolder(BSTR value) override;
    HRESULT put_AfterImagesPosted(IDispatch* value) override;
    HRESULT OnImagesPosted() override;
    HRESULT GetPostedFiles(VARIANT* files) override;
    HRESULT AddField(BSTR fieldName, BSTR fieldValue) override;
    HRESULT ClearFields() override;
    HRESULT GetCount(LONG* val) override;
    HRESULT Clear() override;

    // ISupportErrorInfo
    HRESULT InterfaceSupportsErrorInfo(REFIID riid) override;
    // ISpecifyPropertyPages
    HRESULT GetPages(CAUUID* pages) override;
    // IObjectSafety
    HRESULT GetInterfaceSafetyOptions(REFIID riid, DWORD* supported, DWORD* enabled) override;
    HRESULT SetInterfaceSafetyOptions(REFIID riid, DWORD optionSetMask, DWORD enabledOptions) override;

    // IOleObject
    HRESULT SetClientSite(IOleClientSite* site) override;
    HRESULT GetClientSite(IOleClientSite** site) override;
    HRESULT SetHostNames(LPCOLESTR containerApp, LPCOLESTR containerObject) override;
    HRESULT Close(DWORD saveOption) override;
    HRESULT SetMoniker(DWORD which, IMoniker* moniker) override;
    HRESULT GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    HRESULT InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
    HRESULT GetClipboardData(DWORD reserved, IDataObject** data) override;
    HRESULT DoVerb(LONG verb, LPMSG msg, IOleClientSite* site, LONG index, HWND parent,
                   const RECT* posRect) override;
    HRESULT EnumVerbs(IEnumOLEVERB** verbs) override;
    HRESULT Update() override;
    HRESULT IsUpToDate() override;
    HRESULT GetUserClassID(CLSID* clsid) override;
    HRESULT GetUserType(DWORD form, LPOLESTR* userType) override;
    HRESULT SetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT GetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT Advise(IAdviseSink* sink, DWORD* connection) override;
    HRESULT Unadvise(DWORD connection) override;
    HRESULT EnumAdvise(IEnumSTATDATA** advises) override;
    HRESULT GetMiscStatus(DWORD aspect, DWORD* status) override;
    HRESULT SetColorScheme(void* palette) override;

    // IOleWindow, IOleInPlaceObject(Windowless), IOleInPlaceActiveObject
    HRESULT GetWindow(HWND* hwnd) override;
    HRESULT ContextSensitiveHelp(BOOL enterMode) override;
    HRESULT InPlaceDeactivate() override;
    HRESULT UIDeactivate() override;
    HRESULT SetObjectRects(const RECT* posRect, const RECT* clipRect) override;
    HRESULT ReactivateAndUndo() override;
    HRESULT OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    HRESULT GetDropTarget(IDropTarget** target) override;
    HRESULT TranslateAccelerator(LPMSG msg) override;
    HRESULT OnFrameWindowActivate(BOOL activate) override;
    HRESULT OnDocWindowActivate(BOOL activate) override;
    HRESULT ResizeBorder(const RECT* border, IOleInPlaceUIWindow* window, BOOL frameWindow) override;
    HRESULT EnableModeless(BOOL enable) override;

    // IOleControl
    HRESULT GetControlInfo(CONTROLINFO* info) override;
    HRESULT OnMnemonic(LPMSG msg) override;
    HRESULT OnAmbientPropertyChange(DISPID id) override;
    HRESULT FreezeEvents(BOOL freeze) override;

    // IViewObject, IViewObject2, IViewObjectEx
    HRESULT Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* target, HDC targetDevice, HDC draw,
                 LPCRECTL bounds, LPCRECTL wBounds, ContinueCallback keepGoing, ULONG_PTR keepGoingArg) override;
    HRESULT GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* target, HDC targetDevice,
                        void** colours) override;
    HRESULT Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override;
    HRESULT Unfreeze(DWORD freeze) override;
    HRESULT SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    HRESULT GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    HRESULT GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* target, SIZEL* size) override;
    HRESULT GetRect(DWORD aspect, RECTL* rect) override;
    HRESULT GetViewStatus(DWORD* status) override;
    HRESULT QueryHitPoint(DWORD aspect, const RECT* bounds, POINT location, LONG closeHint,
                          DWORD* hitResult) override;
    HRESULT QueryHitRect(DWORD aspect, const RECT* bounds, const RECT* location, LONG closeHint,
                         DWORD* hitResult) override;
    HRESULT GetNaturalExtent(DWORD aspect, LONG index, DVTARGETDEVICE* target, HDC targetDevice, void* info,
                             SIZEL* size) override;

    // IPersist, IPersistStreamInit, IPersistPropertyBag, IPersistStorage
    HRESULT GetClassID(CLSID* clsid) override;
    HRESULT IsDirty() override;
    HRESULT Load(IStream* stream) override;
    HRESULT Save(IStream* stream, BOOL clearDirty) override;
    HRESULT GetSizeMax(ULARGE_INTEGER* size) override;
    HRESULT InitNew() override;
    HRESULT Load(IPropertyBag* bag, IErrorLog* log) override;
    HRESULT Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;
    HRESULT InitNew(IStorage* storage) override;
    HRESULT Load(IStorage* storage) override;
    HRESULT Save(IStorage* storage, BOOL sameAsLoad) override;
    HRESULT SaveCompleted(IStorage* storage) override;
    HRESULT HandsOffStorage() override;

    // IQuickActivate
    HRESULT QuickActivate(QACONTAINER* container, QACONTROL* control) override;
    HRESULT SetContentExtent(SIZEL* size) override;
    HRESULT GetContentExtent(SIZEL* size) override;

    // IDataObject: no renderings are offered.
    HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT QueryGetData(FORMATETC* format) override;
    HRESULT GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
    HRESULT SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
    HRESULT EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override;
    HRESULT DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection) override;
    HRESULT DUnadvise(DWORD connection) override;
    HRESULT EnumDAdvise(IEnumSTATDATA** advises) override;

    // IProvideClassInfo, IProvideClassInfo2
    HRESULT GetClassInfo(ITypeInfo** info) override;
    HRESULT GetGUID(DWORD kind, GUID* guid) override;

    // The control's window once it is in-place active; null before and after.
    HWND Window() const { return m_hwnd; }
    // What other threads last sent for the panel's labels and post button.
    const std::u16string& ProgressText() const { return m_progressText; }
    const std::u16string& RemainingTimeText() const { return m_remainingTimeText; }
    const std::u16string& SpeedText() const { return m_speedText; }
    bool PostEnabled() const { return m_panel.PostEnabled(); }
    // What the window shows; lives as long as the control, built on each window.
    MainPanel& Panel() { return m_panel; }

    // Files dropped on the control's window (not on its list) go to the panel.
    bool AcceptsDrops() const;
    void OnFilesDropped(HDROP files);

    // For the upload run, which reads these on its worker thread.
    std::u16string PostUrl() const;
    FieldList ExtraFields() const;
    void AppendPostedAnswer(const std::u16string& answer);
    // The list view attaches itself once the window exists; until then the list is empty.
    void SetUploadList(IUploadList* list);

    // The upload run: the post button's handler and the panel it changes (null detaches).
    void OnPostClicked();
    void SetRunPanel(IRunPanel* panel);
    bool IsPosting() const;

    // IFileTransferEvent: the poster's worker reports here; the run acts on the window thread.
    void OnTransferComplete(int itemId) override;
    void OnTransferError(int itemId, int errorCode) override;
    void OnTransferProgress(int itemId, uint32_t bytesSent, std::u16string speedText) override;
    void OnTransferReserved(int32_t value) override;

private:
    CPictavo();
    ~CPictavo();
    CPictavo(const CPictavo&) = delete;
    CPictavo& operator=(const CPictavo&) = delete;

    HRESULT invokeMember(DISPID id, WORD kind, VARIANT* args, UINT count, VARIANT* result);

    static LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HRESULT InPlaceActivate(LONG verb, const RECT* posRect);
    HRESULT UIActivate();
    void SetExtentFromWindow();
    // Paints the bounds through a memory context compatible with the target.
    void DrawInto(HDC target, const RECT& bounds);
    // The panel's root element paints here once the panel exists; until then the background
    // alone is drawn.
    void PaintRoot(HDC dc, void* graphics, const RECT& bounds);
    int BuildPanel();
    void TearDown();

    static constexpr DWORD MiscStatus = 0x20191;

    std::atomic<ULONG> m_refs{0};
    bool m_destroying = false; // references taken and dropped by the destructor delete nothing
    pictavo::platform::DispatchImpl m_dispatch;
    std::atomic<DWORD> m_safetyEnabled{0}; // one value for every interface of the object
    bool m_debug = false;
    ComPtr<IDispatch> m_object;
    ComPtr<IDispatch> m_afterImagesPosted;
    IUploadList* m_uploadList = nullptr;

    mutable std::mutex m_lock; // guards what the upload worker reads: url, fields, answers
    std::u16string m_postUrl;
    std::map<std::u16string, std::u16string> m_fields;
    std::vector<std::u16string> m_postedAnswers;

    // Window and in-place state; all on the window's thread.
    CPictavoDropTarget m_dropTarget{*this};
    MainPanel m_panel;
    bool m_skinHeld = false;
    bool m_trackingLeave = false;
    ULONG_PTR m_gdiplusToken = 0;
    bool m_windowOnly = true; // never windowless
    HWND m_hwnd = nullptr;
    bool m_inPlaceActive = false;
    bool m_uiActive = false;
    RECT m_posRect{};
    SIZEL m_extent{5080, 5080}; // HIMETRIC: two inches until the container says otherwise
    bool m_dirty = false;
    ComPtr<IOleClientSite> m_clientSite;
    ComPtr<IOleInPlaceSite> m_inPlaceSite;
    ComPtr<IOleInPlaceSiteEx> m_inPlaceSiteEx;
    ComPtr<IOleInPlaceFrame> m_frame;
    ComPtr<IOleInPlaceUIWindow> m_document;
    ComPtr<IAdviseSink> m_viewSink;
    DWORD m_viewAspects = 0;
    DWORD m_viewFlags = 0;
    std::map<DWORD, ComPtr<IAdviseSink>> m_oleSinks;
    DWORD m_nextSinkCookie = 1;
    LONG m_freezeCount = 0;
    std::u16string m_progressText;
    std::u16string m_remainingTimeText;
    std::u16string m_speedText;
    std::unique_ptr<UploadRun> m_run;
};
