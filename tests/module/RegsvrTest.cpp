#include "support/RegistryEnv.h"

#include "module/PictavoTypeLib.h"
#include "platform/com/ClassLoader.h"
#include "platform/com/GlobalInterfaceTable.h"
#include "platform/com/HResult.h"
#include "platform/com/OleAuto.h"
#include "platform/com/Resource.h"
#include "platform/kernel/Strings.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/wait.h>

using namespace pictavo::test;
using pictavo::platform::fromUtf8;

namespace {

std::string binDir()
{
    const char* bin = std::getenv("PICTAVO_BIN");
    return bin && *bin ? bin : PICTAVO_BINARY_DIR "/bin";
}

std::string libDir()
{
    return PICTAVO_BINARY_DIR "/lib";
}

class RegsvrTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)); }
    void TearDown() override { CoUninitialize(); }

    // Runs the tool as a user would, with its standard error kept.
    int regsvr(const std::string& args)
    {
        const std::string command =
            binDir() + "/pictavo-regsvr " + args + " >/dev/null 2>" + env.dir.file("stderr.txt").string();
        const int status = std::system(command.c_str());
        errors = readFile(env.dir.file("stderr.txt"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    const std::string module = std::filesystem::canonical(libDir() + "/libpictavo.so").string();
    RegistryEnv env;
    std::string errors;
};

const std::u16string kInproc =
    u"Software\\Classes\\CLSID\\{2D429495-D446-48F5-9E8C-43F7ABD5FA40}\\InprocServer32";

} // namespace

TEST_F(RegsvrTest, RegistersTheBuiltModuleAndTheClassLoadsThroughTheRegistry)
{
    ASSERT_EQ(0, regsvr(module)) << errors;
    EXPECT_EQ(fromUtf8(module), regString(HKEY_LOCAL_MACHINE, kInproc));
    EXPECT_FALSE(regKeyExists(HKEY_CURRENT_USER, kInproc));

    CLSID clsid{};
    ASSERT_EQ(S_OK, CLSIDFromProgID(u"Quendal.PictavoPremium", &clsid));
    EXPECT_EQ(CLSID_Pictavo, clsid);
    ASSERT_EQ(S_OK, CLSIDFromProgID(u"quendal.pictavopremium.1", &clsid));
    EXPECT_EQ(CLSID_Pictavo, clsid);

    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, CoGetClassObject(CLSID_Pictavo, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                     reinterpret_cast<void**>(&factory)));
    HMODULE loaded = LoadLibraryW(fromUtf8(module).c_str());
    ASSERT_NE(nullptr, loaded);
    // The handle the loader gives is the one the module registered its resources under.
    EXPECT_NE(nullptr, FindResourceW(loaded, MAKEINTRESOURCEW(103), u"REGISTRY"));
    auto canUnload = reinterpret_cast<LPFNCANUNLOADNOW>(
        reinterpret_cast<void (*)()>(GetProcAddress(loaded, "DllCanUnloadNow")));
    ASSERT_NE(nullptr, canUnload);
    EXPECT_EQ(S_FALSE, canUnload());
    factory->Release();
    EXPECT_EQ(S_OK, canUnload());

    // The control from the loaded module answers its scripting interface by name.
    IDispatch* control = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                     reinterpret_cast<void**>(&control)));
    EXPECT_EQ(S_FALSE, canUnload());
    OLECHAR name[] = u"getcount";
    LPOLESTR names[] = {name};
    DISPID id = 0;
    ASSERT_EQ(S_OK, control->GetIDsOfNames(IID_NULL, names, 1, 0, &id));
    EXPECT_EQ(26, id);
    DISPPARAMS none{};
    VARIANT count;
    VariantInit(&count);
    ASSERT_EQ(S_OK, control->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, &count, nullptr, nullptr));
    EXPECT_EQ(VT_I4, count.vt);
    EXPECT_EQ(0, count.lVal);
    control->Release();
    EXPECT_EQ(S_OK, canUnload());
    FreeLibrary(loaded);

    ASSERT_EQ(0, regsvr("-u " + module)) << errors;
    EXPECT_FALSE(regKeyExists(HKEY_LOCAL_MACHINE, kInproc));
    EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromProgID(u"Quendal.PictavoPremium", &clsid));
    void* object = nullptr;
    EXPECT_EQ(REGDB_E_CLASSNOTREG,
              CoCreateInstance(CLSID_Pictavo, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object));
}

TEST_F(RegsvrTest, InstallForTheUserAndUninstall)
{
    ASSERT_EQ(0, regsvr("-i:User " + module)) << errors;
    EXPECT_EQ(fromUtf8(module), regString(HKEY_CURRENT_USER, kInproc));
    EXPECT_FALSE(regKeyExists(HKEY_LOCAL_MACHINE, kInproc));
    ASSERT_EQ(0, regsvr("-i:username " + module)) << errors;
    EXPECT_TRUE(regKeyExists(HKEY_LOCAL_MACHINE, kInproc));
    ASSERT_EQ(0, regsvr("-u -i:USER " + module)) << errors;
    EXPECT_FALSE(regKeyExists(HKEY_CURRENT_USER, kInproc));
    EXPECT_TRUE(regKeyExists(HKEY_LOCAL_MACHINE, kInproc));
}

TEST_F(RegsvrTest, FailuresAreReportedWithExitCodeOne)
{
    EXPECT_EQ(1, regsvr(env.dir.file("missing.so").string()));
    EXPECT_NE(std::string::npos, errors.find("cannot load")) << errors;
    EXPECT_EQ(1, regsvr(libDir() + "/libpictavo-platform.so"));
    EXPECT_NE(std::string::npos, errors.find("no entry point DllRegisterServer")) << errors;

    const std::string damaged = "damaged\n";
    env.dir.write("machine.reg", damaged);
    EXPECT_EQ(1, regsvr(module));
    EXPECT_NE(std::string::npos, errors.find("0x800703F1")) << errors;
    EXPECT_EQ(damaged, readFile(env.machine()));
    EXPECT_NE(0, regsvr(""));
}

TEST_F(RegsvrTest, ClassesWhoseModuleCannotServeFailClearly)
{
    const GUID clsid = pictavo::platform::makeGuid("11111111-2222-3333-4444-555555555555");
    const std::u16string key = u"CLSID\\{11111111-2222-3333-4444-555555555555}\\InprocServer32";
    void* object = nullptr;

    ASSERT_EQ(ERROR_SUCCESS,
              regSetString(HKEY_CLASSES_ROOT, key, nullptr, fromUtf8(env.dir.file("gone.so").string())));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND),
              CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object));
    EXPECT_NE(std::string::npos, pictavo::platform::lastModuleError().find("gone.so"));

    const auto text = env.dir.write("text.so", "not a shared object");
    ASSERT_EQ(ERROR_SUCCESS, regSetString(HKEY_CLASSES_ROOT, key, nullptr, fromUtf8(text.string())));
    EXPECT_EQ(HRESULT_FROM_WIN32(193),
              CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object));
    EXPECT_FALSE(pictavo::platform::lastModuleError().empty());

    ASSERT_EQ(ERROR_SUCCESS,
              regSetString(HKEY_CLASSES_ROOT, key, nullptr, fromUtf8(libDir() + "/libpictavo-platform.so")));
    EXPECT_EQ(CO_E_ERRORINDLL, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object));
    EXPECT_EQ(REGDB_E_CLASSNOTREG,
              CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromProgID(u"No.Such.Class", reinterpret_cast<CLSID*>(&object)));
}

TEST(ClassLoaderTest, TheGlobalInterfaceTableNeedsNoRegistration)
{
    RegistryEnv env;
    IUnknown* table = nullptr;
    EXPECT_EQ(CO_E_NOTINITIALIZED,
              CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&table)));
    EXPECT_EQ(CO_E_NOTINITIALIZED, CoGetClassObject(CLSID_Pictavo, CLSCTX_INPROC_SERVER, nullptr,
                                                    IID_IClassFactory, reinterpret_cast<void**>(&table)));
    ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&table)));
    EXPECT_EQ(static_cast<IUnknown*>(pictavo::platform::GlobalInterfaceTable::instance()), table);
    table->Release();
    CoUninitialize();
}
