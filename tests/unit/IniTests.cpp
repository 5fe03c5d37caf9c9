#include <gtest/gtest.h>

#include "core/Utf.h"
#include "localisation/IniFile.h"
#include "localisation/LineBreakMarkup.h"
#include "localisation/TextDecoding.h"

using namespace kadrix;

TEST(TextDecoding, ByteOrderMarkDecidesTheEncoding) {
    struct Case { const char* name; std::string bytes; NoBomEncoding noBom; std::u16string expected; };
    const Case cases[] = {
        {"utf8 bom", "\xEF\xBB\xBF\xD0\xAF=1", NoBomEncoding::LegacyCodePage, u"Я=1"},
        {"utf16le bom", std::string("\xFF\xFE\x2F\x04=\0", 6), NoBomEncoding::Utf8, u"Я="},
        {"utf16be bom", std::string("\xFE\xFF\x04\x2F\0=", 6), NoBomEncoding::Utf8, u"Я="},
        {"no bom, utf8 wanted", "\xD0\xAF", NoBomEncoding::Utf8, u"Я"},
        {"no bom, code page 1251", "\xDF", NoBomEncoding::LegacyCodePage, u"Я"},
        {"lone utf16 byte", std::string("\xFF\xFE" "A\0B", 5), NoBomEncoding::Utf8, u"A\xFFFD"},
        {"utf16 surrogate pair", std::string("\xFF\xFE\x3D\xD8\x00\xDE", 6), NoBomEncoding::Utf8, u"\U0001F600"},
        {"unpaired utf16 surrogates", std::string("\xFF\xFE\x00\xDD" "a\0" "\x3D\xD8", 8), NoBomEncoding::Utf8,
         u"\xFFFD" u"a\xFFFD"},
        {"utf16be high surrogate before a letter", std::string("\xFE\xFF\xD8\x3D\0a", 6), NoBomEncoding::Utf8,
         u"\xFFFD" u"a"},
        {"invalid utf8", "a\xC3(\xF8\xE2\x82", NoBomEncoding::Utf8, u"a\xFFFD(\xFFFD\xFFFD"},
        {"overlong and surrogate utf8", "\xC0\xAF\xED\xA0\x80", NoBomEncoding::Utf8, u"\xFFFD\xFFFD\xFFFD"},
        {"four-byte utf8", "\xF0\x9F\x98\x80", NoBomEncoding::Utf8, u"\U0001F600"},
        {"bom alone", "\xEF\xBB\xBF", NoBomEncoding::Utf8, u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeText(c.bytes, c.noBom, 1251), c.expected) << c.name;
    }
}

TEST(TextDecoding, LegacyCodePages) {
    EXPECT_EQ(DecodeCodePage("\xE9\x80", 1252), u"é€");
    EXPECT_EQ(DecodeCodePage("\xE9", 1251), u"й");
    EXPECT_EQ(DecodeCodePage("\xE9", 1253), u"ι");
    // Unknown code pages fall back to 1252; undefined bytes keep their value.
    EXPECT_EQ(DecodeCodePage("\xE9\x81", 932), u"é\x81");
}

TEST(IniFile, ReadsSectionsKeysAndValues) {
    const auto ini = IniFile::Parse(
        u"orphan=before any section\r\n"
        u"  [ Main ]  \r\n"
        u"; a comment=1\n"
        u"\tKey = value with = sign \r"
        u"Quoted=\"kept\"\n"
        u"noequals\r\n"
        u"[ProgramSettings->ParametersProgram]\n"
        u"Caption=Tab\n"
        u"[main]\n"
        u"key=second occurrence\n"
        u"Late=merged\n");
    EXPECT_EQ(ini.ReadString(u"MAIN", u"key", u"?"), u"value with = sign");
    EXPECT_EQ(ini.ReadString(u"Main", u"Quoted", u"?"), u"\"kept\"");
    EXPECT_EQ(ini.ReadString(u"main", u"late", u"?"), u"merged");
    EXPECT_EQ(ini.ReadString(u"programsettings->parametersprogram", u"CAPTION", u"?"), u"Tab");
    EXPECT_EQ(ini.ReadString(u"Main", u"orphan", u"default"), u"default");
    EXPECT_EQ(ini.ReadString(u"Main", u"noequals", u"default"), u"default");
    EXPECT_EQ(ini.ReadString(u"Main", u"; a comment", u"default"), u"default");
    EXPECT_EQ(ini.ReadString(u"Missing", u"key", u"default"), u"default");
    ASSERT_EQ(ini.Sections().size(), 2u);
}

TEST(IniFile, CaseInsensitiveBeyondAscii) {
    const auto ini = IniFile::Parse(u"[Раздел]\nКлюч=1\n[ÉTÉ]\nŁÓDŹ=2\n");
    EXPECT_EQ(ini.ReadString(u"раздел", u"КЛЮЧ", u""), u"1");
    EXPECT_EQ(ini.ReadString(u"été", u"łódź", u""), u"2");
    EXPECT_FALSE(EqualsIgnoreCase(u"Kadrix", u"Kadrixx"));
    EXPECT_FALSE(EqualsIgnoreCase(u"a", u"b"));
}

TEST(IniFile, BrokenInputNeverFails) {
    const std::u16string megabyteLine(1 << 20, u'x');
    const auto big = IniFile::Parse(u"[S]\nk=" + megabyteLine + u"\n" + megabyteLine);
    EXPECT_EQ(big.ReadString(u"S", u"k", u"").size(), megabyteLine.size());
    EXPECT_TRUE(IniFile::Parse(u"no sections at all\nk=v\n").Sections().empty());
    EXPECT_TRUE(IniFile::Parse(u"").Sections().empty());
    const auto odd = IniFile::Parse(std::u16string_view(u"[\n]\n[]\n=\n[x\n\0\0\0", 16));
    EXPECT_EQ(odd.ReadString(u"", u"", u"?"), u"");
}

// A file of nothing but section headers is the worst case of the section
// lookup; it must read in one pass and still merge headers that differ only
// in case.
TEST(IniFile, HundredsOfThousandsOfSectionsKeepTheirOrderAndMerge) {
    constexpr int kSections = 200000;
    std::u16string text;
    for (int i = 0; i < kSections; ++i) {
        const auto n = Utf8ToUtf16(std::to_string(i));
        text += u"[Раздел" + n + u"]\r\nk=" + n + u"\r\n";
    }
    text += u"[РАЗДЕЛ0]\r\nk=again\r\nlate=merged\r\n";
    auto ini = IniFile::Parse(text);
    ASSERT_EQ(ini.Sections().size(), static_cast<size_t>(kSections));
    EXPECT_EQ(ini.Sections()[12345].Name, u"Раздел12345");
    EXPECT_EQ(ini.ReadString(u"раздел0", u"K", u"?"), u"0");
    EXPECT_EQ(ini.ReadString(u"раздел0", u"late", u"?"), u"merged");
    EXPECT_EQ(ini.ReadString(u"раздел199999", u"k", u"?"), u"199999");
    ini.WriteString(u"раздел7", u"k", u"seven");
    ini.WriteString(u"New", u"k", u"appended");
    ini.WriteString(u"NEW", u"j", u"same section");
    EXPECT_EQ(ini.ReadString(u"Раздел7", u"k", u"?"), u"seven");
    ASSERT_EQ(ini.Sections().size(), static_cast<size_t>(kSections) + 1);
    EXPECT_EQ(ini.Sections().back().Lines.size(), 2u);
}

TEST(IniFile, RewriteKeepsUnknownEntriesAndDropsComments) {
    auto ini = IniFile::Parse(
        u"; header comment\r\n"
        u"[Main]\r\n"
        u"AutoRun=1\r\n"
        u"\r\n"
        u"free text line\r\n"
        u"[Custom]\r\n"
        u"Mine = kept \r\n");
    ini.WriteString(u"main", u"autorun", u"0");
    ini.WriteString(u"Main", u"ShowHint", u"1");
    ini.WriteString(u"Screenshot", u"SavePath", u"C:\\");
    EXPECT_EQ(ini.Serialize(),
              u"[Main]\r\nAutoRun=0\r\nfree text line\r\nShowHint=1\r\n\r\n"
              u"[Custom]\r\nMine=kept\r\n\r\n"
              u"[Screenshot]\r\nSavePath=C:\\\r\n\r\n");
}

TEST(LineBreakMarkup, AnyLetterCase) {
    EXPECT_EQ(ReplaceLineBreakMarkup(u"a</br>b</BR>c</Br>"), u"a\r\nb\r\nc\r\n");
    EXPECT_EQ(ReplaceLineBreakMarkup(u"<br> </br </ br>"), u"<br> </br </ br>");
    EXPECT_EQ(ReplaceLineBreakMarkup(u"</br"), u"</br");
}
