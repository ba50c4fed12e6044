#include "platform/shell/ShellPlaces.h"

#include "platform/kernel/Strings.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace pictavo::platform {

namespace {

std::string env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool under(std::string_view path, std::string_view folder)
{
    return path.size() > folder.size() && path.substr(0, folder.size()) == folder &&
           path[folder.size()] == '/';
}

// mountinfo writes space, tab, newline and backslash as three octal digits.
std::string unescape(std::string_view field)
{
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string_view d = field.substr(i + 1, 3);
            if (d.size() == 3 &&
                std::all_of(d.begin(), d.end(), [](char c) { return c >= '0' && c <= '7'; })) {
                out += static_cast<char>((d[0] - '0') * 64 + (d[1] - '0') * 8 + (d[2] - '0'));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

std::string parseXdgDesktop(const std::string& file, const std::string& home)
{
    std::istringstream lines(readText(file));
    std::string line;
    std::string found;
    while (std::getline(lines, line)) {
        static const std::string key = "XDG_DESKTOP_DIR=\"";
        if (line.compare(0, key.size(), key) != 0)
            continue;
        const size_t end = line.find('"', key.size());
        if (end == std::string::npos)
            continue;
        std::string value = line.substr(key.size(), end - key.size());
        if (value.compare(0, 5, "$HOME") == 0)
            value = home + value.substr(5);
        if (!value.empty() && value[0] == '/')
            found = value;
    }
    return found.empty() ? home + "/Desktop" : found;
}

// Every id under the desktop asks for it, so the parsed file is kept while it stays the same.
std::string xdgDesktop(const std::string& home)
{
    std::string config = env("XDG_CONFIG_HOME");
    if (config.empty() || config[0] != '/')
        config = home + "/.config";
    const std::string file = config + "/user-dirs.dirs";
    struct stat st
    {};
    const bool exists = ::stat(file.c_str(), &st) == 0;
    static std::mutex lock;
    static std::string cachedFile, cachedHome, cachedValue;
    static struct timespec cachedTime
    {};
    static off_t cachedSize = -1;
    std::lock_guard<std::mutex> guard(lock);
    const off_t size = exists ? st.st_size : -1;
    if (file != cachedFile || home != cachedHome || size != cachedSize ||
        st.st_mtim.tv_sec != cachedTime.tv_sec || st.st_mtim.tv_nsec != cachedTime.tv_nsec ||
        cachedValue.empty()) {
        cachedValue = exists ? parseXdgDesktop(file, home) : home + "/Desktop";
        cachedFile = file;
        cachedHome = home;
        cachedSize = size;
        cachedTime = st.st_mtim;
    }
    return cachedValue;
}

} // namespace

std::string trimTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

bool isDirectory(const std::string& path)
{
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ShellPlaces::home()
{
    std::string h = env("PICTAVO_SHELL_HOME");
    if (h.empty())
        h = env("HOME");
    if (h.empty() || h[0] != '/') {
        const passwd* pw = ::getpwuid(::geteuid());
        h = pw && pw->pw_dir && pw->pw_dir[0] == '/' ? pw->pw_dir : "/";
    }
    return trimTrailingSlashes(h);
}

std::string ShellPlaces::desktop()
{
    const std::string h = home();
    std::string d = env("PICTAVO_SHELL_DESKTOP");
    if (d.empty() || d[0] != '/')
        d = xdgDesktop(h);
    d = trimTrailingSlashes(d);
    return isDirectory(d) ? d : h;
}

std::u16string ShellPlaces::userName()
{
    std::string name = env("USER");
    if (name.empty()) {
        const passwd* pw = ::getpwuid(::geteuid());
        if (pw && pw->pw_name)
            name = pw->pw_name;
    }
    if (name.empty()) {
        const std::string h = home();
        name = h == "/" ? h : h.substr(h.rfind('/') + 1);
    }
    return fromUtf8(name);
}

std::vector<ShellPlaces::Mount> ShellPlaces::parseMountInfo(std::string_view text)
{
    std::vector<Mount> mounts;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        std::vector<std::string_view> fields;
        size_t i = 0;
        while (i < line.size()) {
            while (i < line.size() && line[i] == ' ')
                ++i;
            const size_t j = std::min(line.find(' ', i), line.size());
            if (j > i)
                fields.push_back(line.substr(i, j - i));
            i = j;
        }
        // id parent dev root point options [optional...] - type source superoptions
        const auto dash = std::find(fields.begin(), fields.end(), std::string_view("-"));
        if (fields.size() < 5 || dash == fields.end() || dash - fields.begin() < 6 ||
            dash + 1 == fields.end())
            continue;
        Mount m{unescape(fields[4]), std::string(*(dash + 1))};
        if (m.point.empty() || m.point[0] != '/')
            continue;
        mounts.push_back(std::move(m));
    }
    return mounts;
}

bool ShellPlaces::isUserMount(const Mount& mount)
{
    static const char* const pseudo[] = {
        "proc",     "sysfs",   "devtmpfs",    "devpts",      "cgroup",          "cgroup2",       "securityfs",
        "debugfs",  "tracefs", "pstore",      "bpf",         "mqueue",          "hugetlbfs",     "configfs",
        "fusectl",  "autofs",  "binfmt_misc", "efivarfs",    "rpc_pipefs",      "nsfs",          "selinuxfs",
        "squashfs", "ramfs",   "nfsd",        "fuse.portal", "fuse.gvfsd-fuse", "fuse.snapfuse", "fuse.lxcfs",
        "overlay",  "aufs",    "shm",
    };
    const std::string& p = mount.point;
    if (p == "/")
        return true;
    if (under(p, "/proc") || under(p, "/sys") || under(p, "/dev") || p == "/proc" || p == "/sys" ||
        p == "/dev")
        return false;
    if (std::any_of(std::begin(pseudo), std::end(pseudo), [&](const char* t) { return mount.type == t; }))
        return false;
    if (mount.type == "tmpfs" && (p == "/run" || under(p, "/run")))
        return false;
    // Files bound over files (a container's /etc/hosts) are no place to browse.
    return isDirectory(p);
}

std::vector<std::string> ShellPlaces::mountPoints()
{
    std::string file = env("PICTAVO_SHELL_MOUNTINFO");
    if (file.empty())
        file = "/proc/self/mountinfo";
    std::vector<std::string> points{"/"};
    for (const Mount& m : parseMountInfo(readText(file))) {
        const std::string point = trimTrailingSlashes(m.point);
        // An id carries the mount point in 16-bit framing; no real one comes near that.
        if (point.size() >= 4096 || !isUserMount(Mount{point, m.type}))
            continue;
        if (std::find(points.begin(), points.end(), point) == points.end())
            points.push_back(point);
    }
    return points;
}

} // namespace pictavo::platform
