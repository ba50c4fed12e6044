#include "platform/kernel/Strings.h"
#include "platform/shell/ShellPlaces.h"
#include "platform/shell/ShlwApi.h"

#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace pictavo::platform;

namespace {

bool fits(const std::u16string& text)
{
    return text.size() < MAX_PATH;
}

void store(const std::u16string& text, LPWSTR out)
{
    std::memcpy(out, text.data(), text.size() * sizeof(WCHAR));
    out[text.size()] = 0;
}

bool isPrefix(std::u16string_view prefix, std::u16string_view path)
{
    while (prefix.size() > 1 && prefix.back() == u'/')
        prefix.remove_suffix(1);
    if (prefix.empty() || path.size() < prefix.size() || path.substr(0, prefix.size()) != prefix)
        return false;
    return prefix == u"/" || path.size() == prefix.size() || path[prefix.size()] == u'/';
}

// "." and ".." resolved by name, runs of separators folded, a trailing separator kept.
std::u16string canonical(std::u16string_view path)
{
    const bool absolute = !path.empty() && path[0] == u'/';
    const bool trailing = path.size() > 1 && path.back() == u'/';
    std::vector<std::u16string_view> parts;
    size_t i = 0;
    while (i < path.size()) {
        size_t j = path.find(u'/', i);
        if (j == std::u16string_view::npos)
            j = path.size();
        const std::u16string_view part = path.substr(i, j - i);
        i = j + 1;
        if (part.empty() || part == u".")
            continue;
        if (part == u"..") {
            if (!parts.empty() && parts.back() != u"..")
                parts.pop_back();
            else if (!absolute)
                parts.push_back(part); // a relative path may climb above its start
            continue;
        }
        parts.push_back(part);
    }
    std::u16string out = absolute ? u"/" : u"";
    for (size_t k = 0; k < parts.size(); ++k) {
        if (k)
            out += u'/';
        out += parts[k];
    }
    if (trailing && !parts.empty())
        out += u'/';
    return out;
}

bool statPath(LPCWSTR path, struct stat& st)
{
    if (!path || !path[0])
        return false;
    return ::stat(toUtf8(path).c_str(), &st) == 0;
}

} // namespace

LPWSTR PathFindFileNameW(LPCWSTR path)
{
    if (!path)
        return nullptr;
    LPCWSTR name = path;
    for (LPCWSTR p = path; *p; ++p)
        if (*p == u'/' && p[1] && p[1] != u'/')
            name = p + 1;
    return const_cast<LPWSTR>(name);
}

LPWSTR PathFindExtensionW(LPCWSTR path)
{
    if (!path)
        return nullptr;
    LPCWSTR dot = nullptr;
    LPCWSTR p = path;
    for (; *p; ++p) {
        if (*p == u'/')
            dot = nullptr;
        else if (*p == u'.')
            dot = p;
    }
    return const_cast<LPWSTR>(dot ? dot : p);
}

BOOL PathRenameExtensionW(LPWSTR path, LPCWSTR ext)
{
    if (!path || !ext)
        return FALSE;
    LPWSTR at = PathFindExtensionW(path);
    const std::u16string_view add(ext);
    if (static_cast<size_t>(at - path) + add.size() >= MAX_PATH)
        return FALSE;
    std::memcpy(at, add.data(), add.size() * sizeof(WCHAR));
    at[add.size()] = 0;
    return TRUE;
}

LPWSTR PathCombineW(LPWSTR dest, LPCWSTR folder, LPCWSTR file)
{
    if (!dest)
        return nullptr;
    if (!folder && !file) {
        dest[0] = 0;
        return nullptr;
    }
    const std::u16string_view f = folder ? folder : u"";
    const std::u16string_view n = file ? file : u"";
    std::u16string joined;
    if (!n.empty() && n[0] == u'/')
        joined = n;
    else if (f.empty())
        joined = n;
    else if (n.empty())
        joined = f;
    else
        joined = std::u16string(f) + u"/" + std::u16string(n);
    const std::u16string result = canonical(joined);
    if (!fits(result)) {
        dest[0] = 0;
        return nullptr;
    }
    store(result, dest);
    return dest;
}

BOOL PathIsPrefixW(LPCWSTR prefix, LPCWSTR path)
{
    return prefix && path && isPrefix(prefix, path);
}

BOOL PathStripToRootW(LPWSTR path)
{
    if (!path)
        return FALSE;
    const std::u16string text(path);
    if (text.empty() || text[0] != u'/') {
        path[0] = 0;
        return FALSE;
    }
    std::u16string root = u"/";
    for (const std::string& point : ShellPlaces::mountPoints()) {
        const std::u16string wide = fromUtf8(point);
        if (wide.size() > root.size() && isPrefix(wide, text))
            root = wide;
    }
    store(root, path); // never longer than the path it was found in
    return TRUE;
}

BOOL PathIsRootW(LPCWSTR path)
{
    if (!path || path[0] != u'/')
        return FALSE;
    std::u16string text(path);
    while (text.size() > 1 && text.back() == u'/')
        text.pop_back();
    if (text == u"/")
        return TRUE;
    const std::string bytes = toUtf8(text);
    for (const std::string& point : ShellPlaces::mountPoints())
        if (point == bytes)
            return TRUE;
    return FALSE;
}

BOOL PathIsDirectoryW(LPCWSTR path)
{
    struct stat st;
    return statPath(path, st) && S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FALSE;
}

BOOL PathFileExistsW(LPCWSTR path)
{
    struct stat st;
    return statPath(path, st) ? TRUE : FALSE;
}

int StrCmpW(LPCWSTR a, LPCWSTR b)
{
    if (!a || !b)
        return a == b ? 0 : (a ? 1 : -1);
    int exact = 0;
    for (size_t i = 0;; ++i) {
        const char16_t x = a[i], y = b[i];
        if (!x || !y) {
            if (x != y)
                return x ? 1 : -1;
            return exact;
        }
        const char16_t lx = toLower(x), ly = toLower(y);
        if (lx != ly)
            return lx < ly ? -1 : 1;
        if (!exact && x != y)
            exact = x < y ? -1 : 1;
    }
}

short GetFileTitleW(LPCWSTR file, LPWSTR title, WORD titleSize)
{
    if (!file || !file[0])
        return -1;
    const std::u16string_view name(PathFindFileNameW(file));
    if (name.empty() || name.back() == u'/')
        return -1;
    const size_t ext = static_cast<size_t>(PathFindExtensionW(name.data()) - name.data());
    const std::u16string_view result = ext == 0 ? name : name.substr(0, ext);
    const size_t needed = result.size() + 1;
    if (!title || titleSize < needed)
        return static_cast<short>(needed);
    std::memcpy(title, result.data(), result.size() * sizeof(WCHAR));
    title[result.size()] = 0;
    return 0;
}
