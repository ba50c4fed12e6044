#pragma once

#include "platform/com/RegistryNode.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace pictavo::platform {

// One registry root kept in a text file. Readers pick up another process's committed write
// at their next access; writers serialise on a lock file beside it and replace the file
// atomically. A file that does not parse is reported and left exactly as it is.
class RegistryFile
{
public:
    explicit RegistryFile(std::filesystem::path path);

    const std::filesystem::path& path() const { return m_path; }

    // Brings the tree up to date with the file: ERROR_SUCCESS, ERROR_BADDB or ERROR_CANTREAD.
    LONG refresh();
    RegistryNode& root() { return *m_root; }

    // Runs change on a copy of the newest tree under the lock; a change that succeeds and
    // sets dirty is written back.
    LONG update(const std::function<LONG(RegistryNode& root, bool& dirty)>& change,
                const std::function<LONG()>& fault);

    // Takes the write lock until release, for a sequence of updates no other process may
    // interleave with; updates meanwhile use it instead of locking again. Nests.
    void hold();
    void release();

    static std::string format(const RegistryNode& root);
    // Parses text into root; on failure returns false with a reason naming the line.
    static bool parse(std::string_view text, RegistryNode& root, std::string& error);

    static constexpr size_t kMaxFileBytes = 64u << 20;

    struct Stamp
    {
        bool exists = false;
        uint64_t dev = 0, ino = 0, size = 0;
        int64_t mtimeNs = 0, ctimeNs = 0;
        bool operator==(const Stamp&) const = default;
    };

private:
    static Stamp stampOf(const std::filesystem::path& path);
    LONG load();
    LONG write(const RegistryNode& root);
    int openLock() const;

    std::filesystem::path m_path;
    std::unique_ptr<RegistryNode> m_root;
    std::optional<Stamp> m_stamp;
    bool m_damaged = false;
    int m_heldLock = -1;
    int m_holds = 0;
};

} // namespace pictavo::platform
