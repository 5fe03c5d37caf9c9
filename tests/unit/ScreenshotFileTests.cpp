#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "core/Error.h"
#include "core/Utf.h"
#include "image/ScreenshotFile.h"

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

TEST(ScreenshotFile, PathWithoutSeparatorGetsOne) {
    EXPECT_EQ(U8(ScreenshotFileName(u"C:\\Shots", kExample, 0)), U8(u"C:\\Shots\\2017.02.09 15-30-45.jpg"));
    EXPECT_EQ(U8(ScreenshotFileName(u"Z:/tmp/shots/", kExample, 1)), U8(u"Z:/tmp/shots/2017.02.09 15-30-45.bmp"));
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

// The first name of each second stays as it always was; a taken name gets the
// first free number from 2 on, and no existing file is ever offered.
TEST(ScreenshotFile, ATakenNameGetsTheFirstFreeNumber) {
    struct Case {
        const char* name;
        std::u16string savePath;
        int format;
        std::set<std::u16string> taken;
        std::u16string expected;
    };
    const std::u16string shots = u"C:\\Shots\\2017.02.09 15-30-45";
    const Case cases[] = {
        {"free", u"C:\\Shots\\", 0, {}, shots + u".jpg"},
        {"taken once", u"C:\\Shots\\", 0, {shots + u".jpg"}, shots + u" (2).jpg"},
        {"taken twice", u"C:\\Shots\\", 1, {shots + u".bmp", shots + u" (2).bmp"}, shots + u" (3).bmp"},
        {"a gap is filled", u"C:\\Shots\\", 0, {shots + u".jpg", shots + u" (3).jpg"}, shots + u" (2).jpg"},
        {"only a numbered one taken", u"C:\\Shots\\", 0, {shots + u" (2).jpg"}, shots + u".jpg"},
        {"other format taken", u"C:\\Shots\\", 0, {shots + u".bmp"}, shots + u".jpg"},
        {"no separator", u"C:\\Shots", 0, {shots + u".jpg"}, shots + u" (2).jpg"},
    };
    for (const auto& c : cases) {
        std::vector<std::u16string> asked;
        const auto name = FreeScreenshotFileName(c.savePath, kExample, c.format, [&](const std::u16string& path) {
            asked.push_back(path);
            return c.taken.count(path) > 0;
        });
        EXPECT_EQ(U8(name), U8(c.expected)) << c.name;
        EXPECT_EQ(asked.back(), name) << c.name << ": the name given was not the last one checked";
    }
}

TEST(ScreenshotFile, NamesRunOutWithAnError) {
    int asked = 0;
    try {
        FreeScreenshotFileName(u"C:\\Shots\\", kExample, 0, [&](const std::u16string&) { return ++asked > 0; });
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(U8(e.Message()), U8(u"Cannot create file \"C:\\Shots\\2017.02.09 15-30-45.jpg\". "
                                      u"This name and 9998 numbered ones are all taken."));
    }
    EXPECT_EQ(asked, kMaxNamesPerSecond);
}

}  // namespace
}  // namespace kadrix
