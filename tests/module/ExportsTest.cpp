#include "module/Module.h"
#include "module/PictavoTypeLib.h"
#include "platform/com/Dispatch.h"
#include "platform/com/HResult.h"

#include <gtest/gtest.h>

extern "C" HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object);
extern "C" HRESULT DllCanUnloadNow();

TEST(ExportsTest, ClassObjectOnlyForThePictavoClass)
{
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, DllGetClassObject(IID_IPictavo, IID_IClassFactory, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(E_POINTER, DllGetClassObject(CLSID_Pictavo, IID_IClassFactory, nullptr));
    EXPECT_EQ(E_NOINTERFACE, DllGetClassObject(CLSID_Pictavo, IID_IDispatch, &object));
    EXPECT_EQ(S_OK, DllGetClassObject(CLSID_Pictavo, IID_IUnknown, &object));
    static_cast<IUnknown*>(object)->Release();
}

TEST(ExportsTest, UnloadableOnlyWhileNothingHoldsTheModule)
{
    ASSERT_EQ(S_OK, DllCanUnloadNow());
    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, DllGetClassObject(CLSID_Pictavo, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    EXPECT_EQ(S_FALSE, DllCanUnloadNow());

    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    factory->Release();
    EXPECT_EQ(S_FALSE, DllCanUnloadNow());
    ASSERT_EQ(S_OK, DllGetClassObject(CLSID_Pictavo, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));

    // The object keeps the module loaded after the factory is gone, until its last release.
    IDispatch* control = nullptr;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(factory, IID_IUnknown, reinterpret_cast<void**>(&control)));
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&control)));
    factory->Release();
    EXPECT_EQ(S_FALSE, DllCanUnloadNow());
    control->AddRef();
    control->Release();
    EXPECT_EQ(S_FALSE, DllCanUnloadNow());
    control->Release();
    EXPECT_EQ(S_OK, DllCanUnloadNow());

    // An unlock without a lock is a client's fault; it must not hide a later lock.
    ASSERT_EQ(S_OK, DllGetClassObject(CLSID_Pictavo, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    factory->LockServer(FALSE);
    factory->LockServer(FALSE);
    factory->Release();
    factory->LockServer(TRUE);
    EXPECT_EQ(S_FALSE, DllCanUnloadNow());
    factory->LockServer(FALSE);
    EXPECT_EQ(S_OK, DllCanUnloadNow());
}
