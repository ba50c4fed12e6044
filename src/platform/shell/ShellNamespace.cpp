#include "platform/shell/ShellNamespace.h"

#include "platform/com/Apartment.h"
#include "platform/kernel/Strings.h"
#include "platform/shell/DirectoryListing.h"
#include "platform/shell/ShellPlaces.h"

#include <cstring>

namespace pictavo::platform {

namespace {

using Kind = ShellNode::Kind;

// cb, kind, at least nothing more: an id shorter than that is malformed.
constexpr USHORT minimumId = sizeof(USHORT) + 1;

bool validName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

std::string joinPath(const std::string& folder, std::string_view name)
{
    std::string out = folder;
    if (out.empty() || out.back() != '/')
        out += '/';
    out += name;
    return out;
}

int rank(Kind kind)
{
    switch (kind) {
    case Kind::Computer:
        return 0;
    case Kind::Home:
        return 1;
    case Kind::Mount:
        return 2;
    case Kind::Folder:
        return 3;
    default:
        return 4;
    }
}

} // namespace

ShellNamespace::Id ShellNamespace::makeId(Kind kind, std::string_view bytes)
{
    const size_t size = minimumId + bytes.size();
    Id id(size);
    const auto cb = static_cast<USHORT>(size);
    std::memcpy(id.data(), &cb, sizeof cb);
    id[2] = static_cast<BYTE>(kind);
    if (!bytes.empty())
        std::memcpy(id.data() + minimumId, bytes.data(), bytes.size());
    return id;
}

PITEMID_CHILD ShellNamespace::toList(const Id& id)
{
    auto* out = static_cast<BYTE*>(CoTaskMemAlloc(id.size() + sizeof(USHORT)));
    if (!out)
        return nullptr;
    std::memcpy(out, id.data(), id.size());
    std::memset(out + id.size(), 0, sizeof(USHORT));
    return reinterpret_cast<PITEMID_CHILD>(out);
}

std::optional<ShellNode> ShellNamespace::child(const ShellNode& parent, const SHITEMID& id)
{
    if (id.cb < minimumId)
        return std::nullopt;
    const auto kind = static_cast<Kind>(id.abID[0]);
    const std::string_view bytes(reinterpret_cast<const char*>(id.abID + 1), id.cb - minimumId);
    ShellNode node;
    node.kind = kind;
    node.name = std::string(bytes);
    switch (kind) {
    case Kind::Computer:
    case Kind::Home:
        if (parent.kind != Kind::Desktop || !bytes.empty())
            return std::nullopt;
        if (kind == Kind::Home)
            node.path = ShellPlaces::home();
        return node;
    case Kind::Mount:
        if (parent.kind != Kind::Computer || bytes.empty() || bytes[0] != '/' ||
            bytes.find('\0') != std::string_view::npos)
            return std::nullopt;
        node.path = node.name;
        return node;
    case Kind::Folder:
    case Kind::File:
        if (!parent.isFolder() || parent.kind == Kind::Computer || !validName(bytes))
            return std::nullopt;
        node.path = joinPath(parent.path, bytes);
        return node;
    default:
        return std::nullopt;
    }
}

std::optional<ShellNode> ShellNamespace::resolveFrom(const ShellNode& start, PCUIDLIST_RELATIVE relative)
{
    ShellNode node = start;
    if (!relative)
        return node;
    for (const BYTE* p = reinterpret_cast<const BYTE*>(relative);;) {
        SHITEMID head;
        std::memcpy(&head.cb, p, sizeof head.cb);
        if (head.cb == 0)
            return node;
        auto next = child(node, *reinterpret_cast<const SHITEMID*>(p));
        if (!next)
            return std::nullopt;
        node = std::move(*next);
        p += head.cb;
    }
}

std::optional<ShellNode> ShellNamespace::resolve(PCIDLIST_ABSOLUTE list, bool withPath)
{
    if (!list)
        return std::nullopt;
    ShellNode desktop;
    // Finding the desktop folder reads a file; the computer's and home's items never need it,
    // and a tree asks for thousands of them.
    const bool fixedChild = list->mkid.cb >= minimumId && (list->mkid.abID[0] == BYTE(Kind::Computer) ||
                                                           list->mkid.abID[0] == BYTE(Kind::Home));
    if (withPath && !fixedChild)
        desktop.path = ShellPlaces::desktop();
    return resolveFrom(desktop, list);
}

std::vector<ShellNamespace::Id> ShellNamespace::children(const ShellNode& folder, SHCONTF flags)
{
    std::vector<Id> ids;
    const bool folders = flags & SHCONTF_FOLDERS;
    const bool files = flags & SHCONTF_NONFOLDERS;
    const bool hidden = flags & SHCONTF_INCLUDEHIDDEN;
    if (folder.kind == Kind::File)
        return ids;
    if (folder.kind == Kind::Computer) {
        if (folders)
            for (const std::string& point : ShellPlaces::mountPoints())
                ids.push_back(makeId(Kind::Mount, point));
        return ids;
    }
    if (folder.kind == Kind::Desktop && folders) {
        ids.push_back(makeId(Kind::Computer, {}));
        ids.push_back(makeId(Kind::Home, {}));
    }
    if (!folders && !files)
        return ids;
    std::vector<DirectoryEntry> entries;
    if (!listDirectory(folder.path, {}, false, entries))
        return ids;
    for (const DirectoryEntry& e : entries) {
        if (!hidden && e.name[0] == '.')
            continue;
        if (e.directory ? folders : files)
            ids.push_back(makeId(e.directory ? Kind::Folder : Kind::File, e.name));
    }
    return ids;
}

std::u16string ShellNamespace::displayName(const ShellNode& node)
{
    switch (node.kind) {
    case Kind::Desktop:
        return u"桌面";
    case Kind::Computer:
        return u"我的电脑";
    case Kind::Home:
        return ShellPlaces::userName();
    case Kind::Mount:
        if (node.path == "/")
            return u"文件系统";
        return fromUtf8(std::string_view(node.path).substr(node.path.rfind('/') + 1));
    default:
        return fromUtf8(node.name);
    }
}

std::u16string ShellNamespace::typeName(const ShellNode& node)
{
    switch (node.kind) {
    case Kind::Desktop:
    case Kind::Computer:
        return u"系统文件夹";
    case Kind::Mount:
        return u"本地磁盘";
    case Kind::Home:
    case Kind::Folder:
        return u"文件夹";
    default:
        return fileTypeName(fromUtf8(node.name));
    }
}

bool ShellNamespace::isPictureName(std::u16string_view name)
{
    static const char16_t* const pictures[] = {u".jpg", u".jpeg", u".png", u".gif",
                                               u".bmp", u".tif",  u".tiff"};
    const size_t dot = name.rfind(u'.');
    if (dot == std::u16string_view::npos)
        return false;
    const std::u16string_view ext = name.substr(dot);
    for (const char16_t* p : pictures)
        if (equalsNoCase(ext, p))
            return true;
    return false;
}

std::u16string ShellNamespace::fileTypeName(std::u16string_view name)
{
    const size_t dot = name.rfind(u'.');
    if (dot == std::u16string_view::npos || dot + 1 == name.size())
        return u"文件";
    std::u16string ext(name.substr(dot + 1));
    for (char16_t& c : ext)
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
    // The type field holds 80 units; an absurd extension is shortened, never the name.
    if (ext.size() > 60)
        ext.resize(60);
    return ext + (isPictureName(name) ? u" 图像" : u" 文件");
}

int ShellNamespace::compare(const SHITEMID& a, const SHITEMID& b)
{
    if (a.cb < minimumId || b.cb < minimumId)
        return a.cb < b.cb ? -1 : (a.cb > b.cb ? 1 : 0);
    const auto ka = static_cast<Kind>(a.abID[0]);
    const auto kb = static_cast<Kind>(b.abID[0]);
    if (rank(ka) != rank(kb))
        return rank(ka) < rank(kb) ? -1 : 1;
    const std::string_view na(reinterpret_cast<const char*>(a.abID + 1), a.cb - minimumId);
    const std::string_view nb(reinterpret_cast<const char*>(b.abID + 1), b.cb - minimumId);
    if (na == nb)
        return 0;
    // The root file system leads the mounts, as in the listing.
    if (ka == Kind::Mount && (na == "/" || nb == "/"))
        return na == "/" ? -1 : 1;
    return nameLess(fromUtf8(na), na, fromUtf8(nb), nb) ? -1 : 1;
}

} // namespace pictavo::platform
