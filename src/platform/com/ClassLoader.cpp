#include "platform/com/ClassLoader.h"

#include "platform/com/GlobalInterfaceTable.h"
#include "platform/com/Registry.h"
#include "platform/kernel/Strings.h"

#include <dlfcn.h>
#include <link.h>
#include <map>
#include <mutex>
#include <sys/stat.h>

namespace {

struct Loaded {
    void* handle = nullptr;
    int count = 0;
};

struct Modules {
    std::mutex mutex;
    std::map<HMODULE, Loaded> byBase;
};

Modules& modules()
{
    static Modules* m = new Modules;
    return *m;
}

thread_local std::string t_lastError;

HMODULE baseOf(void* handle)
{
    link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map)
        return nullptr;
    Dl_info info{};
    if (!dladdr(map->l_ld, &info))
        return nullptr;
    return static_cast<HMODULE>(info.dli_fbase);
}

std::u16string readDefault(const std::u16string& subKey, LONG& rc)
{
    HKEY key = nullptr;
    rc = RegOpenKeyExW(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_READ, &key);
    if (rc != ERROR_SUCCESS)
        return {};
    DWORD type = 0, size = 0;
    rc = RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &size);
    std::u16string text;
    if (rc == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) && size <= 65536) {
        text.resize(size / 2 + 1);
        rc = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size);
        text.resize(rc == ERROR_SUCCESS ? size / 2 : 0);
        while (!text.empty() && text.back() == 0)
            text.pop_back();
    } else if (rc == ERROR_SUCCESS) {
        rc = ERROR_FILE_NOT_FOUND;
    }
    RegCloseKey(key);
    return text;
}

std::u16string guidText(REFGUID guid)
{
    WCHAR buf[40];
    StringFromGUID2(guid, buf, 40);
    return buf;
}

} // namespace

namespace pictavo::platform {

std::string lastModuleError() { return t_lastError; }

} // namespace pictavo::platform

HMODULE LoadLibraryW(LPCWSTR path)
{
    if (!path || !*path) {
        t_lastError = "no module path";
        return nullptr;
    }
    const std::string file = pictavo::platform::toUtf8(path);
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        t_lastError = why ? why : "cannot load " + file;
        return nullptr;
    }
    HMODULE base = baseOf(handle);
    if (!base) {
        dlclose(handle);
        t_lastError = "cannot find the load address of " + file;
        return nullptr;
    }
    std::lock_guard lock(modules().mutex);
    Loaded& entry = modules().byBase[base];
    // Each LoadLibraryW keeps its own reference, released by its FreeLibrary.
    entry.handle = handle;
    ++entry.count;
    return base;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name)
{
    void* handle = nullptr;
    {
        std::lock_guard lock(modules().mutex);
        auto it = modules().byBase.find(module);
        if (it != modules().byBase.end())
            handle = it->second.handle;
    }
    if (!handle || !name) {
        t_lastError = "module not loaded";
        return nullptr;
    }
    dlerror();
    void* symbol = dlsym(handle, name);
    if (!symbol) {
        const char* why = dlerror();
        t_lastError = why ? why : std::string("no entry point ") + name;
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE module)
{
    std::lock_guard lock(modules().mutex);
    auto it = modules().byBase.find(module);
    if (it == modules().byBase.end())
        return FALSE;
    dlclose(it->second.handle);
    if (--it->second.count == 0)
        modules().byBase.erase(it);
    return TRUE;
}

HRESULT CLSIDFromProgID(LPCOLESTR progId, LPCLSID clsid)
{
    if (!progId || !clsid)
        return E_INVALIDARG;
    std::u16string name = progId;
    // A version-independent name points at the current version through CurVer.
    for (int hops = 0; hops < 8; ++hops) {
        LONG rc;
        std::u16string current = readDefault(name + u"\\CurVer", rc);
        if (rc != ERROR_SUCCESS || current.empty() || pictavo::platform::equalsNoCase(current, name))
            break;
        LONG probe;
        readDefault(current + u"\\CLSID", probe);
        if (probe != ERROR_SUCCESS)
            break;
        name = current;
    }
    LONG rc;
    const std::u16string text = readDefault(name + u"\\CLSID", rc);
    if (rc != ERROR_SUCCESS)
        return CO_E_CLASSSTRING;
    return FAILED(CLSIDFromString(text.c_str(), clsid)) ? CO_E_CLASSSTRING : S_OK;
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD clsctx, void*, REFIID riid, LPVOID* object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (pictavo::platform::currentApartment() == pictavo::platform::ApartmentKind::None)
        return CO_E_NOTINITIALIZED;
    if (!(clsctx & CLSCTX_INPROC_SERVER))
        return REGDB_E_CLASSNOTREG;
    LONG rc;
    const std::u16string path = readDefault(u"CLSID\\" + guidText(clsid) + u"\\InprocServer32", rc);
    if (rc != ERROR_SUCCESS || path.empty()) {
        if (rc == ERROR_BADDB || rc == ERROR_CANTREAD)
            return REGDB_E_READREGDB;
        return REGDB_E_CLASSNOTREG;
    }
    // The loader keeps its reference: class modules are never unloaded.
    HMODULE module = LoadLibraryW(path.c_str());
    if (!module) {
        struct stat st;
        const bool exists = ::stat(pictavo::platform::toUtf8(path).c_str(), &st) == 0;
        return HRESULT_FROM_WIN32(exists ? 193u /* ERROR_BAD_EXE_FORMAT */ : ERROR_MOD_NOT_FOUND);
    }
    auto getClassObject = reinterpret_cast<LPFNGETCLASSOBJECT>(reinterpret_cast<void (*)()>(GetProcAddress(module, "DllGetClassObject")));
    if (!getClassObject)
        return CO_E_ERRORINDLL;
    return getClassObject(clsid, riid, object);
}

HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD clsctx, REFIID riid, LPVOID* object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (pictavo::platform::currentApartment() == pictavo::platform::ApartmentKind::None)
        return CO_E_NOTINITIALIZED;
    if (IsEqualCLSID(clsid, CLSID_StdGlobalInterfaceTable)) {
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return pictavo::platform::GlobalInterfaceTable::instance()->QueryInterface(riid, object);
    }
    IClassFactory* factory = nullptr;
    HRESULT hr = CoGetClassObject(clsid, clsctx, nullptr, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr))
        return hr;
    hr = factory->CreateInstance(outer, riid, object);
    factory->Release();
    return hr;
}
