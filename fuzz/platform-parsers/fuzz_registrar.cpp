#include "module/Registrar.h"
#include "platform/com/Registry.h"
#include "platform/kernel/Strings.h"

#include <cstdint>
#include <cstdlib>
#include <string>

// Unregistering against empty registry files parses the whole script and walks its keys
// without writing, so every input reaches the parser and the key walk cheaply.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setenv("PICTAVO_REGISTRY_MACHINE", "/nonexistent/pictavo-fuzz/machine.reg", 1);
    setenv("PICTAVO_REGISTRY_USER", "/nonexistent/pictavo-fuzz/user.reg", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::u16string script =
        pictavo::platform::fromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    Registrar registrar;
    registrar.AddReplacement(u"MODULE", u"/opt/pictavo/lib/libpictavo.so");
    registrar.AddReplacement(u"APPID", u"{D3DC42EF-2403-4DCB-8F6F-D7CC66A339B7}");
    registrar.StringUnregister(script);
    return 0;
}
