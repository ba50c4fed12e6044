#pragma once

#include "ui/FormBase.h"

#include <string>

// A form with the skinned frame: white body, title bar picture, grey button band, border,
// icon and caption. Derived forms paint this first and their children on top.
class ExtForm : public FormBase
{
public:
    void OnPaint(Quendal::UI::CPaintEventArgs& e) override;
    virtual void PaintFrame(Quendal::UI::CPaintEventArgs& e);
    virtual void PaintCaption(Quendal::UI::CPaintEventArgs& e);

    void SetCaption(const std::u16string& text) { caption = text; }
    void SetIconName(const std::string& name) { iconName = name; }

    std::u16string caption;
    std::string iconName;
};
