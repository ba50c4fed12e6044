#pragma once

#include "platform/com/RefCounted.h"
#include "platform/shell/ShellNamespace.h"

#include <memory>

namespace pictavo::platform {

// Hands out copies of a fixed list of child ids; clones share the list.
class IdListEnumerator : public RefCounted<IEnumIDList>
{
public:
    explicit IdListEnumerator(std::shared_ptr<const std::vector<ShellNamespace::Id>> ids,
                              size_t position = 0);

    HRESULT Next(ULONG count, PITEMID_CHILD* items, ULONG* fetched) override;
    HRESULT Skip(ULONG count) override;
    HRESULT Reset() override;
    HRESULT Clone(IEnumIDList** copy) override;

private:
    std::shared_ptr<const std::vector<ShellNamespace::Id>> m_ids;
    size_t m_position;
};

} // namespace pictavo::platform
