#pragma once

#include "platform/com/RefCounted.h"
#include "platform/gfx/Stream.h"

#include <mutex>
#include <vector>

namespace pictavo::platform {

// A growable in-memory stream; its position may lie beyond the end (writes there fill zeros).
class MemoryStream : public RefCounted<IStream>
{
public:
    explicit MemoryStream(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}

    HRESULT Read(void* buffer, ULONG size, ULONG* read) override;
    HRESULT Write(const void* buffer, ULONG size, ULONG* written) override;
    HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override;
    HRESULT SetSize(ULARGE_INTEGER size) override;
    HRESULT CopyTo(IStream* to, ULARGE_INTEGER size, ULARGE_INTEGER* read, ULARGE_INTEGER* written) override;
    HRESULT Commit(DWORD) override { return S_OK; }
    HRESULT Revert() override { return S_OK; }
    HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
    HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
    HRESULT Stat(STATSTG* stat, DWORD flags) override;
    HRESULT Clone(IStream** copy) override;

protected:
    HRESULT queryOther(REFIID riid, void** object) override;

private:
    std::mutex m_mutex;
    std::vector<uint8_t> m_bytes;
    uint64_t m_position = 0;
};

} // namespace pictavo::platform
