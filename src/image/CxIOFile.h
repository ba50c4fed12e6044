#pragma once

#include "image/CxFile.h"

#include <cstdio>

// A CxFile over a C stdio stream, either borrowed or opened (and then owned).
class CxIOFile : public CxFile
{
public:
    explicit CxIOFile(FILE* stream = nullptr);
    ~CxIOFile() override;
    CxIOFile(const CxIOFile&) = delete;
    CxIOFile& operator=(const CxIOFile&) = delete;

    bool Open(LPCWSTR path, LPCWSTR mode);
    // Narrow UTF-8 path, for tools that already hold bytes.
    bool OpenUtf8(const char* path, const char* mode);
    FILE* GetStream() const { return m_fp; }

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
    FILE* m_fp;
    bool m_owned;
};
