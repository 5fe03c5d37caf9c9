#pragma once
// Turns the bytes of a text file into UTF-16. A byte order mark decides the
// encoding; without one the caller says whether the file is UTF-8 or in the
// system's legacy 8-bit code page.
#include <string>
#include <string_view>

namespace kadrix {

enum class NoBomEncoding { Utf8, LegacyCodePage };

std::u16string DecodeText(std::string_view bytes, NoBomEncoding noBom, unsigned codePage);

// Single-byte Windows code pages 874 and 1250-1258 are known; any other code
// page (the multi-byte East Asian ones) is read as 1252, which keeps ASCII intact.
std::u16string DecodeCodePage(std::string_view bytes, unsigned codePage);

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

}  // namespace kadrix
