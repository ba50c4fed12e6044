#include "MessagePump.h"
#include "ScriptHost.h"

#include "platform/com/Apartment.h"
#include "platform/com/HResult.h"
#include "platform/kernel/Synch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

using namespace pictavo::host;
using namespace std::chrono_literals;

namespace {

class MessagePumpTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        apartment = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        out = open_memstream(&outBuf, &outLen);
        host = std::make_unique<ScriptHost>(out, stderr);
    }
    void TearDown() override
    {
        host.reset();
        std::fclose(out);
        std::free(outBuf);
        if (SUCCEEDED(apartment))
            CoUninitialize();
    }
    std::string output()
    {
        std::fflush(out);
        return std::string(outBuf, outLen);
    }
    int pump(std::chrono::milliseconds limit)
    {
        return MessagePump::run(*host, ScriptHost::Clock::now() + limit);
    }

    HRESULT apartment = E_FAIL;
    std::FILE* out = nullptr;
    char* outBuf = nullptr;
    size_t outLen = 0;
    std::unique_ptr<ScriptHost> host;
};

// The control's end-of-run path: the page's function, fetched from the global interface table
// on a worker, is called there; the call must run on the page's thread while it pumps.
TEST_F(MessagePumpTest, CallbackFromAWorkerRunsOnThePageThread)
{
    host->runSource("var page = {}; var seenObject;"
                    "function done(o, text) { console.log(o === page, text); host.exit(5); }",
                    "page.js");
    duk_context* ctx = host->context();
    VARIANT fn, obj;
    duk_get_global_string(ctx, "done");
    ASSERT_EQ(host->bridge().toVariant(ctx, -1, &fn), S_OK);
    duk_get_global_string(ctx, "page");
    ASSERT_EQ(host->bridge().toVariant(ctx, -1, &obj), S_OK);
    duk_pop_2(ctx);

    IGlobalInterfaceTable* table = pictavo::platform::GlobalInterfaceTable::instance();
    DWORD cookie = 0;
    ASSERT_EQ(table->RegisterInterfaceInGlobal(fn.pdispVal, IID_IDispatch, &cookie), S_OK);
    HRESULT workerResult = E_FAIL;
    auto work = [&] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        IDispatchEx* callback = nullptr;
        if (SUCCEEDED(table->GetInterfaceFromGlobal(cookie, IID_IDispatchEx,
                                                    reinterpret_cast<void**>(&callback)))) {
            VARIANT args[2]; // last-first
            args[0].vt = VT_BSTR;
            args[0].bstrVal = SysAllocString(u"from worker");
            args[1] = obj;
            DISPPARAMS params{args, nullptr, 2, 0};
            VARIANT result;
            VariantInit(&result);
            workerResult = callback->InvokeEx(DISPID_VALUE, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                              &result, nullptr, nullptr);
            SysFreeString(args[0].bstrVal);
            VariantClear(&result);
            callback->Release();
        }
        CoUninitialize();
    };
    // A platform thread: waiting for it keeps answering the calls it sends (its Release).
    auto start = [](void* arg) -> unsigned {
        (*static_cast<decltype(work)*>(arg))();
        return 0;
    };
    auto worker = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, start, &work, 0, nullptr));
    ASSERT_NE(worker, nullptr);
    auto started = ScriptHost::Clock::now();
    int code = pump(10s);
    EXPECT_LT(ScriptHost::Clock::now() - started, 5s) << "the pump did not notice the call";
    EXPECT_EQ(WaitForSingleObject(worker, 10000), WAIT_OBJECT_0);
    CloseHandle(worker);
    table->RevokeInterfaceFromGlobal(cookie);
    VariantClear(&fn);
    VariantClear(&obj);

    EXPECT_EQ(code, 5);
    EXPECT_EQ(workerResult, S_OK);
    EXPECT_EQ(output(), "true from worker\n");
}

TEST_F(MessagePumpTest, TimersRunWhilePumpingAndDeadlineEndsAnIdlePage)
{
    host->runSource("setTimeout(function() { console.log('tick'); host.exit(2); }, 20);", "page.js");
    EXPECT_EQ(pump(5s), 2);
    EXPECT_EQ(output(), "tick\n");

    host = std::make_unique<ScriptHost>(out, stderr);
    auto start = ScriptHost::Clock::now();
    EXPECT_EQ(pump(100ms), MessagePump::kTimeoutExit);
    EXPECT_GE(ScriptHost::Clock::now() - start, 100ms);
}

} // namespace
