#pragma once

#include "platform/kernel/WinTypes.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pictavo::platform {

// One key of a registry tree. Names compare without regard to case and keep their spelling;
// subkeys are kept in that case-blind order, values in the order they were first set.
class RegistryNode {
public:
    struct Value {
        std::u16string name;
        DWORD type = 0;
        std::vector<BYTE> data;
    };

    explicit RegistryNode(std::u16string name = {}) : m_name(std::move(name)) {}
    RegistryNode(const RegistryNode& other);
    RegistryNode& operator=(const RegistryNode&) = delete;

    const std::u16string& name() const { return m_name; }

    RegistryNode* child(std::u16string_view name) const;
    RegistryNode& ensureChild(std::u16string_view name, bool* created = nullptr);
    bool removeChild(std::u16string_view name);
    void clear();
    // The subkeys in enumeration order.
    std::vector<const RegistryNode*> children() const;
    size_t childCount() const { return m_children.size(); }

    const Value* value(std::u16string_view name) const;
    void setValue(std::u16string_view name, DWORD type, std::vector<BYTE> data);
    bool removeValue(std::u16string_view name);
    const std::vector<Value>& values() const { return m_values; }

    RegistryNode* find(const std::vector<std::u16string>& path, size_t depth = SIZE_MAX);

    static std::u16string fold(std::u16string_view name);

private:
    std::u16string m_name;
    std::map<std::u16string, std::unique_ptr<RegistryNode>> m_children;
    std::vector<Value> m_values;
};

} // namespace pictavo::platform
