#include "module/Registrar.h"

#include "platform/com/HResult.h"
#include "platform/com/Resource.h"
#include "platform/kernel/Strings.h"

#include <optional>
#include <vector>

using pictavo::platform::equalsNoCase;
using pictavo::platform::hexDigitValue;
using pictavo::platform::toLower;

namespace {

constexpr int kMaxDepth = 32;
constexpr HRESULT kSyntaxError = DISP_E_EXCEPTION;

struct Token
{
    std::u16string text;
    bool quoted = false;
    bool isWord(std::u16string_view word) const { return !quoted && equalsNoCase(text, word); }
};

struct Value
{
    DWORD type = REG_SZ;
    std::vector<BYTE> data;
};

struct Key
{
    enum class Flag
    {
        None,
        NoRemove,
        ForceRemove,
        Delete
    } flag = Flag::None;
    bool isValue = false;
    std::u16string name;
    std::optional<Value> value;
    std::vector<Key> children;
};

struct Root
{
    HKEY key;
    std::vector<Key> keys;
};

// A byte-order mark counts as a blank: editors put one at the start of a script.
bool isSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0xFEFF;
}

class Parser
{
public:
    Parser(std::u16string_view script, const std::map<std::u16string, std::u16string>& replacements)
        : m_script(script), m_replacements(replacements)
    {}

    bool parse(std::vector<Root>& roots)
    {
        if (!tokenize())
            return false;
        while (m_next < m_tokens.size()) {
            Root root{};
            const Token& name = m_tokens[m_next++];
            if (name.isWord(u"HKCR") || name.isWord(u"HKEY_CLASSES_ROOT"))
                root.key = HKEY_CLASSES_ROOT;
            else if (name.isWord(u"HKCU") || name.isWord(u"HKEY_CURRENT_USER"))
                root.key = HKEY_CURRENT_USER;
            else if (name.isWord(u"HKLM") || name.isWord(u"HKEY_LOCAL_MACHINE"))
                root.key = HKEY_LOCAL_MACHINE;
            else
                return false;
            if (!block(root.keys, 0))
                return false;
            roots.push_back(std::move(root));
        }
        return true;
    }

private:
    bool tokenize()
    {
        size_t i = 0;
        while (true) {
            while (i < m_script.size() && isSpace(m_script[i]))
                ++i;
            if (i >= m_script.size())
                return true;
            Token t;
            const char16_t c = m_script[i];
            if (c == u'\'') {
                t.quoted = true;
                ++i;
                while (true) {
                    if (i >= m_script.size())
                        return false;
                    if (m_script[i] == u'\'') {
                        if (i + 1 < m_script.size() && m_script[i + 1] == u'\'') {
                            t.text += u'\'';
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    t.text += m_script[i++];
                }
            } else if (c == u'=' || c == u'}' ||
                       (c == u'{' && (i + 1 == m_script.size() || isSpace(m_script[i + 1])))) {
                t.text = c;
                ++i;
            } else {
                while (i < m_script.size() && !isSpace(m_script[i]) && m_script[i] != u'=')
                    t.text += m_script[i++];
            }
            const bool replaced = t.text.find(u'%') != std::u16string::npos;
            if (!replace(t.text))
                return false;
            // Replaced text is always a name or a value, never a keyword or a brace.
            t.quoted = t.quoted || replaced;
            m_tokens.push_back(std::move(t));
        }
    }

    bool replace(std::u16string& text) const
    {
        std::u16string out;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] != u'%') {
                out += text[i];
                continue;
            }
            const size_t end = text.find(u'%', i + 1);
            if (end == std::u16string::npos)
                return false;
            if (end == i + 1) {
                out += u'%';
            } else {
                auto it = m_replacements.find(toLower(std::u16string_view(text).substr(i + 1, end - i - 1)));
                if (it == m_replacements.end())
                    return false;
                out += it->second;
            }
            i = end;
        }
        text = std::move(out);
        return true;
    }

    const Token* peek() const { return m_next < m_tokens.size() ? &m_tokens[m_next] : nullptr; }
    bool peekBrace(char16_t brace) const
    {
        const Token* t = peek();
        return t && !t->quoted && t->text.size() == 1 && t->text[0] == brace;
    }

    bool block(std::vector<Key>& keys, int depth)
    {
        if (depth > kMaxDepth || !peekBrace(u'{'))
            return false;
        ++m_next;
        while (!peekBrace(u'}')) {
            Key key;
            if (!peek() || !entry(key, depth))
                return false;
            keys.push_back(std::move(key));
        }
        ++m_next;
        return true;
    }

    bool entry(Key& key, int depth)
    {
        const Token* t = peek();
        if (t->isWord(u"NoRemove"))
            key.flag = Key::Flag::NoRemove;
        else if (t->isWord(u"ForceRemove"))
            key.flag = Key::Flag::ForceRemove;
        else if (t->isWord(u"Delete"))
            key.flag = Key::Flag::Delete;
        if (key.flag != Key::Flag::None)
            ++m_next;
        if (const Token* v = peek(); v && v->isWord(u"val")) {
            key.isValue = true;
            ++m_next;
        }
        const Token* name = peek();
        if (!name || (!name->quoted && (name->text == u"{" || name->text == u"}" || name->text == u"=")))
            return false;
        key.name = name->text;
        ++m_next;
        if (key.name.empty() && !key.isValue)
            return false;
        if (peekBrace(u'=')) {
            ++m_next;
            key.value.emplace();
            if (!value(*key.value))
                return false;
        }
        if (key.isValue)
            return key.value.has_value() && key.flag == Key::Flag::None;
        if (peekBrace(u'{'))
            return block(key.children, depth + 1);
        return true;
    }

    bool value(Value& out)
    {
        const Token* type = peek();
        if (!type || type->quoted || m_next + 1 >= m_tokens.size())
            return false;
        const std::u16string& text = m_tokens[m_next + 1].text;
        m_next += 2;
        if (type->isWord(u"s")) {
            out.type = REG_SZ;
            for (char16_t c : text) {
                out.data.push_back(static_cast<BYTE>(c & 0xFF));
                out.data.push_back(static_cast<BYTE>(c >> 8));
            }
            out.data.insert(out.data.end(), {0, 0});
            return true;
        }
        if (type->isWord(u"d")) {
            uint64_t v = 0;
            const bool hex = text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X');
            if (text.empty() || text.size() > 12)
                return false;
            for (size_t i = hex ? 2 : 0; i < text.size(); ++i) {
                const int d = hexDigitValue(text[i]);
                if (d < 0 || d >= (hex ? 16 : 10))
                    return false;
                v = v * (hex ? 16 : 10) + static_cast<unsigned>(d);
            }
            if (v > 0xFFFFFFFFu)
                return false;
            out.type = REG_DWORD;
            for (int i = 0; i < 4; ++i)
                out.data.push_back(static_cast<BYTE>(v >> (8 * i)));
            return true;
        }
        if (type->isWord(u"b")) {
            if (text.size() % 2)
                return false;
            out.type = REG_BINARY;
            for (size_t i = 0; i < text.size(); i += 2) {
                const int hi = hexDigitValue(text[i]), lo = hexDigitValue(text[i + 1]);
                if (hi < 0 || lo < 0)
                    return false;
                out.data.push_back(static_cast<BYTE>(hi * 16 + lo));
            }
            return true;
        }
        return false;
    }

    std::u16string_view m_script;
    const std::map<std::u16string, std::u16string>& m_replacements;
    std::vector<Token> m_tokens;
    size_t m_next = 0;
};

HRESULT fromWin32(LONG rc)
{
    return HRESULT_FROM_WIN32(static_cast<DWORD>(rc));
}

LONG setValue(HKEY key, const std::u16string& name, const Value& v)
{
    return RegSetValueExW(key, name.empty() ? nullptr : name.c_str(), 0, v.type, v.data.data(),
                          static_cast<DWORD>(v.data.size()));
}

HRESULT registerKeys(HKEY parent, const std::vector<Key>& keys)
{
    for (const Key& key : keys) {
        if (key.isValue) {
            if (LONG rc = setValue(parent, key.name, *key.value); rc != ERROR_SUCCESS)
                return fromWin32(rc);
            continue;
        }
        if (key.flag == Key::Flag::ForceRemove || key.flag == Key::Flag::Delete) {
            LONG rc = RegDeleteTreeW(parent, key.name.c_str());
            if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
                return fromWin32(rc);
            if (key.flag == Key::Flag::Delete)
                continue;
        }
        HKEY sub = nullptr;
        if (LONG rc = RegCreateKeyExW(parent, key.name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub,
                                      nullptr);
            rc != ERROR_SUCCESS)
            return fromWin32(rc);
        HRESULT hr = S_OK;
        if (key.value)
            if (LONG rc = setValue(sub, {}, *key.value); rc != ERROR_SUCCESS)
                hr = fromWin32(rc);
        if (SUCCEEDED(hr))
            hr = registerKeys(sub, key.children);
        RegCloseKey(sub);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

// Removes what the script names, going on past failures; the first one is reported.
HRESULT unregisterKeys(HKEY parent, const std::vector<Key>& keys)
{
    HRESULT first = S_OK;
    auto note = [&](LONG rc) {
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND && SUCCEEDED(first))
            first = fromWin32(rc);
    };
    for (const Key& key : keys) {
        if (key.isValue) {
            note(RegDeleteValueW(parent, key.name.empty() ? nullptr : key.name.c_str()));
            continue;
        }
        if (key.flag == Key::Flag::Delete)
            continue;
        if (key.flag == Key::Flag::ForceRemove) {
            note(RegDeleteTreeW(parent, key.name.c_str()));
            continue;
        }
        HKEY sub = nullptr;
        LONG rc = RegOpenKeyExW(parent, key.name.c_str(), 0, KEY_ALL_ACCESS, &sub);
        if (rc != ERROR_SUCCESS) {
            note(rc);
            continue;
        }
        if (HRESULT hr = unregisterKeys(sub, key.children); FAILED(hr) && SUCCEEDED(first))
            first = hr;
        WCHAR probe[256];
        DWORD chars = 256;
        // A key that still holds subkeys the script does not name belongs to someone else too.
        const bool hasOthers =
            RegEnumKeyExW(sub, 0, probe, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_NO_MORE_ITEMS;
        RegCloseKey(sub);
        if (key.flag != Key::Flag::NoRemove && !hasOthers)
            note(RegDeleteKeyW(parent, key.name.c_str()));
    }
    return first;
}

} // namespace

void Registrar::AddReplacement(std::u16string_view name, std::u16string_view value)
{
    m_replacements[toLower(name)] = std::u16string(value);
}

HRESULT Registrar::StringRegister(std::u16string_view script)
{
    return Run(script, true);
}

HRESULT Registrar::StringUnregister(std::u16string_view script)
{
    return Run(script, false);
}

HRESULT Registrar::ResourceRegister(HMODULE module, UINT id)
{
    return RunResource(module, id, true);
}

HRESULT Registrar::ResourceUnregister(HMODULE module, UINT id)
{
    return RunResource(module, id, false);
}

HRESULT Registrar::RunResource(HMODULE module, UINT id, bool doRegister)
{
    HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(id), u"REGISTRY");
    if (!res)
        return HRESULT_FROM_WIN32(1813); // ERROR_RESOURCE_TYPE_NOT_FOUND
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(module, res)));
    const std::u16string script =
        pictavo::platform::fromUtf8(std::string_view(bytes, SizeofResource(module, res)));
    return Run(script, doRegister);
}

HRESULT Registrar::Run(std::u16string_view script, bool doRegister)
{
    std::vector<Root> roots;
    if (!Parser(script, m_replacements).parse(roots))
        return kSyntaxError;
    HRESULT first = S_OK;
    for (const Root& root : roots) {
        HRESULT hr = doRegister ? registerKeys(root.key, root.keys) : unregisterKeys(root.key, root.keys);
        if (doRegister && FAILED(hr))
            return hr;
        if (FAILED(hr) && SUCCEEDED(first))
            first = hr;
    }
    return first;
}
