#pragma once

namespace Quendal::UI {

class CEventArgs
{
public:
    virtual ~CEventArgs() = default;
};

} // namespace Quendal::UI
