#include "support/RegistryEnv.h"

#include "platform/com/RegistryFile.h"
#include "platform/com/RegistryNode.h"

#include <atomic>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace pictavo::test;
using pictavo::platform::RegistryFile;
using pictavo::platform::RegistryNode;

namespace {

class RegistryTest : public ::testing::Test
{
protected:
    RegistryEnv env;
};

HKEY create(HKEY root, const char16_t* path, DWORD* disposition = nullptr)
{
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, disposition));
    return key;
}

} // namespace

TEST_F(RegistryTest, ValuesRoundTripThroughTheFileWithTheirTypes)
{
    HKEY key = create(HKEY_LOCAL_MACHINE, u"Software\\Test");
    const std::u16string text = u"Pictavo Class \"引号\" 100% \\ \n\t end";
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             DWORD((text.size() + 1) * 2)));
    const DWORD number = 131473;
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key, u"Misc", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4));
    const BYTE blob[] = {0, 1, 0xFE, 0xFF, 0x7F};
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, u"Blob", 0, REG_BINARY, blob, sizeof blob));
    // A lone surrogate and a name with the key separator's neighbours must survive as well.
    const char16_t odd[] = {u'a', 0xD800, u'%', u']', 0};
    RegCloseKey(create(key, odd));
    RegCloseKey(key);

    // Another root file with the same bytes is read from scratch.
    std::filesystem::copy_file(env.machine(), env.dir.file("copy.reg"));
    setenv("PICTAVO_REGISTRY_MACHINE", env.dir.file("copy.reg").c_str(), 1);

    EXPECT_EQ(text, regString(HKEY_LOCAL_MACHINE, u"software\\TEST"));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Test", 0, KEY_READ, &key));
    DWORD type = 0, value = 0, size = 4;
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryValueExW(key, u"MISC", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(DWORD(REG_DWORD), type);
    EXPECT_EQ(number, value);
    BYTE read[5] = {};
    size = 2;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(key, u"Blob", nullptr, &type, read, &size));
    EXPECT_EQ(5u, size);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"Blob", nullptr, &type, read, &size));
    EXPECT_EQ(DWORD(REG_BINARY), type);
    EXPECT_EQ(0, memcmp(blob, read, 5));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(key, u"Absent", nullptr, &type, nullptr, &size));
    EXPECT_EQ(std::vector<std::u16string>{odd}, regSubkeys(key, u""));

    char16_t name[8];
    DWORD chars = 8;
    EXPECT_EQ(ERROR_SUCCESS, RegEnumValueW(key, 1, name, &chars, nullptr, &type, nullptr, nullptr));
    EXPECT_EQ(u"Misc", std::u16string(name, chars));
    chars = 8;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumValueW(key, 3, name, &chars, nullptr, &type, nullptr, nullptr));
    RegCloseKey(key);
}

TEST_F(RegistryTest, NamesCompareWithoutCaseAndKeepTheirSpelling)
{
    DWORD disposition = 0;
    HKEY key = create(HKEY_CURRENT_USER, u"Software\\MixedCase\\Ünï", &disposition);
    EXPECT_EQ(DWORD(REG_CREATED_NEW_KEY), disposition);
    RegCloseKey(key);
    RegCloseKey(create(HKEY_CURRENT_USER, u"SOFTWARE\\mixedcase\\ÜNÏ", &disposition));
    EXPECT_EQ(DWORD(REG_OPENED_EXISTING_KEY), disposition);
    EXPECT_EQ(std::vector<std::u16string>{u"MixedCase"}, regSubkeys(HKEY_CURRENT_USER, u"software"));
    EXPECT_EQ(ERROR_SUCCESS, regSetString(HKEY_CURRENT_USER, u"Software\\MixedCase", u"Value", u"1"));
    EXPECT_EQ(ERROR_SUCCESS, regSetString(HKEY_CURRENT_USER, u"Software\\MixedCase", u"VALUE", u"2"));
    EXPECT_EQ(u"2", regString(HKEY_CURRENT_USER, u"software\\mixedcase", u"value"));
    // The two roots are separate trees.
    EXPECT_FALSE(regKeyExists(HKEY_LOCAL_MACHINE, u"Software\\MixedCase"));
}

TEST_F(RegistryTest, ClassesRootShowsTheUserOverTheMachine)
{
    ASSERT_EQ(ERROR_SUCCESS,
              regSetString(HKEY_LOCAL_MACHINE, u"Software\\Classes\\Shared", nullptr, u"machine"));
    ASSERT_EQ(ERROR_SUCCESS,
              regSetString(HKEY_LOCAL_MACHINE, u"Software\\Classes\\MachineOnly", nullptr, u"m"));
    ASSERT_EQ(ERROR_SUCCESS, regSetString(HKEY_CURRENT_USER, u"Software\\Classes\\shared", nullptr, u"user"));
    ASSERT_EQ(ERROR_SUCCESS, regSetString(HKEY_CURRENT_USER, u"Software\\Classes\\UserOnly", nullptr, u"u"));

    EXPECT_EQ(u"user", regString(HKEY_CLASSES_ROOT, u"Shared"));
    EXPECT_EQ(u"m", regString(HKEY_CLASSES_ROOT, u"MachineOnly"));
    EXPECT_EQ((std::vector<std::u16string>{u"MachineOnly", u"shared", u"UserOnly"}),
              regSubkeys(HKEY_CLASSES_ROOT, u""));

    // Opening for reading changes nothing; writes go to the machine's classes only, even for
    // a key the user also has.
    HKEY reader = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, u"UserOnly", 0, nullptr, 0, KEY_READ, nullptr,
                                             &reader, nullptr));
    RegCloseKey(reader);
    EXPECT_FALSE(regKeyExists(HKEY_LOCAL_MACHINE, u"Software\\Classes\\UserOnly"));
    ASSERT_EQ(ERROR_SUCCESS, regSetString(HKEY_CLASSES_ROOT, u"Fresh", nullptr, u"f"));
    EXPECT_EQ(u"f", regString(HKEY_LOCAL_MACHINE, u"Software\\Classes\\Fresh"));
    ASSERT_EQ(ERROR_SUCCESS, regSetString(HKEY_CLASSES_ROOT, u"Shared\\Sub", u"Extra", u"x"));
    EXPECT_EQ(u"x", regString(HKEY_LOCAL_MACHINE, u"Software\\Classes\\Shared\\Sub", u"Extra"));
    EXPECT_FALSE(regKeyExists(HKEY_CURRENT_USER, u"Software\\Classes\\Shared\\Sub"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CLASSES_ROOT, u"Shared"));
    EXPECT_EQ(u"user", regString(HKEY_CLASSES_ROOT, u"Shared"));

    // Mapped to the user's classes, the root sees and writes only those.
    HKEY userClasses = create(HKEY_CURRENT_USER, u"Software\\Classes");
    ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CLASSES_ROOT, userClasses));
    EXPECT_FALSE(regKeyExists(HKEY_CLASSES_ROOT, u"MachineOnly"));
    ASSERT_EQ(ERROR_SUCCESS, regSetString(HKEY_CLASSES_ROOT, u"Redirected", nullptr, u"r"));
    ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr));
    RegCloseKey(userClasses);
    EXPECT_EQ(u"r", regString(HKEY_CURRENT_USER, u"Software\\Classes\\Redirected"));
    EXPECT_FALSE(regKeyExists(HKEY_LOCAL_MACHINE, u"Software\\Classes\\Redirected"));
    EXPECT_TRUE(regKeyExists(HKEY_CLASSES_ROOT, u"MachineOnly"));
}

TEST_F(RegistryTest, DeletionRulesAndStaleHandles)
{
    RegCloseKey(create(HKEY_LOCAL_MACHINE, u"A\\B\\C"));
    HKEY b = create(HKEY_LOCAL_MACHINE, u"A\\B");
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"A\\B"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"A\\B\\C"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"A\\B\\C"));
    RegCloseKey(create(b, u"D\\E"));
    ASSERT_EQ(ERROR_SUCCESS, regSetString(b, u"", u"v", u"1"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(b, nullptr));
    EXPECT_TRUE(regKeyExists(HKEY_LOCAL_MACHINE, u"A\\B"));
    EXPECT_TRUE(regSubkeys(b, u"").empty());
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_LOCAL_MACHINE, u"a"));
    const BYTE one = 1;
    EXPECT_EQ(ERROR_KEY_DELETED, RegSetValueExW(b, u"x", 0, REG_BINARY, &one, 1));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(b));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(b));

    HKEY readOnly = nullptr;
    RegCloseKey(create(HKEY_LOCAL_MACHINE, u"R"));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"R", 0, KEY_READ, &readOnly));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExW(readOnly, u"x", 0, REG_BINARY, &one, 1));
    RegCloseKey(readOnly);
    EXPECT_EQ(ERROR_BAD_PATHNAME, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"\\R", 0, KEY_READ, &readOnly));
}

TEST_F(RegistryTest, DamagedFileFailsClearlyAndIsLeftUntouched)
{
    const std::string garbage = "PICTAVO REGISTRY 1\n[Software]\n\"broken\"=sz:\"no end\n";
    env.dir.write("machine.reg", garbage);
    LONG rc = 0;
    regString(HKEY_LOCAL_MACHINE, u"Software", nullptr, &rc);
    EXPECT_EQ(ERROR_BADDB, rc);
    EXPECT_EQ(ERROR_BADDB, regSetString(HKEY_LOCAL_MACHINE, u"Software\\New", nullptr, u"x"));
    // The classes root needs both files.
    EXPECT_EQ(ERROR_BADDB, regSetString(HKEY_CLASSES_ROOT, u"New", nullptr, u"x"));
    EXPECT_EQ(garbage, readFile(env.machine()));
    // The user's root is unaffected.
    EXPECT_EQ(ERROR_SUCCESS, regSetString(HKEY_CURRENT_USER, u"Software\\New", nullptr, u"x"));

    RegistryNode root;
    std::string error;
    EXPECT_FALSE(RegistryFile::parse("PICTAVO REGISTRY 1\n\"v\"=dword:1\n", root, error));
    EXPECT_FALSE(RegistryFile::parse("[A]\n", root, error));
    EXPECT_FALSE(RegistryFile::parse("PICTAVO REGISTRY 1\n[A]\n\"v\"=hex(3):0g\n", root, error));
    EXPECT_FALSE(RegistryFile::parse("PICTAVO REGISTRY 1\n[A]\n\"v\"=sz:\"\xC3\x28\"\n", root, error));
    EXPECT_NE(std::string::npos, error.find("line 3"));
}

TEST_F(RegistryTest, WritesOfOtherProcessesAreSeenAndNoneIsLost)
{
    ASSERT_EQ(ERROR_SUCCESS, regSetString(HKEY_LOCAL_MACHINE, u"Shared", nullptr, u"before"));
    EXPECT_EQ(u"before", regString(HKEY_LOCAL_MACHINE, u"Shared"));

    constexpr int kWrites = 40;
    const pid_t child = fork();
    ASSERT_NE(-1, child);
    if (child == 0) {
        bool ok = regSetString(HKEY_LOCAL_MACHINE, u"Shared", nullptr, u"after") == ERROR_SUCCESS;
        for (int i = 0; i < kWrites; ++i)
            ok = ok &&
                 regSetString(
                     HKEY_LOCAL_MACHINE, u"Shared",
                     (u"child" + std::u16string(1, u'A' + i % 26) + std::u16string(1, u'a' + i / 26)).c_str(),
                     u"1") == ERROR_SUCCESS;
        _exit(ok ? 0 : 1);
    }
    bool ok = true;
    for (int i = 0; i < kWrites; ++i)
        ok = ok &&
             regSetString(
                 HKEY_LOCAL_MACHINE, u"Shared",
                 (u"parent" + std::u16string(1, u'A' + i % 26) + std::u16string(1, u'a' + i / 26)).c_str(),
                 u"1") == ERROR_SUCCESS;
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(ok);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    EXPECT_EQ(u"after", regString(HKEY_LOCAL_MACHINE, u"Shared"));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Shared", 0, KEY_READ, &key));
    DWORD count = 0;
    char16_t name[32];
    for (DWORD chars = 32;
         RegEnumValueW(key, count, name, &chars, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         chars = 32)
        ++count;
    RegCloseKey(key);
    EXPECT_EQ(DWORD(1 + 2 * kWrites), count);
}

TEST_F(RegistryTest, ThreadsShareOneConsistentTree)
{
    constexpr int kThreads = 4, kWrites = 15;
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < kWrites; ++i) {
                const std::u16string name =
                    u"T" + std::u16string(1, u'0' + t) + u"_" + std::u16string(1, u'a' + i);
                if (regSetString(HKEY_CURRENT_USER, u"Threads", name.c_str(), name) != ERROR_SUCCESS ||
                    regString(HKEY_CURRENT_USER, u"Threads", name.c_str()) != name)
                    ++failures;
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(0, failures.load());
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, u"Threads", 0, KEY_READ, &key));
    DWORD count = 0;
    char16_t name[16];
    for (DWORD chars = 16;
         RegEnumValueW(key, count, name, &chars, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         chars = 16)
        ++count;
    RegCloseKey(key);
    EXPECT_EQ(DWORD(kThreads * kWrites), count);
}
