#include "ComObjectProxy.h"
#include "ScriptHost.h"
#include "ScriptObject.h"

#include "platform/com/HResult.h"
#include "platform/com/RefCounted.h"
#include "platform/kernel/Strings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

using namespace pictavo::host;
using pictavo::platform::RefCounted;

namespace {

// A control double answering by name like an automation object: Count (get/put long),
// Label (put-only string), Echo(x), Add(a, b), Object and Callback (put IDispatch),
// Fire() (the callback with Object, through InvokeEx), Files() and Grid() (SAFEARRAYs).
class FakeControl final : public RefCounted<IDispatch>
{
public:
    enum : DISPID
    {
        Count = 1,
        Label,
        Echo,
        Add,
        Object,
        Callback,
        Fire,
        Files,
        Grid
    };

    LONG count = 0;
    std::u16string label;
    VARIANT lastEcho{};
    IDispatch* object = nullptr;
    IDispatch* callback = nullptr;

    ~FakeControl() override
    {
        VariantClear(&lastEcho);
        setRef(object, nullptr);
        setRef(callback, nullptr);
    }

    HRESULT GetTypeInfoCount(UINT* n) override
    {
        *n = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override
    {
        static const std::pair<const char16_t*, DISPID> table[] = {
            {u"Count", Count}, {u"Label", Label},   {u"Echo", Echo},
            {u"Add", Add},     {u"Object", Object}, {u"Callback", Callback},
            {u"Fire", Fire},   {u"Files", Files},   {u"Grid", Grid}};
        for (const auto& [name, id] : table)
            if (pictavo::platform::equalsNoCase(name, names[0])) {
                ids[0] = id;
                return S_OK;
            }
        ids[0] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }

    HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* p, VARIANT* result, EXCEPINFO*,
                   UINT*) override
    {
        bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
        bool get = flags & DISPATCH_PROPERTYGET;
        bool call = flags & DISPATCH_METHOD;
        VARIANT v;
        VariantInit(&v);
        switch (id) {
        case Count:
            if (get) {
                result->vt = VT_I4;
                result->lVal = count;
                return S_OK;
            }
            if (!put)
                return DISP_E_MEMBERNOTFOUND;
            if (HRESULT hr = VariantChangeType(&v, &p->rgvarg[0], 0, VT_I4); FAILED(hr))
                return hr;
            count = v.lVal;
            return S_OK;
        case Label:
            if (!put)
                return DISP_E_MEMBERNOTFOUND;
            if (HRESULT hr = VariantChangeType(&v, &p->rgvarg[0], 0, VT_BSTR); FAILED(hr))
                return hr;
            label.assign(v.bstrVal, SysStringLen(v.bstrVal));
            VariantClear(&v);
            return S_OK;
        case Object:
        case Callback: {
            if (!put)
                return DISP_E_MEMBERNOTFOUND;
            IDispatch* value = p->rgvarg[0].vt == VT_DISPATCH ? p->rgvarg[0].pdispVal : nullptr;
            setRef(id == Object ? object : callback, value);
            return S_OK;
        }
        default:
            break;
        }
        if (!call)
            return DISP_E_MEMBERNOTFOUND;
        switch (id) {
        case Echo:
            if (p->cArgs != 1)
                return DISP_E_BADPARAMCOUNT;
            VariantClear(&lastEcho);
            VariantCopy(&lastEcho, &p->rgvarg[0]);
            return VariantCopy(result, &p->rgvarg[0]);
        case Add: {
            if (p->cArgs != 2)
                return DISP_E_BADPARAMCOUNT;
            VARIANT a, b;
            VariantInit(&a);
            VariantInit(&b);
            if (FAILED(VariantChangeType(&a, &p->rgvarg[1], 0, VT_I4)) ||
                FAILED(VariantChangeType(&b, &p->rgvarg[0], 0, VT_I4)))
                return DISP_E_TYPEMISMATCH;
            result->vt = VT_I4;
            result->lVal = a.lVal - b.lVal; // first minus second: shows the argument order
            return S_OK;
        }
        case Fire:
            return fire(result);
        case Files: {
            SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 2);
            const char16_t* texts[] = {u"first answer", u"二"};
            for (LONG i = 0; i < 2; ++i) {
                VARIANT e;
                e.vt = VT_BSTR;
                e.bstrVal = SysAllocString(texts[i]);
                SafeArrayPutElement(array, &i, &e);
                VariantClear(&e);
            }
            result->vt = VT_ARRAY | VT_VARIANT;
            result->parray = array;
            return S_OK;
        }
        case Grid: {
            SAFEARRAYBOUND bounds[] = {{2, 1}, {3, 0}}; // (1..2, 0..2)
            SAFEARRAY* array = SafeArrayCreate(VT_I4, 2, bounds);
            for (LONG i = 1; i <= 2; ++i)
                for (LONG j = 0; j <= 2; ++j) {
                    LONG index[] = {i, j};
                    LONG value = i * 10 + j;
                    SafeArrayPutElement(array, index, &value);
                }
            result->vt = VT_ARRAY | VT_I4;
            result->parray = array;
            return S_OK;
        }
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    }

    HRESULT fire(VARIANT* result)
    {
        if (!callback)
            return S_OK;
        IDispatchEx* ex = nullptr;
        if (FAILED(callback->QueryInterface(IID_IDispatchEx, reinterpret_cast<void**>(&ex))))
            return E_NOINTERFACE;
        VARIANT arg;
        arg.vt = VT_DISPATCH;
        arg.pdispVal = object;
        DISPPARAMS params{&arg, nullptr, 1, 0};
        // Like the control: the callback's own failure is not the caller's.
        ex->InvokeEx(DISPID_VALUE, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result, nullptr, nullptr);
        ex->Release();
        return S_OK;
    }

private:
    static void setRef(IDispatch*& slot, IDispatch* value)
    {
        if (value)
            value->AddRef();
        if (slot)
            slot->Release();
        slot = value;
    }
};

class ValueBridgeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        out = open_memstream(&outBuf, &outLen);
        err = open_memstream(&errBuf, &errLen);
        host = std::make_unique<ScriptHost>(out, err);
        control = new FakeControl;
        control->AddRef(); // the test keeps one reference of its own
        ComObjectProxy::push(host->context(), control);
        duk_put_global_string(host->context(), "ctl");
        run("function check(c, what) { if (!c) throw new Error('check failed: ' + what); }");
    }
    void TearDown() override
    {
        host.reset();
        control->Release();
        std::fclose(out);
        std::fclose(err);
        std::free(outBuf);
        std::free(errBuf);
    }
    void run(const std::string& source) { host->runSource(source, "test.js"); }
    std::string output()
    {
        std::fflush(out);
        return std::string(outBuf, outLen);
    }
    std::string errors()
    {
        std::fflush(err);
        return std::string(errBuf, errLen);
    }
    void expectClean()
    {
        EXPECT_FALSE(host->finished()) << errors();
        EXPECT_EQ(errors(), "");
    }

    std::FILE* out = nullptr;
    std::FILE* err = nullptr;
    char* outBuf = nullptr;
    char* errBuf = nullptr;
    size_t outLen = 0;
    size_t errLen = 0;
    std::unique_ptr<ScriptHost> host;
    FakeControl* control = nullptr;
};

TEST_F(ValueBridgeTest, ScriptValuesCrossAsTheAgreedVariantTypes)
{
    struct Case
    {
        const char* script;
        VARTYPE vt;
    };
    const Case cases[] = {{"true", VT_BOOL},
                          {"false", VT_BOOL},
                          {"7", VT_I4},
                          {"-2147483648", VT_I4},
                          {"2147483648", VT_R8},
                          {"1.5", VT_R8},
                          {"'text'", VT_BSTR},
                          {"null", VT_NULL},
                          {"undefined", VT_EMPTY},
                          {"({})", VT_DISPATCH},
                          {"(function(){})", VT_DISPATCH},
                          {"[1,2]", VT_DISPATCH},
                          {"new VBArray([1])", VT_ARRAY | VT_VARIANT},
                          // A script Proxy's traps must not run while the bridge looks at it.
                          {"new Proxy({}, {get: function() { throw new Error('trap'); }})", VT_DISPATCH}};
    for (const auto& c : cases) {
        run(std::string("ctl.Echo(") + c.script + ");");
        EXPECT_EQ(control->lastEcho.vt, c.vt) << c.script;
    }
    run("ctl.Echo(true);");
    EXPECT_EQ(control->lastEcho.boolVal, VARIANT_TRUE);
    run("ctl.Echo(-5);");
    EXPECT_EQ(control->lastEcho.lVal, -5);
    expectClean();

    // And back: each value returns as itself.
    run("check(ctl.Echo(true) === true, 'bool');"
        "check(ctl.Echo(7) === 7 && ctl.Echo(1.5) === 1.5 && ctl.Echo(4294967296) === 4294967296, 'numbers');"
        "check(ctl.Echo('x') === 'x' && ctl.Echo('') === '', 'strings');"
        "check(ctl.Echo(null) === null && ctl.Echo(undefined) === undefined, 'null and undefined');"
        "check(ctl.Echo(ctl).Count === 0, 'a COM object comes back usable');"
        "ctl.Echo(0);"); // the double would otherwise keep itself alive
    expectClean();
}

TEST_F(ValueBridgeTest, TextCrossesAsUtf16AndPrintsAsUtf8)
{
    run("var s = ctl.Echo('a\\u4e2d\\ud834\\udd1e');"
        "check(s.length === 4 && s.charCodeAt(2) === 0xd834, 'length in UTF-16 units');"
        "console.log(s, 'G-clef: \\ud834\\udd1e');");
    ASSERT_EQ(control->lastEcho.vt, VT_BSTR);
    EXPECT_EQ(std::u16string(control->lastEcho.bstrVal), u"a\u4e2d\U0001D11E");
    EXPECT_EQ(output(), "a\xe4\xb8\xad\xf0\x9d\x84\x9e G-clef: \xf0\x9d\x84\x9e\n");
    expectClean();
}

TEST_F(ValueBridgeTest, PropertiesAndMethodsGoThroughDispatchByName)
{
    run("ctl.Count = '42'; check(ctl.Count === 42, 'coerced put and get');"
        "ctl.count = 5; check(ctl.COUNT === 5, 'names without regard to case');"
        "ctl.Label = 12;"
        "check(ctl.Add(10, 3) === 7, 'arguments in order');");
    EXPECT_EQ(control->label, u"12");
    expectClean();
}

TEST_F(ValueBridgeTest, FailuresThrowErrorsNamingMemberAndHresult)
{
    run("var m = []; function t(f) { try { f(); m.push('none'); } catch (e) { m.push(e.message); } }"
        "t(function(){ ctl.Count = 'abc'; });"
        "t(function(){ ctl.Count = 1e12; });"
        "t(function(){ var x = ctl.Label + ''; });"
        "t(function(){ ctl.Nope = 1; });"
        "t(function(){ return ctl.Nope; });"
        "t(function(){ ctl.Add(1); });"
        "t(function(){ ctl.Label(); });"
        "t(function(){ console.log(ctl.Label); });"
        "console.log(m.join('\\n'));");
    EXPECT_EQ(output(), "Count: 0x80020005 (DISP_E_TYPEMISMATCH)\n"
                        "Count: 0x8002000A (DISP_E_OVERFLOW)\n"
                        "Label: 0x80020003 (DISP_E_MEMBERNOTFOUND)\n"
                        "Nope: 0x80020006 (DISP_E_UNKNOWNNAME)\n"
                        "Nope: 0x80020006 (DISP_E_UNKNOWNNAME)\n"
                        "Add: 0x8002000E (DISP_E_BADPARAMCOUNT)\n"
                        "Label: 0x80020003 (DISP_E_MEMBERNOTFOUND)\n"
                        "Label: 0x80020003 (DISP_E_MEMBERNOTFOUND)\n");
    expectClean();
}

TEST_F(ValueBridgeTest, CallbackReceivesTheSameObjectAndItsResultComesBack)
{
    run("var page = { name: 'page' }; var seen;"
        "ctl.Object = page;"
        "ctl.Callback = function(o) { seen = o; return o.name + '!'; };"
        "check(ctl.Fire() === 'page!', 'callback result');"
        "check(seen === page, 'identity');"
        "ctl.Object = page; ctl.Object = page;");
    expectClean();
    EXPECT_EQ(host->bridge().liveWrappers(), 2u); // one wrapper per object, however often passed
    run("ctl.Object = null; ctl.Callback = null;");
    EXPECT_EQ(host->bridge().liveWrappers(), 0u);
}

TEST_F(ValueBridgeTest, CallbackErrorIsUncaughtAndEndsThePage)
{
    run("ctl.Callback = function() { throw new Error('boom'); }; ctl.Fire(); console.log('not reached');");
    EXPECT_EQ(output(), "");
    EXPECT_NE(errors().find("Uncaught Error: boom"), std::string::npos) << errors();
    EXPECT_TRUE(host->finished());
    EXPECT_EQ(host->exitCode(), 1);
}

TEST_F(ValueBridgeTest, HostExitInACallbackStopsThePageWithItsCode)
{
    run("ctl.Callback = function() { host.exit(3); }; ctl.Fire(); console.log('not reached');");
    EXPECT_EQ(output(), "");
    EXPECT_EQ(errors(), "");
    EXPECT_TRUE(host->finished());
    EXPECT_EQ(host->exitCode(), 3);
}

TEST_F(ValueBridgeTest, UncaughtErrorNamesFileAndLine)
{
    run("\n\nundefinedThing();");
    EXPECT_TRUE(host->finished());
    EXPECT_EQ(host->exitCode(), 1);
    EXPECT_NE(errors().find("ReferenceError"), std::string::npos) << errors();
    EXPECT_NE(errors().find("(test.js:3)"), std::string::npos) << errors();
}

TEST_F(ValueBridgeTest, ScriptObjectRefusesCallsFromOtherThreads)
{
    run("ctl.Callback = function() { return 1; };");
    IDispatch* callback = control->callback;
    ASSERT_NE(callback, nullptr);
    HRESULT fromWorker = S_OK;
    std::thread([&] {
        VARIANT result;
        VariantInit(&result);
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        fromWorker =
            callback->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr);
    }).join();
    EXPECT_EQ(fromWorker, RPC_E_WRONG_THREAD);
}

TEST_F(ValueBridgeTest, LastReleaseOnAnotherThreadIsFreedByTheHostThread)
{
    run("ctl.Callback = function() {};");
    IDispatch* callback = control->callback;
    control->callback = nullptr;
    std::thread([callback] { callback->Release(); }).join();
    EXPECT_EQ(host->bridge().liveWrappers(), 1u);
    host->bridge().collect();
    EXPECT_EQ(host->bridge().liveWrappers(), 0u);
}

TEST_F(ValueBridgeTest, WrapperOutlivingTheHostAnswersWithoutTouchingIt)
{
    run("ctl.Callback = function() { return 1; };");
    IDispatch* callback = control->callback;
    callback->AddRef();
    host.reset(); // releases the control's script-side reference, not ours
    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(callback->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
              E_UNEXPECTED);
    callback->Release();
    host = std::make_unique<ScriptHost>(out, err);
}

TEST_F(ValueBridgeTest, SafeArraysArriveAsArraysAndVBArrayReadsThem)
{
    run("var files = ctl.Files();"
        "check(files instanceof Array && files.length === 2 && files[1] === '\\u4e8c', 'array of answers');"
        "var vb = new VBArray(files);"
        "check(vb.dimensions() === 1 && vb.lbound() === 0 && vb.ubound(1) === 1, 'bounds');"
        "check(vb.getItem(0) === 'first answer' && vb.toArray().join() === files.join(), 'items');"
        "check(vb.toArray() !== files, 'toArray copies');"
        "var g = new VBArray(ctl.Grid());"
        "check(g.dimensions() === 2 && g.lbound(1) === 1 && g.ubound(1) === 2 && g.ubound(2) === 2, 'grid "
        "bounds');"
        "check(g.getItem(2, 1) === 21 && g.getItem(1, 2) === 12, 'grid items');"
        "check(g.toArray().join() === '10,20,11,21,12,22', 'left-most index fastest');"
        "var m = []; function t(f) { try { f(); m.push('none'); } catch (e) { m.push(e.name); } }"
        "t(function(){ g.getItem(0, 0); }); t(function(){ g.getItem(1); }); t(function(){ vb.lbound(2); });"
        "t(function(){ new VBArray(5); });"
        "console.log(m.join());"
        "var back = ctl.Echo(g);"
        "check(back.length === 6 && new VBArray(back).getItem(2, 2) === 22, 'a VBArray goes back as a "
        "SAFEARRAY');");
    EXPECT_EQ(output(), "RangeError,RangeError,RangeError,TypeError\n");
    expectClean();
}

TEST_F(ValueBridgeTest, TimersRunInDueOrderAndCanBeCleared)
{
    run("setTimeout(function(){ console.log('late'); }, 30);"
        "setTimeout(function(){ console.log('soon'); }, 0);"
        "var c = setTimeout(function(){ console.log('cleared'); }, 0); clearTimeout(c);");
    ScriptHost::Clock::time_point due;
    while (host->nextTimer(due)) {
        std::this_thread::sleep_until(due);
        host->runDueTimers();
    }
    EXPECT_EQ(output(), "soon\nlate\n");
    expectClean();
}

} // namespace
