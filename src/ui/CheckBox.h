#pragma once

#include "ui/ControlBase.h"
#include "ui/signal0.h"

#include <string>

namespace Quendal::UI::Controls {

// A box picture and a text; a click toggles it. Always 15 pixels high.
class CheckBox : public ControlBase
{
public:
    virtual void Create(ControlBase& parentElement, const std::u16string& caption);

    BOOL IsChecked() const { return checked; }
    void SetChecked(BOOL check);

    void Layout() override;
    void OnPaint(CPaintEventArgs& e) override;
    void OnLButtonDown(CMouseEventArgs& e) override;
    void OnLButtonUp(CMouseEventArgs& e) override;
    void OnMouseMove(CMouseEventArgs& e) override;
    std::u16string ElementClass() const override { return u"CheckBox"; }
    void Describe(pictavo::platform::AutomationNode& node) const override;

    signal0 changed;
    std::u16string text;
    BOOL checked = FALSE;
    std::string normalImage = "CheckBox-Normal";
    std::string hoverImage = "CheckBox-Hover";
    std::string checkedImage = "CheckBox-Checked";
    std::string checkedHoverImage = "CheckBox-CkHover";
    int boxWidth = 15;
    int boxHeight = 15;
};

} // namespace Quendal::UI::Controls
