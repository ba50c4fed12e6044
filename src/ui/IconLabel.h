#pragma once

#include "ui/ControlBase.h"
#include "ui/signal1.h"

#include <string>

namespace Quendal::UI::Controls {

// A small icon followed by a text, clickable like a button (the list tiles' tools).
class IconLabel : public ControlBase
{
public:
    virtual void Create(ControlBase& parentElement, const std::u16string& caption, const std::string& icon);
    virtual void PaintIcon(CPaintEventArgs& e);

    void SetText(const std::u16string& caption);

    void OnPaint(CPaintEventArgs& e) override;
    void OnLButtonDown(CMouseEventArgs& e) override;
    void OnLButtonUp(CMouseEventArgs& e) override;
    void OnMouseMove(CMouseEventArgs& e) override;
    std::u16string ElementClass() const override { return u"IconLabel"; }
    void Describe(pictavo::platform::AutomationNode& node) const override;

    signal1<ControlBase*> clicked;
    int gap = 5;
    std::string iconName;
    std::u16string text;
};

} // namespace Quendal::UI::Controls
