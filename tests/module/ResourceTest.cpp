#include "platform/com/Resource.h"
#include "module/Module.h"

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

// The skin's pictures as the toolkit finds them: type "PNG" by id, at the sizes the skin table
// gives, 8 bits a channel, with alpha except the five that are drawn opaque.
TEST(ResourceTest, SkinPicturesHaveTheirSizesAndAlpha)
{
    struct Expected
    {
        int id, width, height;
        bool alpha;
    };
    const Expected table[] = {
        {221, 15, 15, true},  {220, 15, 15, true},  {218, 15, 15, true},  {219, 15, 15, true},
        {225, 72, 25, true},  {224, 72, 25, true},  {223, 72, 25, true},  {222, 72, 25, true},
        {227, 15, 15, true},  {226, 15, 15, true},  {229, 16, 16, true},  {228, 15, 15, true},
        {230, 32, 32, true},  {233, 84, 24, true},  {231, 84, 24, true},  {232, 84, 24, true},
        {239, 84, 24, true},  {235, 84, 24, true},  {234, 84, 24, true},  {236, 84, 24, true},
        {255, 203, 51, false}, {254, 203, 51, false}, {242, 16, 16, true}, {243, 16, 16, true},
        {244, 16, 16, true},  {246, 15, 15, true},  {245, 15, 15, true},  {248, 15, 15, true},
        {247, 15, 15, true},  {251, 1, 32, false},  {252, 55, 24, false}, {253, 51, 24, false},
        {250, 96, 16, true},  {249, 196, 65, true},
    };
    auto be32 = [](const unsigned char* p) { return p[0] << 24 | p[1] << 16 | p[2] << 8 | p[3]; };
    for (const auto& e : table) {
        SCOPED_TRACE(e.id);
        const std::string_view png = resourceText(Module::Handle(), MAKEINTRESOURCEW(e.id), u"PNG");
        ASSERT_GT(png.size(), 33u);
        const auto* p = reinterpret_cast<const unsigned char*>(png.data());
        ASSERT_EQ(0, std::memcmp(p, "\x89PNG\r\n\x1a\n", 8));
        ASSERT_EQ(0, std::memcmp(p + 12, "IHDR", 4));
        EXPECT_EQ(e.width, be32(p + 16));
        EXPECT_EQ(e.height, be32(p + 20));
        EXPECT_EQ(8, p[24]) << "bits per channel";
        EXPECT_EQ(e.alpha ? 6 : 2, p[25]) << "colour type: 6 RGBA, 2 RGB";
    }
}
