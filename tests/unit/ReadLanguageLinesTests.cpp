#include <gtest/gtest.h>

#include <map>

#include "core/Error.h"
#include "localisation/ReadLanguageLines.h"

using namespace kadrix;

namespace {

struct FakeFiles {
    std::map<std::u16string, std::string> files;
    std::vector<std::u16string> reads;
    ReadFileFn Reader() {
        return [this](const std::u16string& path) -> std::optional<std::string> {
            reads.push_back(path);
            if (path == u"C:\\K\\Languages\\Locked.ini") throw Error(u"Cannot open file");
            auto it = files.find(path);
            if (it == files.end()) return std::nullopt;
            return it->second;
        };
    }
};

}  // namespace

TEST(ReadLanguageLines, DefaultsToRussianWithoutSettings) {
    FakeFiles fs;
    fs.files[u"C:\\K\\Languages\\Russian.ini"] = "\xEF\xBB\xBF[programalreadyrunning]\r\ncaption=\xD0\x9E\xD0\xB9\r\n";
    TReadLanguageLines reader(u"C:\\K\\", 1252, fs.Reader());
    EXPECT_EQ(reader.ReadLanguageLine(u"ProgramAlreadyRunning", u"Caption", u""), u"Ой");
    EXPECT_EQ(fs.reads, (std::vector<std::u16string>{u"C:\\K\\Settings.ini", u"C:\\K\\Languages\\Russian.ini"}));
}

TEST(ReadLanguageLines, FollowsTheSettingsFile) {
    struct Case { const char* name; std::string settings; std::u16string expected; };
    const Case cases[] = {
        {"utf8 with mark", "\xEF\xBB\xBF[Main]\r\nLanguageFile=\xC3\xA9.ini\r\n", u"from é"},
        {"no mark: legacy code page", "[Main]\r\nLanguageFile=\xE9.ini\r\n", u"from é"},
        {"no section", "LanguageFile=English.ini\r\n", u"from russian"},
        {"missing file named", "[Main]\r\nLanguageFile=Nope.ini\r\n", u"default"},
        {"other case is another name", "[Main]\r\nLanguageFile=ENGLISH.INI\r\n", u"default"},
        {"english", "[MAIN]\r\nlanguagefile = English.ini \r\n", u"from english"},
    };
    for (const auto& c : cases) {
        FakeFiles fs;
        fs.files[u"C:\\K\\Settings.ini"] = c.settings;
        fs.files[u"C:\\K\\Languages\\Russian.ini"] = "[S]\nK=from russian\n";
        fs.files[u"C:\\K\\Languages\\English.ini"] = "[S]\nK=from english\n";
        fs.files[u"C:\\K\\Languages\\é.ini"] = "[S]\nK=from \xE9\n";  // legacy code page, no mark
        TReadLanguageLines reader(u"C:\\K\\", 1252, fs.Reader());
        EXPECT_EQ(reader.ReadLanguageLine(u"S", u"K", u"default"), c.expected) << c.name;
    }
}

TEST(ReadLanguageLines, ValuesAreLiteralAndMissingKeysGiveTheDefault) {
    FakeFiles fs;
    fs.files[u"C:\\K\\Languages\\Russian.ini"] =
        "Top=above\n[Upload]\nErrorUpload = Failed</BR>again = \"really\" \n;Caption=commented\nSuccessfulUpload=a</br>b\n";
    TReadLanguageLines reader(u"C:\\K\\", 1251, fs.Reader());
    EXPECT_EQ(reader.ReadLanguageLine(u"upload", u"errorupload", u""), u"Failed</BR>again = \"really\"");
    EXPECT_EQ(reader.ReadLanguageLine(u"Upload", u"SuccessfulUpload", u""), u"a</br>b");
    EXPECT_EQ(reader.ReadLanguageLine(u"Upload", u"Caption", u"d"), u"d");
    EXPECT_EQ(reader.ReadLanguageLine(u"", u"Top", u"d"), u"d");
    EXPECT_EQ(reader.ReadLanguageLine(u"Nope", u"Nope", u""), u"");
}

TEST(ReadLanguageLines, UnreadableFileRaises) {
    FakeFiles fs;
    fs.files[u"C:\\K\\Settings.ini"] = "[Main]\nLanguageFile=Locked.ini\n";
    EXPECT_THROW(TReadLanguageLines(u"C:\\K\\", 1252, fs.Reader()), Error);
}
