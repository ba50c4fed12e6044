#include "ActiveXFactory.h"

#include "ComObjectProxy.h"
#include "ScriptString.h"

#include "platform/com/ClassLoader.h"
#include "platform/com/HResult.h"

#include <string>

namespace pictavo::host {

namespace {

int create(duk_context* ctx)
{
    if (!duk_is_string(ctx, 0) || duk_is_symbol(ctx, 0)) {
        duk_push_error_object_raw(ctx, DUK_ERR_TYPE_ERROR, nullptr, 0,
                                  "ActiveXObject: the ProgID must be a string");
        return -1;
    }
    std::u16string progId = ScriptString::get(ctx, 0);
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(progId.c_str(), &clsid);
    IDispatch* object = nullptr;
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(&object));
    if (FAILED(hr) || !object) {
        std::string text = "ActiveXObject(\"" + ScriptString::toUtf8(progId) +
                           "\"): " + pictavo::platform::hresultText(FAILED(hr) ? hr : E_NOINTERFACE);
        std::string detail = pictavo::platform::lastModuleError();
        if (!detail.empty())
            text += ": " + detail;
        duk_push_error_object_raw(ctx, DUK_ERR_ERROR, nullptr, 0, "%s", text.c_str());
        return -1;
    }
    ComObjectProxy::push(ctx, object);
    return 1;
}

duk_ret_t createEntry(duk_context* ctx)
{
    int r = create(ctx);
    return r < 0 ? duk_throw(ctx) : r;
}

} // namespace

void ActiveXFactory::install(duk_context* ctx)
{
    duk_push_global_object(ctx);
    duk_push_c_function(ctx, createEntry, 1);
    duk_put_prop_string(ctx, -2, "ActiveXObject");
    duk_pop(ctx);
}

} // namespace pictavo::host
