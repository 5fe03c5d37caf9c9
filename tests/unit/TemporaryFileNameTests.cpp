#include <gtest/gtest.h>

#include "core/TemporaryFileName.h"
#include "core/Utf.h"

using namespace kadrix;

TEST(TemporaryFileName, NamesTheTargetAndTheWriter) {
    EXPECT_EQ(Utf16ToUtf8(TemporaryFileName(u"Settings.ini", {1812, 0x01DA2B3C4D5E6F70})),
              ".~kadrix-1812-01da2b3c4d5e6f70-Settings.ini.tmp");
}

TEST(TemporaryFileName, EveryNameItMakesReadsBackToItsWriter) {
    struct Case { std::u16string target; TemporaryFileOwner owner; };
    const Case cases[] = {
        {u"Settings.ini", {1812, 0x01DA2B3C4D5E6F70}},
        {u"2026.12.10 12-25-09 (2).bmp", {1, 0}},
        {u"Снимок-1-2.jpg.tmp", {UINT32_MAX, UINT64_MAX}},
        {u"x", {4096, 0x8000000000000001}},
    };
    for (const auto& c : cases) {
        const auto name = TemporaryFileName(c.target, c.owner);
        EXPECT_TRUE(name.starts_with(u".~kadrix-") && name.ends_with(u".tmp")) << Utf16ToUtf8(name);
        EXPECT_EQ(TemporaryFileOwnerOf(name), std::optional(c.owner)) << Utf16ToUtf8(name);
    }
}

// Anything but our own exact form is someone else's file and must never be
// taken for a leftover of ours.
TEST(TemporaryFileName, OtherNamesHaveNoWriter) {
    const char16_t* names[] = {
        u"",
        u"Settings.ini",
        u"Settings.ini.~1812.tmp",                               // an older form
        u"~kadrix-1812-01da2b3c4d5e6f70-Settings.ini.tmp",       // no dot
        u".~KADRIX-1812-01da2b3c4d5e6f70-Settings.ini.tmp",
        u".~kadrix-1812-01DA2B3C4D5E6F70-Settings.ini.tmp",      // we write lower case
        u".~kadrix-01812-01da2b3c4d5e6f70-Settings.ini.tmp",     // leading zero
        u".~kadrix-0-01da2b3c4d5e6f70-Settings.ini.tmp",
        u".~kadrix-4294967296-01da2b3c4d5e6f70-Settings.ini.tmp",  // over 32 bits
        u".~kadrix-12345678901-01da2b3c4d5e6f70-a.tmp",
        u".~kadrix--01da2b3c4d5e6f70-Settings.ini.tmp",
        u".~kadrix-1812-01da2b3c4d5e6f7-Settings.ini.tmp",       // 15 digits
        u".~kadrix-1812-01da2b3c4d5e6f70x-Settings.ini.tmp",
        u".~kadrix-1812-01da2b3c4d5e6f70-.tmp",                  // no target name
        u".~kadrix-1812-01da2b3c4d5e6f70.tmp",
        u".~kadrix-1812-01da2b3c4d5e6f70-Settings.ini",
        u".~kadrix-1812-01da2b3c4d5e6f70-Settings.ini.TMP",
        u".~kadrix-1812.tmp",
        u".~kadrix-.tmp",
        u".~kadrix-1812-",
    };
    for (const char16_t* name : names) {
        EXPECT_EQ(TemporaryFileOwnerOf(name), std::nullopt) << Utf16ToUtf8(name);
    }
}
