#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <regex>
#include <thread>

#include "Biz/AppState.h"
#include "Biz/ConfigMgr.h"
#include "module/Module.h"
#include "module/Pictavo.h"
#include "platform/com/Apartment.h"
#include "platform/com/RefCounted.h"
#include "platform/kernel/Strings.h"
#include "platform/kernel/Synch.h"
#include "support/FakeDispatch.h"
#include "support/TempDir.h"

namespace {

using pictavo::platform::RefCounted;

ComPtr<IPictavo> makeControl()
{
    ComPtr<IPictavo> control;
    EXPECT_EQ(
        CPictavo::CreateInstance(nullptr, IID_IPictavo, reinterpret_cast<void**>(control.GetAddressOf())),
        S_OK);
    return control;
}

CPictavo* impl(const ComPtr<IPictavo>& control)
{
    return static_cast<CPictavo*>(control.Get());
}

// Owns a VARIANT for the test's duration.
struct Var : VARIANT
{
    Var() { VariantInit(this); }
    explicit Var(LONG v) : Var() { vt = VT_I4, lVal = v; }
    explicit Var(const char16_t* s) : Var() { vt = VT_BSTR, bstrVal = SysAllocString(s); }
    ~Var() { VariantClear(this); }
};

HRESULT putByName(IDispatch* dispatch, const char16_t* name, VARIANT& value)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    const HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    if (FAILED(hr))
        return hr;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &named, 1, 1};
    UINT argErr = 0;
    return dispatch->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, &argErr);
}

HRESULT callByName(IDispatch* dispatch, const char16_t* name, std::vector<Var*> lastFirst, VARIANT* result)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    const HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    if (FAILED(hr))
        return hr;
    std::vector<VARIANT> args;
    for (Var* v : lastFirst)
        args.push_back(*v);
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    return dispatch->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, result, nullptr, nullptr);
}

struct Call
{
    int count = 0;
    DISPID id = DISPID_UNKNOWN;
    LCID lcid = 0;
    WORD flags = 0;
    UINT args = 0;
    VARTYPE argType = VT_EMPTY;
    IDispatch* argValue = nullptr;
    DWORD thread = 0;

    void record(DISPID i, LCID l, WORD f, DISPPARAMS* p)
    {
        ++count;
        thread = GetCurrentThreadId();
        id = i, lcid = l, flags = f, args = p ? p->cArgs : 0;
        if (args) {
            argType = p->rgvarg[0].vt;
            argValue = p->rgvarg[0].pdispVal;
        }
    }
};

// Stands for a page's script function.
class ScriptFunction : public RefCounted<IDispatchEx>
{
public:
    Call invokeEx, invoke;

    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* p, VARIANT*, EXCEPINFO*,
                   UINT*) override
    {
        invoke.record(id, lcid, flags, p);
        return S_OK;
    }
    HRESULT GetDispID(BSTR, DWORD, DISPID*) override { return E_NOTIMPL; }
    HRESULT InvokeEx(DISPID id, LCID lcid, WORD flags, DISPPARAMS* p, VARIANT* result, EXCEPINFO*,
                     IServiceProvider*) override
    {
        invokeEx.record(id, lcid, flags, p);
        // A script error must not reach the page as a failure of the control.
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocString(u"ignored");
        return DISP_E_EXCEPTION;
    }
    HRESULT DeleteMemberByName(BSTR, DWORD) override { return E_NOTIMPL; }
    HRESULT DeleteMemberByDispID(DISPID) override { return E_NOTIMPL; }
    HRESULT GetMemberProperties(DISPID, DWORD, DWORD*) override { return E_NOTIMPL; }
    HRESULT GetMemberName(DISPID, BSTR*) override { return E_NOTIMPL; }
    HRESULT GetNextDispID(DWORD, DISPID, DISPID*) override { return E_NOTIMPL; }
    HRESULT GetNameSpaceParent(IUnknown**) override { return E_NOTIMPL; }
};

// An automation object without IDispatchEx.
class PlainObject : public pictavo::test::UntypedDispatch
{
public:
    Call invoke;

    HRESULT Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* p, VARIANT*, EXCEPINFO*,
                   UINT*) override
    {
        invoke.record(id, lcid, flags, p);
        return S_OK;
    }
};

class FakeList : public IUploadList
{
public:
    LONG tiles = 0;
    LONG Count() override { return tiles; }
    void Clear() override { tiles = 0; }
};

TEST(PictavoIdentity, CreationRefusesAggregationAndHoldsTheModule)
{
    void* out = reinterpret_cast<void*>(1);
    ComPtr<IPictavo> outer = makeControl();
    EXPECT_EQ(CPictavo::CreateInstance(outer.Get(), IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);

    const LONG before = Module::LockCount();
    {
        ComPtr<IPictavo> control = makeControl();
        EXPECT_EQ(Module::LockCount(), before + 1);
    }
    EXPECT_EQ(Module::LockCount(), before);
}

TEST(PictavoIdentity, AnswersItsInterfacesWithOneIdentity)
{
    ComPtr<IPictavo> control = makeControl();
    ComPtr<IUnknown> unknown, again;
    ASSERT_EQ(control.As(&unknown), S_OK);
    for (const IID* iid : {&IID_IPictavo, &IID_IDispatch, &IID_ISupportErrorInfo, &IID_ISpecifyPropertyPages,
                           &IID_IObjectSafety}) {
        void* p = nullptr;
        ASSERT_EQ(control->QueryInterface(*iid, &p), S_OK);
        ComPtr<IUnknown> held;
        held.Attach(static_cast<IUnknown*>(p));
        ASSERT_EQ(held.As(&again), S_OK);
        EXPECT_EQ(again.Get(), unknown.Get());
    }
    // The control calls the page through IDispatchEx but does not offer it.
    for (const IID* iid : {&IID_IDispatchEx, &IID_IServiceProvider}) {
        void* p = reinterpret_cast<void*>(1);
        EXPECT_EQ(control->QueryInterface(*iid, &p), E_NOINTERFACE);
        EXPECT_EQ(p, nullptr);
    }
}

TEST(PictavoIdentity, ErrorInfoAndPropertyPages)
{
    ComPtr<IPictavo> control = makeControl();
    ComPtr<ISupportErrorInfo> errors;
    ASSERT_EQ(control.As(&errors), S_OK);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IPictavo), S_OK);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);

    ComPtr<ISpecifyPropertyPages> pages;
    ASSERT_EQ(control.As(&pages), S_OK);
    CAUUID list{7, reinterpret_cast<GUID*>(8)};
    EXPECT_EQ(pages->GetPages(&list), S_OK);
    EXPECT_EQ(list.cElems, 0u);
    EXPECT_EQ(list.pElems, nullptr);
}

TEST(PictavoIdentity, ObjectSafetyOffersOnlyUntrustedCallerSafety)
{
    ComPtr<IPictavo> control = makeControl();
    ComPtr<IObjectSafety> safety;
    ASSERT_EQ(control.As(&safety), S_OK);
    DWORD supported = 9, enabled = 9;

    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, nullptr, &enabled), E_POINTER);
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, nullptr), E_POINTER);
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatchEx, &supported, &enabled), E_NOINTERFACE);
    EXPECT_EQ(supported, 0u);
    EXPECT_EQ(enabled, 0u);
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
    EXPECT_EQ(supported, 1u);
    EXPECT_EQ(enabled, 0u);

    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 3, 3), E_FAIL);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 2, 0), E_FAIL);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 1, 1), S_OK);
    // One value for the whole object, whichever interface asked.
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IPictavo, &supported, &enabled), S_OK);
    EXPECT_EQ(enabled, 1u);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 0, 0), S_OK);
    safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled);
    EXPECT_EQ(enabled, 1u);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 1, 0), S_OK);
    safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled);
    EXPECT_EQ(enabled, 0u);
}

TEST(PictavoScript, ScriptValuesAreCoercedBeforeTheControlSeesThem)
{
    ComPtr<IPictavo> control = makeControl();
    ConfigMgr* config = ConfigMgr::Instance();
    config->SetImgSizeLimit(7);

    Var text(u"100");
    EXPECT_EQ(putByName(control.Get(), u"imgsizelimit", text), S_OK);
    EXPECT_EQ(config->ImgSizeLimit(), 100);
    Var junk(u"abc");
    EXPECT_EQ(putByName(control.Get(), u"ImgSizeLimit", junk), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(config->ImgSizeLimit(), 100);

    config->SetThumbnailWidth(5);
    Var big(70000);
    EXPECT_EQ(putByName(control.Get(), u"ThumbnailWidth", big), DISP_E_OVERFLOW);
    EXPECT_EQ(config->ThumbnailWidth(), 5);

    // Script's 1 becomes VARIANT_TRUE on the way in; a raw 1 at the setter does not.
    Var one(1);
    EXPECT_EQ(putByName(control.Get(), u"Watermark", one), S_OK);
    EXPECT_TRUE(config->Watermark());
    control->put_Watermark(1);
    EXPECT_FALSE(config->Watermark());

    Var format(u"PNG");
    EXPECT_EQ(putByName(control.Get(), u"UploadFormat", format), S_OK);
    EXPECT_EQ(config->UploadFormat(), u"png");
    Var limit(0);
    EXPECT_EQ(putByName(control.Get(), u"ImgCountLimit", limit), S_OK);
    EXPECT_EQ(config->ImgCountLimit(), 300);
}

TEST(PictavoScript, PropertiesCannotBeRead)
{
    ComPtr<IPictavo> control = makeControl();
    LPOLESTR names[] = {const_cast<LPOLESTR>(u"PostUrl")};
    DISPID id = 0;
    ASSERT_EQ(control->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    Var result;
    EXPECT_EQ(control->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
}

TEST(PictavoScript, FieldsAreSentInCodeUnitOrderWithTheLastValue)
{
    ComPtr<IPictavo> control = makeControl();
    Var a(u"a"), b(u"B"), v1(u"1"), v2(u"2"), v3(u"3");
    // Arguments travel last-first.
    EXPECT_EQ(callByName(control.Get(), u"AddField", {&v1, &a}, nullptr), S_OK);
    EXPECT_EQ(callByName(control.Get(), u"AddField", {&v2, &b}, nullptr), S_OK);
    EXPECT_EQ(callByName(control.Get(), u"AddField", {&v3, &a}, nullptr), S_OK);
    const CPictavo::FieldList expected{{u"B", u"2"}, {u"a", u"3"}};
    EXPECT_EQ(impl(control)->ExtraFields(), expected);
    control->ClearFields();
    EXPECT_TRUE(impl(control)->ExtraFields().empty());
}

TEST(PictavoScript, PostedAnswersSurviveClearAndReplaceTheOutValue)
{
    ComPtr<IPictavo> control = makeControl();
    EXPECT_EQ(control->GetPostedFiles(nullptr), S_OK);
    Var files(u"stale");
    EXPECT_EQ(control->GetPostedFiles(&files), S_OK);
    EXPECT_EQ(files.vt, VT_EMPTY);

    impl(control)->AppendPostedAnswer(u"first");
    impl(control)->AppendPostedAnswer(u"second");
    control->Clear();
    ASSERT_EQ(callByName(control.Get(), u"GetPostedFiles", {}, &files), S_OK);
    ASSERT_EQ(files.vt, VT_ARRAY | VT_VARIANT);
    LONG lower = -1, upper = -1;
    SafeArrayGetLBound(files.parray, 1, &lower);
    SafeArrayGetUBound(files.parray, 1, &upper);
    EXPECT_EQ(lower, 0);
    ASSERT_EQ(upper, 1);
    for (LONG i : {0, 1}) {
        Var element;
        ASSERT_EQ(SafeArrayGetElement(files.parray, &i, &element), S_OK);
        ASSERT_EQ(element.vt, VT_BSTR);
        EXPECT_EQ(std::u16string(element.bstrVal), i == 0 ? u"first" : u"second");
    }
    // A copy: the caller's array is its own.
    Var second;
    control->GetPostedFiles(&second);
    EXPECT_NE(second.parray, files.parray);
}

TEST(PictavoScript, CountAndClearGoToTheUploadList)
{
    ComPtr<IPictavo> control = makeControl();
    Var count;
    ASSERT_EQ(callByName(control.Get(), u"GetCount", {}, &count), S_OK);
    EXPECT_EQ(count.vt, VT_I4);
    EXPECT_EQ(count.lVal, 0);

    FakeList list;
    list.tiles = 4;
    impl(control)->SetUploadList(&list);
    LONG n = 0;
    EXPECT_EQ(control->GetCount(&n), S_OK);
    EXPECT_EQ(n, 4);
    EXPECT_EQ(control->GetCount(nullptr), E_POINTER);

    // Another control's run does not keep this list; this control's own run is stopped first
    // (the upload run's tests).
    AppState::Instance()->SetUploading();
    EXPECT_EQ(control->Clear(), S_OK);
    EXPECT_EQ(list.tiles, 0);
    AppState::Instance()->SetStopped();
    impl(control)->SetUploadList(nullptr);
}

TEST(PictavoScript, UrlIsKeptForTheUploadRun)
{
    ComPtr<IPictavo> control = makeControl();
    Var url(u"http://127.0.0.1:8080/up?x=1");
    EXPECT_EQ(putByName(control.Get(), u"PostUrl", url), S_OK);
    EXPECT_EQ(impl(control)->PostUrl(), u"http://127.0.0.1:8080/up?x=1");
}

TEST(PictavoScript, UploadWorkerReadsWhileScriptWrites)
{
    ComPtr<IPictavo> control = makeControl();
    CPictavo* object = impl(control);
    std::thread worker([object] {
        for (int i = 0; i < 500; ++i) {
            object->AppendPostedAnswer(u"ok");
            const auto fields = object->ExtraFields();
            ASSERT_LE(fields.size(), 1u);
            const std::u16string url = object->PostUrl();
            ASSERT_TRUE(url.empty() || url == u"http://example.invalid/a-long-enough-upload-address");
        }
    });
    Var name(u"k"), value(u"v"), url(u"http://example.invalid/a-long-enough-upload-address");
    for (int i = 0; i < 500; ++i) {
        control->AddField(name.bstrVal, value.bstrVal);
        control->ClearFields();
        control->put_PostUrl(url.bstrVal);
        Var files;
        control->GetPostedFiles(&files);
    }
    worker.join();
    Var files;
    control->GetPostedFiles(&files);
    LONG upper = 0;
    SafeArrayGetUBound(files.parray, 1, &upper);
    EXPECT_EQ(upper, 499);
}

// The control joins the calling thread to an apartment for the callback; a thread of the
// test's own takes that apartment with it.
template <class Body> void onOwnThread(Body body)
{
    std::thread(body).join();
}

TEST(PictavoCallback, WithoutACallbackNothingIsCalled)
{
    onOwnThread([] {
        ComPtr<IPictavo> control = makeControl();
        auto object = pictavo::platform::makeCom<PlainObject>();
        control->put_Object(object.Get());
        EXPECT_EQ(control->OnImagesPosted(), S_OK);
        EXPECT_EQ(object->invoke.count, 0);
    });
}

TEST(PictavoCallback, CallsTheScriptFunctionWithTheObject)
{
    onOwnThread([] {
        ComPtr<IPictavo> control = makeControl();
        auto function = pictavo::platform::makeCom<ScriptFunction>();
        auto object = pictavo::platform::makeCom<PlainObject>();
        Var fn, obj;
        fn.vt = VT_DISPATCH, fn.pdispVal = function.Get(), function->AddRef();
        obj.vt = VT_DISPATCH, obj.pdispVal = object.Get(), object->AddRef();
        ASSERT_EQ(putByName(control.Get(), u"AfterImagesPosted", fn), S_OK);
        ASSERT_EQ(putByName(control.Get(), u"Object", obj), S_OK);

        EXPECT_EQ(callByName(control.Get(), u"OnImagesPosted", {}, nullptr), S_OK);
        const Call& call = function->invokeEx;
        EXPECT_EQ(call.count, 1);
        EXPECT_EQ(call.id, DISPID_VALUE);
        EXPECT_EQ(call.lcid, 0x400u);
        EXPECT_EQ(call.flags, DISPATCH_METHOD);
        EXPECT_EQ(call.args, 1u);
        EXPECT_EQ(call.argType, VT_DISPATCH);
        EXPECT_EQ(call.argValue, static_cast<IDispatch*>(object.Get()));
        EXPECT_EQ(function->invoke.count, 0);
    });
}

TEST(PictavoCallback, FallsBackToInvokeAndPassesANullObject)
{
    onOwnThread([] {
        ComPtr<IPictavo> control = makeControl();
        auto callback = pictavo::platform::makeCom<PlainObject>();
        control->put_AfterImagesPosted(callback.Get());
        EXPECT_EQ(control->OnImagesPosted(), S_OK);
        EXPECT_EQ(callback->invoke.count, 1);
        EXPECT_EQ(callback->invoke.id, DISPID_VALUE);
        EXPECT_EQ(callback->invoke.flags, DISPATCH_METHOD);
        EXPECT_EQ(callback->invoke.argType, VT_DISPATCH);
        EXPECT_EQ(callback->invoke.argValue, nullptr);
    });
}

TEST(PictavoCallback, WorkerReachesThePageThreadThroughTheInterfaceTable)
{
    IGlobalInterfaceTable* table = pictavo::platform::GlobalInterfaceTable::instance();
    auto function = pictavo::platform::makeCom<ScriptFunction>();
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::promise<void> registered;
    DWORD pageThread = 0, cookie = 0;
    std::u16string urlSeenByPage;
    std::thread page([&] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        pageThread = GetCurrentThreadId();
        ComPtr<IPictavo> control = makeControl();
        control->put_AfterImagesPosted(function.Get());
        EXPECT_EQ(table->RegisterInterfaceInGlobal(control.Get(), IID_IPictavo, &cookie), S_OK);
        registered.set_value();
        WaitForSingleObject(done, INFINITE); // runs the worker's calls meanwhile
        urlSeenByPage = impl(control)->PostUrl();
        table->RevokeInterfaceFromGlobal(cookie);
        CoUninitialize();
    });
    registered.get_future().wait();

    ComPtr<IPictavo> proxy;
    ASSERT_EQ(
        table->GetInterfaceFromGlobal(cookie, IID_IPictavo, reinterpret_cast<void**>(proxy.GetAddressOf())),
        S_OK);
    Var url(u"http://127.0.0.1/up");
    EXPECT_EQ(proxy->put_PostUrl(url.bstrVal), S_OK);
    EXPECT_EQ(proxy->OnImagesPosted(), S_OK);
    LONG count = -1;
    EXPECT_EQ(proxy->GetCount(&count), S_OK);
    EXPECT_EQ(count, 0);
    proxy.Reset();
    SetEvent(done);
    page.join();
    CloseHandle(done);

    EXPECT_EQ(function->invokeEx.count, 1);
    EXPECT_EQ(function->invokeEx.thread, pageThread);
    EXPECT_EQ(urlSeenByPage, u"http://127.0.0.1/up");
}

TEST(PictavoCallback, StoredObjectsAreReferencedAndReleased)
{
    auto object = pictavo::platform::makeCom<PlainObject>();
    {
        ComPtr<IPictavo> control = makeControl();
        control->put_Object(object.Get());
        control->put_Object(object.Get());
        EXPECT_EQ(object->AddRef(), 3u);
        object->Release();
        control->put_Object(nullptr);
        EXPECT_EQ(object->AddRef(), 2u);
        object->Release();
        control->put_AfterImagesPosted(object.Get());
    }
    EXPECT_EQ(object->AddRef(), 2u);
    object->Release();
}

class PictavoLog : public testing::Test
{
protected:
    pictavo::test::TempDir dir;
    ComPtr<IPictavo> control = makeControl();

    HRESULT setLogFile(const std::string& name)
    {
        Var path(pictavo::platform::fromUtf8(dir.file(name).string()).c_str());
        return putByName(control.Get(), u"LogFile", path);
    }
    HRESULT setDebug(VARIANT_BOOL value)
    {
        Var v;
        v.vt = VT_BOOL, v.boolVal = value;
        return putByName(control.Get(), u"Debug", v);
    }
};

TEST_F(PictavoLog, DebugMustComeFirst)
{
    EXPECT_EQ(setLogFile("early.log"), S_OK);
    EXPECT_EQ(setDebug(VARIANT_TRUE), S_OK);
    EXPECT_FALSE(std::filesystem::exists(dir.file("early.log")));
    EXPECT_EQ(setLogFile("on.log"), S_OK);
    EXPECT_TRUE(std::regex_match(pictavo::test::readFile(dir.file("on.log")),
                                 std::regex(".*    - .* \\[Biz\\\\Log:51\\]\n")));
}

TEST_F(PictavoLog, DebugOfOneIsNotTrue)
{
    control->put_Debug(1);
    EXPECT_EQ(setLogFile("one.log"), S_OK);
    EXPECT_FALSE(std::filesystem::exists(dir.file("one.log")));
}

TEST_F(PictavoLog, ForeignFileIsNotEmptied)
{
    setDebug(VARIANT_TRUE);
    dir.write("page.html", "<html>precious</html>\n");
    EXPECT_EQ(setLogFile("page.html"), S_OK);
    EXPECT_EQ(pictavo::test::readFile(dir.file("page.html")), "<html>precious</html>\n");
}

} // namespace
