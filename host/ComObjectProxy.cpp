#include "ComObjectProxy.h"

#include "ScriptString.h"
#include "ValueBridge.h"

#include "platform/com/HResult.h"

#include <vector>

namespace pictavo::host {

namespace {

const char* const kRef = DUK_HIDDEN_SYMBOL("foreign");
const char* const kHandler = DUK_HIDDEN_SYMBOL("dispatchHandler");
const char* const kOwner = DUK_HIDDEN_SYMBOL("owner");
const char* const kName = DUK_HIDDEN_SYMBOL("member");
const char* const kDispId = DUK_HIDDEN_SYMBOL("dispid");
const char* const kReadError = DUK_HIDDEN_SYMBOL("readError");

ForeignObject* foreignOf(duk_context* ctx, duk_idx_t idx)
{
    if (!duk_is_object(ctx, idx))
        return nullptr;
    duk_get_prop_string(ctx, idx, kRef);
    auto* object = static_cast<ForeignObject*>(duk_get_pointer(ctx, -1));
    duk_pop(ctx);
    return object;
}

void clearExcepInfo(EXCEPINFO& info)
{
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    info = EXCEPINFO{};
}

void pushFailure(duk_context* ctx, const std::u16string& member, HRESULT hr, const EXCEPINFO* info = nullptr)
{
    std::string text = ComObjectProxy::failureText(member, hr, info);
    duk_push_error_object_raw(ctx, DUK_ERR_ERROR, nullptr, 0, "%s", text.c_str());
}

HRESULT dispIdOf(ForeignObject* object, const std::u16string& name, DISPID* id)
{
    auto found = object->ids.find(name);
    if (found != object->ids.end()) {
        *id = found->second;
        return S_OK;
    }
    std::u16string copy = name;
    LPOLESTR names[] = {copy.data()};
    HRESULT hr = object->dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, id);
    if (SUCCEEDED(hr))
        object->ids.emplace(name, *id);
    return hr;
}

duk_ret_t finalizeTarget(duk_context* ctx)
{
    ForeignObject* object = foreignOf(ctx, 0);
    if (!object)
        return 0;
    duk_push_pointer(ctx, nullptr);
    duk_put_prop_string(ctx, 0, kRef);
    if (ValueBridge* bridge = ValueBridge::from(ctx))
        bridge->forget(object);
    if (object->dispatch)
        object->dispatch->Release();
    delete object;
    return 0;
}

// Reading a member without a get as a value.
int memberAsValue(duk_context* ctx)
{
    duk_push_this(ctx);
    if (!duk_is_object(ctx, -1))
        return 0;
    duk_get_prop_string(ctx, -1, kName);
    std::u16string name = ScriptString::get(ctx, -1);
    duk_get_prop_string(ctx, -2, kReadError);
    auto hr = static_cast<HRESULT>(static_cast<uint32_t>(duk_get_number(ctx, -1)));
    pushFailure(ctx, name, hr);
    return -1;
}

duk_ret_t memberAsValueEntry(duk_context* ctx)
{
    int r = memberAsValue(ctx);
    return r < 0 ? duk_throw(ctx) : r;
}

int memberCall(duk_context* ctx)
{
    duk_idx_t argc = duk_get_top(ctx);
    duk_push_current_function(ctx);
    duk_get_prop_string(ctx, -1, kName);
    std::u16string name = ScriptString::get(ctx, -1);
    duk_get_prop_string(ctx, -2, kDispId);
    auto id = static_cast<DISPID>(duk_get_int(ctx, -1));
    duk_get_prop_string(ctx, -3, kOwner);
    ForeignObject* object = foreignOf(ctx, -1);
    duk_pop_n(ctx, 4);
    ValueBridge* bridge = ValueBridge::from(ctx);
    if (!object || !object->dispatch || !bridge) {
        pushFailure(ctx, name, RPC_E_DISCONNECTED);
        return -1;
    }

    // COM passes arguments last-first.
    std::vector<VARIANT> args(static_cast<size_t>(argc));
    for (auto& arg : args)
        VariantInit(&arg);
    HRESULT hr = S_OK;
    for (duk_idx_t i = 0; i < argc && SUCCEEDED(hr); ++i)
        hr = bridge->toVariant(ctx, i, &args[static_cast<size_t>(argc - 1 - i)]);
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO info{};
    if (SUCCEEDED(hr)) {
        DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(argc), 0};
        UINT argErr = 0;
        IDispatch* dispatch = object->dispatch;
        dispatch->AddRef(); // the call may run script that drops the last script reference
        bridge->enterCall();
        hr = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, &info,
                              &argErr);
        bridge->leaveCall();
        dispatch->Release();
    }
    for (auto& arg : args)
        VariantClear(&arg);
    const bool held = bridge->takeHeldError(ctx);
    if (bridge->stopping()) {
        clearExcepInfo(info);
        VariantClear(&result);
        ValueBridge::pushStopError(ctx);
        return -1;
    }
    if (held) {
        clearExcepInfo(info);
        VariantClear(&result);
        return -1;
    }
    if (FAILED(hr)) {
        pushFailure(ctx, name, hr, &info);
        clearExcepInfo(info);
        VariantClear(&result);
        return -1;
    }
    clearExcepInfo(info);
    bridge->pushVariant(ctx, result);
    VariantClear(&result);
    return 1;
}

duk_ret_t memberCallEntry(duk_context* ctx)
{
    int r = memberCall(ctx);
    return r < 0 ? duk_throw(ctx) : r;
}

void pushMember(duk_context* ctx, duk_idx_t target, const std::u16string& name, DISPID id, HRESULT readError)
{
    target = duk_normalize_index(ctx, target);
    duk_push_c_function(ctx, memberCallEntry, DUK_VARARGS);
    duk_dup(ctx, target);
    duk_put_prop_string(ctx, -2, kOwner);
    ScriptString::push(ctx, name);
    duk_put_prop_string(ctx, -2, kName);
    duk_push_int(ctx, id);
    duk_put_prop_string(ctx, -2, kDispId);
    duk_push_number(ctx, static_cast<double>(static_cast<uint32_t>(readError)));
    duk_put_prop_string(ctx, -2, kReadError);
    duk_push_c_function(ctx, memberAsValueEntry, 0);
    duk_put_prop_string(ctx, -2, "valueOf");
    duk_push_c_function(ctx, memberAsValueEntry, 0);
    duk_put_prop_string(ctx, -2, "toString");
}

// get(target, key, receiver)
int trapGet(duk_context* ctx)
{
    if (!duk_is_string(ctx, 1) || duk_is_symbol(ctx, 1)) {
        duk_dup(ctx, 1);
        duk_get_prop(ctx, 0);
        return 1;
    }
    std::u16string name = ScriptString::get(ctx, 1);
    ForeignObject* object = foreignOf(ctx, 0);
    ValueBridge* bridge = ValueBridge::from(ctx);
    if (!object || !object->dispatch || !bridge) {
        pushFailure(ctx, name, RPC_E_DISCONNECTED);
        return -1;
    }
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = dispIdOf(object, name, &id);
    if (hr == DISP_E_UNKNOWNNAME) {
        // Not the object's: the ordinary object members (toString, valueOf) still answer.
        duk_dup(ctx, 1);
        duk_get_prop(ctx, 0);
        if (!duk_is_undefined(ctx, -1))
            return 1;
    }
    if (FAILED(hr)) {
        pushFailure(ctx, name, hr);
        return -1;
    }

    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO info{};
    UINT argErr = 0;
    hr = object->dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result,
                                  &info, &argErr);
    if (SUCCEEDED(hr)) {
        clearExcepInfo(info);
        bridge->pushVariant(ctx, result);
        VariantClear(&result);
        return 1;
    }
    VariantClear(&result);
    if (hr == DISP_E_MEMBERNOTFOUND) {
        clearExcepInfo(info);
        pushMember(ctx, 0, name, id, hr);
        return 1;
    }
    pushFailure(ctx, name, hr, &info);
    clearExcepInfo(info);
    return -1;
}

duk_ret_t trapGetEntry(duk_context* ctx)
{
    int r = trapGet(ctx);
    return r < 0 ? duk_throw(ctx) : r;
}

// set(target, key, value, receiver)
int trapSet(duk_context* ctx)
{
    if (!duk_is_string(ctx, 1) || duk_is_symbol(ctx, 1)) {
        duk_dup(ctx, 1);
        duk_dup(ctx, 2);
        duk_put_prop(ctx, 0);
        duk_push_true(ctx);
        return 1;
    }
    std::u16string name = ScriptString::get(ctx, 1);
    ForeignObject* object = foreignOf(ctx, 0);
    ValueBridge* bridge = ValueBridge::from(ctx);
    if (!object || !object->dispatch || !bridge) {
        pushFailure(ctx, name, RPC_E_DISCONNECTED);
        return -1;
    }
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = dispIdOf(object, name, &id);
    VARIANT value;
    VariantInit(&value);
    if (SUCCEEDED(hr))
        hr = bridge->toVariant(ctx, 2, &value);
    EXCEPINFO info{};
    if (SUCCEEDED(hr)) {
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{&value, &named, 1, 1};
        UINT argErr = 0;
        IDispatch* dispatch = object->dispatch;
        dispatch->AddRef();
        bridge->enterCall();
        hr = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr,
                              &info, &argErr);
        if (hr == DISP_E_MEMBERNOTFOUND && (value.vt == VT_DISPATCH || value.vt == VT_UNKNOWN)) {
            clearExcepInfo(info);
            hr = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUTREF, &params,
                                  nullptr, &info, &argErr);
        }
        bridge->leaveCall();
        dispatch->Release();
    }
    VariantClear(&value);
    const bool held = bridge->takeHeldError(ctx);
    if (bridge->stopping()) {
        clearExcepInfo(info);
        ValueBridge::pushStopError(ctx);
        return -1;
    }
    if (held) {
        clearExcepInfo(info);
        return -1;
    }
    if (FAILED(hr)) {
        pushFailure(ctx, name, hr, &info);
        clearExcepInfo(info);
        return -1;
    }
    clearExcepInfo(info);
    duk_push_true(ctx);
    return 1;
}

duk_ret_t trapSetEntry(duk_context* ctx)
{
    int r = trapSet(ctx);
    return r < 0 ? duk_throw(ctx) : r;
}

void pushHandler(duk_context* ctx)
{
    duk_push_global_stash(ctx);
    if (!duk_get_prop_string(ctx, -1, kHandler)) {
        duk_pop(ctx);
        duk_push_object(ctx);
        duk_push_c_function(ctx, trapGetEntry, 3);
        duk_put_prop_string(ctx, -2, "get");
        duk_push_c_function(ctx, trapSetEntry, 4);
        duk_put_prop_string(ctx, -2, "set");
        duk_dup_top(ctx);
        duk_put_prop_string(ctx, -3, kHandler);
    }
    duk_remove(ctx, -2);
}

} // namespace

void ComObjectProxy::push(duk_context* ctx, IDispatch* object)
{
    auto* foreign = new ForeignObject;
    foreign->dispatch = object;
    if (ValueBridge* bridge = ValueBridge::from(ctx))
        bridge->adopt(foreign);
    duk_push_object(ctx);
    duk_push_pointer(ctx, foreign);
    duk_put_prop_string(ctx, -2, kRef);
    duk_push_c_function(ctx, finalizeTarget, 2);
    duk_set_finalizer(ctx, -2);
    pushHandler(ctx);
    duk_push_proxy(ctx, 0);
}

IDispatch* ComObjectProxy::dispatchOf(duk_context* ctx, duk_idx_t idx)
{
    ForeignObject* object = foreignOf(ctx, idx);
    return object ? object->dispatch : nullptr;
}

std::string ComObjectProxy::failureText(const std::u16string& member, HRESULT hr, const EXCEPINFO* info)
{
    std::string text = ScriptString::toUtf8(member) + ": " + pictavo::platform::hresultText(hr);
    if (info && info->bstrDescription && SysStringLen(info->bstrDescription) > 0)
        text += ": " + ScriptString::toUtf8(
                           std::u16string_view(info->bstrDescription, SysStringLen(info->bstrDescription)));
    return text;
}

} // namespace pictavo::host
