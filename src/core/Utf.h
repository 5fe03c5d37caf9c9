#pragma once
// The only two conversions between UTF-8 and UTF-16 in the program. Malformed
// input never fails: each bad sequence becomes U+FFFD.
#include <string>
#include <string_view>

namespace kadrix {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Plain ASCII to UTF-16, for literals and numbers.
std::u16string AsciiToUtf16(std::string_view ascii);

}  // namespace kadrix
