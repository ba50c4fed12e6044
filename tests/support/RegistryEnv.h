#pragma once

#include "platform/com/Registry.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace pictavo::test {

// Points the registry at two fresh files for the life of the object.
class RegistryEnv
{
public:
    RegistryEnv()
    {
        setenv("PICTAVO_REGISTRY_MACHINE", machine().c_str(), 1);
        setenv("PICTAVO_REGISTRY_USER", user().c_str(), 1);
    }
    ~RegistryEnv()
    {
        unsetenv("PICTAVO_REGISTRY_MACHINE");
        unsetenv("PICTAVO_REGISTRY_USER");
    }
    std::filesystem::path machine() const { return dir.file("machine.reg"); }
    std::filesystem::path user() const { return dir.file("user.reg"); }

    TempDir dir;
};

inline std::u16string regString(HKEY root, const std::u16string& path, const char16_t* name = nullptr,
                                LONG* error = nullptr)
{
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key);
    std::u16string out;
    if (rc == ERROR_SUCCESS) {
        char16_t buf[1024] = {};
        DWORD size = sizeof buf - 2, type = 0;
        rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
        if (rc == ERROR_SUCCESS && type != REG_SZ)
            rc = ERROR_INVALID_PARAMETER;
        if (rc == ERROR_SUCCESS)
            out = buf;
        RegCloseKey(key);
    }
    if (error)
        *error = rc;
    return out;
}

inline bool regKeyExists(HKEY root, const std::u16string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

inline LONG regSetString(HKEY root, const std::u16string& path, const char16_t* name,
                         const std::u16string& text)
{
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS)
        return rc;
    rc = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * 2));
    RegCloseKey(key);
    return rc;
}

inline std::vector<std::u16string> regSubkeys(HKEY root, const std::u16string& path)
{
    std::vector<std::u16string> out;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return out;
    for (DWORD i = 0;; ++i) {
        char16_t name[256];
        DWORD chars = 256;
        if (RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        out.emplace_back(name, chars);
    }
    RegCloseKey(key);
    return out;
}

} // namespace pictavo::test
