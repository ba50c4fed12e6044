#include "VBArray.h"

#include <cstdint>

namespace pictavo::host {

namespace {

// These natives throw through Duktape, so they keep no C++ objects with destructors.
const char* const kItems = DUK_HIDDEN_SYMBOL("vbItems");
constexpr int kMaxDims = 32;

struct Shape
{
    int dims;
    int32_t lower[kMaxDims];
    uint32_t count[kMaxDims];
};

// Leaves the item array of `this` on the stack.
void thisItems(duk_context* ctx)
{
    duk_push_this(ctx);
    if (!VBArray::is(ctx, -1))
        duk_error_raw(ctx, DUK_ERR_TYPE_ERROR, nullptr, 0, "VBArray expected");
    duk_get_prop_string(ctx, -1, kItems);
    duk_remove(ctx, -2);
}

void shapeOf(duk_context* ctx, duk_idx_t items, Shape* shape)
{
    items = duk_normalize_index(ctx, items);
    shape->dims = 0;
    if (duk_get_prop_string(ctx, items, VBArray::kBounds) && duk_is_array(ctx, -1)) {
        duk_size_t n = duk_get_length(ctx, -1);
        for (duk_size_t d = 0; d < n && d < kMaxDims; ++d) {
            duk_get_prop_index(ctx, -1, static_cast<duk_uarridx_t>(d));
            duk_get_prop_index(ctx, -1, 0);
            duk_get_prop_index(ctx, -2, 1);
            shape->lower[d] = duk_get_int(ctx, -2);
            shape->count[d] = duk_get_uint(ctx, -1);
            duk_pop_3(ctx);
            shape->dims = static_cast<int>(d + 1);
        }
    }
    duk_pop(ctx);
    if (shape->dims == 0) {
        shape->dims = 1;
        shape->lower[0] = 0;
        shape->count[0] = static_cast<uint32_t>(duk_get_length(ctx, items));
    }
}

int dimensionArg(duk_context* ctx, const Shape& shape)
{
    int d = duk_is_undefined(ctx, 0) ? 1 : duk_to_int(ctx, 0);
    if (d < 1 || d > shape.dims)
        duk_error_raw(ctx, DUK_ERR_RANGE_ERROR, nullptr, 0, "Subscript out of range");
    return d - 1;
}

duk_ret_t construct(duk_context* ctx)
{
    if (VBArray::is(ctx, 0)) {
        VBArray::pushItems(ctx, 0);
    } else if (duk_is_array(ctx, 0)) {
        duk_dup(ctx, 0);
    } else {
        duk_error_raw(ctx, DUK_ERR_TYPE_ERROR, nullptr, 0, "VBArray expected");
        return 0;
    }
    duk_push_object(ctx);
    duk_push_current_function(ctx);
    duk_get_prop_string(ctx, -1, "prototype");
    duk_set_prototype(ctx, -3);
    duk_pop(ctx);
    duk_swap_top(ctx, -2);
    duk_put_prop_string(ctx, -2, kItems);
    return 1;
}

duk_ret_t toArray(duk_context* ctx)
{
    thisItems(ctx);
    duk_size_t n = duk_get_length(ctx, -1);
    duk_push_array(ctx);
    for (duk_size_t i = 0; i < n; ++i) {
        duk_get_prop_index(ctx, -2, static_cast<duk_uarridx_t>(i));
        duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(i));
    }
    return 1;
}

duk_ret_t dimensions(duk_context* ctx)
{
    Shape shape;
    thisItems(ctx);
    shapeOf(ctx, -1, &shape);
    duk_push_int(ctx, shape.dims);
    return 1;
}

duk_ret_t lbound(duk_context* ctx)
{
    Shape shape;
    thisItems(ctx);
    shapeOf(ctx, -1, &shape);
    duk_push_int(ctx, shape.lower[dimensionArg(ctx, shape)]);
    return 1;
}

duk_ret_t ubound(duk_context* ctx)
{
    Shape shape;
    thisItems(ctx);
    shapeOf(ctx, -1, &shape);
    int d = dimensionArg(ctx, shape);
    duk_push_number(ctx, static_cast<double>(shape.lower[d]) + shape.count[d] - 1);
    return 1;
}

duk_ret_t getItem(duk_context* ctx)
{
    Shape shape;
    duk_idx_t argc = duk_get_top(ctx);
    thisItems(ctx);
    shapeOf(ctx, -1, &shape);
    if (argc != shape.dims) {
        duk_error_raw(ctx, DUK_ERR_RANGE_ERROR, nullptr, 0, "Wrong number of subscripts");
        return 0;
    }
    double flat = 0;
    double stride = 1;
    for (int d = 0; d < shape.dims; ++d) {
        double i = duk_to_number(ctx, d);
        double offset = i - shape.lower[d];
        if (!(offset >= 0 && offset < shape.count[d]) ||
            offset != static_cast<double>(static_cast<int64_t>(offset))) {
            duk_error_raw(ctx, DUK_ERR_RANGE_ERROR, nullptr, 0, "Subscript out of range");
            return 0;
        }
        flat += offset * stride;
        stride *= shape.count[d];
    }
    duk_get_prop_index(ctx, -1, static_cast<duk_uarridx_t>(flat));
    return 1;
}

} // namespace

void VBArray::install(duk_context* ctx)
{
    duk_push_global_object(ctx);
    duk_push_c_function(ctx, construct, 1);
    duk_push_object(ctx);
    const duk_function_list_entry methods[] = {
        {"toArray", toArray, 0}, {"dimensions", dimensions, 0},     {"lbound", lbound, 1},
        {"ubound", ubound, 1},   {"getItem", getItem, DUK_VARARGS}, {nullptr, nullptr, 0}};
    duk_put_function_list(ctx, -1, methods);
    duk_put_prop_string(ctx, -2, "prototype");
    duk_put_prop_string(ctx, -2, "VBArray");
    duk_pop(ctx);
}

bool VBArray::is(duk_context* ctx, duk_idx_t idx)
{
    if (!duk_is_object(ctx, idx))
        return false;
    duk_get_prop_string(ctx, idx, kItems);
    bool yes = duk_is_array(ctx, -1);
    duk_pop(ctx);
    return yes;
}

void VBArray::pushItems(duk_context* ctx, duk_idx_t idx)
{
    duk_get_prop_string(ctx, idx, kItems);
}

} // namespace pictavo::host
