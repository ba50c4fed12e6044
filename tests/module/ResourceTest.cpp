#include "module/Module.h"
#include "platform/com/Resource.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string_view>

namespace {

std::string_view resourceText(HMODULE module, LPCWSTR name, LPCWSTR type)
{
    HRSRC res = FindResourceW(module, name, type);
    if (!res)
        return {};
    return {static_cast<const char*>(LockResource(LoadResource(module, res))), SizeofResource(module, res)};
}

} // namespace

TEST(ResourceTest, TheModuleCarriesItsScriptsPictureAndName)
{
    const HMODULE self = Module::Handle();
    const std::string_view script = resourceText(self, MAKEINTRESOURCEW(103), u"registry");
    EXPECT_EQ(0u, script.find("HKCR"));
    EXPECT_NE(std::string_view::npos, script.find("ForceRemove 'ToolboxBitmap32' = s '%MODULE%, 102'"));
    EXPECT_EQ(0u, resourceText(self, MAKEINTRESOURCEW(101), u"REGISTRY").find("HKCR"));
    EXPECT_EQ(0u, resourceText(self, MAKEINTRESOURCEW(102), RT_BITMAP).find("BM"));
    EXPECT_EQ(nullptr, FindResourceW(self, MAKEINTRESOURCEW(102), u"REGISTRY"));
    EXPECT_EQ(nullptr, FindResourceW(self, MAKEINTRESOURCEW(101), MAKEINTRESOURCEW(101)));

    WCHAR name[32];
    ASSERT_EQ(10, LoadStringW(self, 100, name, 32));
    EXPECT_EQ(u"PictavoATL", std::u16string(name));
    EXPECT_EQ(4, LoadStringW(self, 100, name, 5));
    EXPECT_EQ(u"Pict", std::u16string(name));
}

TEST(ResourceTest, NamedResourcesOfAnotherModule)
{
    static const BYTE data[] = "skin";
    static const pictavo::platform::ResourceEntry table[] = {{u"PNG", 0, u"Add_Normal", 0, data, 4}};
    const HMODULE other = reinterpret_cast<HMODULE>(0x10000);
    pictavo::platform::registerResources(other, table);
    HRSRC res = FindResourceW(other, u"ADD_NORMAL", u"png");
    ASSERT_NE(nullptr, res);
    EXPECT_EQ(4u, SizeofResource(other, res));
    EXPECT_EQ(nullptr, FindResourceW(Module::Handle(), u"Add_Normal", u"PNG"));
    pictavo::platform::unregisterResources(other);
    EXPECT_EQ(nullptr, FindResourceW(other, u"Add_Normal", u"PNG"));
}
