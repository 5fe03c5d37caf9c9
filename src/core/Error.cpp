#include "core/Error.h"

#include "core/Utf.h"

namespace kadrix {

Error::Error(std::u16string message) : message_(std::move(message)), utf8_(Utf16ToUtf8(message_)) {}

std::u16string FormatText(std::u16string_view pattern, std::initializer_list<std::u16string_view> args) {
    std::u16string out;
    auto next = args.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == u'%' && i + 1 < pattern.size() && pattern[i + 1] == u's' && next != args.end()) {
            out += *next++;
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

}  // namespace kadrix
