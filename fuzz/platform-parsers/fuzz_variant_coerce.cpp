#include "platform/com/OleAuto.h"

#include <cstdint>
#include <cstring>

// Text from a page turned into every automation type the control's members declare.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const VARTYPE targets[] = {VT_I1,   VT_UI1, VT_I2, VT_UI2,  VT_I4,   VT_UI4, VT_I8,   VT_UI8,  VT_INT,
                               VT_UINT, VT_R4,  VT_R8, VT_BOOL, VT_BSTR, VT_CY,  VT_DATE, VT_ERROR};
    const VARTYPE to = targets[data[0] % (sizeof targets / sizeof targets[0])];
    const size_t units = (size - 1) / 2;
    VARIANT src;
    VariantInit(&src);
    src.vt = VT_BSTR;
    src.bstrVal = SysAllocStringLen(nullptr, static_cast<UINT>(units));
    std::memcpy(src.bstrVal, data + 1, units * 2);
    VARIANT dst;
    VariantInit(&dst);
    if (SUCCEEDED(VariantChangeType(&dst, &src, 0, to)) && dst.vt != to)
        __builtin_trap();
    VariantClear(&dst);
    VariantClear(&src);
    return 0;
}
