#include "forms/Item.h"

namespace Quendal::Shell {

Item::Item(LPITEMIDLIST absoluteIdList) : idList(absoluteIdList)
{
    SHFILEINFOW info{};
    if (SHGetFileInfoW(reinterpret_cast<LPCWSTR>(idList), 0, &info, sizeof info,
                       SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_DISPLAYNAME | SHGFI_TYPENAME |
                           SHGFI_SMALLICON)) {
        displayName = info.szDisplayName;
        typeName = info.szTypeName;
        iconIndex = info.iIcon;
    }
    WCHAR path[MAX_PATH];
    if (SHGetPathFromIDListW(idList, path))
        fileSystemPath = path;
}

} // namespace Quendal::Shell
