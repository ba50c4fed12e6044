#include "platform/shell/DirectoryListing.h"

#include "platform/kernel/Strings.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <numeric>
#include <system_error>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>

namespace pictavo::platform {

namespace {

int compareFolded(std::u16string_view a, std::u16string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const char16_t x = toLower(a[i]);
        const char16_t y = toLower(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

struct DirCloser
{
    void operator()(DIR* d) const { ::closedir(d); }
};

// A dangling link still lists, as the link itself; an entry gone since it was read is dropped.
bool statEntry(int dirFd, DirectoryEntry& e)
{
    struct statx sx;
    const unsigned mask = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_MTIME | STATX_ATIME | STATX_BTIME;
    if (::statx(dirFd, e.name.c_str(), AT_STATX_DONT_SYNC, mask, &sx) != 0 &&
        ::statx(dirFd, e.name.c_str(), AT_STATX_DONT_SYNC | AT_SYMLINK_NOFOLLOW, mask, &sx) != 0)
        return false;
    e.directory = S_ISDIR(sx.stx_mode);
    e.readOnly = (sx.stx_mode & S_IWUSR) == 0;
    e.size = e.directory ? 0 : sx.stx_size;
    e.written = fileTimeFromUnix(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
    e.accessed = fileTimeFromUnix(sx.stx_atime.tv_sec, sx.stx_atime.tv_nsec);
    e.created =
        (sx.stx_mask & STATX_BTIME) ? fileTimeFromUnix(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec) : e.written;
    return true;
}

// One status call per entry is most of a listing's time; a large folder shares them out over
// a few threads.
void readDetails(int dirFd, std::vector<DirectoryEntry>& entries)
{
    constexpr size_t perThread = 1024;
    const size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const size_t parts = std::min<size_t>({cores, 4, std::max<size_t>(1, entries.size() / perThread)});
    std::vector<char> present(entries.size(), 0);
    auto work = [&](size_t part) {
        for (size_t i = part * entries.size() / parts; i < (part + 1) * entries.size() / parts; ++i)
            present[i] = statEntry(dirFd, entries[i]);
    };
    std::vector<std::thread> helpers;
    for (size_t part = 1; part < parts; ++part) {
        try {
            helpers.emplace_back(work, part);
        } catch (const std::system_error&) {
            for (size_t i = part; i < parts; ++i)
                work(i); // no thread to be had: do it here
            break;
        }
    }
    work(0);
    for (std::thread& t : helpers)
        t.join();
    size_t kept = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!present[i])
            continue;
        if (kept != i)
            entries[kept] = std::move(entries[i]);
        ++kept;
    }
    entries.resize(kept);
}

} // namespace

bool nameLess(std::u16string_view a, std::string_view aBytes, std::u16string_view b, std::string_view bBytes)
{
    const int folded = compareFolded(a, b);
    if (folded != 0)
        return folded < 0;
    return aBytes < bBytes;
}

FILETIME fileTimeFromUnix(int64_t seconds, uint32_t nanoseconds)
{
    // 100-nanosecond intervals since 1601-01-01; times before that clamp to 0.
    constexpr int64_t epochOffset = 11644473600LL;
    if (seconds < -epochOffset)
        return FILETIME{};
    const uint64_t ticks = static_cast<uint64_t>(seconds + epochOffset) * 10000000ULL + nanoseconds / 100;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

bool listDirectory(const std::string& folder, const std::function<bool(std::u16string_view)>& accept,
                   bool details, std::vector<DirectoryEntry>& entries)
{
    entries.clear();
    if (folder.empty() || folder.find('\0') != std::string::npos) {
        errno = ENOENT;
        return false;
    }
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    std::unique_ptr<DIR, DirCloser> dir(::fdopendir(fd));
    if (!dir) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return false;
    }
    std::vector<DirectoryEntry> found;
    while (true) {
        errno = 0;
        const dirent* d = ::readdir(dir.get());
        if (!d)
            break;
        const std::string_view name(d->d_name);
        if (name == "." || name == "..")
            continue;
        DirectoryEntry e;
        e.wide = fromUtf8(name);
        if (accept && !accept(e.wide))
            continue;
        e.name = name;
        // With details everything is read below, after the names, possibly on several threads.
        if (!details && d->d_type == DT_DIR) {
            e.directory = true;
        } else if (!details && (d->d_type == DT_LNK || d->d_type == DT_UNKNOWN)) {
            struct stat st;
            e.directory = ::fstatat(fd, d->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        found.push_back(std::move(e));
    }
    const int readError = errno;
    if (readError != 0 && found.empty()) {
        errno = readError;
        return false;
    }
    if (details)
        readDetails(fd, found);
    // Fold each name once and sort positions: comparing and moving whole entries costs more
    // than the reading does.
    std::vector<std::u16string> keys(found.size());
    for (size_t i = 0; i < found.size(); ++i)
        keys[i] = toLower(found[i].wide);
    std::vector<uint32_t> order(found.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        const int c = keys[a].compare(keys[b]);
        return c != 0 ? c < 0 : found[a].name < found[b].name;
    });
    entries.reserve(found.size());
    for (uint32_t i : order)
        entries.push_back(std::move(found[i]));
    return true;
}

} // namespace pictavo::platform
