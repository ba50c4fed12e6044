#include "io/FileHandle.h"

#include "platform/kernel/Strings.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace Quendal::IO {

int OpenRegularFile(const std::u16string& path, struct stat& info)
{
    const std::string bytes = pictavo::platform::toUtf8(path);
    if (bytes.empty() || bytes.find('\0') != std::string::npos) {
        errno = ENOENT;
        return -1;
    }
    // O_NONBLOCK: a FIFO or device must not hang the caller before we can reject it.
    int fd = ::open(bytes.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return -1;
    int error = 0;
    if (::fstat(fd, &info) != 0)
        error = errno;
    else if (!S_ISREG(info.st_mode))
        error = EACCES;
    else if (info.st_size >= 0x80000000LL)
        error = EFBIG;
    if (error) {
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

} // namespace Quendal::IO
