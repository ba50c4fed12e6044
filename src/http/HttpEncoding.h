#pragma once

#include <string>
#include <string_view>

// Standard base64 alphabet with '=' padding, no line breaks.
std::u16string Base64Encode(std::string_view bytes);

// Letters and digits stay, white space becomes '+', every other byte %XX (upper-case hex).
std::string PercentEncode(std::string_view bytes);
