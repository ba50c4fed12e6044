#pragma once

#include <string>
#include <string_view>

// Standard base64 alphabet with '=' padding, no line breaks.
std::u16string Base64Encode(std::string_view bytes);

// A quoted header parameter: '"', CR and LF become %22, %0D and %0A, so the value can never
// end its header line or add one; every other character stays.
std::u16string EscapeQuotedValue(std::u16string_view text);

// Letters and digits stay, white space becomes '+', every other byte %XX (upper-case hex).
std::string PercentEncode(std::string_view bytes);
