#include "platform/com/RegistryNode.h"

#include <algorithm>

namespace pictavo::platform {

namespace {

char16_t foldUnit(char16_t c)
{
    if (c >= u'A' && c <= u'Z')
        return c + 32;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F))
        return c + 32;
    if (c >= 0x400 && c <= 0x40F)
        return c + 80;
    return c;
}

} // namespace

std::u16string RegistryNode::fold(std::u16string_view name)
{
    std::u16string out(name);
    std::transform(out.begin(), out.end(), out.begin(), foldUnit);
    return out;
}

RegistryNode::RegistryNode(const RegistryNode& other) : m_name(other.m_name), m_values(other.m_values)
{
    for (const auto& [key, node] : other.m_children)
        m_children.emplace(key, std::make_unique<RegistryNode>(*node));
}

RegistryNode* RegistryNode::child(std::u16string_view name) const
{
    auto it = m_children.find(fold(name));
    return it == m_children.end() ? nullptr : it->second.get();
}

RegistryNode& RegistryNode::ensureChild(std::u16string_view name, bool* created)
{
    auto [it, inserted] = m_children.try_emplace(fold(name));
    if (inserted)
        it->second = std::make_unique<RegistryNode>(std::u16string(name));
    if (created)
        *created = inserted;
    return *it->second;
}

bool RegistryNode::removeChild(std::u16string_view name) { return m_children.erase(fold(name)) > 0; }

void RegistryNode::clear()
{
    m_children.clear();
    m_values.clear();
}

std::vector<const RegistryNode*> RegistryNode::children() const
{
    std::vector<const RegistryNode*> out;
    out.reserve(m_children.size());
    for (const auto& entry : m_children)
        out.push_back(entry.second.get());
    return out;
}

const RegistryNode::Value* RegistryNode::value(std::u16string_view name) const
{
    const std::u16string key = fold(name);
    for (const Value& v : m_values)
        if (fold(v.name) == key)
            return &v;
    return nullptr;
}

void RegistryNode::setValue(std::u16string_view name, DWORD type, std::vector<BYTE> data)
{
    if (auto* existing = const_cast<Value*>(value(name))) {
        existing->type = type;
        existing->data = std::move(data);
        return;
    }
    m_values.push_back(Value{std::u16string(name), type, std::move(data)});
}

bool RegistryNode::removeValue(std::u16string_view name)
{
    const std::u16string key = fold(name);
    auto it = std::find_if(m_values.begin(), m_values.end(), [&](const Value& v) { return fold(v.name) == key; });
    if (it == m_values.end())
        return false;
    m_values.erase(it);
    return true;
}

RegistryNode* RegistryNode::find(const std::vector<std::u16string>& path, size_t depth)
{
    RegistryNode* node = this;
    const size_t n = std::min(depth, path.size());
    for (size_t i = 0; i < n && node; ++i)
        node = node->child(path[i]);
    return node;
}

} // namespace pictavo::platform
