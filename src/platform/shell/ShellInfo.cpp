#include "platform/kernel/Strings.h"
#include "platform/shell/ShellNamespace.h"
#include "platform/shell/ShlwApi.h"
#include "platform/shell/SystemIcons.h"

#include <cstring>
#include <sys/stat.h>

using namespace pictavo::platform;

namespace {

void copyText(const std::u16string& text, WCHAR* out, size_t capacity)
{
    const size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(out, text.data(), n * sizeof(WCHAR));
    out[n] = 0;
}

int iconFor(const ShellNode& node, bool open)
{
    using Kind = ShellNode::Kind;
    switch (node.kind) {
    case Kind::Desktop:
        return SystemIcons::Desktop;
    case Kind::Computer:
        return SystemIcons::Computer;
    case Kind::Home:
        return SystemIcons::Home;
    case Kind::Mount:
        return SystemIcons::Drive;
    case Kind::Folder:
        return open ? SystemIcons::FolderOpen : SystemIcons::Folder;
    default:
        return ShellNamespace::isPictureName(fromUtf8(node.name)) ? SystemIcons::Picture : SystemIcons::File;
    }
}

} // namespace

BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE list, LPWSTR path)
{
    if (!path)
        return FALSE;
    path[0] = 0;
    const std::optional<ShellNode> node = ShellNamespace::resolve(list);
    if (!node || node->path.empty())
        return FALSE;
    const std::u16string wide = fromUtf8(node->path);
    if (wide.size() >= MAX_PATH)
        return FALSE;
    copyText(wide, path, MAX_PATH);
    return TRUE;
}

DWORD_PTR SHGetFileInfoW(LPCWSTR path, DWORD attributes, SHFILEINFOW* info, UINT infoSize, UINT flags)
{
    if (!path || (info && infoSize < sizeof(SHFILEINFOW)))
        return 0;
    ShellNode node;
    if (flags & SHGFI_PIDL) {
        std::optional<ShellNode> found =
            ShellNamespace::resolve(reinterpret_cast<PCIDLIST_ABSOLUTE>(path), false);
        if (!found)
            return 0;
        node = std::move(*found);
    } else {
        const std::u16string_view text(path);
        if (text.empty())
            return 0;
        bool folder;
        if (flags & SHGFI_USEFILEATTRIBUTES) {
            folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        } else {
            struct stat st;
            if (::stat(toUtf8(text).c_str(), &st) != 0)
                return 0;
            folder = S_ISDIR(st.st_mode);
        }
        std::u16string name(PathFindFileNameW(path));
        while (name.size() > 1 && name.back() == u'/')
            name.pop_back();
        node.kind = folder ? ShellNode::Kind::Folder : ShellNode::Kind::File;
        node.name = toUtf8(name);
        node.path = toUtf8(text);
    }
    if (info) {
        const bool open = flags & SHGFI_OPENICON;
        if (flags & SHGFI_DISPLAYNAME)
            copyText(ShellNamespace::displayName(node), info->szDisplayName, MAX_PATH);
        if (flags & SHGFI_TYPENAME)
            copyText(ShellNamespace::typeName(node), info->szTypeName, 80);
        if (flags & SHGFI_SYSICONINDEX)
            info->iIcon = iconFor(node, open);
        if (flags & SHGFI_ATTRIBUTES) {
            DWORD a = 0;
            if (node.isFolder())
                a |= SFGAO_FOLDER;
            if (node.kind != ShellNode::Kind::Computer)
                a |= SFGAO_FILESYSTEM;
            if (node.hidden())
                a |= SFGAO_HIDDEN;
            info->dwAttributes = a;
        }
        if (flags & SHGFI_ICON)
            info->hIcon = nullptr;
    }
    if (flags & SHGFI_SYSICONINDEX)
        return reinterpret_cast<DWORD_PTR>(SystemIcons::smallList());
    return 1;
}
