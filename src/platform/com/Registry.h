#pragma once

// The registry: a key/value tree kept in two files, the machine-wide root and the per-user
// root. HKEY_CLASSES_ROOT is the per-user classes key over the machine-wide one.
// Files: PICTAVO_REGISTRY_MACHINE (default /var/lib/pictavo/machine.reg) and
// PICTAVO_REGISTRY_USER (default $XDG_CONFIG_HOME/pictavo/user.reg); format in docs/registry.md.

#include "platform/kernel/WinTypes.h"

#include <filesystem>
#include <functional>

using REGSAM = DWORD;
using PHKEY = HKEY*;
using LPDWORD = DWORD*;
using LPBYTE = BYTE*;
using PLONG = LONG*;

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u)))

#ifndef ERROR_FILE_NOT_FOUND
#define ERROR_SUCCESS 0
#define ERROR_FILE_NOT_FOUND 2
#define ERROR_PATH_NOT_FOUND 3
#define ERROR_ACCESS_DENIED 5
#define ERROR_INVALID_HANDLE 6
#define ERROR_OUTOFMEMORY 14
#define ERROR_INVALID_PARAMETER 87
#define ERROR_MOD_NOT_FOUND 126
#define ERROR_PROC_NOT_FOUND 127
#define ERROR_BAD_PATHNAME 161
#define ERROR_MORE_DATA 234
#define ERROR_NO_MORE_ITEMS 259
#define ERROR_BADDB 1009
#define ERROR_CANTREAD 1012
#define ERROR_CANTWRITE 1013
#define ERROR_KEY_DELETED 1018
#endif

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7
#define REG_QWORD 11

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xF003F

#define REG_OPTION_NON_VOLATILE 0
#define REG_CREATED_NEW_KEY 1
#define REG_OPENED_EXISTING_KEY 2

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options, REGSAM sam,
                     const void* security, PHKEY result, LPDWORD disposition);
LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM sam, PHKEY result);
LONG RegCloseKey(HKEY key);
LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size);
LONG RegDeleteValueW(HKEY key, LPCWSTR valueName);
// Fails with ERROR_ACCESS_DENIED while the key has subkeys, as on Windows.
LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey);
// A null subKey empties the key itself (values and subkeys) and keeps it.
LONG RegDeleteTreeW(HKEY key, LPCWSTR subKey);
LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD reserved, LPWSTR keyClass,
                   LPDWORD classChars, FILETIME* lastWrite);
LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD reserved, LPDWORD type,
                   LPBYTE data, LPDWORD size);
// Maps a predefined key to another open key for the whole process; a null newKey restores it.
LONG RegOverridePredefKey(HKEY key, HKEY newKey);

namespace pictavo::platform {

std::filesystem::path registryMachineFile();
std::filesystem::path registryUserFile();

// Called before every write is committed; a non-zero result fails that write with the code.
void setRegistryWriteFaultForTesting(std::function<LONG()> fault);

// Keeps other processes from writing either registry file while it lives, so that a sequence
// of calls (a whole registration, with keys removed and made again) is seen as one change.
// Calls of this process go ahead as usual.
class RegistryBatch
{
public:
    RegistryBatch();
    ~RegistryBatch();
    RegistryBatch(const RegistryBatch&) = delete;
    RegistryBatch& operator=(const RegistryBatch&) = delete;

private:
    std::filesystem::path m_machine, m_user;
};

} // namespace pictavo::platform
