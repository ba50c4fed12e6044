#pragma once

#include "platform/shell/ShlObj.h"

#include <optional>
#include <string>
#include <vector>

namespace pictavo::platform {

// A place in the namespace: the desktop at the top, then what docs/shell.md describes.
struct ShellNode
{
    enum class Kind : BYTE
    {
        Desktop = 0,
        Computer = 1,
        Home = 2,
        Mount = 3,
        Folder = 4,
        File = 5
    };
    Kind kind = Kind::Desktop;
    std::string path; // file-system path; empty for the computer
    std::string name; // an id's own bytes: a folder's or file's name, a mount point

    bool isFolder() const { return kind != Kind::File; }
    bool hidden() const
    {
        return !name.empty() && name[0] == '.' && (kind == Kind::Folder || kind == Kind::File);
    }
};

// The byte layout behind the id lists: each id is cb, a kind byte and the kind's bytes.
class ShellNamespace
{
public:
    using Id = std::vector<BYTE>; // one id without the list terminator

    // The node an absolute list names, walking from the desktop; nothing for a list that is
    // malformed or holds an id that cannot stand where it does.
    // Without withPath the paths of items under the desktop are left relative to nothing:
    // names, kinds and icons need no file-system look-up.
    static std::optional<ShellNode> resolve(PCIDLIST_ABSOLUTE list, bool withPath = true);
    static std::optional<ShellNode> resolveFrom(const ShellNode& start, PCUIDLIST_RELATIVE relative);
    static std::optional<ShellNode> child(const ShellNode& parent, const SHITEMID& id);

    // The children of a folder in display order; an unreadable folder has none.
    static std::vector<Id> children(const ShellNode& folder, SHCONTF flags);

    static std::u16string displayName(const ShellNode& node);
    static std::u16string typeName(const ShellNode& node);
    // "JPG 图像", "TXT 文件", "文件" for a name without extension.
    static std::u16string fileTypeName(std::u16string_view name);
    static bool isPictureName(std::u16string_view name);
    static Id makeId(ShellNode::Kind kind, std::string_view bytes);
    // A task-memory list holding one id.
    static PITEMID_CHILD toList(const Id& id);
    // Orders two ids of the same folder: fixed nodes first, then names.
    static int compare(const SHITEMID& a, const SHITEMID& b);
};

} // namespace pictavo::platform
