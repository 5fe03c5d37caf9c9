#include "image/ScreenshotFile.h"

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

std::u16string ScreenshotFileName(std::u16string_view savePath, const LocalDateTime& time, int format) {
    std::u16string name(savePath);
    name += DateTimeStamp(time);
    name += format == 0 ? u".jpg" : u".bmp";
    return name;
}

}  // namespace kadrix
