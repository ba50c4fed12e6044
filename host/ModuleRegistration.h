#pragma once

#include <filesystem>
#include <string>

namespace pictavo::host {

// --module: a module tried without installing it. The registry is pointed at private files
// in a fresh temporary folder and the module registers itself there (DllRegisterServer), so
// ProgIDs resolve exactly as after a real registration, and nothing outside is touched.
// Must run before anything reads the registry; the folder goes with this object.
class ModuleRegistration
{
public:
    ModuleRegistration() = default;
    ~ModuleRegistration();
    ModuleRegistration(const ModuleRegistration&) = delete;
    ModuleRegistration& operator=(const ModuleRegistration&) = delete;

    bool registerModule(const std::string& path, std::string& error);

private:
    std::filesystem::path m_folder;
};

} // namespace pictavo::host
