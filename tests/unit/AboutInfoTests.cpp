// The About box's core: the version and build-date lines, the MS-DOS stamp,
// and reading both from PE images, made here byte by byte and the built
// Kadrix.exe itself.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "about/PeImage.h"
#include "about/VersionInfo.h"
#include "core/Utf.h"

using namespace kadrix;

namespace {

std::string U8(const std::u16string& s) { return Utf16ToUtf8(s); }

TEST(AboutVersion, FixedFileInfoFormatting) {
    struct Case {
        uint32_t ms, ls;
        const char16_t* format;
        const char* expected;
    } cases[] = {
        {0x00020004, 0x00000419, u"%d.%d.%d.%d", "2.4.0.1049"},
        {0xFFFF0000, 0x0001FFFF, u"%d.%d.%d.%d", "65535.0.1.65535"},
        {0x00010002, 0x00030004, u"v%d-%d (%d/%d) 100%%", "v1-2 (3/4) 100%"},
        {0x00010002, 0x00030004, u"%d.%d.%d.%d.%d", "1.2.3.4.%d"},  // a fifth placeholder has no number
        {0x00010002, 0x00030004, u"%", "%"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(U8(FormatFileVersion(c.ms, c.ls, c.format)), c.expected) << c.expected;
    }
}

TEST(AboutVersion, VersionLineWithTheTextsOfTheLanguageFile) {
    EXPECT_EQ(U8(VersionLine(u"V", u"2.4.0.1049", 64, u"B")), "V 2.4.0.1049 (64-B)");
    // No version resource: an empty version between two blanks.
    EXPECT_EQ(U8(VersionLine(u"V", u"", 64, u"B")), "V  (64-B)");
}

TEST(AboutDate, StampDecoding) {
    struct Case {
        const char* name;
        uint32_t stamp;
        DateTime expected;
    } cases[] = {
        {"this release", 0x4A570A8D, {2017, 2, 23, 1, 20, 26}},
        {"zero", 0, kZeroDateTime},
        {"first valid", 0x00210000, {1980, 1, 1, 0, 0, 0}},
        {"last second of a day", 0x4A57BF7D, {2017, 2, 23, 23, 59, 58}},
        {"29 February of a leap year", 0x505D0000, {2020, 2, 29, 0, 0, 0}},
        {"invalid month 13", 0x4BB70000, kZeroDateTime},
        {"invalid month 0", 0x4A170000, kZeroDateTime},
        {"29 February of a common year", 0x4A5D0000, kZeroDateTime},
        {"day 0", 0x4A400000, kZeroDateTime},
        {"invalid second 60", 0x4A57001E, kZeroDateTime},
        {"invalid minute 60", 0x4A570780, kZeroDateTime},
        {"invalid hour 24", 0x4A57C000, kZeroDateTime},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecodeDosDateTime(c.stamp), c.expected) << c.name;
    }
}

TEST(AboutDate, EncodingReadsBackAndRefusesYearsItCannotHold) {
    const DateTime when{2025, 12, 10, 14, 7, 59};
    EXPECT_EQ(DecodeDosDateTime(EncodeDosDateTime(when)), (DateTime{2025, 12, 10, 14, 7, 58}));
    EXPECT_EQ(EncodeDosDateTime({2017, 2, 23, 1, 20, 26}), 0x4A570A8Du);
    EXPECT_EQ(EncodeDosDateTime({1979, 12, 31, 23, 59, 59}), 0u);
    EXPECT_EQ(EncodeDosDateTime({2108, 1, 1, 0, 0, 0}), 0u);
}

TEST(AboutDate, DateLineWithTheRegionalTimeSeparator) {
    const DateTime release = DecodeDosDateTime(0x4A570A8D);
    EXPECT_EQ(U8(DateBuildLine(u"D", release, u":")), "D 23.02.2017 01:20:26");
    EXPECT_EQ(U8(DateBuildLine(u"D", release, u".")), "D 23.02.2017 01.20.26");
    EXPECT_EQ(U8(DateBuildLine(u"D", kZeroDateTime, u":")), "D 30.12.1899 00:00:00");
}

// ---- PE images ------------------------------------------------------------

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}

constexpr uint32_t kSectionRva = 0x1000;
constexpr uint32_t kFileAlign = 0x200;
constexpr uint32_t kPeOffset = 0x80;

// A 64-bit image with one resource section holding one version resource.
struct ImageSpec {
    uint32_t stamp = 0x4A570A8D;
    uint32_t versionMS = 0x00020004, versionLS = 0x00000419;
    bool withResources = true;
    bool withVersion = true;
};

std::vector<uint8_t> ResourceSection(const ImageSpec& s) {
    std::vector<uint8_t> r(0x200, 0);
    // Root (type) table, one id entry: 16 -> subdirectory at 0x18.
    Put32(r, 4, s.stamp);
    Put16(r, 14, 1);
    Put32(r, 16, s.withVersion ? 16 : 3);
    Put32(r, 20, 0x80000000 | 0x18);
    // Name table: id 1 -> subdirectory at 0x30.
    Put16(r, 0x18 + 14, 1);
    Put32(r, 0x18 + 16, 1);
    Put32(r, 0x18 + 20, 0x80000000 | 0x30);
    // Language table: 0x409 -> data entry at 0x48.
    Put16(r, 0x30 + 14, 1);
    Put32(r, 0x30 + 16, 0x409);
    Put32(r, 0x30 + 20, 0x48);
    // Data entry: the block at RVA of 0x60 in the section, 92 bytes.
    Put32(r, 0x48, kSectionRva + 0x60);
    Put32(r, 0x48 + 4, 92);
    // VS_VERSIONINFO with its fixed file information.
    const size_t v = 0x60;
    Put16(r, v, 92);
    Put16(r, v + 2, 52);
    const std::u16string key = u"VS_VERSION_INFO";
    for (size_t i = 0; i < key.size(); ++i) Put16(r, v + 6 + 2 * i, key[i]);
    Put32(r, v + 40, 0xFEEF04BD);
    Put32(r, v + 44, 0x00010000);
    Put32(r, v + 48, s.versionMS);
    Put32(r, v + 52, s.versionLS);
    return r;
}

std::vector<uint8_t> PeFile(const ImageSpec& s = {}) {
    std::vector<uint8_t> b(kFileAlign, 0);
    b[0] = 'M', b[1] = 'Z';
    Put32(b, 0x3C, kPeOffset);
    Put32(b, kPeOffset, 0x00004550);
    const size_t coff = kPeOffset + 4, opt = coff + 20;
    const uint16_t optionalSize = 240;
    Put16(b, coff, 0x8664);
    Put16(b, coff + 2, 1);
    Put16(b, coff + 16, optionalSize);
    Put16(b, opt, 0x20B);
    Put32(b, opt + 56, 0x2000);  // SizeOfImage
    Put32(b, opt + 108, 16);
    if (s.withResources) {
        Put32(b, opt + 112 + 16, kSectionRva);
        Put32(b, opt + 112 + 20, 0x200);
    }
    const size_t section = opt + optionalSize;
    std::memcpy(&b[section], ".rsrc", 5);
    Put32(b, section + 8, 0x200);
    Put32(b, section + 12, kSectionRva);
    Put32(b, section + 16, 0x200);
    Put32(b, section + 20, kFileAlign);
    const auto rsrc = ResourceSection(s);
    b.insert(b.end(), rsrc.begin(), rsrc.end());
    return b;
}

// The same image as the loader lays it out: the section at its RVA.
std::vector<uint8_t> Mapped(const std::vector<uint8_t>& file) {
    std::vector<uint8_t> m(0x2000, 0);
    std::copy(file.begin(), file.begin() + kFileAlign, m.begin());
    std::copy(file.begin() + kFileAlign, file.end(), m.begin() + kSectionRva);
    return m;
}

TEST(AboutPeImage, ReadsStampAndVersionFromFileAndMappedLayouts) {
    const auto file = PeFile();
    const auto mapped = Mapped(file);
    EXPECT_EQ(ResourceTimeDateStamp(file, PeLayout::File), 0x4A570A8Du);
    EXPECT_EQ(ResourceTimeDateStamp(mapped, PeLayout::Mapped), 0x4A570A8Du);
    EXPECT_EQ(ResourceStampOffset(file, PeLayout::File), size_t{kFileAlign + 4});
    EXPECT_EQ(PeSizeOfImage(file), 0x2000u);
    for (const auto& [bytes, layout] : {std::pair{file, PeLayout::File}, std::pair{mapped, PeLayout::Mapped}}) {
        const auto version = ReadFixedFileVersion(bytes, layout);
        ASSERT_TRUE(version);
        EXPECT_EQ(U8(FormatFileVersion(version->VersionMS, version->VersionLS, u"%d.%d.%d.%d")), "2.4.0.1049");
    }
}

TEST(AboutPeImage, ImagesWithoutTheirPartsGiveNone) {
    ImageSpec noResources;
    noResources.withResources = false;
    EXPECT_FALSE(ResourceTimeDateStamp(PeFile(noResources), PeLayout::File));
    EXPECT_FALSE(ReadFixedFileVersion(PeFile(noResources), PeLayout::File));
    ImageSpec noVersion;
    noVersion.withVersion = false;
    EXPECT_EQ(ResourceTimeDateStamp(PeFile(noVersion), PeLayout::File), 0x4A570A8Du);
    EXPECT_FALSE(ReadFixedFileVersion(PeFile(noVersion), PeLayout::File));
}

TEST(AboutPeImage, BrokenImagesGiveNoneAndReadNothingOutside) {
    const auto good = PeFile();
    struct Case {
        const char* name;
        size_t at;
        uint32_t value;
        bool stampSurvives;
    } cases[] = {
        {"no MZ", 0, 0x0000, false},
        {"PE header offset past the end", 0x3C, 0x7FFFFFF0, false},
        {"no PE signature", kPeOffset, 0x00004551, false},
        {"unknown optional header magic", kPeOffset + 24, 0x0000020C, false},
        {"too few data directories", kPeOffset + 24 + 108, 2, false},
        {"resource RVA in no section", kPeOffset + 24 + 112 + 16, 0x9000, false},
        {"section raw data past the end", kPeOffset + 24 + 240 + 20, 0x7FFFFFF0, false},
        {"type entry pointing past the end", kFileAlign + 20, 0x8FFFFFF0, true},
        {"type entry not a subdirectory", kFileAlign + 20, 0x18, true},
        {"name table looping to the root", kFileAlign + 0x18 + 20, 0x80000000, true},
        {"data entry past the end", kFileAlign + 0x30 + 20, 0x7FFFFFF0, true},
        {"data block RVA past the section", kFileAlign + 0x48, kSectionRva + 0x1F0, true},
        {"data block longer than the file", kFileAlign + 0x48 + 4, 0x7FFFFFFF, true},
        {"no fixed file info signature", kFileAlign + 0x60 + 40, 0xFEEF04BC, true},
        {"wrong key", kFileAlign + 0x60 + 6, 0x00530057, true},
        {"value too short", kFileAlign + 0x60, 0x00100060, true},
        {"entry count past the end", kFileAlign + 12, 0x0000FFFF, true},
    };
    for (const Case& c : cases) {
        auto bytes = good;
        Put32(bytes, c.at, c.value);
        EXPECT_FALSE(ReadFixedFileVersion(bytes, PeLayout::File)) << c.name;
        EXPECT_EQ(ResourceTimeDateStamp(bytes, PeLayout::File).has_value(), c.stampSurvives) << c.name;
    }
    // Cut short anywhere: never a value read from beyond the cut.
    for (size_t length = 0; length < good.size(); ++length) {
        const std::span<const uint8_t> cut(good.data(), length);
        const bool whole = length >= kFileAlign + 0x60 + 92;
        EXPECT_EQ(ReadFixedFileVersion(cut, PeLayout::File).has_value(), whole) << length;
        EXPECT_EQ(ResourceTimeDateStamp(cut, PeLayout::File).has_value(), length >= kFileAlign + 16) << length;
    }
}

// The executable this build made: built from the same commit, in build/win.
TEST(AboutPeImage, TheBuiltKadrixExeCarriesItsVersionAndBuildTime) {
#ifdef _WIN32
    const std::string path = std::string("Z:") + KADRIX_SOURCE_DIR + "/build/win/Kadrix.exe";
#else
    const std::string path = std::string(KADRIX_SOURCE_DIR) + "/build/win/Kadrix.exe";
#endif
    std::ifstream in(path, std::ios::binary);
    if (!in) GTEST_SKIP() << "no Windows build at " << path;
    const std::vector<uint8_t> exe((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto version = ReadFixedFileVersion(exe, PeLayout::File);
    ASSERT_TRUE(version);
    EXPECT_EQ(U8(FormatFileVersion(version->VersionMS, version->VersionLS, u"%d.%d.%d.%d")), "2.4.0.1049");
    const auto stamp = ResourceTimeDateStamp(exe, PeLayout::File);
    ASSERT_TRUE(stamp);
    const DateTime built = DecodeDosDateTime(*stamp);
    EXPECT_NE(built, kZeroDateTime) << "the build wrote no stamp";
    EXPECT_GE(built.Year, 2024);
}

}  // namespace
