#pragma once
// The platform half of CharsetToUtf16: CharsetIconv.cpp in the native build,
// CharsetWin32.cpp in the Windows build. Not for use outside Charset.cpp.
#include <optional>
#include <string>
#include <string_view>

namespace kadrix::charset {

struct KnownCharset {
    std::string_view iconvName;
    unsigned codePage;
};

std::optional<std::u16string> PlatformToUtf16(const KnownCharset& charset, std::string_view bytes);

}  // namespace kadrix::charset
