#include "forms/SystemIconList.h"

namespace Quendal::Shell {

SystemIconList::SystemIconList()
{
    SHFILEINFOW info{};
    m_handle = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(u"*.txt", FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                       SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | SHGFI_SMALLICON));
}

} // namespace Quendal::Shell
