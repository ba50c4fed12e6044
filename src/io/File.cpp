#include "io/File.h"

#include "io/FileHandle.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace Quendal::IO {

namespace {
constexpr int kDefaultCapacity = 1048576;
}

File::File() : m_buffer(new char[kDefaultCapacity]()), m_capacity(kDefaultCapacity) {}

File::~File()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool File::Open(const std::u16string& path)
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_path = path;
    m_size = 0;
    m_offset = 0;
    struct stat info;
    m_fd = OpenRegularFile(path, info);
    if (m_fd < 0)
        return false;
    m_size = static_cast<int>(info.st_size);
    return true;
}

void File::SetBufferSize(int n)
{
    n = std::max(n, 0);
    m_buffer.reset(); // the old buffer goes first: both may be large
    m_buffer.reset(new char[n > 0 ? n : 1]());
    m_capacity = n;
}

bool File::Read()
{
    m_count = 0;
    if (m_fd < 0 || !m_buffer)
        return false;
    // Never past the size seen at Open: a growing file must not overrun what callers sized for.
    const long long want = std::min<long long>(m_capacity, m_size - m_offset);
    while (m_count < want) {
        ssize_t n = ::read(m_fd, m_buffer.get() + m_count, static_cast<size_t>(want - m_count));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        m_count += static_cast<int>(n);
    }
    m_offset += m_count;
    return m_count > 0;
}

void File::Close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (m_buffer)
        std::memset(m_buffer.get(), 0, static_cast<size_t>(m_capacity));
    m_size = 0;
    m_offset = 0;
}

} // namespace Quendal::IO
