#include "ui/SetUpSkin.h"

#include "ui/CombinBitmap.h"
#include "ui/ImageLister.h"

namespace {

constexpr SkinPicture kPictures[] = {
    {"CheckBox-Normal", 221, 15, 15, true},   {"CheckBox-Hover", 220, 15, 15, true},
    {"CheckBox-Checked", 218, 15, 15, true},  {"CheckBox-CkHover", 219, 15, 15, true},
    {"BtnNormal", 225, 72, 25, true},         {"BtnHover", 224, 72, 25, true},
    {"BtnDown", 223, 72, 25, true},           {"BtnDisable", 222, 72, 25, true},
    {"BtnCloseNormal", 227, 15, 15, true},    {"BtnCloseHover", 226, 15, 15, true},
    {"IcoAdd", 229, 16, 16, true},            {"IcoEdit", 228, 15, 15, true},
    {"IcoInfo", 230, 32, 32, true},           {"BtnPost-Normal", 233, 84, 24, true},
    {"BtnPost-Disable", 231, 84, 24, true},   {"BtnPost-Hover", 232, 84, 24, true},
    {"BtnPost-Cancel", 239, 84, 24, true},    {"BtnAdd-Normal", 235, 84, 24, true},
    {"BtnAdd-Hover", 234, 84, 24, true},      {"BtnAdd-Disable", 236, 84, 24, true},
    {"BtnAdd2-Normal", 255, 203, 51, false},  {"BtnAdd2-Hover", 254, 203, 51, false},
    {"RotatioLeft", 242, 16, 16, true},       {"RotatioRight", 243, 16, 16, true},
    {"Btn_Delete", 244, 16, 16, true},        {"BtnMax-Normal", 246, 15, 15, true},
    {"BtnMax-Hover", 245, 15, 15, true},      {"BtnRestore-Normal", 248, 15, 15, true},
    {"BtnRestore-Hover", 247, 15, 15, true},  {"Title_bk", 251, 1, 32, false},
    {"BtnOk", 252, 55, 24, false},            {"BtnCancel", 253, 51, 24, false},
};

} // namespace

std::span<const SkinPicture> SkinPictures()
{
    return kPictures;
}

void SetUpSkin(HMODULE module)
{
    auto& lister = Quendal::UI::ImageLister::Instance();
    lister.AddUser();
    if (lister.Users() > 1 && lister.Count() == std::size(kPictures))
        return;
    CombinBitmap& atlas = CombinBitmap::Instance();
    atlas.AddSprites({{u"LeftCirc", 0, 0, 16, 16},
                      {u"RightCirc", 16, 0, 16, 16},
                      {u"Del", 32, 0, 16, 16},
                      {u"Search", 48, 0, 16, 16},
                      {u"Check", 64, 0, 16, 16},
                      {u"Editor", 80, 0, 16, 16}});
    atlas.LoadSheet(kSpriteSheetId, module);
    for (const SkinPicture& p : kPictures)
        lister.Load(p.name, p.resourceId, module);
}

void ReleaseSkin()
{
    Quendal::UI::ImageLister::Instance().ReleaseUser();
}
