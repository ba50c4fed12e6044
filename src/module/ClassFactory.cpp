#include "module/ClassFactory.h"

#include "module/Module.h"

HRESULT ClassFactory::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG ClassFactory::AddRef()
{
    Module::Lock();
    return ++m_refs;
}

ULONG ClassFactory::Release()
{
    ULONG current = m_refs.load();
    // The object is static: it is never deleted, and a stray Release must not unlock.
    while (current > 0 && !m_refs.compare_exchange_weak(current, current - 1)) {
    }
    if (current == 0)
        return 0;
    Module::Unlock();
    return current - 1;
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    return m_create(outer, riid, object);
}

HRESULT ClassFactory::LockServer(BOOL lock)
{
    if (lock)
        Module::Lock();
    else
        Module::Unlock();
    return S_OK;
}
