#include "platform/com/Registry.h"

#include "platform/com/RegistryFile.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <pwd.h>
#include <unistd.h>

using pictavo::platform::RegistryFile;
using pictavo::platform::RegistryNode;

namespace {

constexpr size_t kMaxKeyName = 255;
constexpr size_t kMaxValueName = 16383;
constexpr DWORD kMaxValueBytes = 16u << 20;

enum class Hive
{
    Machine,
    User
};

struct Location
{
    // The classes view: path is relative to Software\Classes of both hives, the user's first.
    bool merged = false;
    Hive hive = Hive::Machine;
    std::vector<std::u16string> path;
};

struct OpenKey
{
    Location location;
    REGSAM sam = 0;
};

struct State
{
    std::mutex mutex;
    std::map<std::string, std::unique_ptr<RegistryFile>> files;
    std::map<uintptr_t, OpenKey> handles;
    uintptr_t next = 0x1000;
    std::map<uintptr_t, Location> overrides;
    std::function<LONG()> fault;
};

State& state()
{
    // Never destroyed: handles may be closed from static destructors of other modules.
    static State* s = new State;
    return *s;
}

uintptr_t handleValue(HKEY key)
{
    return reinterpret_cast<uintptr_t>(key);
}

bool isPredefined(HKEY key)
{
    return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE;
}

std::vector<std::u16string> classesPath(const std::vector<std::u16string>& path)
{
    std::vector<std::u16string> out{u"Software", u"Classes"};
    out.insert(out.end(), path.begin(), path.end());
    return out;
}

RegistryFile& fileAt(State& s, const std::filesystem::path& path)
{
    auto& slot = s.files[path.string()];
    if (!slot)
        slot = std::make_unique<RegistryFile>(path);
    return *slot;
}

RegistryFile& fileOf(State& s, Hive hive)
{
    return fileAt(s, hive == Hive::Machine ? pictavo::platform::registryMachineFile()
                                           : pictavo::platform::registryUserFile());
}

LONG resolve(State& s, HKEY key, Location& out, REGSAM* sam = nullptr)
{
    if (sam)
        *sam = KEY_ALL_ACCESS;
    if (isPredefined(key)) {
        if (auto it = s.overrides.find(handleValue(key)); it != s.overrides.end()) {
            out = it->second;
            return ERROR_SUCCESS;
        }
        out = Location{};
        out.merged = key == HKEY_CLASSES_ROOT;
        out.hive = key == HKEY_CURRENT_USER ? Hive::User : Hive::Machine;
        return ERROR_SUCCESS;
    }
    auto it = s.handles.find(handleValue(key));
    if (it == s.handles.end())
        return ERROR_INVALID_HANDLE;
    out = it->second.location;
    if (sam)
        *sam = it->second.sam;
    return ERROR_SUCCESS;
}

LONG splitPath(LPCWSTR subKey, std::vector<std::u16string>& out)
{
    out.clear();
    if (!subKey || !*subKey)
        return ERROR_SUCCESS;
    std::u16string_view rest(subKey);
    if (rest.front() == u'\\')
        return ERROR_BAD_PATHNAME;
    if (rest.back() == u'\\')
        rest.remove_suffix(1);
    while (!rest.empty()) {
        const size_t cut = rest.find(u'\\');
        std::u16string_view part = rest.substr(0, cut);
        if (part.empty() || part.size() > kMaxKeyName)
            return ERROR_INVALID_PARAMETER;
        out.emplace_back(part);
        rest = cut == std::u16string_view::npos ? std::u16string_view() : rest.substr(cut + 1);
    }
    return ERROR_SUCCESS;
}

Location child(const Location& base, const std::vector<std::u16string>& path)
{
    Location out = base;
    out.path.insert(out.path.end(), path.begin(), path.end());
    return out;
}

// The node a location reads from now; nullptr with ERROR_SUCCESS when it does not exist.
LONG lookup(State& s, const Location& at, const RegistryNode*& node,
            const RegistryNode** machineNode = nullptr)
{
    node = nullptr;
    if (!at.merged) {
        RegistryFile& file = fileOf(s, at.hive);
        if (LONG rc = file.refresh(); rc != ERROR_SUCCESS)
            return rc;
        node = file.root().find(at.path);
        return ERROR_SUCCESS;
    }
    RegistryFile& user = fileOf(s, Hive::User);
    RegistryFile& machine = fileOf(s, Hive::Machine);
    if (LONG rc = user.refresh(); rc != ERROR_SUCCESS)
        return rc;
    if (LONG rc = machine.refresh(); rc != ERROR_SUCCESS)
        return rc;
    const auto path = classesPath(at.path);
    const RegistryNode* fromMachine = machine.root().find(path);
    node = user.root().find(path);
    if (!node)
        node = fromMachine;
    // The classes root itself exists even before anything is registered.
    static const RegistryNode emptyClasses;
    if (!node && at.path.empty())
        node = &emptyClasses;
    if (machineNode)
        *machineNode = fromMachine;
    return ERROR_SUCCESS;
}

// Where a change goes: the classes view reads the user's keys over the machine's, but
// writes and deletes only the machine's (unless the view is mapped elsewhere), so a
// machine-wide registration never alters a per-user one.
void target(const Location& at, Hive& hive, std::vector<std::u16string>& path)
{
    hive = at.merged ? Hive::Machine : at.hive;
    path = at.merged ? classesPath(at.path) : at.path;
}

// Where a value of key may be written: the key must have been opened with KEY_SET_VALUE.
LONG valueTarget(State& s, HKEY key, Hive& hive, std::vector<std::u16string>& path)
{
    Location at;
    REGSAM sam = 0;
    if (LONG rc = resolve(s, key, at, &sam); rc != ERROR_SUCCESS)
        return rc;
    if (!(sam & KEY_SET_VALUE))
        return ERROR_ACCESS_DENIED;
    target(at, hive, path);
    return ERROR_SUCCESS;
}

LONG modify(State& s, Hive hive, const std::function<LONG(RegistryNode&, bool&)>& change)
{
    return fileOf(s, hive).update(change, s.fault);
}

HKEY allocate(State& s, Location location, REGSAM sam)
{
    const uintptr_t id = s.next;
    s.next += 4;
    s.handles[id] = OpenKey{std::move(location), sam};
    return reinterpret_cast<HKEY>(id);
}

std::vector<std::u16string> subkeyNames(State& s, const Location& at, LONG& rc)
{
    const RegistryNode* node = nullptr;
    const RegistryNode* machineNode = nullptr;
    std::vector<std::u16string> names;
    rc = lookup(s, at, node, &machineNode);
    if (rc != ERROR_SUCCESS)
        return names;
    if (!node) {
        rc = ERROR_KEY_DELETED;
        return names;
    }
    std::map<std::u16string, std::u16string> merged;
    for (const RegistryNode* n : {node, at.merged ? machineNode : nullptr})
        if (n)
            for (const RegistryNode* c : n->children())
                merged.try_emplace(RegistryNode::fold(c->name()), c->name());
    for (auto& entry : merged)
        names.push_back(entry.second);
    return names;
}

LONG copyName(const std::u16string& name, LPWSTR out, LPDWORD chars)
{
    if (!out || !chars)
        return ERROR_INVALID_PARAMETER;
    if (name.size() + 1 > *chars)
        return ERROR_MORE_DATA;
    std::copy(name.begin(), name.end(), out);
    out[name.size()] = 0;
    *chars = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

LONG copyData(const RegistryNode::Value& v, LPDWORD type, LPBYTE data, LPDWORD size)
{
    if (data && !size)
        return ERROR_INVALID_PARAMETER;
    if (type)
        *type = v.type;
    const DWORD needed = static_cast<DWORD>(v.data.size());
    if (!size)
        return ERROR_SUCCESS;
    if (data && *size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (data)
        std::copy(v.data.begin(), v.data.end(), data);
    *size = needed;
    return ERROR_SUCCESS;
}

} // namespace

namespace pictavo::platform {

std::filesystem::path registryMachineFile()
{
    if (const char* env = std::getenv("PICTAVO_REGISTRY_MACHINE"); env && *env)
        return env;
    return "/var/lib/pictavo/machine.reg";
}

std::filesystem::path registryUserFile()
{
    if (const char* env = std::getenv("PICTAVO_REGISTRY_USER"); env && *env)
        return env;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        return std::filesystem::path(xdg) / "pictavo" / "user.reg";
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* pw = ::getpwuid(::getuid());
        home = pw ? pw->pw_dir : "/";
    }
    return std::filesystem::path(home) / ".config" / "pictavo" / "user.reg";
}

void setRegistryWriteFaultForTesting(std::function<LONG()> fault)
{
    std::lock_guard lock(state().mutex);
    state().fault = std::move(fault);
}

// Always the machine's file first: two batches never wait for each other crosswise.
RegistryBatch::RegistryBatch() : m_machine(registryMachineFile()), m_user(registryUserFile())
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    fileAt(s, m_machine).hold();
    if (m_user != m_machine)
        fileAt(s, m_user).hold();
}

RegistryBatch::~RegistryBatch()
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (m_user != m_machine)
        fileAt(s, m_user).release();
    fileAt(s, m_machine).release();
}

} // namespace pictavo::platform

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM sam, const void*, PHKEY result,
                     LPDWORD disposition)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    State& s = state();
    std::lock_guard lock(s.mutex);
    Location base;
    REGSAM baseSam = 0;
    std::vector<std::u16string> path;
    if (LONG rc = resolve(s, key, base, &baseSam); rc != ERROR_SUCCESS)
        return rc;
    if (LONG rc = splitPath(subKey, path); rc != ERROR_SUCCESS)
        return rc;
    const Location at = child(base, path);
    const RegistryNode* parent = nullptr;
    if (LONG rc = lookup(s, base, parent); rc != ERROR_SUCCESS)
        return rc;
    if (!parent)
        return ERROR_KEY_DELETED;
    Hive hive;
    std::vector<std::u16string> full;
    target(at, hive, full);
    const RegistryNode* existing = nullptr;
    if (LONG rc = lookup(s, at, existing); rc != ERROR_SUCCESS)
        return rc;
    RegistryFile& file = fileOf(s, hive);
    if (LONG rc = file.refresh(); rc != ERROR_SUCCESS)
        return rc;
    // Opening an existing key takes no lock and writes nothing; through the classes view a
    // key that will be written to is made in the machine's classes as well.
    const bool needed =
        !file.root().find(full) && !(existing && !(sam & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY)));
    bool created = false;
    LONG rc = !needed ? ERROR_SUCCESS : modify(s, hive, [&](RegistryNode& root, bool& dirty) {
        RegistryNode* node = &root;
        for (const auto& part : full) {
            bool made = false;
            node = &node->ensureChild(part, &made);
            dirty = dirty || made;
        }
        if (dirty && !(baseSam & KEY_CREATE_SUB_KEY))
            return ERROR_ACCESS_DENIED;
        created = dirty;
        return ERROR_SUCCESS;
    });
    if (rc != ERROR_SUCCESS)
        return rc;
    *result = allocate(s, at, sam);
    if (disposition)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM sam, PHKEY result)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    State& s = state();
    std::lock_guard lock(s.mutex);
    Location base;
    std::vector<std::u16string> path;
    if (LONG rc = resolve(s, key, base); rc != ERROR_SUCCESS)
        return rc;
    if (LONG rc = splitPath(subKey, path); rc != ERROR_SUCCESS)
        return rc;
    const Location at = child(base, path);
    const RegistryNode* node = nullptr;
    if (LONG rc = lookup(s, at, node); rc != ERROR_SUCCESS)
        return rc;
    if (!node)
        return ERROR_FILE_NOT_FOUND;
    *result = allocate(s, at, sam);
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key)
{
    if (isPredefined(key))
        return ERROR_SUCCESS;
    State& s = state();
    std::lock_guard lock(s.mutex);
    return s.handles.erase(handleValue(key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD size)
{
    const std::u16string_view name = valueName ? std::u16string_view(valueName) : std::u16string_view();
    if (name.size() > kMaxValueName || size > kMaxValueBytes || (size && !data))
        return ERROR_INVALID_PARAMETER;
    State& s = state();
    std::lock_guard lock(s.mutex);
    Hive hive;
    std::vector<std::u16string> path;
    if (LONG rc = valueTarget(s, key, hive, path); rc != ERROR_SUCCESS)
        return rc;
    std::vector<BYTE> bytes(data, data + size);
    return modify(s, hive, [&](RegistryNode& root, bool& dirty) {
        RegistryNode* node = root.find(path);
        if (!node)
            return ERROR_KEY_DELETED;
        const auto* old = node->value(name);
        dirty = !old || old->type != type || old->data != bytes || old->name != name;
        if (dirty)
            node->setValue(name, type, std::move(bytes));
        return ERROR_SUCCESS;
    });
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size)
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    Location at;
    if (LONG rc = resolve(s, key, at); rc != ERROR_SUCCESS)
        return rc;
    const RegistryNode* node = nullptr;
    if (LONG rc = lookup(s, at, node); rc != ERROR_SUCCESS)
        return rc;
    if (!node)
        return ERROR_KEY_DELETED;
    const auto* v = node->value(valueName ? std::u16string_view(valueName) : std::u16string_view());
    if (!v)
        return ERROR_FILE_NOT_FOUND;
    return copyData(*v, type, data, size);
}

LONG RegDeleteValueW(HKEY key, LPCWSTR valueName)
{
    const std::u16string_view name = valueName ? std::u16string_view(valueName) : std::u16string_view();
    State& s = state();
    std::lock_guard lock(s.mutex);
    Hive hive;
    std::vector<std::u16string> path;
    if (LONG rc = valueTarget(s, key, hive, path); rc != ERROR_SUCCESS)
        return rc;
    return modify(s, hive, [&](RegistryNode& root, bool& dirty) {
        RegistryNode* node = root.find(path);
        if (!node)
            return ERROR_KEY_DELETED;
        dirty = node->removeValue(name);
        return dirty ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
}

namespace {

// Deletes the key at base\subKey; whole = false refuses a key that still has subkeys.
LONG deleteKey(HKEY key, LPCWSTR subKey, bool whole)
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    Location base;
    std::vector<std::u16string> sub;
    if (LONG rc = resolve(s, key, base); rc != ERROR_SUCCESS)
        return rc;
    if (LONG rc = splitPath(subKey, sub); rc != ERROR_SUCCESS)
        return rc;
    const Location at = child(base, sub);
    const bool clearOnly = whole && sub.empty();
    if (at.path.empty() && !clearOnly)
        return ERROR_ACCESS_DENIED;
    Hive hive;
    std::vector<std::u16string> path;
    target(at, hive, path);
    return modify(s, hive, [&](RegistryNode& root, bool& dirty) {
        RegistryNode* node = root.find(path);
        if (!node)
            return ERROR_FILE_NOT_FOUND;
        if (clearOnly) {
            dirty = node->childCount() || !node->values().empty();
            node->clear();
            return ERROR_SUCCESS;
        }
        if (!whole && node->childCount())
            return ERROR_ACCESS_DENIED;
        dirty = root.find(path, path.size() - 1)->removeChild(path.back());
        return ERROR_SUCCESS;
    });
}

} // namespace

LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey)
{
    return deleteKey(key, subKey, false);
}

LONG RegDeleteTreeW(HKEY key, LPCWSTR subKey)
{
    return deleteKey(key, subKey, true);
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD, LPWSTR, LPDWORD classChars,
                   FILETIME* lastWrite)
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    Location at;
    if (LONG rc = resolve(s, key, at); rc != ERROR_SUCCESS)
        return rc;
    LONG rc = ERROR_SUCCESS;
    const auto names = subkeyNames(s, at, rc);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (index >= names.size())
        return ERROR_NO_MORE_ITEMS;
    if (classChars)
        *classChars = 0;
    if (lastWrite)
        *lastWrite = FILETIME{0, 0};
    return copyName(names[index], name, nameChars);
}

LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD, LPDWORD type, LPBYTE data,
                   LPDWORD size)
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    Location at;
    if (LONG rc = resolve(s, key, at); rc != ERROR_SUCCESS)
        return rc;
    const RegistryNode* node = nullptr;
    if (LONG rc = lookup(s, at, node); rc != ERROR_SUCCESS)
        return rc;
    if (!node)
        return ERROR_KEY_DELETED;
    if (index >= node->values().size())
        return ERROR_NO_MORE_ITEMS;
    const auto& v = node->values()[index];
    if (LONG rc = copyName(v.name, name, nameChars); rc != ERROR_SUCCESS)
        return rc;
    return copyData(v, type, data, size);
}

LONG RegOverridePredefKey(HKEY key, HKEY newKey)
{
    if (!isPredefined(key))
        return ERROR_INVALID_HANDLE;
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (!newKey) {
        s.overrides.erase(handleValue(key));
        return ERROR_SUCCESS;
    }
    Location to;
    if (LONG rc = resolve(s, newKey, to); rc != ERROR_SUCCESS)
        return rc;
    s.overrides[handleValue(key)] = to;
    return ERROR_SUCCESS;
}
