#pragma once

// A type library written as constant data: what a .tlb would say about the library, its
// interfaces and classes. Registration and dispatch both read it.

#include "platform/com/Dispatch.h"

#include <span>

// Flags with the values type libraries use.
inline constexpr WORD PARAMFLAG_NONE = 0x0;
inline constexpr WORD PARAMFLAG_FIN = 0x1;
inline constexpr WORD PARAMFLAG_FOUT = 0x2;
inline constexpr WORD PARAMFLAG_FLCID = 0x4;
inline constexpr WORD PARAMFLAG_FRETVAL = 0x8;
inline constexpr WORD PARAMFLAG_FOPT = 0x10;

inline constexpr WORD TYPEFLAG_FAPPOBJECT = 0x1;
inline constexpr WORD TYPEFLAG_FCANCREATE = 0x2;
inline constexpr WORD TYPEFLAG_FLICENSED = 0x4;
inline constexpr WORD TYPEFLAG_FHIDDEN = 0x10;
inline constexpr WORD TYPEFLAG_FCONTROL = 0x20;
inline constexpr WORD TYPEFLAG_FDUAL = 0x40;
inline constexpr WORD TYPEFLAG_FNONEXTENSIBLE = 0x80;
inline constexpr WORD TYPEFLAG_FOLEAUTOMATION = 0x100;
inline constexpr WORD TYPEFLAG_FRESTRICTED = 0x200;
inline constexpr WORD TYPEFLAG_FDISPATCHABLE = 0x1000;

namespace pictavo::platform {

// The DISPATCH_* bit the member answers to.
enum class MemberKind : WORD
{
    Method = DISPATCH_METHOD,
    PropertyGet = DISPATCH_PROPERTYGET,
    PropertyPut = DISPATCH_PROPERTYPUT,
    PropertyPutRef = DISPATCH_PROPERTYPUTREF,
};

// type is the value's VARTYPE; out and retval parameters name the pointed-to type
// (a "long*" retval is VT_I4, a "VARIANT*" one VT_VARIANT).
struct TypeParam
{
    const char16_t* name;
    VARTYPE type;
    WORD flags;
};

struct TypeMember
{
    DISPID id;
    const char16_t* name;
    MemberKind kind;
    std::span<const TypeParam> params;
    const char16_t* help;
};

struct TypeInterface
{
    IID iid;
    const char16_t* name;
    const char16_t* help;
    WORD flags;
    IID parent; // IID_IDispatch for dispatch and dual interfaces
    std::span<const TypeMember> members;

    // The member with this DISPID that answers one of the DISPATCH_* bits in kinds.
    const TypeMember* findMember(DISPID id, WORD kinds) const;
    // Any member of that name, compared without regard to case.
    const TypeMember* findMember(const char16_t* name) const;
};

struct TypeCoclass
{
    CLSID clsid;
    const char16_t* name;
    const char16_t* help;
    WORD flags;
    IID defaultInterface;
    std::span<const IID> interfaces; // every interface the class implements, default first
};

struct TypeLibrary
{
    GUID libid;
    WORD majorVersion;
    WORD minorVersion;
    const char16_t* name;
    const char16_t* help;
    LCID lcid;
    std::span<const TypeInterface> interfaces;
    std::span<const TypeCoclass> coclasses;

    const TypeInterface* findInterface(REFIID iid) const;
    const TypeCoclass* findCoclass(REFCLSID clsid) const;
};

} // namespace pictavo::platform
