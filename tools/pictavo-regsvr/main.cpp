// pictavo-regsvr [-u] [-i[:CMDLINE]] MODULE: registers or unregisters an in-process server,
// the way regsvr32 does on Windows.

#include "platform/com/ClassLoader.h"
#include "platform/com/HResult.h"
#include "platform/com/Registry.h"
#include "platform/kernel/Strings.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

namespace {

using RegisterFn = HRESULT (*)();
using InstallFn = HRESULT (*)(BOOL, LPCWSTR);

int usage()
{
    std::fprintf(stderr,
                 "usage: pictavo-regsvr [-u] [-i[:CMDLINE]] MODULE\n"
                 "  (none)       call DllRegisterServer\n"
                 "  -u           call DllUnregisterServer (with -i: DllInstall(FALSE, CMDLINE))\n"
                 "  -i[:CMDLINE] call DllInstall(TRUE, CMDLINE); -i:user registers for this user only\n");
    return 2;
}

bool isFlag(const char* arg, char letter)
{
    return (arg[0] == '-' || arg[0] == '/') && (arg[1] == letter || arg[1] == letter - 'a' + 'A');
}

} // namespace

int main(int argc, char** argv)
{
    bool uninstall = false;
    bool install = false;
    std::optional<std::string> cmdLine;
    const char* module = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (isFlag(arg, 'u') && arg[2] == 0) {
            uninstall = true;
        } else if (isFlag(arg, 'i') && (arg[2] == 0 || arg[2] == ':')) {
            install = true;
            if (arg[2] == ':')
                cmdLine = std::string(arg + 3);
        } else if (arg[0] == '-' || module) {
            return usage();
        } else {
            module = arg;
        }
    }
    if (!module)
        return usage();

    // A name that is a file here means that file, not a search of the library path.
    std::string path = module;
    std::error_code ec;
    if (std::filesystem::exists(path, ec))
        path = std::filesystem::absolute(path, ec).string();

    HMODULE handle = LoadLibraryW(pictavo::platform::fromUtf8(path).c_str());
    if (!handle) {
        std::fprintf(stderr, "pictavo-regsvr: cannot load %s: %s\n", module,
                     pictavo::platform::lastModuleError().c_str());
        return 1;
    }
    const char* entry = install ? "DllInstall" : uninstall ? "DllUnregisterServer" : "DllRegisterServer";
    FARPROC proc = GetProcAddress(handle, entry);
    if (!proc) {
        std::fprintf(stderr, "pictavo-regsvr: %s has no entry point %s (%s)\n", module, entry,
                     pictavo::platform::lastModuleError().c_str());
        return 1;
    }
    // Another installer running at the same time would remove keys this one is filling in.
    pictavo::platform::RegistryBatch batch;
    HRESULT hr;
    if (install) {
        const std::u16string wide = cmdLine ? pictavo::platform::fromUtf8(*cmdLine) : std::u16string();
        hr = reinterpret_cast<InstallFn>(reinterpret_cast<void (*)()>(proc))(
            uninstall ? FALSE : TRUE, cmdLine ? wide.c_str() : nullptr);
    } else {
        hr = reinterpret_cast<RegisterFn>(reinterpret_cast<void (*)()>(proc))();
    }
    if (FAILED(hr)) {
        std::fprintf(stderr, "pictavo-regsvr: %s in %s failed: %s\n", entry, module,
                     pictavo::platform::hresultText(hr).c_str());
        return 1;
    }
    std::printf("%s in %s succeeded.\n", entry, module);
    return 0;
}
