// The registry files as an administrator's system has them: tight permissions, read-only
// copies, links into another folder, and several installers running at once.
#include "platform/com/Registry.h"
#include "platform/kernel/Strings.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using pictavo::test::readFile;
using pictavo::test::TempDir;

namespace {

// Points both registry roots at files of a fresh folder for the life of the object.
struct Registries
{
    Registries()
    {
        setenv("PICTAVO_REGISTRY_MACHINE", machine.c_str(), 1);
        setenv("PICTAVO_REGISTRY_USER", user.c_str(), 1);
    }
    ~Registries()
    {
        unsetenv("PICTAVO_REGISTRY_MACHINE");
        unsetenv("PICTAVO_REGISTRY_USER");
    }
    TempDir dir;
    std::filesystem::path machine = dir.file("machine.reg");
    std::filesystem::path user = dir.file("user.reg");
};

LONG setText(const char16_t* path, const std::u16string& text)
{
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS)
        return rc;
    rc = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        DWORD((text.size() + 1) * 2));
    RegCloseKey(key);
    return rc;
}

struct stat statOf(const std::filesystem::path& path)
{
    struct stat st{};
    ::stat(path.c_str(), &st);
    return st;
}

std::string binDir()
{
    const char* bin = std::getenv("PICTAVO_BIN");
    return bin && *bin ? bin : PICTAVO_BINARY_DIR "/bin";
}

// Starts pictavo-regsvr on the built module with its output going to `log`.
pid_t startRegsvr(const std::filesystem::path& log)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        const std::string tool = binDir() + "/pictavo-regsvr";
        const std::string module = PICTAVO_BINARY_DIR "/lib/libpictavo.so";
        ::execl(tool.c_str(), tool.c_str(), module.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return pid;
}

int exitCode(pid_t pid)
{
    int status = 0;
    if (pid <= 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace

TEST(RegistryHostile, RewritingKeepsTheFilesModeAndOwner)
{
    Registries reg;
    ASSERT_EQ(setText(u"Software\\A", u"one"), ERROR_SUCCESS);
    ASSERT_EQ(::chmod(reg.machine.c_str(), 0600), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(reg.machine.c_str(), 4321, 4321), 0);
    }

    ASSERT_EQ(setText(u"Software\\B", u"two"), ERROR_SUCCESS);
    const struct stat st = statOf(reg.machine);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    if (root) {
        EXPECT_EQ(st.st_uid, 4321u);
        EXPECT_EQ(st.st_gid, 4321u);
    }
}

TEST(RegistryHostile, AReadOnlyFileIsRefusedAndLeftAsItIs)
{
    Registries reg;
    ASSERT_EQ(setText(u"Software\\A", u"one"), ERROR_SUCCESS);
    ASSERT_EQ(::chmod(reg.machine.c_str(), 0444), 0);
    const std::string before = readFile(reg.machine);
    const ino_t inode = statOf(reg.machine).st_ino;

    EXPECT_EQ(setText(u"Software\\A", u"changed"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(setText(u"Software\\B", u"two"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(readFile(reg.machine), before);
    EXPECT_EQ(statOf(reg.machine).st_ino, inode);
}

TEST(RegistryHostile, ALinkedFileIsWrittenThroughToItsTarget)
{
    Registries reg;
    std::filesystem::create_directory(reg.dir.file("real"));
    const auto target = reg.dir.file("real/machine.reg");
    std::filesystem::create_symlink("real/machine.reg", reg.machine);

    ASSERT_EQ(setText(u"Software\\A", u"one"), ERROR_SUCCESS);
    ASSERT_EQ(setText(u"Software\\B", u"two"), ERROR_SUCCESS);
    EXPECT_TRUE(std::filesystem::is_symlink(reg.machine));
    const std::string text = readFile(target);
    EXPECT_NE(text.find("[Software\\A]"), std::string::npos) << text;
    EXPECT_NE(text.find("[Software\\B]"), std::string::npos) << text;
}

TEST(RegistryHostile, EightInstallersRegisteringAtOnceAllSucceed)
{
    Registries reg;
    std::vector<pid_t> runs;
    for (int i = 0; i < 8; ++i)
        runs.push_back(startRegsvr(reg.dir.file("run" + std::to_string(i) + ".txt")));
    for (size_t i = 0; i < runs.size(); ++i)
        EXPECT_EQ(exitCode(runs[i]), 0) << readFile(reg.dir.file("run" + std::to_string(i) + ".txt"));

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                            u"Software\\Classes\\CLSID\\{2D429495-D446-48F5-9E8C-43F7ABD5FA40}\\InprocServer32", 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST(RegistryHostile, AFailedRegistrationNamesItsError)
{
    Registries reg;
    std::ofstream(reg.machine) << "not a registry\n";
    const auto log = reg.dir.file("run.txt");
    EXPECT_EQ(exitCode(startRegsvr(log)), 1);
    EXPECT_NE(readFile(log).find("0x800703F1 (ERROR_BADDB)"), std::string::npos) << readFile(log);
}
