#include "ui/Icon.h"

#include "ui/ImageLister.h"

namespace Quendal::UI::Controls {

void Icon::OnPaint(CPaintEventArgs& e)
{
    if (visible)
        ImageLister::Instance().Draw(e.hdc, imageName, POINT{bounds.left, bounds.top});
}

} // namespace Quendal::UI::Controls
