#include "VariantTestSupport.h"

#include "support/FakeDispatch.h"

#include "platform/com/Apartment.h"
#include "platform/com/DispatchImpl.h"
#include "platform/com/RefCounted.h"
#include "platform/kernel/Message.h"
#include "platform/kernel/Synch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <thread>
#include <vector>

namespace {

using namespace pictavo::platform;

constexpr TypeParam kEchoParams[] = {{u"text", VT_BSTR, PARAMFLAG_FIN},
                                     {u"result", VT_BSTR, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TypeParam kThreadParams[] = {{u"id", VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TypeMember kMembers[] = {
    {1, u"Echo", MemberKind::Method, kEchoParams, u""},
    {2, u"ThreadId", MemberKind::Method, kThreadParams, u""},
};
constexpr IID IID_ITyped = makeGuid("0C58D11A-0000-4F45-9BDA-AA99BFE98F03");
constexpr TypeInterface kInterface{IID_ITyped, u"ITyped", u"", TYPEFLAG_FDUAL, IID_IDispatch, kMembers};

std::atomic<int> g_alive{0};

// A scriptable object that remembers which thread ran its calls and which BSTR it was given.
class Echo : public pictavo::test::TypedDispatch
{
public:
    Echo()
        : TypedDispatch(kInterface, [this](DISPID id, WORD, VARIANT* args, UINT, VARIANT* result) {
              if (id == 1) {
                  lastArgument = args[0].bstrVal;
                  result->vt = VT_BSTR;
                  result->bstrVal = SysAllocString(args[0].bstrVal);
              } else {
                  result->vt = VT_I4;
                  result->lVal = static_cast<LONG>(GetCurrentThreadId());
              }
              return S_OK;
          })
    {
        ++g_alive;
    }
    ~Echo() override { --g_alive; }

    BSTR lastArgument = nullptr; // only compared, never read after the call

protected:
    HRESULT queryOther(REFIID riid, void** object) override
    {
        if (!IsEqualIID(riid, IID_ITyped))
            return E_NOINTERFACE;
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
};

// A thread in an apartment of its own that registers an Echo and then pumps or waits as told.
class Owner
{
public:
    enum class Mode
    {
        Pump,
        WaitOnEvent
    };

    explicit Owner(Mode mode) : m_event(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
        std::promise<void> ready;
        auto started = ready.get_future();
        m_thread = std::thread([this, mode, &ready] {
            CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            threadId = GetCurrentThreadId();
            auto object = makeCom<Echo>();
            echo = object.Get();
            GlobalInterfaceTable::instance()->RegisterInterfaceInGlobal(object.Get(), IID_IDispatch, &cookie);
            ready.set_value();
            if (mode == Mode::Pump) {
                MSG msg;
                while (GetMessageW(&msg, nullptr, 0, 0)) {
                }
            } else if (mode == Mode::WaitOnEvent) {
                WaitForSingleObject(m_event, INFINITE);
            }
            CoUninitialize();
        });
        started.wait();
    }
    ~Owner()
    {
        if (m_thread.joinable()) {
            PostThreadMessageW(threadId, WM_QUIT, 0, 0);
            SetEvent(m_event);
            m_thread.join();
        }
        CloseHandle(m_event);
    }

    DWORD threadId = 0;
    DWORD cookie = 0;
    Echo* echo = nullptr;

private:
    HANDLE m_event;
    std::thread m_thread;
};

HRESULT callEcho(IDispatch* target, const char16_t* text, Var* result)
{
    Var arg(text);
    DISPPARAMS params{&arg, nullptr, 1, 0};
    return target->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &params, result, nullptr, nullptr);
}

LONG threadOfCall(IDispatch* target)
{
    Var result;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(target->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr), S_OK);
    return result.lVal;
}

TEST(Apartment, InitialiseOnceThenSameOrChangedMode)
{
    std::thread([] {
        EXPECT_EQ(currentApartment(), ApartmentKind::None);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE), S_FALSE);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
        CoUninitialize();
        EXPECT_EQ(currentApartment(), ApartmentKind::SingleThreaded); // one success still open
        CoUninitialize();
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        EXPECT_EQ(CoInitialize(nullptr), RPC_E_CHANGED_MODE);
        CoUninitialize();
        int reserved = 0;
        EXPECT_EQ(CoInitializeEx(&reserved, COINIT_MULTITHREADED), E_INVALIDARG);
    }).join();
}

TEST(GlobalInterfaceTable, CallsRunOnTheRegisteringThreadWhileItPumps)
{
    Owner owner(Owner::Mode::Pump);
    IGlobalInterfaceTable* git = GlobalInterfaceTable::instance();
    ComPtr<IDispatch> proxy;
    ASSERT_EQ(git->GetInterfaceFromGlobal(owner.cookie, IID_IDispatch, reinterpret_cast<void**>(&proxy)),
              S_OK);
    EXPECT_NE(proxy.Get(), static_cast<IDispatch*>(owner.echo));
    EXPECT_EQ(static_cast<DWORD>(threadOfCall(proxy.Get())), owner.threadId);

    Var result;
    Var arg(u"héllo");
    DISPPARAMS params{&arg, nullptr, 1, 0};
    ASSERT_EQ(proxy->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(result.text(), u"héllo");
    EXPECT_NE(owner.echo->lastArgument, arg.bstrVal); // the text crossed as a copy

    // Names and failures come back too.
    LPOLESTR names[] = {const_cast<LPOLESTR>(u"threadid")};
    DISPID id = 0;
    EXPECT_EQ(proxy->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    EXPECT_EQ(id, 2);
    UINT argErr = 9;
    Var wrong;
    wrong.vt = VT_NULL;
    DISPPARAMS bad{&wrong, nullptr, 1, 0};
    EXPECT_EQ(proxy->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &bad, nullptr, nullptr, &argErr),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 0u);

    // No IDispatchEx on the object: none on the proxy either, but InvokeEx still reaches Invoke.
    ComPtr<IDispatchEx> ex;
    EXPECT_EQ(proxy.As(&ex), E_NOINTERFACE);
    EXPECT_EQ(git->GetInterfaceFromGlobal(owner.cookie, IID_IDispatchEx, reinterpret_cast<void**>(&ex)),
              E_NOINTERFACE);
    EXPECT_EQ(git->RevokeInterfaceFromGlobal(owner.cookie), S_OK);
    EXPECT_EQ(git->GetInterfaceFromGlobal(owner.cookie, IID_IDispatch, reinterpret_cast<void**>(&ex)),
              E_INVALIDARG);
}

TEST(GlobalInterfaceTable, CallsRunWhileTheRegisteringThreadBlocksInAWait)
{
    Owner owner(Owner::Mode::WaitOnEvent);
    ComPtr<IDispatch> proxy;
    ASSERT_EQ(GlobalInterfaceTable::instance()->GetInterfaceFromGlobal(owner.cookie, IID_IDispatch,
                                                                       reinterpret_cast<void**>(&proxy)),
              S_OK);
    EXPECT_EQ(static_cast<DWORD>(threadOfCall(proxy.Get())), owner.threadId);
    GlobalInterfaceTable::instance()->RevokeInterfaceFromGlobal(owner.cookie);
}

TEST(GlobalInterfaceTable, ManyCallersAllReachTheOneThread)
{
    Owner owner(Owner::Mode::Pump);
    std::atomic<int> onOwner{0};
    std::vector<std::thread> callers;
    for (int t = 0; t < 4; ++t)
        callers.emplace_back([&] {
            ComPtr<IDispatch> proxy;
            ASSERT_EQ(GlobalInterfaceTable::instance()->GetInterfaceFromGlobal(
                          owner.cookie, IID_IDispatch, reinterpret_cast<void**>(&proxy)),
                      S_OK);
            for (int i = 0; i < 50; ++i)
                if (static_cast<DWORD>(threadOfCall(proxy.Get())) == owner.threadId)
                    ++onOwner;
        });
    for (auto& c : callers)
        c.join();
    EXPECT_EQ(onOwner, 200);
    GlobalInterfaceTable::instance()->RevokeInterfaceFromGlobal(owner.cookie);
}

TEST(GlobalInterfaceTable, OnTheRegisteringThreadItIsTheObjectItself)
{
    std::thread([] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        auto object = makeCom<Echo>();
        IGlobalInterfaceTable* git = GlobalInterfaceTable::instance();
        DWORD cookie = 0;
        ASSERT_EQ(git->RegisterInterfaceInGlobal(object.Get(), IID_IDispatch, &cookie), S_OK);
        ComPtr<IDispatch> same;
        ASSERT_EQ(git->GetInterfaceFromGlobal(cookie, IID_IDispatch, reinterpret_cast<void**>(&same)), S_OK);
        EXPECT_EQ(same.Get(), static_cast<IDispatch*>(object.Get()));
        EXPECT_EQ(git->RevokeInterfaceFromGlobal(cookie), S_OK);
        EXPECT_EQ(git->RevokeInterfaceFromGlobal(cookie), E_INVALIDARG);
        CoUninitialize();
        EXPECT_EQ(git->RegisterInterfaceInGlobal(object.Get(), IID_IDispatch, &cookie), CO_E_NOTINITIALIZED);
    }).join();
}

TEST(GlobalInterfaceTable, AProxyToAnEndedThreadFailsQuickly)
{
    int before = g_alive;
    {
        ComPtr<IDispatch> proxy;
        DWORD cookie;
        {
            Owner owner(Owner::Mode::Pump);
            cookie = owner.cookie;
            ASSERT_EQ(GlobalInterfaceTable::instance()->GetInterfaceFromGlobal(
                          cookie, IID_IDispatch, reinterpret_cast<void**>(&proxy)),
                      S_OK);
        } // the owner thread ends here
        auto start = std::chrono::steady_clock::now();
        Var result;
        EXPECT_EQ(callEcho(proxy.Get(), u"x", &result), RPC_E_DISCONNECTED);
        ComPtr<IDispatch> late;
        EXPECT_EQ(GlobalInterfaceTable::instance()->GetInterfaceFromGlobal(cookie, IID_IDispatch,
                                                                           reinterpret_cast<void**>(&late)),
                  RPC_E_DISCONNECTED);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        EXPECT_EQ(GlobalInterfaceTable::instance()->RevokeInterfaceFromGlobal(cookie), S_OK);
    }
    EXPECT_EQ(g_alive, before); // the table's and the proxy's references were released
}

// What a module supplies for its dual interface: typed calls forwarded through the dispatch proxy.
class TypedProxy : public RefCounted<IDispatch>
{
public:
    explicit TypedProxy(IDispatch* marshalled) : m_inner(marshalled) {}
    HRESULT GetTypeInfoCount(UINT* n) override { return m_inner->GetTypeInfoCount(n); }
    HRESULT GetTypeInfo(UINT i, LCID l, ITypeInfo** t) override { return m_inner->GetTypeInfo(i, l, t); }
    HRESULT GetIDsOfNames(REFIID r, LPOLESTR* n, UINT c, LCID l, DISPID* d) override
    {
        return m_inner->GetIDsOfNames(r, n, c, l, d);
    }
    HRESULT Invoke(DISPID d, REFIID r, LCID l, WORD f, DISPPARAMS* p, VARIANT* v, EXCEPINFO* e,
                   UINT* a) override
    {
        return m_inner->Invoke(d, r, l, f, p, v, e, a);
    }

protected:
    HRESULT queryOther(REFIID riid, void** object) override
    {
        if (!IsEqualIID(riid, IID_ITyped))
            return E_NOINTERFACE;
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }

private:
    ComPtr<IDispatch> m_inner;
};

TEST(GlobalInterfaceTable, TypedProxiesComeFromTheRegisteredFactory)
{
    Owner owner(Owner::Mode::Pump);
    IGlobalInterfaceTable* git = GlobalInterfaceTable::instance();
    ComPtr<IDispatch> typed;
    EXPECT_EQ(git->GetInterfaceFromGlobal(owner.cookie, IID_ITyped, reinterpret_cast<void**>(&typed)),
              E_NOINTERFACE);
    GlobalInterfaceTable::registerProxyFactory(IID_ITyped,
                                               [](IDispatch* marshalled, REFIID riid, void** out) {
                                                   auto proxy = makeCom<TypedProxy>(marshalled);
                                                   return proxy->QueryInterface(riid, out);
                                               });
    ASSERT_EQ(git->GetInterfaceFromGlobal(owner.cookie, IID_ITyped, reinterpret_cast<void**>(&typed)), S_OK);
    EXPECT_EQ(static_cast<DWORD>(threadOfCall(typed.Get())), owner.threadId);
    git->RevokeInterfaceFromGlobal(owner.cookie);
}

} // namespace
