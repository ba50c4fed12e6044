#include "platform/com/TypeDescription.h"

#include "platform/com/NameCompare.h"

namespace pictavo::platform {

const TypeMember* TypeInterface::findMember(DISPID id, WORD kinds) const
{
    for (const TypeMember& m : members)
        if (m.id == id && (static_cast<WORD>(m.kind) & kinds))
            return &m;
    return nullptr;
}

const TypeMember* TypeInterface::findMember(const char16_t* wanted) const
{
    for (const TypeMember& m : members)
        if (namesEqual(m.name, wanted))
            return &m;
    return nullptr;
}

const TypeInterface* TypeLibrary::findInterface(REFIID iid) const
{
    for (const TypeInterface& i : interfaces)
        if (IsEqualIID(i.iid, iid))
            return &i;
    return nullptr;
}

const TypeCoclass* TypeLibrary::findCoclass(REFCLSID clsid) const
{
    for (const TypeCoclass& c : coclasses)
        if (IsEqualCLSID(c.clsid, clsid))
            return &c;
    return nullptr;
}

} // namespace pictavo::platform
