#include "localisation/LineBreakMarkup.h"

#include "localisation/IniFile.h"

namespace kadrix {

std::u16string ReplaceLineBreakMarkup(std::u16string_view text) {
    constexpr std::u16string_view kMarkup = u"</br>";
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == u'<' && i + kMarkup.size() <= text.size() &&
            EqualsIgnoreCase(text.substr(i, kMarkup.size()), kMarkup)) {
            out += u"\r\n";
            i += kMarkup.size();
        } else {
            out += text[i++];
        }
    }
    return out;
}

}  // namespace kadrix
