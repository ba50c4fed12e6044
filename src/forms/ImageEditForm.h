#pragma once

#include "forms/ImageEditor.h"
#include "ui/Button.h"
#include "ui/CheckBox.h"
#include "ui/ComboBox.h"
#include "ui/Editor.h"
#include "ui/ExtForm.h"
#include "ui/Label.h"
#include "ui/TrackBar.h"
#include "ui/has_slots.h"

#include <map>
#include <string>
#include <vector>

class ListViewPostItem;

// The modal window that edits one tile's picture: size, light, saturation, turns, a
// quality choice and undo. "确定" gives the tile a new bitmap of the edited picture; the
// file on disk is never touched. A stack object of its caller.
class ImageEditForm : public has_slots
{
public:
    explicit ImageEditForm(ListViewPostItem& item);
    ~ImageEditForm() override;

    // Returns when the window closes (0), at once when the tile has no picture yet (-1).
    INT_PTR DoModal(HWND owner);

    // The quality page's record of the last "应用": the choice and the slider's value.
    int chosenFormat = 0;
    int chosenQuality = 100;
    bool resized = false;
    bool qualityApplied = false;

private:
    class Form : public ExtForm
    {
    public:
        void OnPaint(Quendal::UI::CPaintEventArgs& e) override;
    };
    using Button = Quendal::UI::Controls::Button;

    static INT_PTR DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    // The edges resize the borderless window; false for messages left to the form.
    BOOL EdgeMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void OnInitDialog(HWND dialog);
    void Build();
    Button& AddButton(Button& button, const std::u16string& text, int left, int top, int width = 72,
                      int height = 25);
    Label& AddLabel(Label& label, const std::u16string& text, int left, int top);
    void PlaceWindowed(WindowedElement& element, int left, int top, int width, int height);
    void ShowPage(const std::string& page);
    void ApplyQualityRule();
    void RefreshSizeBoxes();
    void UpdateResizeButton();
    static int ReadNumber(HWND box);

    void OnSizePage() { ShowPage("size"); }
    void OnLightPage() { ShowPage("light"); }
    void OnSaturatePage() { ShowPage("saturate"); }
    void OnRotationPage() { ShowPage("rotation"); }
    void OnQualityPage() { ShowPage("quality"); }
    void OnUndo();
    void OnResize();
    void OnActualPixels();
    void OnFit();
    void OnCrop();
    void OnBrightness(int value);
    void OnContrast(int value);
    void OnSaturation(int value);
    void OnSaturate();
    void OnRotateLeft();
    void OnRotateRight();
    void OnQualityChoice(int index);
    void OnQualityValue(int value);
    void OnApplyQuality();
    void OnOk();
    void OnCancel();
    void OnMaximise();

    ListViewPostItem& m_item;
    HWND m_dialog = nullptr;
    Form m_form;
    ImageEditor m_canvas;
    std::map<std::string, std::vector<ControlBase*>> m_pages;
    std::string m_page;

    Button m_tabSize, m_tabLight, m_tabSaturate, m_tabRotation, m_tabQuality, m_tabUndo;
    Button m_ok, m_cancel, m_maximise, m_close;

    Label m_widthLabel, m_heightLabel;
    Editor m_widthBox, m_heightBox;
    Quendal::UI::Controls::CheckBox m_keepRatio;
    Button m_resize, m_actualPixels, m_fit, m_crop;

    Label m_brightnessLabel, m_contrastLabel;
    ExtTrackBar m_brightness, m_contrast;
    Editor m_brightnessBox, m_contrastBox;

    Label m_saturationLabel;
    ExtTrackBar m_saturation;
    Editor m_saturationBox;
    Button m_saturate;

    Button m_rotateLeft, m_rotateRight;

    ComboBox m_format;
    Label m_qualityLabel;
    ExtTrackBar m_quality;
    Editor m_qualityBox;
    Button m_applyQuality;
};
