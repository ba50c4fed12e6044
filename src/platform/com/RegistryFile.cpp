#include "platform/com/RegistryFile.h"

#include "platform/com/Registry.h"
#include "platform/kernel/Strings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pictavo::platform {

namespace {

constexpr std::string_view kHeader = "PICTAVO REGISTRY 1";

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void appendHex4(std::string& out, char16_t unit)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(unit));
    out += buf;
}

// Text as UTF-8; what cannot be written plainly (controls, lone surrogates, the escape
// character itself and the characters listed in special) becomes escape + 4 hex digits.
void appendEscaped(std::string& out, std::u16string_view text, char escape, std::string_view special)
{
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
            continue;
        }
        const bool plain = c >= 0x20 && c != 0x7F && !(c >= 0xD800 && c <= 0xDFFF) && c != char16_t(escape) &&
                           (c >= 0x80 || special.find(static_cast<char>(c)) == std::string_view::npos);
        if (plain) {
            appendUtf8(out, c);
        } else {
            out += escape;
            if (escape == '\\')
                out += 'u';
            appendHex4(out, c);
        }
    }
}

std::string quotedText(std::u16string_view text)
{
    std::string out = "\"";
    appendEscaped(out, text, '\\', "\"");
    out += '"';
    return out;
}

bool isSzData(const std::vector<BYTE>& data)
{
    if (data.size() < 2 || data.size() % 2 != 0)
        return false;
    const size_t units = data.size() / 2;
    for (size_t i = 0; i < units; ++i) {
        const char16_t c = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
        if ((c == 0) != (i + 1 == units))
            return false;
    }
    return true;
}

std::u16string szText(const std::vector<BYTE>& data)
{
    std::u16string out;
    for (size_t i = 0; i + 2 < data.size(); i += 2)
        out += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    return out;
}

std::vector<BYTE> szData(std::u16string_view text)
{
    std::vector<BYTE> out;
    out.reserve(text.size() * 2 + 2);
    for (char16_t c : text) {
        out.push_back(static_cast<BYTE>(c & 0xFF));
        out.push_back(static_cast<BYTE>(c >> 8));
    }
    out.push_back(0);
    out.push_back(0);
    return out;
}

void formatNode(const RegistryNode& node, const std::string& path, std::string& out)
{
    if (!path.empty() || !node.values().empty()) {
        out += "\n[" + path + "]\n";
        for (const auto& v : node.values()) {
            out += v.name.empty() ? std::string("@") : quotedText(v.name);
            out += '=';
            if ((v.type == REG_SZ || v.type == REG_EXPAND_SZ) && isSzData(v.data)) {
                out += v.type == REG_SZ ? "sz:" : "expand:";
                out += quotedText(szText(v.data));
            } else if (v.type == REG_DWORD && v.data.size() == 4) {
                char buf[16];
                std::snprintf(
                    buf, sizeof buf, "dword:%08X",
                    unsigned(v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) | (unsigned(v.data[3]) << 24)));
                out += buf;
            } else {
                out += "hex(" + std::to_string(v.type) + "):";
                for (size_t i = 0; i < v.data.size(); ++i) {
                    char buf[4];
                    std::snprintf(buf, sizeof buf, "%s%02x", i ? "," : "", v.data[i]);
                    out += buf;
                }
            }
            out += '\n';
        }
    }
    for (const RegistryNode* child : node.children()) {
        std::string childPath = path;
        if (!childPath.empty())
            childPath += '\\';
        appendEscaped(childPath, child->name(), '%', "");
        formatNode(*child, childPath, out);
    }
}

// Strict UTF-8 to UTF-16 with the file's escapes (escape + 4 hex digits, "\u" in strings).
class Reader
{
public:
    explicit Reader(std::string_view text) : m_text(text) {}

    bool decode(std::u16string& out, char escape)
    {
        while (m_pos < m_text.size()) {
            const unsigned char b = static_cast<unsigned char>(m_text[m_pos]);
            if (b == static_cast<unsigned char>(escape)) {
                if (escape == '\\') {
                    if (m_pos + 1 >= m_text.size() || m_text[m_pos + 1] != 'u')
                        return false;
                    ++m_pos;
                }
                char16_t unit = 0;
                if (!hex4(m_pos + 1, unit))
                    return false;
                out += unit;
                m_pos += 5;
                continue;
            }
            if (escape == '\\' && b == '"')
                return true;
            char32_t cp;
            int extra;
            if (b < 0x80) {
                cp = b;
                extra = 0;
            } else if ((b & 0xE0) == 0xC0) {
                cp = b & 0x1F;
                extra = 1;
            } else if ((b & 0xF0) == 0xE0) {
                cp = b & 0x0F;
                extra = 2;
            } else if ((b & 0xF8) == 0xF0) {
                cp = b & 0x07;
                extra = 3;
            } else {
                return false;
            }
            if (extra > 0 && m_pos + extra >= m_text.size())
                return false;
            for (int i = 1; i <= extra; ++i) {
                const unsigned char c = static_cast<unsigned char>(m_text[m_pos + i]);
                if ((c & 0xC0) != 0x80)
                    return false;
                cp = (cp << 6) | (c & 0x3F);
            }
            static constexpr char32_t minimum[] = {0, 0x80, 0x800, 0x10000};
            if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) || cp < 0x20)
                return false;
            m_pos += extra + 1;
            if (cp >= 0x10000) {
                out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
                out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
            } else {
                out += static_cast<char16_t>(cp);
            }
        }
        return escape != '\\';
    }

    bool quotedString(std::u16string& out)
    {
        if (!take('"') || !decode(out, '\\'))
            return false;
        return take('"');
    }

    bool take(char c)
    {
        if (m_pos < m_text.size() && m_text[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }
    bool takeWord(std::string_view word)
    {
        if (m_text.substr(m_pos, word.size()) != word)
            return false;
        m_pos += word.size();
        return true;
    }
    bool hexByte(BYTE& out)
    {
        if (m_pos + 2 > m_text.size())
            return false;
        int hi = hexDigitValue(m_text[m_pos]), lo = hexDigitValue(m_text[m_pos + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out = static_cast<BYTE>(hi * 16 + lo);
        m_pos += 2;
        return true;
    }
    bool number(DWORD& out)
    {
        size_t start = m_pos;
        uint64_t v = 0;
        while (m_pos < m_text.size() && m_text[m_pos] >= '0' && m_text[m_pos] <= '9' && m_pos - start < 10)
            v = v * 10 + (m_text[m_pos++] - '0');
        if (m_pos == start || v > 0xFFFFFFFFu)
            return false;
        out = static_cast<DWORD>(v);
        return true;
    }
    bool atEnd() const { return m_pos == m_text.size(); }

private:
    bool hex4(size_t at, char16_t& out) const
    {
        if (at + 4 > m_text.size())
            return false;
        unsigned v = 0;
        for (size_t i = 0; i < 4; ++i) {
            int d = hexDigitValue(m_text[at + i]);
            if (d < 0)
                return false;
            v = v * 16 + d;
        }
        out = static_cast<char16_t>(v);
        return true;
    }

    std::string_view m_text;
    size_t m_pos = 0;
};

bool parseValue(std::string_view line, RegistryNode& node)
{
    Reader r(line);
    std::u16string name;
    if (!r.take('@') && !r.quotedString(name))
        return false;
    if (!r.take('='))
        return false;
    DWORD textType = 0;
    if (r.takeWord("sz:"))
        textType = REG_SZ;
    else if (r.takeWord("expand:"))
        textType = REG_EXPAND_SZ;
    if (textType) {
        const DWORD type = textType;
        std::u16string text;
        if (!r.quotedString(text) || !r.atEnd())
            return false;
        node.setValue(name, type, szData(text));
        return true;
    }
    if (r.takeWord("dword:")) {
        std::vector<BYTE> bytes(4);
        for (int i = 3; i >= 0; --i)
            if (!r.hexByte(bytes[i]))
                return false;
        if (!r.atEnd())
            return false;
        node.setValue(name, REG_DWORD, std::move(bytes));
        return true;
    }
    DWORD type = 0;
    if (!r.takeWord("hex(") || !r.number(type) || !r.takeWord("):"))
        return false;
    std::vector<BYTE> bytes;
    while (!r.atEnd()) {
        BYTE b;
        if ((!bytes.empty() && !r.take(',')) || !r.hexByte(b))
            return false;
        bytes.push_back(b);
    }
    node.setValue(name, type, std::move(bytes));
    return true;
}

} // namespace

RegistryFile::RegistryFile(std::filesystem::path path)
    : m_path(std::move(path)), m_root(std::make_unique<RegistryNode>())
{}

std::string RegistryFile::format(const RegistryNode& root)
{
    std::string out(kHeader);
    out += '\n';
    formatNode(root, "", out);
    return out;
}

bool RegistryFile::parse(std::string_view text, RegistryNode& root, std::string& error)
{
    root.clear();
    RegistryNode* section = nullptr;
    bool sawHeader = false;
    size_t lineNo = 0;
    while (!text.empty()) {
        ++lineNo;
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == ';')
            continue;
        auto fail = [&](const char* what) {
            error = "line " + std::to_string(lineNo) + ": " + what;
            return false;
        };
        if (!sawHeader) {
            if (line != kHeader)
                return fail("not a registry file");
            sawHeader = true;
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']')
                return fail("unterminated key name");
            std::string_view path = line.substr(1, line.size() - 2);
            section = &root;
            while (!path.empty()) {
                size_t cut = path.find('\\');
                std::u16string name;
                Reader r(path.substr(0, cut));
                if (!r.decode(name, '%') || name.empty())
                    return fail("bad key name");
                section = &section->ensureChild(name);
                path = cut == std::string_view::npos ? std::string_view() : path.substr(cut + 1);
                if (cut != std::string_view::npos && path.empty())
                    return fail("bad key name");
            }
            continue;
        }
        if (!section)
            return fail("value outside a key");
        if (!parseValue(line, *section))
            return fail("bad value");
    }
    if (!sawHeader) {
        error = "not a registry file";
        return false;
    }
    return true;
}

namespace {

RegistryFile::Stamp stampFrom(const struct stat& st)
{
    RegistryFile::Stamp s;
    s.exists = true;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = static_cast<uint64_t>(st.st_size);
    s.mtimeNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.ctimeNs = int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return s;
}

} // namespace

RegistryFile::Stamp RegistryFile::stampOf(const std::filesystem::path& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? stampFrom(st) : Stamp{};
}

LONG RegistryFile::refresh()
{
    if (m_stamp && *m_stamp == stampOf(m_path))
        return m_damaged ? ERROR_BADDB : ERROR_SUCCESS;
    return load();
}

LONG RegistryFile::load()
{
    const int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT)
            return ERROR_CANTREAD;
        m_root->clear();
        m_damaged = false;
        m_stamp = Stamp{};
        return ERROR_SUCCESS;
    }
    // The stamp of what is read, not of whatever the path names by now.
    struct stat st;
    Stamp stamp = ::fstat(fd, &st) == 0 ? stampFrom(st) : Stamp{};
    std::string text;
    std::string error;
    bool ok = stamp.size <= kMaxFileBytes;
    if (!ok) {
        error = "larger than " + std::to_string(kMaxFileBytes) + " bytes";
    } else {
        text.resize(stamp.size);
        size_t got = 0;
        while (got < text.size()) {
            ssize_t n = ::read(fd, text.data() + got, text.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += static_cast<size_t>(n);
        }
        text.resize(got);
    }
    ::close(fd);
    auto fresh = std::make_unique<RegistryNode>();
    if (ok)
        ok = parse(text, *fresh, error);
    m_stamp = stamp;
    if (!ok) {
        m_damaged = true;
        std::fprintf(stderr, "pictavo: registry file %s is damaged (%s); it is left untouched\n",
                     m_path.c_str(), error.c_str());
        return ERROR_BADDB;
    }
    m_damaged = false;
    m_root = std::move(fresh);
    return ERROR_SUCCESS;
}

int RegistryFile::openLock() const
{
    std::error_code ec;
    std::filesystem::create_directories(m_path.parent_path(), ec);
    const std::string lockPath = m_path.string() + ".lock";
    int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    // A reader of a registry it may not change can still wait for writers to finish.
    if (fd < 0 && errno == EACCES)
        fd = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0)
        while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    return fd;
}

void RegistryFile::hold()
{
    if (m_holds++ == 0)
        m_heldLock = openLock();
}

void RegistryFile::release()
{
    if (m_holds == 0 || --m_holds > 0)
        return;
    if (m_heldLock >= 0)
        ::close(m_heldLock);
    m_heldLock = -1;
}

LONG RegistryFile::update(const std::function<LONG(RegistryNode&, bool&)>& change,
                          const std::function<LONG()>& fault)
{
    const int lock = m_heldLock >= 0 ? m_heldLock : openLock();
    if (lock < 0)
        return errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_CANTWRITE;
    LONG rc = refresh();
    if (rc == ERROR_SUCCESS) {
        auto copy = std::make_unique<RegistryNode>(*m_root);
        bool dirty = false;
        rc = change(*copy, dirty);
        if (rc == ERROR_SUCCESS && dirty && fault)
            rc = fault();
        if (rc == ERROR_SUCCESS && dirty) {
            rc = write(*copy);
            if (rc == ERROR_SUCCESS) {
                m_root = std::move(copy);
                m_stamp = stampOf(m_path);
            }
        }
    }
    if (lock != m_heldLock)
        ::close(lock);
    return rc;
}

namespace {

// The file a write replaces: a link is followed to what it names, so the link stays.
std::filesystem::path writeTarget(const std::filesystem::path& path)
{
    std::filesystem::path target = path;
    std::error_code ec;
    for (int hops = 0; hops < 40 && std::filesystem::is_symlink(target, ec); ++hops) {
        const std::filesystem::path next = std::filesystem::read_symlink(target, ec);
        if (ec)
            break;
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return target;
}

} // namespace

LONG RegistryFile::write(const RegistryNode& root)
{
    const std::string text = format(root);
    if (text.size() > kMaxFileBytes)
        return ERROR_CANTWRITE;
    const std::filesystem::path target = writeTarget(m_path);
    struct stat st{};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    // Replacing is done by rename, which the folder allows even where the file does not:
    // a file its owner made read-only, or one we may not write, is not ours to replace.
    if (exists && ((st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0))
        return ERROR_ACCESS_DENIED;
    const std::string tmp = target.string() + ".tmp." + std::to_string(::getpid());
    const int fd =
        ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, exists ? 0600 : 0644);
    if (fd < 0)
        return errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_CANTWRITE;
    // The new file takes the old one's owner and mode; only root can give a file away.
    bool ok = true;
    if (exists) {
        const bool owned = ::fchown(fd, st.st_uid, st.st_gid) == 0;
        ok = ::fchmod(fd, owned ? st.st_mode & 07777 : st.st_mode & 0777) == 0;
    }
    size_t done = 0;
    while (ok && done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        done += static_cast<size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(tmp.c_str(), target.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return ERROR_CANTWRITE;
    }
    return ERROR_SUCCESS;
}

} // namespace pictavo::platform
