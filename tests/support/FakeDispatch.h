#pragma once

#include "platform/com/DispatchImpl.h"
#include "platform/com/RefCounted.h"

#include <utility>

namespace pictavo::test {

// An automation object without type information: the test answers Invoke itself.
class UntypedDispatch : public platform::RefCounted<IDispatch>
{
public:
    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
};

// An automation object described by a type and answered by a function, as the control is.
class TypedDispatch : public platform::RefCounted<IDispatch>
{
public:
    TypedDispatch(const platform::TypeInterface& type, platform::DispatchImpl::Invoker invoker)
        : m_dispatch(type, std::move(invoker))
    {}

    HRESULT GetTypeInfoCount(UINT* n) override { return m_dispatch.GetTypeInfoCount(n); }
    HRESULT GetTypeInfo(UINT i, LCID l, ITypeInfo** t) override { return m_dispatch.GetTypeInfo(i, l, t); }
    HRESULT GetIDsOfNames(REFIID r, LPOLESTR* n, UINT c, LCID l, DISPID* d) override
    {
        return m_dispatch.GetIDsOfNames(r, n, c, l, d);
    }
    HRESULT Invoke(DISPID d, REFIID r, LCID l, WORD f, DISPPARAMS* p, VARIANT* v, EXCEPINFO* e,
                   UINT* a) override
    {
        return m_dispatch.Invoke(d, r, l, f, p, v, e, a);
    }

private:
    platform::DispatchImpl m_dispatch;
};

} // namespace pictavo::test
