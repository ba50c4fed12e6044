#pragma once

// The process's one global interface table.

#include "platform/com/Apartment.h"

#include <functional>

namespace pictavo::platform {

class GlobalInterfaceTable
{
public:
    // The table itself; it is never destroyed, AddRef/Release on it do nothing.
    static IGlobalInterfaceTable* instance();

    // Makes a typed proxy for a dual interface out of a dispatch proxy whose calls already go
    // to the right thread. The factory must return (AddRef'd) an object answering riid on
    // QueryInterface; it may keep `marshalled`.
    using ProxyFactory = std::function<HRESULT(IDispatch* marshalled, REFIID riid, void** proxy)>;
    static void registerProxyFactory(REFIID riid, ProxyFactory factory);
};

} // namespace pictavo::platform
