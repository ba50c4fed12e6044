#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pictavo::platform {

// Where the namespace's fixed nodes stand on this machine, read from the environment at each
// call (docs/shell.md): the home folder, the desktop folder (home when there is none), the
// user's name, and the mounted file systems a user keeps files on.
struct ShellPlaces
{
    static std::string home();
    static std::string desktop();
    static std::u16string userName();
    // "/" first, then the others in mount order; pseudo and system mounts left out.
    static std::vector<std::string> mountPoints();

    // One entry per line of a mountinfo text: the mount point (escapes undone) and its type.
    struct Mount
    {
        std::string point;
        std::string type;
    };
    static std::vector<Mount> parseMountInfo(std::string_view text);
    static bool isUserMount(const Mount& mount);
};

// Without trailing slashes, "/" kept.
std::string trimTrailingSlashes(std::string path);
bool isDirectory(const std::string& path);

} // namespace pictavo::platform
