#include "image/CxMemFile.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {
// Positions and sizes are reported as 32-bit signed values.
constexpr size_t kMaxBytes = INT32_MAX;
} // namespace

CxMemFile::CxMemFile(BYTE* buffer, DWORD size)
    : m_pBuffer(buffer), m_Size(buffer ? size : 0), m_bFreeOnClose(buffer == nullptr), m_Position(0),
      m_Edge(buffer ? size : 0)
{}

CxMemFile::~CxMemFile()
{
    Close();
}

bool CxMemFile::Open()
{
    if (m_pBuffer != nullptr)
        return false;
    m_Position = m_Size = m_Edge = 0;
    m_pBuffer = static_cast<BYTE*>(std::malloc(1));
    m_bFreeOnClose = true;
    return m_pBuffer != nullptr;
}

BYTE* CxMemFile::Detach()
{
    BYTE* buffer = m_pBuffer;
    m_pBuffer = nullptr;
    m_Size = m_Position = m_Edge = 0;
    m_bFreeOnClose = true;
    return buffer;
}

bool CxMemFile::Close()
{
    if (m_pBuffer != nullptr && m_bFreeOnClose)
        std::free(m_pBuffer);
    m_pBuffer = nullptr;
    m_Size = 0;
    return true;
}

bool CxMemFile::Alloc(size_t needed)
{
    if (needed <= m_Edge)
        return true;
    size_t capacity = (needed & ~size_t{0xFFFF}) + 0x10000;
    if (needed > kMaxBytes || capacity > kMaxBytes + 1)
        return false;
    BYTE* grown;
    if (m_pBuffer == nullptr) {
        grown = static_cast<BYTE*>(std::malloc(capacity));
    } else if (m_bFreeOnClose) {
        grown = static_cast<BYTE*>(std::realloc(m_pBuffer, capacity));
    } else {
        // A caller's buffer is never handed to realloc: copy it out instead.
        grown = static_cast<BYTE*>(std::malloc(capacity));
        if (grown != nullptr)
            std::memcpy(grown, m_pBuffer, m_Size);
    }
    if (grown == nullptr)
        return false;
    m_pBuffer = grown;
    m_Edge = static_cast<DWORD>(capacity);
    m_bFreeOnClose = true;
    return true;
}

size_t CxMemFile::Read(void* buffer, size_t size, size_t count)
{
    if (buffer == nullptr || m_pBuffer == nullptr || m_Position >= m_Size || size == 0 || count == 0)
        return 0;
    if (count > SIZE_MAX / size)
        return 0;
    size_t bytes = std::min<size_t>(size * count, m_Size - m_Position);
    std::memcpy(buffer, m_pBuffer + m_Position, bytes);
    m_Position += static_cast<DWORD>(bytes);
    return bytes / size;
}

size_t CxMemFile::Write(const void* buffer, size_t size, size_t count)
{
    if (m_pBuffer == nullptr || buffer == nullptr || size == 0 || count == 0)
        return 0;
    if (count > kMaxBytes / size)
        return 0;
    size_t length = size * count;
    size_t end = size_t{m_Position} + length;
    if (!Alloc(end))
        return 0;
    // A seek past the end leaves a gap: zero it rather than expose stale heap bytes.
    if (m_Position > m_Size)
        std::memset(m_pBuffer + m_Size, 0, m_Position - m_Size);
    std::memcpy(m_pBuffer + m_Position, buffer, length);
    m_Position = static_cast<DWORD>(end);
    m_Size = std::max(m_Size, m_Position);
    return count;
}

bool CxMemFile::Seek(int32_t offset, int32_t origin)
{
    if (m_pBuffer == nullptr)
        return false;
    int64_t base;
    switch (origin) {
    case 0:
        base = 0;
        break;
    case 1:
        base = m_Position;
        break;
    case 2:
        base = m_Size;
        break;
    default:
        return false;
    }
    int64_t pos = std::clamp<int64_t>(base + offset, 0, kMaxBytes);
    m_Position = static_cast<DWORD>(pos);
    return true;
}

int32_t CxMemFile::Tell()
{
    return m_pBuffer == nullptr ? -1 : static_cast<int32_t>(m_Position);
}

int32_t CxMemFile::Size()
{
    return m_pBuffer == nullptr ? -1 : static_cast<int32_t>(m_Size);
}

bool CxMemFile::Flush()
{
    return m_pBuffer != nullptr;
}

bool CxMemFile::Eof()
{
    return m_pBuffer == nullptr || m_Position >= m_Size;
}

int32_t CxMemFile::Error()
{
    if (m_pBuffer == nullptr)
        return -1;
    return m_Position > m_Size ? 1 : 0;
}

bool CxMemFile::PutC(unsigned char c)
{
    return Write(&c, 1, 1) == 1;
}

int32_t CxMemFile::GetC()
{
    if (Eof())
        return -1;
    return m_pBuffer[m_Position++];
}

char* CxMemFile::GetS(char* buffer, int32_t n)
{
    if (buffer == nullptr || n <= 0)
        return nullptr;
    int32_t i = 0;
    while (i < n - 1) {
        int32_t c = GetC();
        if (c == -1) {
            buffer[i] = 0;
            return nullptr;
        }
        buffer[i++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    buffer[i] = 0;
    return buffer;
}

int32_t CxMemFile::Scanf(const char*, void*)
{
    return 0;
}
