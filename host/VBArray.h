#pragma once

#include <duktape.h>

namespace pictavo::host {

// The VBArray global of older pages: `new VBArray(a)` over an array that came from a COM
// SAFEARRAY, with toArray(), lbound(d), ubound(d), getItem(i, ...) and dimensions().
// A multi-dimensional SAFEARRAY arrives as a flat array (left-most index fastest) that
// carries its bounds in a hidden property; plain script arrays are one dimension from 0.
class VBArray
{
public:
    static void install(duk_context* ctx);
    static bool is(duk_context* ctx, duk_idx_t idx);
    // Pushes the flat item array of a VBArray object.
    static void pushItems(duk_context* ctx, duk_idx_t idx);

    // Hidden property of a converted array: [[lowerBound, count], ...] left-most first.
    static constexpr const char* kBounds = DUK_HIDDEN_SYMBOL("vbBounds");
};

} // namespace pictavo::host
