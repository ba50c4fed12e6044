// The module's entry points, called by the class loader and by pictavo-regsvr.

#include "module/ClassFactory.h"
#include "module/Module.h"
#include "module/Pictavo.h"
#include "module/PictavoTypeLib.h"
#include "module/Registrar.h"
#include "platform/kernel/Strings.h"

namespace {

constexpr UINT kModuleScript = 101;
constexpr UINT kClassScript = 103;
constexpr char16_t kAppId[] = u"{D3DC42EF-2403-4DCB-8F6F-D7CC66A339B7}";
constexpr char16_t kOleMisc[] = u"131473";

ClassFactory& pictavoFactory()
{
    static ClassFactory factory(&CPictavo::CreateInstance);
    return factory;
}

Registrar registrar()
{
    Registrar r;
    r.AddReplacement(u"MODULE", Module::Path());
    r.AddReplacement(u"APPID", kAppId);
    r.AddReplacement(u"OLEMISC", kOleMisc);
    return r;
}

HRESULT registerServer()
{
    Registrar r = registrar();
    HRESULT hr = r.ResourceRegister(Module::Handle(), kModuleScript);
    if (SUCCEEDED(hr))
        hr = r.ResourceRegister(Module::Handle(), kClassScript);
    if (SUCCEEDED(hr))
        hr = RegisterPictavoTypeLibrary(Module::Path());
    return hr;
}

HRESULT unregisterServer()
{
    Registrar r = registrar();
    HRESULT hr = r.ResourceUnregister(Module::Handle(), kClassScript);
    const HRESULT typeLib = UnregisterPictavoTypeLibrary();
    const HRESULT module = r.ResourceUnregister(Module::Handle(), kModuleScript);
    if (SUCCEEDED(hr))
        hr = FAILED(typeLib) ? typeLib : module;
    return hr;
}

} // namespace

PICTAVO_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_Pictavo))
        return CLASS_E_CLASSNOTAVAILABLE;
    return pictavoFactory().QueryInterface(riid, object);
}

PICTAVO_EXPORT HRESULT DllCanUnloadNow() { return Module::LockCount() == 0 ? S_OK : S_FALSE; }

PICTAVO_EXPORT HRESULT DllRegisterServer() { return registerServer(); }

PICTAVO_EXPORT HRESULT DllUnregisterServer() { return unregisterServer(); }

PICTAVO_EXPORT HRESULT DllInstall(BOOL install, LPCWSTR cmdLine)
{
    const bool perUser = cmdLine && pictavo::platform::equalsNoCase(cmdLine, u"user");
    HKEY userClasses = nullptr;
    if (perUser) {
        LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &userClasses, nullptr);
        if (rc != ERROR_SUCCESS)
            return HRESULT_FROM_WIN32(static_cast<DWORD>(rc));
        RegOverridePredefKey(HKEY_CLASSES_ROOT, userClasses);
    }
    HRESULT hr = install ? registerServer() : unregisterServer();
    if (install && FAILED(hr))
        unregisterServer();
    if (perUser) {
        RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        RegCloseKey(userClasses);
    }
    return hr;
}
