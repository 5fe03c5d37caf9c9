#include <gtest/gtest.h>

#include "core/Utf.h"
#include "settings/SettingsFile.h"

using namespace kadrix;

TEST(ParseInteger, AcceptsDecimalAndHexadecimal) {
    struct Case { std::u16string text; std::optional<int32_t> expected; };
    const Case cases[] = {
        {u"81", 81}, {u"0x51", 81}, {u"0X51", 81}, {u"$51", 81}, {u"-5", -5}, {u"+7", 7},
        {u"2147483647", INT32_MAX}, {u"-2147483648", INT32_MIN}, {u"$FFFFFFFF", -1},
        {u"2147483648", std::nullopt}, {u"99999999999", std::nullopt}, {u"$1FFFFFFFF", std::nullopt},
        {u"", std::nullopt}, {u"-", std::nullopt}, {u"0x", std::nullopt}, {u"$", std::nullopt},
        {u"yes", std::nullopt}, {u"1 2", std::nullopt}, {u"12a", std::nullopt}, {u"0xG1", std::nullopt},
        {u"\x0661", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseInteger(c.text), c.expected) << Utf16ToUtf8(c.text);
    }
}

TEST(Settings, MissingFileGivesDefaultsAndStaysEmpty) {
    auto file = ParseSettingsFile("");
    const auto v = ReadSettings(file, u"C:\\Tools\\");
    EXPECT_FALSE(v.AutoRun);
    EXPECT_TRUE(v.ShowHint && v.ShowLine && v.ShowSize && v.SaveInFile && v.UploadOnServer);
    EXPECT_EQ(v.HotKey1, kModifierCtrl);
    EXPECT_EQ(v.HotKey2, u'P');
    EXPECT_EQ(v.LanguageFile, u"Russian.ini");
    EXPECT_EQ(v.SavePath, u"C:\\Tools\\");
    EXPECT_EQ(v.FormatSaveInFile, 0);
    // Reading adds nothing: the rewrite of a file that did not exist holds only the mark.
    EXPECT_EQ(SettingsFileBytes(file), "\xEF\xBB\xBF");
}

TEST(Settings, FirstSaveWritesTheDocumentedFile) {
    auto file = ParseSettingsFile("");
    const auto v = ReadSettings(file, u"C:\\Tools\\");
    WriteSettings(file, v);
    EXPECT_EQ(SettingsFileBytes(file),
              "\xEF\xBB\xBF"
              "[Main]\r\nAutoRun=0\r\nShowHint=1\r\nShowLine=1\r\nShowSize=1\r\nHotKey1=2\r\nHotKey2=80\r\n"
              "LanguageFile=Russian.ini\r\n\r\n"
              "[Screenshot]\r\nSavePath=C:\\Tools\\\r\nSaveInFile=1\r\nUploadOnServer=1\r\nFormatSaveInFile=0\r\n\r\n");
}

TEST(Settings, ValuesFallBackAndClamp) {
    struct Case { const char* line; const char* section; std::function<bool(const SettingsValues&)> check; };
    const Case cases[] = {
        {"HotKey1=3", "Main", [](auto& v) { return v.HotKey1 == kModifierCtrl; }},
        {"HotKey1=1", "Main", [](auto& v) { return v.HotKey1 == kModifierAlt; }},
        {"HotKey1=$4", "Main", [](auto& v) { return v.HotKey1 == kModifierShift; }},
        {"HotKey2=0x51", "Main", [](auto& v) { return v.HotKey2 == u'Q'; }},
        {"HotKey2=81", "Main", [](auto& v) { return v.HotKey2 == u'Q'; }},
        {"HotKey2=65617", "Main", [](auto& v) { return v.HotKey2 == u'Q'; }},  // low 16 bits
        {"HotKey2=P", "Main", [](auto& v) { return v.HotKey2 == u'P'; }},
        {"ShowHint=yes", "Main", [](auto& v) { return v.ShowHint; }},
        {"ShowHint=0", "Main", [](auto& v) { return !v.ShowHint; }},
        {"AutoRun=2", "Main", [](auto& v) { return v.AutoRun; }},
        {"AutoRun=0", "Main", [](auto& v) { return !v.AutoRun; }},
        {"FormatSaveInFile=7", "Screenshot", [](auto& v) { return v.FormatSaveInFile == 1; }},
        {"FormatSaveInFile=-5", "Screenshot", [](auto& v) { return v.FormatSaveInFile == -1; }},
        {"FormatSaveInFile=-1", "Screenshot", [](auto& v) { return v.FormatSaveInFile == -1; }},
        {"FormatSaveInFile=bmp", "Screenshot", [](auto& v) { return v.FormatSaveInFile == 0; }},
        {"SavePath=D:\\Shots", "Screenshot", [](auto& v) { return v.SavePath == u"D:\\Shots"; }},
        {"LanguageFile=English.ini", "Main", [](auto& v) { return v.LanguageFile == u"English.ini"; }},
        {"savepath=Й\\", "screenshot", [](auto& v) { return v.SavePath == u"Й\\"; }},
    };
    for (const auto& c : cases) {
        auto file = ParseSettingsFile(std::string("[") + c.section + "]\r\n" + c.line + "\r\n");
        EXPECT_TRUE(c.check(ReadSettings(file, u"C:\\Exe\\"))) << c.line;
    }
}

TEST(Settings, EmptySavePathIsReplacedInTheFileToo) {
    auto file = ParseSettingsFile("[Screenshot]\r\nSavePath=\r\n");
    EXPECT_EQ(ReadSettings(file, u"C:\\Exe\\").SavePath, u"C:\\Exe\\");
    EXPECT_EQ(SettingsFileBytes(file), "\xEF\xBB\xBF[Screenshot]\r\nSavePath=C:\\Exe\\\r\n\r\n");
}

TEST(Settings, SaveKeepsForeignEntriesAndNormalisesTheRest) {
    auto file = ParseSettingsFile(
        "; mine\r\n[Main]\r\nHotKey1=3\r\nExtra=keep me\r\n\r\n[Other]\r\nA=1\r\n");
    auto v = ReadSettings(file, u"C:\\Exe\\");
    WriteSettings(file, v);
    EXPECT_EQ(SettingsFileBytes(file),
              "\xEF\xBB\xBF"
              "[Main]\r\nHotKey1=2\r\nExtra=keep me\r\nAutoRun=0\r\nShowHint=1\r\nShowLine=1\r\nShowSize=1\r\n"
              "HotKey2=80\r\nLanguageFile=Russian.ini\r\n\r\n"
              "[Other]\r\nA=1\r\n\r\n"
              "[Screenshot]\r\nSavePath=C:\\Exe\\\r\nSaveInFile=1\r\nUploadOnServer=1\r\nFormatSaveInFile=0\r\n\r\n");
}

TEST(Settings, ReadsUtf16AndUtf8WithoutMark) {
    const std::string utf16le("\xFF\xFE[\0M\0a\0i\0n\0]\0\n\0S\0h\0o\0w\0L\0i\0n\0e\0=\0" "0\0", 36);
    auto a = ParseSettingsFile(utf16le);
    EXPECT_FALSE(ReadSettings(a, u"X\\").ShowLine);
    auto b = ParseSettingsFile("[Screenshot]\nSavePath=C:\\\xD0\xAF\\\n");
    EXPECT_EQ(ReadSettings(b, u"X\\").SavePath, u"C:\\Я\\");
}

TEST(Settings, AnUnpairedSurrogateReadsBackTheSameAfterSaving) {
    // UTF-16 Settings.ini whose LanguageFile holds a lone low surrogate: what
    // is read must be what the saved UTF-8 file gives back.
    const std::string bytes("\xFF\xFE[\0M\0a\0i\0n\0]\0\n\0L\0a\0n\0g\0u\0a\0g\0e\0F\0i\0l\0e\0=\0\x00\xDD" "a\0", 46);
    auto file = ParseSettingsFile(bytes);
    const SettingsValues read = ReadSettings(file, u"X\\");
    EXPECT_EQ(read.LanguageFile, u"\xFFFD" u"a");
    WriteSettings(file, read);
    auto saved = ParseSettingsFile(SettingsFileBytes(file));
    EXPECT_EQ(ReadSettings(saved, u"X\\").LanguageFile, read.LanguageFile);
}
