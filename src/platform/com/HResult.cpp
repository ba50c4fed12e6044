#include "platform/com/HResult.h"

#include <cstdio>

namespace pictavo::platform {

namespace {

struct Named
{
    HRESULT hr;
    const char* name;
};

#define PICTAVO_NAMED(x)                                                                                     \
    {                                                                                                        \
        x, #x                                                                                                \
    }
constexpr Named kNames[] = {
    PICTAVO_NAMED(S_OK),
    PICTAVO_NAMED(S_FALSE),
    PICTAVO_NAMED(E_NOTIMPL),
    PICTAVO_NAMED(E_NOINTERFACE),
    PICTAVO_NAMED(E_POINTER),
    PICTAVO_NAMED(E_ABORT),
    PICTAVO_NAMED(E_FAIL),
    PICTAVO_NAMED(E_BOUNDS),
    PICTAVO_NAMED(E_UNEXPECTED),
    PICTAVO_NAMED(E_ACCESSDENIED),
    PICTAVO_NAMED(E_HANDLE),
    PICTAVO_NAMED(E_OUTOFMEMORY),
    PICTAVO_NAMED(E_INVALIDARG),
    PICTAVO_NAMED(CLASS_E_NOAGGREGATION),
    PICTAVO_NAMED(CLASS_E_CLASSNOTAVAILABLE),
    PICTAVO_NAMED(REGDB_E_READREGDB),
    PICTAVO_NAMED(REGDB_E_WRITEREGDB),
    PICTAVO_NAMED(REGDB_E_CLASSNOTREG),
    PICTAVO_NAMED(SELFREG_E_TYPELIB),
    PICTAVO_NAMED(SELFREG_E_CLASS),
    PICTAVO_NAMED(CO_E_NOTINITIALIZED),
    PICTAVO_NAMED(CO_E_CLASSSTRING),
    PICTAVO_NAMED(RPC_E_CHANGED_MODE),
    PICTAVO_NAMED(RPC_E_DISCONNECTED),
    PICTAVO_NAMED(RPC_E_WRONG_THREAD),
    PICTAVO_NAMED(DISP_E_UNKNOWNINTERFACE),
    PICTAVO_NAMED(DISP_E_MEMBERNOTFOUND),
    PICTAVO_NAMED(DISP_E_PARAMNOTFOUND),
    PICTAVO_NAMED(DISP_E_TYPEMISMATCH),
    PICTAVO_NAMED(DISP_E_UNKNOWNNAME),
    PICTAVO_NAMED(DISP_E_NONAMEDARGS),
    PICTAVO_NAMED(DISP_E_BADVARTYPE),
    PICTAVO_NAMED(DISP_E_EXCEPTION),
    PICTAVO_NAMED(DISP_E_OVERFLOW),
    PICTAVO_NAMED(DISP_E_BADINDEX),
    PICTAVO_NAMED(DISP_E_ARRAYISLOCKED),
    PICTAVO_NAMED(DISP_E_BADPARAMCOUNT),
    PICTAVO_NAMED(DISP_E_PARAMNOTOPTIONAL),
    PICTAVO_NAMED(TYPE_E_LIBNOTREGISTERED),
    PICTAVO_NAMED(TYPE_E_ELEMENTNOTFOUND),
};
#undef PICTAVO_NAMED

// Win32 errors that reach callers wrapped as HRESULT_FROM_WIN32 (registry, module loading).
struct NamedWin32
{
    uint32_t code;
    const char* name;
};
constexpr NamedWin32 kWin32Names[] = {
    {2, "ERROR_FILE_NOT_FOUND"},     {3, "ERROR_PATH_NOT_FOUND"},
    {5, "ERROR_ACCESS_DENIED"},      {6, "ERROR_INVALID_HANDLE"},
    {14, "ERROR_OUTOFMEMORY"},       {87, "ERROR_INVALID_PARAMETER"},
    {126, "ERROR_MOD_NOT_FOUND"},    {127, "ERROR_PROC_NOT_FOUND"},
    {161, "ERROR_BAD_PATHNAME"},     {234, "ERROR_MORE_DATA"},
    {259, "ERROR_NO_MORE_ITEMS"},    {1009, "ERROR_BADDB"},
    {1012, "ERROR_CANTREAD"},        {1013, "ERROR_CANTWRITE"},
    {1018, "ERROR_KEY_DELETED"},     {1813, "ERROR_RESOURCE_TYPE_NOT_FOUND"},
};

} // namespace

std::string hresultText(HRESULT hr)
{
    char buf[64];
    const char* name = nullptr;
    for (const Named& n : kNames)
        if (n.hr == hr)
            name = n.name;
    if (!name && (static_cast<uint32_t>(hr) & 0xFFFF0000u) == 0x80070000u)
        for (const NamedWin32& n : kWin32Names)
            if (n.code == (static_cast<uint32_t>(hr) & 0xFFFFu))
                name = n.name;
    if (name)
        std::snprintf(buf, sizeof buf, "0x%08X (%s)", static_cast<unsigned>(hr), name);
    else
        std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(hr));
    return buf;
}

} // namespace pictavo::platform
