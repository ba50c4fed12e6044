#pragma once

#include "platform/com/RefCounted.h"
#include "platform/shell/ShellNamespace.h"

namespace pictavo::platform {

// A folder of the namespace bound to its absolute id list.
class ShellFolder : public RefCounted<IShellFolder>
{
public:
    ShellFolder(ShellNode node, std::vector<BYTE> absolute);

    HRESULT EnumObjects(HWND owner, SHCONTF flags, IEnumIDList** items) override;
    HRESULT BindToObject(PCUIDLIST_RELATIVE item, IBindCtx* context, REFIID riid, void** object) override;
    HRESULT CompareIDs(LPARAM column, PCUIDLIST_RELATIVE a, PCUIDLIST_RELATIVE b) override;
    HRESULT GetDisplayNameOf(PCUITEMID_CHILD item, SHGDNF flags, STRRET* name) override;

private:
    ShellNode m_node;
    std::vector<BYTE> m_absolute; // with its terminator
};

} // namespace pictavo::platform
