#include "platform/gfx/MemoryStream.h"

#include "platform/com/HResult.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace pictavo::platform {

// Writes beyond this are refused: a stream here holds one picture.
constexpr uint64_t kMaxStreamBytes = uint64_t{1} << 30;

HRESULT MemoryStream::queryOther(REFIID riid, void** object)
{
    if (!IsEqualIID(riid, IID_ISequentialStream))
        return E_NOINTERFACE;
    *object = static_cast<ISequentialStream*>(this);
    AddRef();
    return S_OK;
}

HRESULT MemoryStream::Read(void* buffer, ULONG size, ULONG* read)
{
    if (!buffer && size)
        return E_POINTER;
    std::lock_guard lock(m_mutex);
    ULONG n = 0;
    if (m_position < m_bytes.size())
        n = static_cast<ULONG>(std::min<uint64_t>(size, m_bytes.size() - m_position));
    if (n)
        std::memcpy(buffer, m_bytes.data() + m_position, n);
    m_position += n;
    if (read)
        *read = n;
    return n == size ? S_OK : S_FALSE;
}

HRESULT MemoryStream::Write(const void* buffer, ULONG size, ULONG* written)
{
    if (!buffer && size)
        return E_POINTER;
    std::lock_guard lock(m_mutex);
    if (written)
        *written = 0;
    if (m_position + size > kMaxStreamBytes)
        return STG_E_MEDIUMFULL;
    try {
        if (m_position + size > m_bytes.size())
            m_bytes.resize(static_cast<size_t>(m_position + size));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (size)
        std::memcpy(m_bytes.data() + m_position, buffer, size);
    m_position += size;
    if (written)
        *written = size;
    return S_OK;
}

HRESULT MemoryStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position)
{
    std::lock_guard lock(m_mutex);
    int64_t base = origin == STREAM_SEEK_SET   ? 0
                   : origin == STREAM_SEEK_CUR ? static_cast<int64_t>(m_position)
                   : origin == STREAM_SEEK_END ? static_cast<int64_t>(m_bytes.size())
                                               : -1;
    if (base < 0)
        return STG_E_INVALIDFUNCTION;
    if (move.QuadPart < -base)
        return STG_E_INVALIDFUNCTION;
    m_position = static_cast<uint64_t>(base + move.QuadPart);
    if (position)
        position->QuadPart = m_position;
    return S_OK;
}

HRESULT MemoryStream::SetSize(ULARGE_INTEGER size)
{
    std::lock_guard lock(m_mutex);
    if (size.QuadPart > kMaxStreamBytes)
        return STG_E_MEDIUMFULL;
    try {
        m_bytes.resize(static_cast<size_t>(size.QuadPart));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT MemoryStream::CopyTo(IStream* to, ULARGE_INTEGER size, ULARGE_INTEGER* read, ULARGE_INTEGER* written)
{
    if (!to)
        return E_POINTER;
    std::vector<uint8_t> chunk;
    {
        std::lock_guard lock(m_mutex);
        uint64_t n =
            m_position < m_bytes.size() ? std::min<uint64_t>(size.QuadPart, m_bytes.size() - m_position) : 0;
        n = std::min<uint64_t>(n, kMaxStreamBytes);
        chunk.assign(m_bytes.begin() + static_cast<ptrdiff_t>(m_position),
                     m_bytes.begin() + static_cast<ptrdiff_t>(m_position + n));
        m_position += n;
    }
    ULONG done = 0;
    HRESULT hr = to->Write(chunk.data(), static_cast<ULONG>(chunk.size()), &done);
    if (read)
        read->QuadPart = chunk.size();
    if (written)
        written->QuadPart = done;
    return hr;
}

HRESULT MemoryStream::Stat(STATSTG* stat, DWORD)
{
    if (!stat)
        return E_POINTER;
    std::lock_guard lock(m_mutex);
    *stat = STATSTG{};
    stat->type = STGTY_STREAM;
    stat->cbSize.QuadPart = m_bytes.size();
    return S_OK;
}

HRESULT MemoryStream::Clone(IStream** copy)
{
    if (!copy)
        return E_POINTER;
    std::lock_guard lock(m_mutex);
    auto* clone = new (std::nothrow) MemoryStream(m_bytes);
    if (!clone)
        return E_OUTOFMEMORY;
    clone->m_position = m_position;
    *copy = clone;
    return S_OK;
}

} // namespace pictavo::platform

IStream* SHCreateMemStream(const BYTE* data, UINT size)
{
    if (!data && size)
        return nullptr;
    try {
        return new pictavo::platform::MemoryStream(std::vector<uint8_t>(data, data + size));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
