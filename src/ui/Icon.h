#pragma once

#include "ui/ControlBase.h"

#include <string>

namespace Quendal::UI::Controls {

// A skin picture at its natural size; no mouse behaviour.
class Icon : public ControlBase
{
public:
    virtual void Create(ControlBase& parentElement) { Attach(parentElement); }
    void OnPaint(CPaintEventArgs& e) override;
    std::u16string ElementClass() const override { return u"Icon"; }

    std::string imageName;
};

} // namespace Quendal::UI::Controls
