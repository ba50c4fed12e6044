#pragma once

// Finding and loading in-process servers: ProgID -> CLSID -> InprocServer32 -> the module's
// DllGetClassObject. Modules loaded for classes stay loaded for the life of the process.

#include "platform/com/Unknown.h"

#include <string>

using LPCLSID = CLSID*;
using FARPROC = INT_PTR (*)();
using LPFNGETCLASSOBJECT = HRESULT (*)(REFCLSID, REFIID, LPVOID*);
using LPFNCANUNLOADNOW = HRESULT (*)();

#define CLSCTX_INPROC_SERVER 0x1
#define CLSCTX_INPROC_HANDLER 0x2
#define CLSCTX_LOCAL_SERVER 0x4
#define CLSCTX_REMOTE_SERVER 0x10
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)
#define CLSCTX_ALL (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)

// The loaded module's base address, as a module knows itself; null on failure, with
// pictavo::platform::lastModuleError() telling why.
HMODULE LoadLibraryW(LPCWSTR path);
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
BOOL FreeLibrary(HMODULE module);

// Follows CurVer; an unknown ProgID is CO_E_CLASSSTRING.
HRESULT CLSIDFromProgID(LPCOLESTR progId, LPCLSID clsid);
HRESULT CoGetClassObject(REFCLSID clsid, DWORD clsctx, void* serverInfo, REFIID riid, LPVOID* object);
HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD clsctx, REFIID riid, LPVOID* object);

inline constexpr HRESULT CO_E_ERRORINDLL = static_cast<HRESULT>(0x800401F9);

namespace pictavo::platform {

// Why the last module load or entry lookup on this thread failed (the loader's own text).
std::string lastModuleError();

} // namespace pictavo::platform
