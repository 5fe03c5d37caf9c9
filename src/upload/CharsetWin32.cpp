// Windows build: the system's code pages do the conversion.
#include <windows.h>

#include <climits>

#include "core/Error.h"
#include "upload/CharsetPlatform.h"

namespace kadrix::charset {

std::optional<std::u16string> PlatformToUtf16(const KnownCharset& charset, std::string_view bytes) {
    if (!IsValidCodePage(charset.codePage)) return std::nullopt;
    if (bytes.empty()) return std::u16string();
    if (bytes.size() > INT_MAX) throw Error(u"The text is too long to convert.");
    const int size = static_cast<int>(bytes.size());
    const int units = MultiByteToWideChar(charset.codePage, 0, bytes.data(), size, nullptr, 0);
    if (units <= 0) return std::nullopt;
    std::u16string out(static_cast<size_t>(units), u'\0');
    MultiByteToWideChar(charset.codePage, 0, bytes.data(), size, reinterpret_cast<wchar_t*>(out.data()), units);
    return out;
}

}  // namespace kadrix::charset
