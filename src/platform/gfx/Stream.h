#pragma once

// IStream, the byte stream GDI+ reads pictures from, and a stream over a copy of some bytes.

#include "platform/com/Unknown.h"

union LARGE_INTEGER {
    struct
    {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
};
union ULARGE_INTEGER {
    struct
    {
        DWORD LowPart;
        DWORD HighPart;
    } u;
    ULONGLONG QuadPart;
};

// Only the size is filled in; the name, times and modes are left zero.
struct STATSTG
{
    LPWSTR pwcsName;
    DWORD type;
    ULARGE_INTEGER cbSize;
    FILETIME mtime;
    FILETIME ctime;
    FILETIME atime;
    DWORD grfMode;
    DWORD grfLocksSupported;
    GUID clsid;
    DWORD grfStateBits;
    DWORD reserved;
};

#define STREAM_SEEK_SET 0
#define STREAM_SEEK_CUR 1
#define STREAM_SEEK_END 2
#define STATFLAG_DEFAULT 0
#define STATFLAG_NONAME 1
#define STGTY_STREAM 2
#define STG_E_INVALIDFUNCTION static_cast<HRESULT>(0x80030001)
#define STG_E_MEDIUMFULL static_cast<HRESULT>(0x80030070)

struct ISequentialStream : IUnknown
{
    virtual HRESULT Read(void* buffer, ULONG size, ULONG* read) = 0;
    virtual HRESULT Write(const void* buffer, ULONG size, ULONG* written) = 0;

protected:
    ~ISequentialStream() = default;
};

struct IStream : ISequentialStream
{
    virtual HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) = 0;
    virtual HRESULT SetSize(ULARGE_INTEGER size) = 0;
    virtual HRESULT CopyTo(IStream* to, ULARGE_INTEGER size, ULARGE_INTEGER* read,
                           ULARGE_INTEGER* written) = 0;
    virtual HRESULT Commit(DWORD flags) = 0;
    virtual HRESULT Revert() = 0;
    virtual HRESULT LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size, DWORD type) = 0;
    virtual HRESULT UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size, DWORD type) = 0;
    virtual HRESULT Stat(STATSTG* stat, DWORD flags) = 0;
    virtual HRESULT Clone(IStream** copy) = 0;

protected:
    ~IStream() = default;
};

PICTAVO_GUID(IID_ISequentialStream, "0C733A30-2A1C-11CE-ADE5-00AA0044773D");
PICTAVO_GUID(IID_IStream, "0000000C-0000-0000-C000-000000000046");
PICTAVO_DECLARE_IID(ISequentialStream, IID_ISequentialStream)
PICTAVO_DECLARE_IID(IStream, IID_IStream)

// A readable and writable stream over a copy of the bytes, with one reference; null on failure.
IStream* SHCreateMemStream(const BYTE* data, UINT size);
