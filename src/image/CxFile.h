#pragma once

#include "platform/kernel/WinTypes.h"

#include <cstddef>

// Byte source and sink the codecs read from and write to.
class CxFile
{
public:
    virtual ~CxFile() = default;
    virtual bool Close() = 0;
    virtual size_t Read(void* buffer, size_t size, size_t count) = 0;
    virtual size_t Write(const void* buffer, size_t size, size_t count) = 0;
    // origin: 0 from start, 1 from current, 2 from end
    virtual bool Seek(int32_t offset, int32_t origin) = 0;
    virtual int32_t Tell() = 0;
    virtual int32_t Size() = 0;
    virtual bool Flush() = 0;
    virtual bool Eof() = 0;
    virtual int32_t Error() = 0;
    virtual bool PutC(unsigned char c);
    virtual int32_t GetC() = 0;
    virtual char* GetS(char* buffer, int32_t n) = 0;
    virtual int32_t Scanf(const char* format, void* output) = 0;
};
