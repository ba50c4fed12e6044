#include "platform/shell/FileFind.h"

#include "platform/com/Registry.h"
#include "platform/kernel/Strings.h"
#include "platform/shell/DirectoryListing.h"
#include "platform/shell/WildcardMatch.h"

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

using namespace pictavo::platform;

namespace {

struct FindState
{
    std::vector<DirectoryEntry> entries;
    size_t next = 0;
};

// Find handles are their own table, as on Windows: CloseHandle does not take them.
std::mutex g_findLock;
std::map<uintptr_t, std::unique_ptr<FindState>> g_finds;
uintptr_t g_nextFind = 0x4000;

void fill(const DirectoryEntry& e, WIN32_FIND_DATAW& data)
{
    std::memset(&data, 0, sizeof data);
    DWORD attributes = 0;
    if (e.directory)
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (e.readOnly)
        attributes |= FILE_ATTRIBUTE_READONLY;
    if (!e.name.empty() && e.name[0] == '.')
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    data.dwFileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
    data.ftCreationTime = e.created;
    data.ftLastAccessTime = e.accessed;
    data.ftLastWriteTime = e.written;
    data.nFileSizeHigh = static_cast<DWORD>(e.size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(e.size);
    // A name of at most 255 bytes never needs more than 255 units.
    const size_t n = std::min<size_t>(e.wide.size(), MAX_PATH - 1);
    std::memcpy(data.cFileName, e.wide.data(), n * sizeof(WCHAR));
}

DWORD errorFromErrno(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case ENOTDIR:
    case ENOENT:
        return ERROR_PATH_NOT_FOUND;
    default:
        return ERROR_PATH_NOT_FOUND;
    }
}

} // namespace

HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data)
{
    if (!pattern || !data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const std::u16string_view text(pattern);
    const size_t slash = text.rfind(u'/');
    std::u16string folder;
    std::u16string_view name = text;
    if (slash != std::u16string_view::npos) {
        folder = std::u16string(text.substr(0, slash == 0 ? 1 : slash));
        name = text.substr(slash + 1);
    } else {
        folder = u".";
    }
    if (name.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const bool all = name == u"*" || name == u"*.*";
    auto state = std::make_unique<FindState>();
    std::function<bool(std::u16string_view)> accept;
    if (!all)
        accept = [name](std::u16string_view candidate) { return wildcardMatch(name, candidate); };
    if (!listDirectory(toUtf8(folder), accept, true, state->entries)) {
        SetLastError(errorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    if (state->entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    fill(state->entries[0], *data);
    state->next = 1;
    std::lock_guard<std::mutex> guard(g_findLock);
    const uintptr_t id = g_nextFind++;
    g_finds.emplace(id, std::move(state));
    SetLastError(0);
    return reinterpret_cast<HANDLE>(id);
}

BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW data)
{
    std::lock_guard<std::mutex> guard(g_findLock);
    const auto it = g_finds.find(reinterpret_cast<uintptr_t>(find));
    if (it == g_finds.end() || !data) {
        SetLastError(it == g_finds.end() ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    FindState& state = *it->second;
    if (state.next >= state.entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    fill(state.entries[state.next++], *data);
    return TRUE;
}

BOOL FindClose(HANDLE find)
{
    std::unique_ptr<FindState> gone;
    std::lock_guard<std::mutex> guard(g_findLock);
    const auto it = g_finds.find(reinterpret_cast<uintptr_t>(find));
    if (it == g_finds.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    gone = std::move(it->second);
    g_finds.erase(it);
    return TRUE;
}
