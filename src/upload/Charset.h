#pragma once
// Reply texts come in whatever character set the upload service names. The
// conversion itself is the platform's (iconv natively, MultiByteToWideChar on
// Windows); the table of names we accept is ours, so both builds agree on
// which names are known.
#include <optional>
#include <string>
#include <string_view>

namespace kadrix {

// Converts bytes in the named character set (a label such as "utf-8",
// "Windows-1251" or "koi8-r", any letter case, surrounding quotes and blanks
// ignored) to UTF-16. Bytes that are not valid in the set become U+FFFD.
// nullopt when the name is not one we know or the platform cannot convert it.
std::optional<std::u16string> CharsetToUtf16(std::string_view charset, std::string_view bytes);

// Every byte becomes the character of the same number.
std::u16string Latin1ToUtf16(std::string_view bytes);

// Bytes over 0x7F become U+FFFD.
std::u16string AsciiBytesToUtf16(std::string_view bytes);

}  // namespace kadrix
