#pragma once

#include <memory>
#include <string>

namespace Quendal::IO {

// Loads a regular file of less than 2 GiB into one buffer.
class File
{
public:
    File();
    virtual ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // False (size 0, nothing open) for a missing file, a non-regular file or one of 2 GiB or
    // more; errno tells which (EACCES for folders, pipes and devices, EFBIG for too large).
    bool Open(const std::u16string& path);
    // Replaces the buffer with n zero bytes (n below 0 counts as 0).
    void SetBufferSize(int n);
    // Reads up to the buffer's capacity, never past the size seen at Open.
    bool Read();
    void Close();

    char* GetBuffer() { return m_buffer.get(); }
    const char* GetBuffer() const { return m_buffer.get(); }
    int GetSize() const { return m_size; }
    int GetCount() const { return m_count; }
    int GetCapacity() const { return m_capacity; }
    const std::u16string& GetPath() const { return m_path; }

private:
    std::unique_ptr<char[]> m_buffer;
    int m_capacity = 0;
    int m_count = 0;
    int m_size = 0;
    int m_fd = -1;
    long long m_offset = 0;
    std::u16string m_path;
};

} // namespace Quendal::IO
