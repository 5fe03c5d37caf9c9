#pragma once
// Names of screenshot files.
#include <string>
#include <string_view>

namespace kadrix {

struct LocalDateTime {
    int year, month, day, hour, minute, second;
};

// "yyyy.mm.dd hh-nn-ss", each field zero-padded, e.g. "2017.02.09 15-30-45".
std::u16string DateTimeStamp(const LocalDateTime& time);

// savePath + stamp + extension, joined as they are: no separator is added, so
// "C:\Shots" gives "C:\Shots2017.02.09 15-30-45.jpg". Format 0 is JPEG (".jpg");
// every other value, -1 (nothing selected) included, is BMP (".bmp").
std::u16string ScreenshotFileName(std::u16string_view savePath, const LocalDateTime& time, int format);

}  // namespace kadrix
