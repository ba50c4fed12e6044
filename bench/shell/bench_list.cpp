// Listing a folder of 5,000 files with FindFirstFileW/FindNextFileW (sizes, times, the fixed
// name order included) against `ls -f` on the same folder, in alternating runs; `ls -lUa`,
// which reads every file's status as we must, for reference.
// Then the namespace side of expanding a tree node: a folder of 5,000 sub-folders bound,
// enumerated and made into items (SHGetFileInfoW and SHGetPathFromIDListW on each), as the
// folder dialog does before inserting them.
// Usage: bench-shell-list [FOLDER] [RUNS]   (without FOLDER, or with "", a temporary one is made)

#include "platform/kernel/Strings.h"
#include "platform/com/Apartment.h"
#include "platform/com/ComPtr.h"
#include "platform/shell/ShlObj.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

using Clock = std::chrono::steady_clock;

namespace {

volatile uint64_t g_sink;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

size_t listOurs(const std::u16string& folder)
{
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW((folder + u"/*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    size_t n = 0;
    uint64_t bytes = 0;
    do {
        ++n;
        bytes += data.nFileSizeLow;
    } while (FindNextFileW(h, &data));
    FindClose(h);
    g_sink = bytes; // keeps the size reads from being optimised away
    return n;
}

// Wall time of `ls FLAGS folder` with its output thrown away.
double timeLs(const std::string& folder, const char* flags = "-f")
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const char* argv[] = {"ls", flags, folder.c_str(), nullptr};
    const auto start = Clock::now();
    pid_t pid;
    if (posix_spawnp(&pid, "ls", &actions, nullptr, const_cast<char**>(argv), environ) != 0) {
        std::perror("ls");
        std::exit(1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const double ms = msSince(start);
    posix_spawn_file_actions_destroy(&actions);
    return ms;
}

// Returns the number of items made.
size_t expandFolder()
{
    ComPtr<IShellFolder> desktop;
    SHGetDesktopFolder(desktop.GetAddressOf());
    ComPtr<IEnumIDList> top;
    desktop->EnumObjects(nullptr, SHCONTF_FOLDERS, top.GetAddressOf());
    PITEMID_CHILD child = nullptr;
    ULONG fetched = 0;
    PIDLIST_ABSOLUTE target = nullptr;
    while (!target && top->Next(1, &child, &fetched) == S_OK) {
        STRRET name{};
        desktop->GetDisplayNameOf(child, SHGDN_NORMAL, &name);
        if (std::u16string(name.pOleStr) == u"many")
            target = ILClone(child);
        CoTaskMemFree(name.pOleStr);
        ILFree(child);
    }
    if (!target)
        return 0;
    ComPtr<IShellFolder> folder;
    desktop->BindToObject(target, nullptr, IID_IShellFolder, reinterpret_cast<void**>(folder.GetAddressOf()));
    ComPtr<IEnumIDList> items;
    folder->EnumObjects(nullptr, SHCONTF_FOLDERS, items.GetAddressOf());
    size_t made = 0;
    while (items->Next(1, &child, &fetched) == S_OK) {
        PIDLIST_ABSOLUTE absolute = ILCombine(target, child);
        SHFILEINFOW info;
        WCHAR path[MAX_PATH];
        if (SHGetFileInfoW(reinterpret_cast<LPCWSTR>(absolute), 0, &info, sizeof info, 0x4609) &&
            SHGetPathFromIDListW(absolute, path))
            ++made;
        ILFree(absolute);
        ILFree(child);
    }
    ILFree(target);
    return made;
}

} // namespace

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 21;
    fs::path folder;
    fs::path made;
    if (argc > 1 && argv[1][0]) {
        folder = argv[1];
    } else {
        std::string pattern = (fs::temp_directory_path() / "bench-shell-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            return 1;
        made = folder = pattern;
        for (int i = 0; i < 5000; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, i % 3 ? "IMG_%05d.jpg" : "img_%05d.JPG", i);
            FILE* f = std::fopen((folder / name).c_str(), "wb");
            if (!f)
                return 1;
            std::fputs("jpeg", f);
            std::fclose(f);
        }
    }
    const fs::path empty = fs::path(folder).concat(".empty");
    fs::create_directory(empty);
    const std::u16string wide = pictavo::platform::fromUtf8(folder.string());

    std::vector<double> ours, ls, lsEmpty, lsLong;
    size_t count = listOurs(wide); // warm the caches for both
    timeLs(folder.string());
    for (int r = 0; r < runs; ++r) {
        const auto start = Clock::now();
        count = listOurs(wide);
        ours.push_back(msSince(start));
        ls.push_back(timeLs(folder.string()));
        lsEmpty.push_back(timeLs(empty.string()));
        lsLong.push_back(timeLs(folder.string(), "-lUa"));
    }
    fs::remove(empty);

    // The tree's side: a desktop holding "many" with 5,000 sub-folders.
    std::string deskPattern = (fs::temp_directory_path() / "bench-shell-desk-XXXXXX").string();
    if (!mkdtemp(deskPattern.data()))
        return 1;
    const fs::path desk = deskPattern;
    for (int i = 0; i < 5000; ++i)
        fs::create_directories(desk / "many" / ("Folder " + std::to_string(i)));
    setenv("PICTAVO_SHELL_DESKTOP", desk.c_str(), 1);
    std::vector<double> expand;
    size_t items = expandFolder();
    for (int r = 0; r < runs; ++r) {
        const auto start = Clock::now();
        items = expandFolder();
        expand.push_back(msSince(start));
    }
    fs::remove_all(desk);
    if (!made.empty())
        fs::remove_all(made);

    const double o = median(ours), l = median(ls), e = median(lsEmpty);
    std::printf("entries listed                      %zu\n", count);
    std::printf("FindFirstFileW, in process          %8.2f ms (median of %d)\n", o, runs);
    std::printf("ls -f, whole process                %8.2f ms\n", l);
    std::printf("ls -f on an empty folder            %8.2f ms (process cost)\n", e);
    std::printf("ls -lUa (stats every file, as we do) %7.2f ms\n", median(lsLong));
    std::printf("ratio ours / ls -f                  %8.2f\n", o / l);
    std::printf("ratio ours / (ls -f - process cost) %8.2f\n", l > e ? o / (l - e) : 0.0);
    std::printf("5,000 sub-folders into items         %7.2f ms (%zu items)\n", median(expand), items);
    return 0;
}
