#include "platform/shell/ShellFolder.h"

#include "platform/com/Apartment.h"
#include "platform/shell/IdListEnumerator.h"
#include "platform/shell/ShellPlaces.h"

#include <cstring>

namespace pictavo::platform {

namespace {

const char16_t computerParsingName[] = u"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}";

HRESULT toStrRet(const std::u16string& text, STRRET* out)
{
    auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(WCHAR)));
    if (!copy)
        return E_OUTOFMEMORY;
    std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
    out->uType = STRRET_WSTR;
    out->pOleStr = copy;
    return S_OK;
}

} // namespace

ShellFolder::ShellFolder(ShellNode node, std::vector<BYTE> absolute)
    : m_node(std::move(node)), m_absolute(std::move(absolute))
{}

HRESULT ShellFolder::EnumObjects(HWND, SHCONTF flags, IEnumIDList** items)
{
    if (!items)
        return E_POINTER;
    auto ids =
        std::make_shared<const std::vector<ShellNamespace::Id>>(ShellNamespace::children(m_node, flags));
    *items = new IdListEnumerator(std::move(ids));
    return S_OK;
}

HRESULT ShellFolder::BindToObject(PCUIDLIST_RELATIVE item, IBindCtx*, REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (ILIsEmpty(item))
        return E_INVALIDARG;
    std::optional<ShellNode> target = ShellNamespace::resolveFrom(m_node, item);
    if (!target || !target->isFolder())
        return E_INVALIDARG;
    PIDLIST_ABSOLUTE combined = ILCombine(reinterpret_cast<PCIDLIST_ABSOLUTE>(m_absolute.data()), item);
    if (!combined)
        return E_OUTOFMEMORY;
    const auto* bytes = reinterpret_cast<const BYTE*>(combined);
    std::vector<BYTE> absolute(bytes, bytes + ILGetSize(combined));
    ILFree(combined);
    ComPtr<ShellFolder> folder = attachCom(new ShellFolder(std::move(*target), std::move(absolute)));
    return folder->QueryInterface(riid, object);
}

HRESULT ShellFolder::CompareIDs(LPARAM, PCUIDLIST_RELATIVE a, PCUIDLIST_RELATIVE b)
{
    if (!a || !b)
        return E_INVALIDARG;
    int result = 0;
    while (result == 0) {
        const bool endA = a->mkid.cb == 0;
        const bool endB = b->mkid.cb == 0;
        if (endA || endB) {
            result = endA == endB ? 0 : (endA ? -1 : 1);
            break;
        }
        result = ShellNamespace::compare(a->mkid, b->mkid);
        a = reinterpret_cast<PCUIDLIST_RELATIVE>(reinterpret_cast<const BYTE*>(a) + a->mkid.cb);
        b = reinterpret_cast<PCUIDLIST_RELATIVE>(reinterpret_cast<const BYTE*>(b) + b->mkid.cb);
    }
    return MAKE_HRESULT(0, 0, static_cast<USHORT>(static_cast<SHORT>(result)));
}

HRESULT ShellFolder::GetDisplayNameOf(PCUITEMID_CHILD item, SHGDNF flags, STRRET* name)
{
    if (!name)
        return E_POINTER;
    std::optional<ShellNode> node = ShellNamespace::resolveFrom(m_node, item);
    if (!node)
        return E_INVALIDARG;
    if (!(flags & SHGDN_FORPARSING))
        return toStrRet(ShellNamespace::displayName(*node), name);
    if (node->kind == ShellNode::Kind::Computer)
        return toStrRet(computerParsingName, name);
    if ((flags & SHGDN_INFOLDER) && !node->name.empty() && node->kind != ShellNode::Kind::Mount)
        return toStrRet(fromUtf8(node->name), name);
    return toStrRet(fromUtf8(node->path), name);
}

} // namespace pictavo::platform

using pictavo::platform::ShellFolder;

HRESULT SHGetDesktopFolder(IShellFolder** folder)
{
    if (!folder)
        return E_POINTER;
    pictavo::platform::ShellNode desktop;
    desktop.path = pictavo::platform::ShellPlaces::desktop();
    *folder = new ShellFolder(std::move(desktop), std::vector<BYTE>(sizeof(USHORT), 0));
    return S_OK;
}
