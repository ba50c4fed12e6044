#pragma once

#include <string_view>

namespace pictavo::platform {

// "*" any run, "?" one unit, everything else compared without regard to case.
bool wildcardMatch(std::u16string_view pattern, std::u16string_view name);

} // namespace pictavo::platform
