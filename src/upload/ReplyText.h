#pragma once
// Turns the body of a 2xx reply into the reply text. The charset comes from
// the Content-Type header, overridden by a meta element (HTML, XHTML) or an
// XML declaration (XML types); with none, or a name we do not know, every
// byte is the character of the same number (ISO-8859-1), except that XML
// text types without a charset are US-ASCII.
#include <string>
#include <string_view>

namespace kadrix {

// contentType: the header's value, empty when the reply has none.
std::u16string DecodeReplyBody(std::string_view contentType, std::string_view body);

}  // namespace kadrix
