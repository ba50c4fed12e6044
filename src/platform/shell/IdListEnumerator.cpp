#include "platform/shell/IdListEnumerator.h"

namespace pictavo::platform {

IdListEnumerator::IdListEnumerator(std::shared_ptr<const std::vector<ShellNamespace::Id>> ids,
                                   size_t position)
    : ids_(std::move(ids)), position_(position)
{}

HRESULT IdListEnumerator::Next(ULONG count, PITEMID_CHILD* items, ULONG* fetched)
{
    if (!items || (count > 1 && !fetched))
        return E_INVALIDARG;
    ULONG n = 0;
    while (n < count && position_ < ids_->size()) {
        PITEMID_CHILD item = ShellNamespace::toList((*ids_)[position_]);
        if (!item)
            break;
        items[n++] = item;
        ++position_;
    }
    if (fetched)
        *fetched = n;
    return n == count ? S_OK : S_FALSE;
}

HRESULT IdListEnumerator::Skip(ULONG count)
{
    const size_t left = ids_->size() - position_;
    position_ += std::min<size_t>(left, count);
    return count <= left ? S_OK : S_FALSE;
}

HRESULT IdListEnumerator::Reset()
{
    position_ = 0;
    return S_OK;
}

HRESULT IdListEnumerator::Clone(IEnumIDList** copy)
{
    if (!copy)
        return E_POINTER;
    *copy = new IdListEnumerator(ids_, position_);
    return S_OK;
}

} // namespace pictavo::platform
