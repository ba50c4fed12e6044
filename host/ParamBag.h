#pragma once

#include "platform/com/RefCounted.h"
#include "platform/ole/OleControl.h"

#include <string>
#include <utility>
#include <vector>

namespace pictavo::host {

// A page object's <param>s as the property bag a control loads from. Names match without
// regard to case, as in markup; values are text and are converted to the type asked for.
class ParamBag : public pictavo::platform::RefCounted<IPropertyBag>
{
public:
    using Params = std::vector<std::pair<std::u16string, std::u16string>>;
    explicit ParamBag(Params params) : m_params(std::move(params)) {}

    HRESULT Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) override;
    HRESULT Write(LPCOLESTR name, VARIANT* value) override;

    const Params& params() const { return m_params; }

private:
    const std::u16string* find(std::u16string_view name) const;

    Params m_params;
};

} // namespace pictavo::host
