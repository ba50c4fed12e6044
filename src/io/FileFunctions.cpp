#include "io/FileFunctions.h"

#include "io/FileHandle.h"
#include "platform/kernel/MessageBox.h"
#include "platform/kernel/WFormat.h"

#include <cerrno>
#include <ctime>
#include <unistd.h>

using Quendal::IO::OpenRegularFile;

int QueryFileSize(const std::u16string& path)
{
    struct stat info;
    int fd = OpenRegularFile(path, info);
    if (fd < 0) {
        const int error = errno;
        const std::u16string text =
            pictavo::platform::wformat(u"打开文件错误，错误码：%d，文件路径：%s", error, path);
        MessageBoxW(nullptr, text.c_str(), u"000", MB_OK);
        return 0;
    }
    ::close(fd);
    return static_cast<int>(info.st_size);
}

std::u16string FormatLastWriteTime(const std::u16string& path)
{
    struct stat info;
    int fd = OpenRegularFile(path, info);
    if (fd < 0)
        return u"00:00:00";
    ::close(fd);
    // The rules in force now, not those seen at start-up: TZ may have changed.
    tzset();
    struct tm local;
    if (!localtime_r(&info.st_mtim.tv_sec, &local))
        return u"00:00:00";
    char text[128];
    const size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return std::u16string(text, text + n);
}
