#pragma once

#include "platform/com/Dispatch.h"

#include <duktape.h>

#include <string>
#include <unordered_map>

namespace pictavo::host {

// What a proxy's target holds: the COM object and the DISPIDs asked for so far.
struct ForeignObject
{
    IDispatch* dispatch = nullptr;
    std::unordered_map<std::u16string, DISPID> ids;
};

// A COM object seen from script: a Proxy whose traps turn reads into DISPATCH_PROPERTYGET,
// assignments into DISPATCH_PROPERTYPUT and calls of a member into DISPATCH_METHOD.
// Script cannot tell a method from a write-only property by reading it, so a member whose get
// fails with DISP_E_MEMBERNOTFOUND reads as a function that invokes the method; using that
// function as a value (string, number) throws the get's failure.
class ComObjectProxy
{
public:
    // Takes over one reference to object.
    static void push(duk_context* ctx, IDispatch* object);
    // The COM object behind a proxy (borrowed), or null for any other value.
    static IDispatch* dispatchOf(duk_context* ctx, duk_idx_t idx);
    // The message a failed call throws: "Name: 0x80020005 (DISP_E_TYPEMISMATCH)".
    static std::string failureText(const std::u16string& member, HRESULT hr, const EXCEPINFO* info);
};

} // namespace pictavo::host
