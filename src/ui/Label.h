#pragma once

#include "ui/ControlBase.h"

#include <string>

// A text in one colour; sized to its text when the text is set.
class Label : public ControlBase
{
public:
    virtual void Create(ControlBase& parentElement, const std::u16string& caption);
    void SetText(const std::u16string& caption);

    void Layout() override;
    void OnPaint(Quendal::UI::CPaintEventArgs& e) override;
    std::u16string ElementClass() const override { return u"Label"; }
    void Describe(pictavo::platform::AutomationNode& node) const override;

    std::u16string text;
    COLORREF colour = 0x333333;
    UINT format = 0x25;
    // The font it draws with, and measures with (normalFont when null).
    HFONT font = nullptr;
};
