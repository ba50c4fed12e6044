#pragma once

// IDispatch for an object whose interface is described by a TypeInterface. The object only
// sees calls that already match a member, with the right number of arguments, each coerced
// to its declared type.

#include "platform/com/TypeDescription.h"

#include <functional>

namespace pictavo::platform {

class DispatchImpl
{
public:
    // args: the member's parameters except a retval one, in declaration order, each of the
    // declared type ([out] ones arrive VT_EMPTY; what the object leaves there goes back to the
    // caller). The args are cleared after the call: AddRef or copy what the object keeps.
    // result: where a retval goes; never null. kind: the member's one DISPATCH_* bit.
    using Invoker = std::function<HRESULT(DISPID id, WORD kind, VARIANT* args, UINT count, VARIANT* result)>;

    DispatchImpl(const TypeInterface& type, Invoker invoker);

    const TypeInterface& type() const { return m_type; }

    HRESULT GetTypeInfoCount(UINT* count);
    HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info);
    // The first name is the member; the others are its parameters' names (answered with
    // their positions, for named arguments).
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids);
    HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* excepInfo, UINT* argErr);

private:
    const TypeInterface& m_type;
    Invoker m_invoker;
};

} // namespace pictavo::platform
