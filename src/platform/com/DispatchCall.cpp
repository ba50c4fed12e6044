#include "platform/com/DispatchCall.h"

#include <vector>

namespace pictavo::platform {

HRESULT invokeMember(IDispatch* target, DISPID id, WORD flags, VARIANT* args, UINT count, VARIANT* result,
                     EXCEPINFO* excepInfo, UINT* argErr)
{
    if (!target || (count && !args))
        return E_INVALIDARG;
    // Borrowed, bitwise: the callee never owns its in-arguments.
    std::vector<VARIANT> comOrder(args, args + count);
    for (UINT i = 0; i < count; ++i)
        comOrder[i] = args[count - 1 - i];
    DISPID putId = DISPID_PROPERTYPUT;
    bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
    DISPPARAMS params{comOrder.data(), put ? &putId : nullptr, count, put && count ? 1u : 0u};
    return target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, excepInfo, argErr);
}

HRESULT invokeByName(IDispatch* target, const char16_t* name, WORD flags, VARIANT* args, UINT count,
                     VARIANT* result)
{
    if (!target || !name)
        return E_INVALIDARG;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    if (HRESULT hr = target->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id); FAILED(hr))
        return hr;
    return invokeMember(target, id, flags, args, count, result);
}

} // namespace pictavo::platform
