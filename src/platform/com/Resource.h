#pragma once

// Module resources: data embedded into a module at build time, found by type and name.
// A module registers its table when it is loaded, keyed by its HMODULE.

#include "platform/kernel/WinTypes.h"

#include <span>

DECLARE_PICTAVO_HANDLE(HRSRC);
using HGLOBAL = HANDLE;

#define MAKEINTRESOURCEW(i) (reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))
#define IS_INTRESOURCE(p) ((reinterpret_cast<ULONG_PTR>(p) >> 16) == 0)
#define RT_BITMAP MAKEINTRESOURCEW(2)
#define RT_STRING MAKEINTRESOURCEW(6)
#define RT_RCDATA MAKEINTRESOURCEW(10)

// name and type are MAKEINTRESOURCEW ids or strings (compared without regard to case).
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL data);
DWORD SizeofResource(HMODULE module, HRSRC resource);
// String resources are UTF-8 files of type RT_STRING; returns the length copied.
int LoadStringW(HMODULE module, UINT id, LPWSTR buffer, int bufferChars);

namespace pictavo::platform {

// A null type or name string means the numeric id is used instead.
struct ResourceEntry
{
    const char16_t* type;
    WORD typeId;
    const char16_t* name;
    WORD nameId;
    const BYTE* data;
    DWORD size;
};

void registerResources(HMODULE module, std::span<const ResourceEntry> entries);
// The module (shared object or program) whose code or data holds the address: the key of the
// resource table its code registered.
HMODULE moduleContaining(const void* address);
void unregisterResources(HMODULE module);

} // namespace pictavo::platform
