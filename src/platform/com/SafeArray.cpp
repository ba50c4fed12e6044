#include "platform/com/OleAuto.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// The element type sits in a hidden header before the descriptor, as on Windows.
constexpr size_t kHidden = 16;
// No array's data may exceed this; callers may size arrays from untrusted counts.
constexpr size_t kMaxDataBytes = size_t{1} << 31;

ULONG elementSize(VARTYPE vt)
{
    switch (vt) {
    case VT_I1:
    case VT_UI1:
        return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
        return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
        return 4;
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_I8:
    case VT_UI8:
        return 8;
    case VT_BSTR:
    case VT_UNKNOWN:
    case VT_DISPATCH:
        return sizeof(void*);
    case VT_VARIANT:
        return sizeof(VARIANT);
    default:
        return 0;
    }
}

USHORT featuresFor(VARTYPE vt)
{
    switch (vt) {
    case VT_BSTR:
        return FADF_BSTR;
    case VT_UNKNOWN:
        return FADF_UNKNOWN;
    case VT_DISPATCH:
        return FADF_DISPATCH;
    case VT_VARIANT:
        return FADF_VARIANT;
    default:
        return 0;
    }
}

VARTYPE& hiddenType(SAFEARRAY* psa)
{
    return *reinterpret_cast<VARTYPE*>(reinterpret_cast<unsigned char*>(psa) - kHidden);
}

size_t descriptorSize(UINT dims)
{
    return offsetof(SAFEARRAY, rgsabound) + dims * sizeof(SAFEARRAYBOUND);
}

// Element count of all dimensions, or false when the data would be too large.
bool totalElements(const SAFEARRAY* psa, size_t* count)
{
    size_t total = 1;
    for (UINT i = 0; i < psa->cDims; ++i) {
        size_t n = psa->rgsabound[i].cElements;
        if (n != 0 && total > kMaxDataBytes / n)
            return false;
        total *= n;
    }
    if (psa->cbElements && total > kMaxDataBytes / psa->cbElements)
        return false;
    *count = total;
    return true;
}

void clearElements(SAFEARRAY* psa, size_t first, size_t last)
{
    auto* base = static_cast<unsigned char*>(psa->pvData);
    for (size_t i = first; i < last; ++i) {
        void* element = base + i * psa->cbElements;
        if (psa->fFeatures & FADF_BSTR) {
            SysFreeString(*static_cast<BSTR*>(element));
        } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
            if (auto* unk = *static_cast<IUnknown**>(element))
                unk->Release();
        } else if (psa->fFeatures & FADF_VARIANT) {
            VariantClear(static_cast<VARIANT*>(element));
        }
    }
    std::memset(base + first * psa->cbElements, 0, (last - first) * psa->cbElements);
}

// Deep copy of one element. A VARIANT dest must hold a valid variant (it is cleared first);
// other kinds of dest are overwritten.
HRESULT copyElement(const SAFEARRAY* psa, void* dest, const void* src)
{
    if (psa->fFeatures & FADF_BSTR) {
        BSTR s = *static_cast<const BSTR*>(src);
        BSTR copy = nullptr;
        if (s && !(copy = SysAllocStringByteLen(reinterpret_cast<const char*>(s), SysStringByteLen(s))))
            return E_OUTOFMEMORY;
        *static_cast<BSTR*>(dest) = copy;
        return S_OK;
    }
    if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
        IUnknown* unk = *static_cast<IUnknown* const*>(src);
        if (unk)
            unk->AddRef();
        *static_cast<IUnknown**>(dest) = unk;
        return S_OK;
    }
    if (psa->fFeatures & FADF_VARIANT)
        return VariantCopy(static_cast<VARIANT*>(dest), static_cast<const VARIANT*>(src));
    std::memcpy(dest, src, psa->cbElements);
    return S_OK;
}

SAFEARRAY* allocate(VARTYPE vt, UINT dims, const SAFEARRAYBOUND* leftFirst)
{
    ULONG size = elementSize(vt);
    if (size == 0 || dims == 0 || dims > 64 || !leftFirst)
        return nullptr;
    auto* block = static_cast<unsigned char*>(std::calloc(1, kHidden + descriptorSize(dims)));
    if (!block)
        return nullptr;
    auto* psa = reinterpret_cast<SAFEARRAY*>(block + kHidden);
    psa->cDims = static_cast<USHORT>(dims);
    psa->fFeatures = FADF_HAVEVARTYPE | featuresFor(vt);
    psa->cbElements = size;
    for (UINT d = 0; d < dims; ++d)
        psa->rgsabound[dims - 1 - d] = leftFirst[d];
    hiddenType(psa) = vt;
    size_t count;
    if (!totalElements(psa, &count)) {
        std::free(block);
        return nullptr;
    }
    psa->pvData = std::calloc(count ? count : 1, size);
    if (!psa->pvData) {
        std::free(block);
        return nullptr;
    }
    return psa;
}

// Byte offset of the element at indices (left-most dimension first).
HRESULT elementOffset(const SAFEARRAY* psa, const LONG* indices, size_t* offset)
{
    size_t index = 0;
    size_t stride = 1;
    for (UINT d = 0; d < psa->cDims; ++d) {
        const SAFEARRAYBOUND& b = psa->rgsabound[psa->cDims - 1 - d];
        long long rel = static_cast<long long>(indices[d]) - b.lLbound;
        if (rel < 0 || rel >= static_cast<long long>(b.cElements))
            return DISP_E_BADINDEX;
        index += static_cast<size_t>(rel) * stride;
        stride *= b.cElements;
    }
    *offset = index * psa->cbElements;
    return S_OK;
}

} // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT dims, SAFEARRAYBOUND* bounds)
{
    return allocate(vt, dims, bounds);
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG elements)
{
    SAFEARRAYBOUND bound{elements, lowerBound};
    return allocate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa)
{
    if (!psa)
        return S_OK;
    if (psa->cLocks)
        return DISP_E_ARRAYISLOCKED;
    size_t count = 0;
    totalElements(psa, &count);
    clearElements(psa, 0, count);
    std::free(psa->pvData);
    std::free(reinterpret_cast<unsigned char*>(psa) - kHidden);
    return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* psa)
{
    return psa ? psa->cDims : 0;
}
UINT SafeArrayGetElemsize(SAFEARRAY* psa)
{
    return psa ? psa->cbElements : 0;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT dim, LONG* lower)
{
    if (!psa || !lower)
        return E_INVALIDARG;
    if (dim < 1 || dim > psa->cDims)
        return DISP_E_BADINDEX;
    *lower = psa->rgsabound[psa->cDims - dim].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT dim, LONG* upper)
{
    if (!psa || !upper)
        return E_INVALIDARG;
    if (dim < 1 || dim > psa->cDims)
        return DISP_E_BADINDEX;
    const SAFEARRAYBOUND& b = psa->rgsabound[psa->cDims - dim];
    *upper = static_cast<LONG>(static_cast<long long>(b.lLbound) + b.cElements - 1);
    return S_OK;
}

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* vt)
{
    if (!psa || !vt)
        return E_INVALIDARG;
    if (!(psa->fFeatures & FADF_HAVEVARTYPE))
        return E_INVALIDARG;
    *vt = hiddenType(psa);
    return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY* psa)
{
    if (!psa)
        return E_INVALIDARG;
    ++psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* psa)
{
    if (!psa)
        return E_INVALIDARG;
    if (psa->cLocks == 0)
        return E_UNEXPECTED;
    --psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** data)
{
    if (!psa || !data)
        return E_INVALIDARG;
    ++psa->cLocks;
    *data = psa->pvData;
    return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa)
{
    return SafeArrayUnlock(psa);
}

HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* indices, void* out)
{
    if (!psa || !indices || !out)
        return E_INVALIDARG;
    size_t offset;
    if (HRESULT hr = elementOffset(psa, indices, &offset); FAILED(hr))
        return hr;
    return copyElement(psa, out, static_cast<unsigned char*>(psa->pvData) + offset);
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* indices, void* value)
{
    if (!psa || !indices)
        return E_INVALIDARG;
    size_t offset;
    if (HRESULT hr = elementOffset(psa, indices, &offset); FAILED(hr))
        return hr;
    // BSTR and interface arrays take the pointer itself, the others a pointer to the value.
    const void* src = value;
    if (psa->fFeatures & (FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH))
        src = &value;
    else if (!value)
        return E_INVALIDARG;
    alignas(VARIANT) unsigned char fresh[sizeof(VARIANT)];
    VariantInit(reinterpret_cast<VARIANT*>(fresh));
    if (HRESULT hr = copyElement(psa, fresh, src); FAILED(hr))
        return hr;
    size_t index = offset / psa->cbElements;
    clearElements(psa, index, index + 1);
    std::memcpy(static_cast<unsigned char*>(psa->pvData) + offset, fresh, psa->cbElements);
    return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** out)
{
    if (!out)
        return E_INVALIDARG;
    *out = nullptr;
    if (!psa)
        return S_OK;
    SAFEARRAYBOUND bounds[64];
    for (UINT d = 0; d < psa->cDims; ++d)
        bounds[d] = psa->rgsabound[psa->cDims - 1 - d];
    VARTYPE vt;
    if (FAILED(SafeArrayGetVartype(psa, &vt)))
        return E_INVALIDARG;
    SAFEARRAY* copy = allocate(vt, psa->cDims, bounds);
    if (!copy)
        return E_OUTOFMEMORY;
    size_t count = 0;
    totalElements(psa, &count);
    auto* from = static_cast<unsigned char*>(psa->pvData);
    auto* to = static_cast<unsigned char*>(copy->pvData);
    for (size_t i = 0; i < count; ++i) {
        if (HRESULT hr = copyElement(psa, to + i * psa->cbElements, from + i * psa->cbElements); FAILED(hr)) {
            SafeArrayDestroy(copy);
            return hr;
        }
    }
    *out = copy;
    return S_OK;
}

HRESULT SafeArrayRedim(SAFEARRAY* psa, SAFEARRAYBOUND* newBound)
{
    if (!psa || !newBound)
        return E_INVALIDARG;
    if (psa->cLocks)
        return DISP_E_ARRAYISLOCKED;
    if (psa->fFeatures & FADF_FIXEDSIZE)
        return E_INVALIDARG;
    size_t oldCount = 0;
    totalElements(psa, &oldCount);
    SAFEARRAYBOUND old = psa->rgsabound[0];
    psa->rgsabound[0] = *newBound;
    size_t newCount;
    if (!totalElements(psa, &newCount)) {
        psa->rgsabound[0] = old;
        return E_OUTOFMEMORY;
    }
    if (newCount < oldCount)
        clearElements(psa, newCount, oldCount);
    void* data = std::realloc(psa->pvData, (newCount ? newCount : 1) * psa->cbElements);
    if (!data) {
        psa->rgsabound[0] = old;
        return E_OUTOFMEMORY;
    }
    psa->pvData = data;
    if (newCount > oldCount)
        std::memset(static_cast<unsigned char*>(data) + oldCount * psa->cbElements, 0,
                    (newCount - oldCount) * psa->cbElements);
    return S_OK;
}
