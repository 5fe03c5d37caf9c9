#include "image/ScreenshotFile.h"

#include "core/Error.h"
#include "core/Utf.h"

namespace kadrix {

namespace {
// Appends value in decimal with at least `digits` digits.
void AppendPadded(std::u16string& out, int value, int digits) {
    if (value < 0) {
        out += u'-';
        value = -value;
    }
    char16_t buffer[12];
    int n = 0;
    do {
        buffer[n++] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value > 0);
    for (int i = n; i < digits; ++i) out += u'0';
    while (n > 0) out += buffer[--n];
}
}  // namespace

std::u16string DateTimeStamp(const LocalDateTime& time) {
    std::u16string out;
    out.reserve(19);
    AppendPadded(out, time.year, 4);
    out += u'.';
    AppendPadded(out, time.month, 2);
    out += u'.';
    AppendPadded(out, time.day, 2);
    out += u' ';
    AppendPadded(out, time.hour, 2);
    out += u'-';
    AppendPadded(out, time.minute, 2);
    out += u'-';
    AppendPadded(out, time.second, 2);
    return out;
}

namespace {

std::u16string_view Extension(int format) { return format == 0 ? u".jpg" : u".bmp"; }

std::u16string FolderAndStamp(std::u16string_view savePath, const LocalDateTime& time) {
    std::u16string name(savePath);
    if (!name.empty() && name.back() != u'\\' && name.back() != u'/') name += u'\\';
    name += DateTimeStamp(time);
    return name;
}

}  // namespace

std::u16string ScreenshotFileName(std::u16string_view savePath, const LocalDateTime& time, int format) {
    return FolderAndStamp(savePath, time) + std::u16string(Extension(format));
}

std::u16string FreeScreenshotFileName(std::u16string_view savePath, const LocalDateTime& time, int format,
                                      const FileExistsFn& exists) {
    const std::u16string stem = FolderAndStamp(savePath, time);
    std::u16string first = stem + std::u16string(Extension(format));
    if (!exists(first)) return first;
    for (int n = 2; n <= kMaxNamesPerSecond; ++n) {
        std::u16string name = stem + u" (" + AsciiToUtf16(std::to_string(n)) + u")" + std::u16string(Extension(format));
        if (!exists(name)) return name;
    }
    throw Error(FormatText(u"Cannot create file \"%s\". %s",
                           {first, u"This name and " + AsciiToUtf16(std::to_string(kMaxNamesPerSecond - 1)) +
                                       u" numbered ones are all taken."}));
}

}  // namespace kadrix
