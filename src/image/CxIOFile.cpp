#include "image/CxIOFile.h"

#include <string>

namespace {

// Plain UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string narrow(LPCWSTR text)
{
    std::string out;
    for (size_t i = 0; text[i] != 0; ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace

CxIOFile::CxIOFile(FILE* stream) : m_fp(stream), m_owned(false) {}

CxIOFile::~CxIOFile()
{
    Close();
}

bool CxIOFile::Open(LPCWSTR path, LPCWSTR mode)
{
    if (path == nullptr || mode == nullptr)
        return false;
    return OpenUtf8(narrow(path).c_str(), narrow(mode).c_str());
}

bool CxIOFile::OpenUtf8(const char* path, const char* mode)
{
    if (m_fp != nullptr || path == nullptr || mode == nullptr)
        return false;
    m_fp = std::fopen(path, mode);
    if (m_fp == nullptr)
        return false;
    m_owned = true;
    return true;
}

bool CxIOFile::Close()
{
    int result = 0;
    if (m_fp != nullptr && m_owned) {
        result = std::fclose(m_fp);
        m_fp = nullptr;
        m_owned = false;
    }
    return result == 0;
}

size_t CxIOFile::Read(void* buffer, size_t size, size_t count)
{
    if (m_fp == nullptr || buffer == nullptr)
        return 0;
    return std::fread(buffer, size, count, m_fp);
}

size_t CxIOFile::Write(const void* buffer, size_t size, size_t count)
{
    if (m_fp == nullptr || buffer == nullptr)
        return 0;
    return std::fwrite(buffer, size, count, m_fp);
}

bool CxIOFile::Seek(int32_t offset, int32_t origin)
{
    if (m_fp == nullptr)
        return false;
    return std::fseek(m_fp, offset, origin) == 0;
}

int32_t CxIOFile::Tell()
{
    if (m_fp == nullptr)
        return 0;
    return static_cast<int32_t>(std::ftell(m_fp));
}

int32_t CxIOFile::Size()
{
    if (m_fp == nullptr)
        return -1;
    long pos = std::ftell(m_fp);
    std::fseek(m_fp, 0, SEEK_END);
    long size = std::ftell(m_fp);
    std::fseek(m_fp, pos, SEEK_SET);
    return static_cast<int32_t>(size);
}

bool CxIOFile::Flush()
{
    return m_fp != nullptr && std::fflush(m_fp) == 0;
}

bool CxIOFile::Eof()
{
    return m_fp == nullptr || std::feof(m_fp) != 0;
}

int32_t CxIOFile::Error()
{
    return m_fp == nullptr ? -1 : std::ferror(m_fp);
}

bool CxIOFile::PutC(unsigned char c)
{
    return m_fp != nullptr && std::fputc(c, m_fp) == c;
}

int32_t CxIOFile::GetC()
{
    return m_fp == nullptr ? -1 : std::getc(m_fp);
}

char* CxIOFile::GetS(char* buffer, int32_t n)
{
    if (m_fp == nullptr || buffer == nullptr || n <= 0)
        return nullptr;
    return std::fgets(buffer, n, m_fp);
}

int32_t CxIOFile::Scanf(const char* format, void* output)
{
    if (m_fp == nullptr || format == nullptr)
        return 0;
    return std::fscanf(m_fp, format, output);
}
