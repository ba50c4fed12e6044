#include "ModuleRegistration.h"

#include "platform/com/ClassLoader.h"
#include "platform/com/HResult.h"
#include "platform/kernel/Strings.h"

#include <cstdlib>
#include <system_error>

namespace pictavo::host {

ModuleRegistration::~ModuleRegistration()
{
    if (!m_folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
}

bool ModuleRegistration::registerModule(const std::string& path, std::string& error)
{
    std::error_code ec;
    // The module records its own path in the registry: make it absolute.
    std::filesystem::path module = std::filesystem::absolute(path, ec);
    if (ec || !std::filesystem::is_regular_file(module, ec)) {
        error = "--module: no such file: " + path;
        return false;
    }
    std::string folder = (std::filesystem::temp_directory_path(ec) / "pictavo-host-XXXXXX").string();
    if (ec || !mkdtemp(folder.data())) {
        error = "--module: cannot create a temporary folder for the registry";
        return false;
    }
    m_folder = folder;
    setenv("PICTAVO_REGISTRY_MACHINE", (m_folder / "machine.reg").c_str(), 1);
    setenv("PICTAVO_REGISTRY_USER", (m_folder / "user.reg").c_str(), 1);

    HMODULE handle = LoadLibraryW(pictavo::platform::fromUtf8(module.string()).c_str());
    if (!handle) {
        error = "--module: cannot load " + module.string() + ": " + pictavo::platform::lastModuleError();
        return false;
    }
    using RegisterFn = HRESULT (*)();
    auto registerServer =
        reinterpret_cast<RegisterFn>(reinterpret_cast<void*>(GetProcAddress(handle, "DllRegisterServer")));
    if (!registerServer) {
        error = "--module: " + module.string() + " does not export DllRegisterServer";
        return false;
    }
    HRESULT hr = registerServer();
    if (FAILED(hr)) {
        error = "--module: DllRegisterServer failed: " + pictavo::platform::hresultText(hr);
        return false;
    }
    return true;
}

} // namespace pictavo::host
