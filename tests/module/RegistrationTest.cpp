#include "support/RegistryEnv.h"

#include "module/Module.h"
#include "module/Registrar.h"
#include "platform/com/HResult.h"

#include <gtest/gtest.h>

extern "C" HRESULT DllRegisterServer();
extern "C" HRESULT DllUnregisterServer();
extern "C" HRESULT DllInstall(BOOL install, LPCWSTR cmdLine);

using namespace pictavo::test;
using pictavo::platform::setRegistryWriteFaultForTesting;

namespace {

constexpr char16_t kClsid[] = u"{2D429495-D446-48F5-9E8C-43F7ABD5FA40}";
constexpr char16_t kAppId[] = u"{D3DC42EF-2403-4DCB-8F6F-D7CC66A339B7}";
constexpr char16_t kLibId[] = u"{8FBFA919-201A-421C-907A-494F9A069026}";
constexpr char16_t kIid[] = u"{0C58D11A-7A83-4F45-9BDA-AA99BFE98F03}";

std::u16string clsidKey(const std::u16string& sub = {})
{
    return u"CLSID\\" + std::u16string(kClsid) + (sub.empty() ? u"" : u"\\" + sub);
}

// Every key and value the module writes, read back through the given root.
void expectRegistered(HKEY root)
{
    const std::u16string module = Module::Path();
    EXPECT_EQ(u"Quendal", regString(root, u"AppID\\" + std::u16string(kAppId)));
    EXPECT_EQ(kAppId, regString(root, u"AppID\\PictavoPre.DLL", u"AppID"));
    EXPECT_EQ(u"Pictavo Class", regString(root, u"Quendal.PictavoPremium.1"));
    EXPECT_EQ(kClsid, regString(root, u"Quendal.PictavoPremium.1\\CLSID"));
    EXPECT_EQ(u"Pictavo Class", regString(root, u"Quendal.PictavoPremium"));
    EXPECT_EQ(kClsid, regString(root, u"Quendal.PictavoPremium\\CLSID"));
    EXPECT_EQ(u"Quendal.PictavoPremium.1", regString(root, u"Quendal.PictavoPremium\\CurVer"));
    EXPECT_EQ(u"Pictavo Class", regString(root, clsidKey()));
    EXPECT_EQ(kAppId, regString(root, clsidKey(), u"AppID"));
    EXPECT_EQ(u"Quendal.PictavoPremium.1", regString(root, clsidKey(u"ProgID")));
    EXPECT_EQ(u"Quendal.PictavoPremium", regString(root, clsidKey(u"VersionIndependentProgID")));
    EXPECT_TRUE(regKeyExists(root, clsidKey(u"Programmable")));
    EXPECT_TRUE(regKeyExists(root, clsidKey(u"Control")));
    EXPECT_EQ(module, regString(root, clsidKey(u"InprocServer32")));
    EXPECT_EQ(u"Apartment", regString(root, clsidKey(u"InprocServer32"), u"ThreadingModel"));
    EXPECT_EQ(module + u", 102", regString(root, clsidKey(u"ToolboxBitmap32")));
    EXPECT_EQ(u"0", regString(root, clsidKey(u"MiscStatus")));
    EXPECT_EQ(u"131473", regString(root, clsidKey(u"MiscStatus\\1")));
    EXPECT_EQ(kLibId, regString(root, clsidKey(u"TypeLib")));
    EXPECT_EQ(u"1.0", regString(root, clsidKey(u"Version")));

    const std::u16string lib = u"TypeLib\\" + std::u16string(kLibId) + u"\\1.0";
    EXPECT_EQ(u"PictavoATL 1.0 类型库", regString(root, lib));
    EXPECT_EQ(module, regString(root, lib + u"\\0\\win32"));
    EXPECT_EQ(u"0", regString(root, lib + u"\\FLAGS"));
    EXPECT_EQ(module.substr(0, module.rfind(u'/')), regString(root, lib + u"\\HELPDIR"));
    const std::u16string itf = u"Interface\\" + std::u16string(kIid);
    EXPECT_EQ(u"IPictavo", regString(root, itf));
    EXPECT_EQ(u"{00020424-0000-0000-C000-000000000046}", regString(root, itf + u"\\ProxyStubClsid32"));
    EXPECT_EQ(kLibId, regString(root, itf + u"\\TypeLib"));
    EXPECT_EQ(u"1.0", regString(root, itf + u"\\TypeLib", u"Version"));
    // Only the library's automation interface is registered, never the declared system ones.
    EXPECT_FALSE(regKeyExists(root, u"Interface\\{A6EF9860-C720-11D0-9337-00A0C90DCAA9}"));
}

void expectNothingOf(HKEY root)
{
    for (const std::u16string& key :
         {u"AppID\\" + std::u16string(kAppId), std::u16string(u"AppID\\PictavoPre.DLL"),
          std::u16string(u"Quendal.PictavoPremium"), std::u16string(u"Quendal.PictavoPremium.1"), clsidKey(),
          u"TypeLib\\" + std::u16string(kLibId), u"Interface\\" + std::u16string(kIid)})
        EXPECT_FALSE(regKeyExists(root, key)) << std::string(key.begin(), key.end());
}

// The classes key of one hive, created if need be.
struct ClassesOf
{
    explicit ClassesOf(HKEY hive)
    {
        RegCreateKeyExW(hive, u"Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    }
    ~ClassesOf() { RegCloseKey(key); }
    HKEY key = nullptr;
};

class RegistrationTest : public ::testing::Test
{
protected:
    void TearDown() override { setRegistryWriteFaultForTesting(nullptr); }
    RegistryEnv env;
};

} // namespace

TEST_F(RegistrationTest, RegisterWritesTheWholeTableAndUnregisterRemovesExactlyIt)
{
    ASSERT_EQ(ERROR_SUCCESS, regSetString(HKEY_CLASSES_ROOT, u"CLSID\\{00000000-1111-2222-3333-444444444444}",
                                          nullptr, u"neighbour"));
    ASSERT_EQ(ERROR_SUCCESS, regSetString(HKEY_CLASSES_ROOT, u"AppID\\Other.DLL", u"AppID", u"x"));
    ASSERT_EQ(ERROR_SUCCESS,
              regSetString(HKEY_CLASSES_ROOT, u"TypeLib\\{00000000-0000-0000-0000-00000000000A}\\1.0",
                           nullptr, u"other lib"));

    ASSERT_EQ(S_OK, DllRegisterServer());
    expectRegistered(HKEY_CLASSES_ROOT);
    EXPECT_FALSE(regKeyExists(HKEY_CURRENT_USER, u"Software\\Classes\\CLSID"));

    ASSERT_EQ(S_OK, DllUnregisterServer());
    expectNothingOf(HKEY_CLASSES_ROOT);
    EXPECT_TRUE(regKeyExists(HKEY_CLASSES_ROOT, u"AppID"));
    EXPECT_TRUE(regKeyExists(HKEY_CLASSES_ROOT, u"CLSID"));
    EXPECT_EQ(u"neighbour", regString(HKEY_CLASSES_ROOT, u"CLSID\\{00000000-1111-2222-3333-444444444444}"));
    EXPECT_EQ(u"x", regString(HKEY_CLASSES_ROOT, u"AppID\\Other.DLL", u"AppID"));
    EXPECT_EQ(u"other lib",
              regString(HKEY_CLASSES_ROOT, u"TypeLib\\{00000000-0000-0000-0000-00000000000A}\\1.0"));
    // Unregistering twice is harmless.
    EXPECT_EQ(S_OK, DllUnregisterServer());
}

TEST_F(RegistrationTest, ForceRemoveReplacesStaleContentOfTheClassKey)
{
    ASSERT_EQ(ERROR_SUCCESS, regSetString(HKEY_CLASSES_ROOT, clsidKey(u"Stale"), nullptr, u"old"));
    ASSERT_EQ(ERROR_SUCCESS, regSetString(HKEY_CLASSES_ROOT, clsidKey(u"Control\\Junk"), nullptr, u"old"));
    ASSERT_EQ(ERROR_SUCCESS,
              regSetString(HKEY_CLASSES_ROOT, clsidKey(u"InprocServer32"), nullptr, u"/old/path.so"));
    ASSERT_EQ(ERROR_SUCCESS, regSetString(HKEY_CLASSES_ROOT, u"Quendal.PictavoPremium\\Kept", nullptr, u"k"));

    ASSERT_EQ(S_OK, DllRegisterServer());
    EXPECT_FALSE(regKeyExists(HKEY_CLASSES_ROOT, clsidKey(u"Stale")));
    EXPECT_FALSE(regKeyExists(HKEY_CLASSES_ROOT, clsidKey(u"Control\\Junk")));
    expectRegistered(HKEY_CLASSES_ROOT);
    // Keys without force-remove are only added to.
    EXPECT_EQ(u"k", regString(HKEY_CLASSES_ROOT, u"Quendal.PictavoPremium\\Kept"));

    // On unregistration a key holding something the scripts do not name stays, with that.
    ASSERT_EQ(S_OK, DllUnregisterServer());
    EXPECT_EQ(u"k", regString(HKEY_CLASSES_ROOT, u"Quendal.PictavoPremium\\Kept"));
    EXPECT_FALSE(regKeyExists(HKEY_CLASSES_ROOT, u"Quendal.PictavoPremium\\CLSID"));
    EXPECT_FALSE(regKeyExists(HKEY_CLASSES_ROOT, clsidKey()));
}

TEST_F(RegistrationTest, InstallForUserOnlyWithExactlyUserInAnyCase)
{
    ASSERT_EQ(S_OK, DllInstall(TRUE, u"USER"));
    expectRegistered(HKEY_CLASSES_ROOT);
    EXPECT_TRUE(regKeyExists(HKEY_CURRENT_USER, u"Software\\Classes\\" + clsidKey()));
    EXPECT_TRUE(regKeyExists(HKEY_CURRENT_USER, u"Software\\Classes\\TypeLib\\" + std::u16string(kLibId)));
    expectNothingOf(ClassesOf(HKEY_LOCAL_MACHINE).key);

    // The mapping lasts only for the call.
    ASSERT_EQ(S_OK, DllInstall(TRUE, u"username"));
    expectRegistered(HKEY_CLASSES_ROOT);
    EXPECT_TRUE(regKeyExists(HKEY_LOCAL_MACHINE, u"Software\\Classes\\" + clsidKey()));

    ASSERT_EQ(S_OK, DllInstall(FALSE, u"uSeR"));
    EXPECT_FALSE(regKeyExists(HKEY_CURRENT_USER, u"Software\\Classes\\" + clsidKey()));
    expectRegistered(HKEY_CLASSES_ROOT);
    ASSERT_EQ(S_OK, DllInstall(FALSE, nullptr));
    expectNothingOf(HKEY_CLASSES_ROOT);
}

TEST_F(RegistrationTest, FailedInstallLeavesNothingBehind)
{
    for (int failAt : {1, 7, 25}) {
        int writes = 0;
        setRegistryWriteFaultForTesting(
            [&]() -> LONG { return ++writes == failAt ? ERROR_CANTWRITE : ERROR_SUCCESS; });
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_CANTWRITE), DllInstall(TRUE, u"user")) << failAt;
        setRegistryWriteFaultForTesting(nullptr);
        expectNothingOf(HKEY_CLASSES_ROOT);
        expectNothingOf(ClassesOf(HKEY_CURRENT_USER).key);
    }
    // A damaged registry makes the install fail without touching the file.
    const std::string damaged = "not a registry\n";
    env.dir.write("machine.reg", damaged);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_BADDB), DllInstall(TRUE, nullptr));
    EXPECT_EQ(damaged, readFile(env.machine()));
}

TEST(RegistrarTest, ScriptsAreCheckedWholeBeforeAnythingIsWritten)
{
    RegistryEnv env;
    Registrar r;
    r.AddReplacement(u"NAME", u"it's {odd} = s");
    EXPECT_EQ(DISP_E_EXCEPTION, r.StringRegister(u"HKCU { Good = s 'x' Bad = q 'y' }"));
    EXPECT_EQ(DISP_E_EXCEPTION, r.StringRegister(u"HKCU { Good = s 'x' } HKXX { }"));
    EXPECT_EQ(DISP_E_EXCEPTION, r.StringRegister(u"HKCU { Good = s '%UNKNOWN%' }"));
    EXPECT_EQ(DISP_E_EXCEPTION, r.StringRegister(u"HKCU { Good = s 'unterminated }"));
    EXPECT_FALSE(regKeyExists(HKEY_CURRENT_USER, u"Good"));

    // Replacements may carry quotes, braces and equals signs into names and values.
    ASSERT_EQ(S_OK, r.StringRegister(u"\uFEFFHKCU\n{\n  NoRemove Root\n  {\n    '%NAME%' = s '%name% 100%%'\n"
                                     u"    {\n      val Count = d '0x20'\n      val Bytes = b '0aFF'\n    }\n"
                                     u"    Plain\n  }\n}\n"));
    EXPECT_EQ(u"it's {odd} = s 100%", regString(HKEY_CURRENT_USER, u"Root\\it's {odd} = s"));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, u"Root\\it's {odd} = s", 0, KEY_READ, &key));
    DWORD type = 0, count = 0, size = 4;
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryValueExW(key, u"Count", nullptr, &type, reinterpret_cast<BYTE*>(&count), &size));
    EXPECT_EQ(DWORD(REG_DWORD), type);
    EXPECT_EQ(32u, count);
    BYTE bytes[2] = {};
    size = 2;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"Bytes", nullptr, &type, bytes, &size));
    EXPECT_EQ(DWORD(REG_BINARY), type);
    EXPECT_EQ(0x0A, bytes[0]);
    EXPECT_EQ(0xFF, bytes[1]);
    RegCloseKey(key);

    ASSERT_EQ(ERROR_SUCCESS, regSetString(HKEY_CURRENT_USER, u"Root\\Foreign", nullptr, u"f"));
    ASSERT_EQ(S_OK, r.StringUnregister(u"HKCU { NoRemove Root { '%NAME%' { val Count = d 1 } Plain } }"));
    EXPECT_EQ((std::vector<std::u16string>{u"Foreign"}), regSubkeys(HKEY_CURRENT_USER, u"Root"));
}
