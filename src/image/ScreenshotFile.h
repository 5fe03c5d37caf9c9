#pragma once
// Names of screenshot files.
#include <functional>
#include <string>
#include <string_view>

namespace kadrix {

struct LocalDateTime {
    int year, month, day, hour, minute, second;
};

// "yyyy.mm.dd hh-nn-ss", each field zero-padded, e.g. "2017.02.09 15-30-45".
std::u16string DateTimeStamp(const LocalDateTime& time);

// savePath + stamp + extension. A save path without a trailing separator (a
// hand-edited Settings.ini) gets a backslash, so the file goes into the folder
// and not beside it. Format 0 is JPEG (".jpg"); every other value, -1 (nothing
// selected) included, is BMP (".bmp").
std::u16string ScreenshotFileName(std::u16string_view savePath, const LocalDateTime& time, int format);

// Whether a file of that full name exists.
using FileExistsFn = std::function<bool(const std::u16string& path)>;

// How many names one second can give before saving gives up.
inline constexpr int kMaxNamesPerSecond = 9999;

// The name the screenshot is written to: ScreenshotFileName when that is free,
// else the same with " (2)", " (3)", ... before the extension, the first name
// not taken; an existing screenshot is never replaced. kadrix::Error
// "Cannot create file "%s". %s" when all kMaxNamesPerSecond names are taken.
std::u16string FreeScreenshotFileName(std::u16string_view savePath, const LocalDateTime& time, int format,
                                      const FileExistsFn& exists);

}  // namespace kadrix
