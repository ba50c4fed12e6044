#pragma once

// Calling through IDispatch the way script does, without building DISPPARAMS by hand.

#include "platform/com/Dispatch.h"

namespace pictavo::platform {

// args in declaration order (passed on in COM's reverse order, not copied); a property put or
// putref names its value DISPID_PROPERTYPUT. result may be null.
HRESULT invokeMember(IDispatch* target, DISPID id, WORD flags, VARIANT* args, UINT count, VARIANT* result,
                     EXCEPINFO* excepInfo = nullptr, UINT* argErr = nullptr);

// The member found by name (any case), then invokeMember.
HRESULT invokeByName(IDispatch* target, const char16_t* name, WORD flags, VARIANT* args, UINT count,
                     VARIANT* result);

} // namespace pictavo::platform
