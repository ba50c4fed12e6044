#pragma once

#include "platform/com/Dispatch.h"

#include <string>

// A VARIANT that clears itself.
struct Var : VARIANT
{
    Var() { VariantInit(this); }
    explicit Var(const char16_t* text)
    {
        VariantInit(this);
        vt = VT_BSTR;
        bstrVal = SysAllocString(text);
    }
    static Var i4(LONG v)
    {
        Var r;
        r.vt = VT_I4;
        r.lVal = v;
        return r;
    }
    static Var r8(double v)
    {
        Var r;
        r.vt = VT_R8;
        r.dblVal = v;
        return r;
    }
    static Var boolean(bool v)
    {
        Var r;
        r.vt = VT_BOOL;
        r.boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
        return r;
    }
    Var(const Var& o)
    {
        VariantInit(this);
        VariantCopy(this, &o);
    }
    Var& operator=(const Var& o)
    {
        VariantCopy(this, &o);
        return *this;
    }
    ~Var() { VariantClear(this); }

    std::u16string text() const
    {
        return vt == VT_BSTR ? std::u16string(bstrVal, SysStringLen(bstrVal)) : u"?";
    }
};
