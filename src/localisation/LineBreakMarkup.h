#pragma once
#include <string>
#include <string_view>

namespace kadrix {

// Message texts write a line break as "</br>", in any letter case; this turns
// each one into CR LF.
std::u16string ReplaceLineBreakMarkup(std::u16string_view text);

}  // namespace kadrix
