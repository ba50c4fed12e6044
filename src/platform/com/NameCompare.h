#pragma once

namespace pictavo::platform {

// Member names as script sees them: equal without regard to case (ASCII and Latin-1 letters).
bool namesEqual(const char16_t* a, const char16_t* b);

} // namespace pictavo::platform
