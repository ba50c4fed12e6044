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
    std::lock_guard lock(mutex_);
    ULONG n = 0;
    if (position_ < bytes_.size())
        n = static_cast<ULONG>(std::min<uint64_t>(size, bytes_.size() - position_));
    if (n)
        std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    if (read)
        *read = n;
    return n == size ? S_OK : S_FALSE;
}

HRESULT MemoryStream::Write(const void* buffer, ULONG size, ULONG* written)
{
    if (!buffer && size)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    if (written)
        *written = 0;
    if (position_ + size > kMaxStreamBytes)
        return STG_E_MEDIUMFULL;
    try {
        if (position_ + size > bytes_.size())
            bytes_.resize(static_cast<size_t>(position_ + size));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (size)
        std::memcpy(bytes_.data() + position_, buffer, size);
    position_ += size;
    if (written)
        *written = size;
    return S_OK;
}

HRESULT MemoryStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position)
{
    std::lock_guard lock(mutex_);
    int64_t base = origin == STREAM_SEEK_SET   ? 0
                   : origin == STREAM_SEEK_CUR ? static_cast<int64_t>(position_)
                   : origin == STREAM_SEEK_END ? static_cast<int64_t>(bytes_.size())
                                               : -1;
    if (base < 0)
        return STG_E_INVALIDFUNCTION;
    if (move.QuadPart < -base)
        return STG_E_INVALIDFUNCTION;
    position_ = static_cast<uint64_t>(base + move.QuadPart);
    if (position)
        position->QuadPart = position_;
    return S_OK;
}

HRESULT MemoryStream::SetSize(ULARGE_INTEGER size)
{
    std::lock_guard lock(mutex_);
    if (size.QuadPart > kMaxStreamBytes)
        return STG_E_MEDIUMFULL;
    try {
        bytes_.resize(static_cast<size_t>(size.QuadPart));
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
        std::lock_guard lock(mutex_);
        uint64_t n =
            position_ < bytes_.size() ? std::min<uint64_t>(size.QuadPart, bytes_.size() - position_) : 0;
        n = std::min<uint64_t>(n, kMaxStreamBytes);
        chunk.assign(bytes_.begin() + static_cast<ptrdiff_t>(position_),
                     bytes_.begin() + static_cast<ptrdiff_t>(position_ + n));
        position_ += n;
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
    std::lock_guard lock(mutex_);
    *stat = STATSTG{};
    stat->type = STGTY_STREAM;
    stat->cbSize.QuadPart = bytes_.size();
    return S_OK;
}

HRESULT MemoryStream::Clone(IStream** copy)
{
    if (!copy)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    auto* clone = new (std::nothrow) MemoryStream(bytes_);
    if (!clone)
        return E_OUTOFMEMORY;
    clone->position_ = position_;
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
