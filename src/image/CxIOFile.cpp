#include "image/CxIOFile.h"

#include "platform/kernel/Strings.h"

CxIOFile::CxIOFile(FILE* stream) : m_fp(stream), m_owned(false) {}

CxIOFile::~CxIOFile()
{
    Close();
}

bool CxIOFile::Open(LPCWSTR path, LPCWSTR mode)
{
    if (path == nullptr || mode == nullptr)
        return false;
    using pictavo::platform::toUtf8;
    return OpenUtf8(toUtf8(path).c_str(), toUtf8(mode).c_str());
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
