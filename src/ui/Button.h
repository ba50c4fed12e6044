#pragma once

#include "ui/ControlBase.h"
#include "ui/signal0.h"

#include <string>

namespace Quendal::UI::Controls {

// A skinned push button: four pictures for its looks, an optional text on top.
class Button : public ControlBase
{
public:
    virtual void Create(ControlBase& parentElement, const std::u16string& caption);
    virtual void PaintBackground(CPaintEventArgs& e);

    void SetImages(const std::string& normal, const std::string& hover, const std::string& down,
                   const std::string& disabledLook);
    void SetText(const std::u16string& caption);

    void OnPaint(CPaintEventArgs& e) override;
    void OnLButtonDown(CMouseEventArgs& e) override;
    void OnLButtonUp(CMouseEventArgs& e) override;
    void OnMouseMove(CMouseEventArgs& e) override;
    std::u16string ElementClass() const override { return u"Button"; }
    void Describe(pictavo::platform::AutomationNode& node) const override;

    signal0 clicked;
    std::u16string text;
    std::string normalImage = "BtnNormal";
    std::string hoverImage = "BtnHover";
    std::string disabledImage = "BtnDisable";
    std::string downImage = "BtnDown";
};

} // namespace Quendal::UI::Controls
