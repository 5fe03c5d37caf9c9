#include <gtest/gtest.h>

#include "image/ScreenshotFile.h"
#include "core/Utf.h"

namespace kadrix {
namespace {

// Compared as UTF-8 so that a failure prints readably.
std::string U8(const std::u16string& s) { return Utf16ToUtf8(s); }

constexpr LocalDateTime kExample{2017, 2, 9, 15, 30, 45};

TEST(ScreenshotFile, StampHasLiteralSeparators) {
    EXPECT_EQ(U8(DateTimeStamp(kExample)), U8(u"2017.02.09 15-30-45"));
}

TEST(ScreenshotFile, StampIsZeroPadded) {
    EXPECT_EQ(U8(DateTimeStamp({2001, 1, 2, 3, 4, 5})), U8(u"2001.01.02 03-04-05"));
    EXPECT_EQ(U8(DateTimeStamp({2099, 12, 31, 0, 0, 0})), U8(u"2099.12.31 00-00-00"));
    EXPECT_EQ(U8(DateTimeStamp({987, 10, 11, 23, 59, 59})), U8(u"0987.10.11 23-59-59"));
}

TEST(ScreenshotFile, JpegNameJoinsPathAsIs) {
    EXPECT_EQ(U8(ScreenshotFileName(u"C:\\Shots\\", kExample, 0)), U8(u"C:\\Shots\\2017.02.09 15-30-45.jpg"));
}

TEST(ScreenshotFile, PathWithoutSeparatorGetsNone) {
    EXPECT_EQ(U8(ScreenshotFileName(u"C:\\Shots", kExample, 0)), U8(u"C:\\Shots2017.02.09 15-30-45.jpg"));
}

TEST(ScreenshotFile, EveryFormatButZeroIsBmp) {
    EXPECT_EQ(U8(ScreenshotFileName(u"D:\\", kExample, 1)), U8(u"D:\\2017.02.09 15-30-45.bmp"));
    EXPECT_EQ(U8(ScreenshotFileName(u"D:\\", kExample, -1)), U8(u"D:\\2017.02.09 15-30-45.bmp"));
    EXPECT_EQ(U8(ScreenshotFileName(u"D:\\", kExample, 7)), U8(u"D:\\2017.02.09 15-30-45.bmp"));
}

TEST(ScreenshotFile, EmptyPathAndNonAsciiPath) {
    EXPECT_EQ(U8(ScreenshotFileName(u"", kExample, 0)), U8(u"2017.02.09 15-30-45.jpg"));
    EXPECT_EQ(U8(ScreenshotFileName(u"C:\\Снимки\\", kExample, 1)), U8(u"C:\\Снимки\\2017.02.09 15-30-45.bmp"));
}

}  // namespace
}  // namespace kadrix
