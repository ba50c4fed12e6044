#pragma once

#include "platform/com/Dispatch.h"

#include <duktape.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace pictavo::host {

class ScriptObject;
struct ForeignObject;

// Shared between the bridge and the wrappers it hands out: a wrapper may outlive the bridge
// and may lose its last reference on another thread.
struct BridgeLink
{
    std::mutex mutex;
    class ValueBridge* bridge = nullptr;
    std::vector<ScriptObject*> released;
};

// Crossing values between the script heap and COM, on the thread that owns the heap.
// Script objects handed to COM become ScriptObject wrappers (one per object, so identity holds
// on the way back); COM objects handed to script become proxies (ComObjectProxy).
class ValueBridge
{
public:
    explicit ValueBridge(duk_context* ctx);
    // Releases every COM object the script still holds and detaches the wrappers.
    ~ValueBridge();
    ValueBridge(const ValueBridge&) = delete;
    ValueBridge& operator=(const ValueBridge&) = delete;

    static ValueBridge* from(duk_context* ctx);

    duk_context* context() const { return m_ctx; }
    DWORD threadId() const { return m_threadId; }

    // out must be initialised; on failure it stays VT_EMPTY.
    HRESULT toVariant(duk_context* ctx, duk_idx_t idx, VARIANT* out);
    void pushVariant(duk_context* ctx, const VARIANT& value);

    // Called for errors thrown by script that COM called (callbacks); the value is on top of
    // the stack. The host decides what an uncaught error means.
    std::function<void(duk_context*)> onCallbackError;

    // Once the page has finished (host.exit, an uncaught error in a callback) every return
    // from COM into script unwinds the script with a stop error that is never reported.
    void stop() { m_stopping = true; }
    bool stopping() const { return m_stopping; }
    static void pushStopError(duk_context* ctx);
    static bool isStopError(duk_context* ctx, duk_idx_t idx);

    // Script calling into COM. A page value that the object converts on the way (its valueOf
    // or toString) may throw; that error belongs to the calling script, which receives it as
    // the call's own error instead of it being uncaught.
    void enterCall() { ++m_callDepth; }
    void leaveCall() { --m_callDepth; }
    bool inCall() const { return m_callDepth > 0; }
    // Keeps the error on top (the first one of a call counts).
    void holdError(duk_context* ctx);
    // Pushes the error held during the call that just returned; false when there is none.
    bool takeHeldError(duk_context* ctx);

    // Frees the wrappers whose last reference went on another thread. Host thread only.
    void collect();

    // Bookkeeping for ComObjectProxy and ScriptObject.
    void adopt(ForeignObject* object) { m_foreign.insert(object); }
    void forget(ForeignObject* object) { m_foreign.erase(object); }
    void dropWrapper(ScriptObject* wrapper);
    const std::shared_ptr<BridgeLink>& link() const { return m_link; }
    // Pushes the script value a wrapper stands for.
    void pushWrapped(duk_context* ctx, unsigned long long id);
    size_t liveWrappers() const { return m_wrappers.size(); }

private:
    HRESULT wrapObject(duk_context* ctx, duk_idx_t idx, VARIANT* out);
    HRESULT arrayToVariant(duk_context* ctx, duk_idx_t idx, VARIANT* out);
    void pushSafeArray(duk_context* ctx, SAFEARRAY* array);

    duk_context* m_ctx;
    DWORD m_threadId;
    std::shared_ptr<BridgeLink> m_link;
    std::unordered_map<void*, ScriptObject*> m_wrappers; // script heap object -> its wrapper
    std::unordered_set<ForeignObject*> m_foreign;
    unsigned long long m_nextId = 1;
    bool m_stopping = false;
    int m_callDepth = 0;
    bool m_errorHeld = false;
};

} // namespace pictavo::host
