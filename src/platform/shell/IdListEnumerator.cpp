#include "platform/shell/IdListEnumerator.h"

namespace pictavo::platform {

IdListEnumerator::IdListEnumerator(std::shared_ptr<const std::vector<ShellNamespace::Id>> ids,
                                   size_t position)
    : m_ids(std::move(ids)), m_position(position)
{}

HRESULT IdListEnumerator::Next(ULONG count, PITEMID_CHILD* items, ULONG* fetched)
{
    if (!items || (count > 1 && !fetched))
        return E_INVALIDARG;
    ULONG n = 0;
    while (n < count && m_position < m_ids->size()) {
        PITEMID_CHILD item = ShellNamespace::toList((*m_ids)[m_position]);
        if (!item)
            break;
        items[n++] = item;
        ++m_position;
    }
    if (fetched)
        *fetched = n;
    return n == count ? S_OK : S_FALSE;
}

HRESULT IdListEnumerator::Skip(ULONG count)
{
    const size_t left = m_ids->size() - m_position;
    m_position += std::min<size_t>(left, count);
    return count <= left ? S_OK : S_FALSE;
}

HRESULT IdListEnumerator::Reset()
{
    m_position = 0;
    return S_OK;
}

HRESULT IdListEnumerator::Clone(IEnumIDList** copy)
{
    if (!copy)
        return E_POINTER;
    *copy = new IdListEnumerator(m_ids, m_position);
    return S_OK;
}

} // namespace pictavo::platform
