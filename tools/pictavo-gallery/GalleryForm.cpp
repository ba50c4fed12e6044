#include "GalleryForm.h"

#include "platform/controls/Controls.h"
#include "ui/CombinBitmap.h"
#include "ui/DefaultFonts.h"
#include "ui/Drawing.h"
#include "ui/ImageLister.h"
#include "ui/SetUpSkin.h"

using namespace Quendal::UI;
using namespace Quendal::UI::Controls;

namespace {

struct Look
{
    const char16_t* name;
    DWORD state;
    BOOL disabled;
};
constexpr Look kLooks[] = {{u"normal", 0, FALSE},
                           {u"hover", ControlBase::Hover, FALSE},
                           {u"pressed", ControlBase::Pressed, FALSE},
                           {u"disabled", 0, TRUE}};

std::u16string wide(const char* s)
{
    return std::u16string(s, s + std::char_traits<char>::length(s));
}

} // namespace

Label& GalleryForm::Caption(int x, int y, const std::u16string& text, COLORREF colour)
{
    Label& label = Make<Label>();
    label.SetMargins(x, y, 0, 0);
    label.colour = colour;
    label.Create(*this, text);
    return label;
}

void GalleryForm::Build(HWND window)
{
    SetCaption(u"控件一览 (gallery)");
    SetIconName("IcoAdd");
    int y = 44;
    Caption(12, y, u"Button");
    struct ButtonRow
    {
        const char* normal;
        const char* hover;
        const char* down;
        const char* off;
        const char16_t* text;
        int w, h;
    };
    const ButtonRow rows[] = {
        {"BtnNormal", "BtnHover", "BtnDown", "BtnDisable", u"确定", 72, 25},
        {"BtnPost-Normal", "BtnPost-Hover", "BtnPost-Cancel", "BtnPost-Disable", u"", 84, 24},
        {"BtnAdd-Normal", "BtnAdd-Hover", "BtnAdd-Hover", "BtnAdd-Disable", u"", 84, 24},
        {"BtnAdd2-Normal", "BtnAdd2-Hover", "BtnAdd2-Hover", "BtnAdd2-Normal", u"", 203, 51},
        {"BtnOk", "BtnOk", "BtnOk", "BtnOk", u"", 55, 24},
        {"BtnCancel", "BtnCancel", "BtnCancel", "BtnCancel", u"", 51, 24},
        {"BtnCloseNormal", "BtnCloseHover", "BtnCloseHover", "", u"", 15, 15},
        {"BtnMax-Normal", "BtnMax-Hover", "BtnMax-Hover", "BtnMax-Normal", u"", 15, 15},
        {"BtnRestore-Normal", "BtnRestore-Hover", "BtnRestore-Hover", "BtnRestore-Normal", u"", 15, 15},
    };
    for (int i = 0; i < 4; ++i)
        Caption(110 + i * 215, y, kLooks[i].name);
    y += 16;
    for (const ButtonRow& row : rows) {
        for (int i = 0; i < 4; ++i) {
            Button& b = Make<Button>();
            b.Create(*this, row.text);
            b.SetImages(row.normal, row.hover, row.down, row.off);
            b.SetSize(row.w, row.h);
            b.SetMargins(110 + i * 215, y, 0, 0);
            b.state = kLooks[i].state;
            b.disabled = kLooks[i].disabled;
        }
        Caption(12, y + (row.h - 12) / 2, wide(row.normal));
        y += row.h + 6;
    }

    y += 6;
    Caption(12, y, u"CheckBox");
    const Look checkLooks[] = {{u"normal", 0, FALSE},
                               {u"hover", ControlBase::Hover, FALSE},
                               {u"disabled+hover", ControlBase::Hover, TRUE}};
    for (int checked = 0; checked < 2; ++checked)
        for (int i = 0; i < 3; ++i) {
            CheckBox& c = Make<CheckBox>();
            c.Create(*this, std::u16string(checked ? u"已选 " : u"未选 ") + checkLooks[i].name);
            c.SetMargins(110 + i * 215, y + checked * 22, 0, 0);
            c.state = checkLooks[i].state;
            c.disabled = checkLooks[i].disabled;
            c.checked = checked;
        }
    y += 50;
    Caption(12, y, u"IconLabel");
    const char* icons[] = {"RotatioLeft", "RotatioRight", "Btn_Delete"};
    const char16_t* iconTexts[] = {u"左转", u"右转", u"删除"};
    for (int i = 0; i < 3; ++i)
        for (int off = 0; off < 2; ++off) {
            IconLabel& l = Make<IconLabel>();
            l.Create(*this, std::u16string(iconTexts[i]) + (off ? u" (disabled)" : u""), icons[i]);
            l.SetMargins(110 + i * 215 + off * 90, y, 0, 0);
            l.disabled = off;
        }
    y += 26;
    Caption(12, y, u"Label");
    Caption(110, y, u"正常文字 normal text", 0x333333);
    Caption(325, y, u"禁用文字 disabled text", 0xC1C1C1);
    y += 24;

    Caption(12, y, u"TrackBar");
    int x = 110;
    for (int ext = 0; ext < 2; ++ext)
        for (int v : {0, 50, 100}) {
            auto slider = ext ? std::make_unique<ExtTrackBar>() : std::make_unique<TrackBar>();
            slider->Create(window, RECT{x, y, x + 115, y + 15});
            slider->SetValue(v);
            slider->element.Attach(*this);
            Caption(x + 120, y + 2, wide(std::to_string(v).c_str()));
            x += 150;
            sliders_.push_back(std::move(slider));
        }
    y += 28;

    Caption(12, y + 4, u"Editor");
    editor_.Create(window, 110, y, 80, 22);
    editor_.SetValue(640);
    editor_.element.Attach(*this);
    Caption(195, y + 4, u"normal");
    focusedEditor_.Create(window, 325, y, 80, 22);
    focusedEditor_.SetValue(480);
    focusedEditor_.element.Attach(*this);
    SetFocus(focusedEditor_.m_hWnd);
    Caption(410, y + 4, u"focused");
    Caption(540, y + 4, u"ComboBox");
    combo_.element.SetMargins(610, y, 0, 0);
    combo_.element.SetSize(90, 22);
    combo_.element.Attach(*this);
    for (const char16_t* item : {u"JPG", u"BMP", u"PNG"})
        SendMessageW(combo_.m_hWnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    SendMessageW(combo_.m_hWnd, CB_SETCURSEL, 0, 0);
    Caption(755, y + 4, u"TextEditor");
    rename_.Create(window, RECT{835, y, 955, y + 20}, u"照片_0001.jpg");
    y += 32;
    picturesTop_ = y;
}

void GalleryForm::PaintPictures(CPaintEventArgs& e)
{
    ImageLister& lister = ImageLister::Instance();
    const DefaultFonts& fonts = DefaultFonts::Instance();
    int x = 12, y = picturesTop_, rowHeight = 0;
    DrawText(e.hdc, RECT{x, y, x + 400, y + 14}, u"Skin pictures (name, size; dashed frame: no picture yet)",
             0x888888, fonts.normalFont, DT_LEFT | DT_SINGLELINE);
    y += 18;
    auto place = [&](int w, int h) {
        const int cell = std::max(w, 150) + 12;
        if (x + cell > bounds.right - 8) {
            x = 12;
            y += rowHeight + 20;
            rowHeight = 0;
        }
        POINT at{x, y};
        x += cell;
        rowHeight = std::max(rowHeight, h);
        return at;
    };
    for (const SkinPicture& p : SkinPictures()) {
        const POINT at = place(p.width, p.height);
        CxImage* image = lister.Find(p.name);
        // A light chequer shows where the picture is transparent.
        for (int cy = 0; cy < p.height; cy += 4)
            for (int cx = 0; cx < p.width; cx += 4)
                if (((cx + cy) / 4) % 2)
                    FillSolid(e.hdc,
                              RECT{at.x + cx, at.y + cy, at.x + std::min(cx + 4, p.width), at.y + std::min(cy + 4, p.height)},
                              0xE8E8E8);
        if (image && image->IsValid())
            lister.Draw(e.hdc, p.name, at);
        else {
            HBRUSH red = CreateHatchBrush(HS_BDIAGONAL, 0x4040D0);
            RECT r{at.x, at.y, at.x + p.width, at.y + p.height};
            FrameRect(e.hdc, &r, red);
            DeleteObject(red);
        }
        const std::u16string label = wide(p.name) + u" " + wide(std::to_string(p.width).c_str()) + u"×" +
                                     wide(std::to_string(p.height).c_str());
        DrawText(e.hdc, RECT{at.x, at.y + p.height + 2, at.x + 200, at.y + p.height + 16}, label, 0x666666,
                 fonts.normalFont, DT_LEFT | DT_SINGLELINE);
    }
    x = 12;
    y += rowHeight + 26;
    DrawText(e.hdc, RECT{x, y, x + 400, y + 14}, u"Sprites", 0x888888, fonts.normalFont, DT_LEFT | DT_SINGLELINE);
    y += 18;
    for (const auto& sprite : CombinBitmap::Instance().Sprites()) {
        CombinBitmap::Instance().DrawSprite(e.graphics, sprite.name, x, y);
        DrawText(e.hdc, RECT{x + 20, y, x + 110, y + 16}, sprite.name, 0x666666, fonts.normalFont, 0x24);
        x += 110;
    }
}

void GalleryForm::OnPaint(CPaintEventArgs& e)
{
    ExtForm::OnPaint(e);
    ControlBase::OnPaint(e);
    PaintPictures(e);
}

BOOL GalleryForm::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                                       DWORD mapId)
{
    // The rename field belongs to no element here; its usual parent reflects for it.
    if (message == WM_CTLCOLOREDIT && reinterpret_cast<HWND>(lParam) == rename_.m_hWnd) {
        result = SendMessageW(rename_.m_hWnd, OCM__BASE + message, wParam, lParam);
        return TRUE;
    }
    return ExtForm::ProcessWindowMessage(window, message, wParam, lParam, result, mapId);
}
