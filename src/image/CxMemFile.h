#pragma once

#include "image/CxFile.h"

// A CxFile over a memory buffer that grows in 64 KiB steps when written past its capacity.
class CxMemFile : public CxFile
{
public:
    // Wraps a caller's buffer (not owned) or, with none, starts empty.
    explicit CxMemFile(BYTE* buffer = nullptr, DWORD size = 0);
    ~CxMemFile() override;
    CxMemFile(const CxMemFile&) = delete;
    CxMemFile& operator=(const CxMemFile&) = delete;

    bool Open();
    BYTE* GetBuffer() const { return m_pBuffer; }
    DWORD GetCapacity() const { return m_Edge; }
    // Hands the buffer (allocated with malloc) to the caller and leaves the file empty.
    BYTE* Detach();

    bool Close() override;
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(int32_t offset, int32_t origin) override;
    int32_t Tell() override;
    int32_t Size() override;
    bool Flush() override;
    bool Eof() override;
    int32_t Error() override;
    bool PutC(unsigned char c) override;
    int32_t GetC() override;
    char* GetS(char* buffer, int32_t n) override;
    int32_t Scanf(const char* format, void* output) override;

private:
    bool Alloc(size_t needed);

    BYTE* m_pBuffer;
    DWORD m_Size;
    bool m_bFreeOnClose;
    DWORD m_Position;
    DWORD m_Edge;
};
