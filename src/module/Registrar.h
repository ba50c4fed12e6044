#pragma once

#include "platform/com/Registry.h"

#include <map>
#include <string>
#include <string_view>

// Runs registrar scripts: nested keys under a root (HKCR, HKCU, HKLM), default values
// "= s 'text'", named values "val Name = s 'text'" (types s, d, b), and the key flags
// NoRemove (kept by unregistration), ForceRemove (replaced whole by registration, deleted
// whole by unregistration) and Delete (deleted by registration). %NAME% is replaced inside
// names and values after the script is split into tokens, so a replacement may contain
// quotes or braces; %% is a literal percent sign.
class Registrar {
public:
    void AddReplacement(std::u16string_view name, std::u16string_view value);

    // The whole script is parsed before anything is written: a damaged script writes nothing.
    HRESULT StringRegister(std::u16string_view script);
    HRESULT StringUnregister(std::u16string_view script);
    // Scripts held as module resources of type "REGISTRY" (UTF-8 text).
    HRESULT ResourceRegister(HMODULE module, UINT id);
    HRESULT ResourceUnregister(HMODULE module, UINT id);

private:
    HRESULT Run(std::u16string_view script, bool doRegister);
    HRESULT RunResource(HMODULE module, UINT id, bool doRegister);

    std::map<std::u16string, std::u16string> m_replacements;
};
