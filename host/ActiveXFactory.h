#pragma once

#include <duktape.h>

namespace pictavo::host {

// The ActiveXObject global: `new ActiveXObject(progId)` finds the class through the registry
// (ProgID, CLSID, module) and creates it with the module's class factory.
class ActiveXFactory
{
public:
    static void install(duk_context* ctx);
};

} // namespace pictavo::host
