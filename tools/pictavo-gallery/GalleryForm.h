#pragma once

#include "ui/Button.h"
#include "ui/CheckBox.h"
#include "ui/ComboBox.h"
#include "ui/Editor.h"
#include "ui/TextEditor.h"
#include "ui/ExtForm.h"
#include "ui/Icon.h"
#include "ui/IconLabel.h"
#include "ui/Label.h"
#include "ui/TrackBar.h"

#include <list>
#include <memory>

// Every control in each of its states, every skin picture and every sprite, on one form.
class GalleryForm : public ExtForm
{
public:
    // Builds the controls; call once the window exists.
    void Build(HWND window);
    void OnPaint(Quendal::UI::CPaintEventArgs& e) override;
    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                              DWORD mapId = 0) override;

private:
    template <typename T>
    T& Make()
    {
        owned_.push_back(std::make_shared<T>());
        return *std::static_pointer_cast<T>(owned_.back());
    }
    Label& Caption(int x, int y, const std::u16string& text, COLORREF colour = 0x888888);
    void PaintPictures(Quendal::UI::CPaintEventArgs& e);

    std::list<std::shared_ptr<void>> owned_;
    std::list<std::unique_ptr<TrackBar>> sliders_;
    Editor editor_, focusedEditor_;
    ComboBox combo_;
    TextEditor rename_;
    // Top of the picture section.
    int picturesTop_ = 0;
};
