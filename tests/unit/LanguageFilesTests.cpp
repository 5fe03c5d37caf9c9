// The installed language files must each carry the whole vocabulary the
// program reads, as UTF-8 with a byte order mark and CR LF line ends, and each
// must have its flag.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "core/Error.h"
#include "core/Utf.h"
#include "image/Png.h"
#include "localisation/IniFile.h"
#include "localisation/InterfaceTexts.h"
#include "localisation/TextDecoding.h"

namespace {

std::filesystem::path LanguagesFolder() {
#ifdef _WIN32
    return std::filesystem::path(std::string("Z:") + KADRIX_SOURCE_DIR + "/Languages");
#else
    return std::filesystem::path(std::string(KADRIX_SOURCE_DIR) + "/Languages");
#endif
}

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ReadLanguageFile(const std::string& name) { return ReadBytes(LanguagesFolder() / name); }

// Every "*.ini" file the program would offer, as the catalogue finds them.
std::vector<std::string> ShippedLanguageFiles() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(LanguagesFolder())) {
        if (entry.is_regular_file() && entry.path().extension() == ".ini") names.push_back(entry.path().filename().string());
    }
    return names;
}

// The vocabulary the program reads, from the table the windows use.
std::set<std::pair<std::string, std::string>> Vocabulary() {
    std::set<std::pair<std::string, std::string>> all;
    for (const kadrix::TextKey& key : kadrix::kInterfaceTexts) {
        all.emplace(kadrix::Utf16ToUtf8(key.Section), kadrix::Utf16ToUtf8(key.Key));
    }
    return all;
}

}  // namespace

TEST(LanguageFiles, TheSixLanguagesAreShipped) {
    const std::vector<std::string> names = ShippedLanguageFiles();
    const std::set<std::string> shipped(names.begin(), names.end());
    for (const char* name : {"Russian.ini", "English.ini", "German.ini", "Ukrainian.ini", "Spanish.ini", "French.ini"}) {
        EXPECT_TRUE(shipped.count(name)) << name;
    }
}

// The flag is the file's name with ".png" for ".ini", in Flags; at least the
// 24 x 20 of the picker's cell, so it is only ever scaled down.
TEST(LanguageFiles, EachHasItsFlag) {
    for (const std::string& name : ShippedLanguageFiles()) {
        SCOPED_TRACE(name);
        const auto flag = LanguagesFolder() / "Flags" / (name.substr(0, name.size() - 4) + ".png");
        ASSERT_TRUE(std::filesystem::is_regular_file(flag));
        try {
            const kadrix::Image32 image = kadrix::DecodePng(ReadBytes(flag));
            EXPECT_GE(image.Width, 24);
            EXPECT_GE(image.Height, 20);
        } catch (const kadrix::Error& e) {
            ADD_FAILURE() << kadrix::Utf16ToUtf8(e.Message());
        }
    }
}

TEST(LanguageFiles, CarryTheWholeVocabulary) {
    ASSERT_EQ(Vocabulary().size(), kadrix::kInterfaceTexts.size()) << "a section and key listed twice";
    const std::vector<std::string> names = ShippedLanguageFiles();
    ASSERT_FALSE(names.empty());
    std::set<std::u16string> displayNames;
    for (const std::string& name : names) {
        const std::string bytes = ReadLanguageFile(name);
        ASSERT_TRUE(bytes.starts_with("\xEF\xBB\xBF")) << name;
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\n') {
                ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << name << " has a bare LF";
            }
        }
        const auto ini = kadrix::IniFile::Parse(kadrix::DecodeText(bytes, kadrix::NoBomEncoding::Utf8, 0));
        std::set<std::pair<std::string, std::string>> found;
        for (const auto& section : ini.Sections()) {
            for (const auto& line : section.Lines) {
                ASSERT_TRUE(line.IsEntry) << name;
                const auto key = std::make_pair(kadrix::Utf16ToUtf8(section.Name), kadrix::Utf16ToUtf8(line.Key));
                EXPECT_TRUE(found.insert(key).second) << name << ": " << key.first << "/" << key.second << " twice";
                EXPECT_FALSE(line.Value.empty()) << name << ": " << key.first << "/" << key.second << " is empty";
            }
        }
        EXPECT_EQ(found, Vocabulary()) << name;
        // Two languages with one name could not be told apart in the picker.
        EXPECT_TRUE(displayNames.insert(ini.ReadString(u"Main", u"Language", u"")).second) << name;
        // The hints name the keys that the hint panel shows in red.
        EXPECT_NE(ini.ReadString(u"Hint", u"DrawInArea", u"").find(u"Shift"), std::u16string::npos) << name;
        EXPECT_NE(ini.ReadString(u"Hint", u"EraseDrawn", u"").find(u"Ctrl"), std::u16string::npos) << name;
        EXPECT_NE(ini.ReadString(u"Hint", u"SaveScreenshot", u"").find(u"Enter"), std::u16string::npos) << name;
        // With no upload service set, the text must say where to set one.
        const auto noHost = ini.ReadString(u"UploadScreenshotOnServer", u"NoHost", u"");
        for (const std::u16string_view part : {u"Settings.ini", u"</br>[Upload]</br>Host="}) {
            EXPECT_NE(noHost.find(part), std::u16string::npos) << name << " NoHost lacks " << kadrix::Utf16ToUtf8(part);
        }
        EXPECT_NE(ini.ReadString(u"Hint", u"CancelMakeScreenshot", u"").find(u"Esc"), std::u16string::npos) << name;
        // The message texts keep their line breaks.
        for (const auto text : {kadrix::InterfaceText::ProgramAlreadyRunning_Text, kadrix::InterfaceText::CopyClipboardLastURL_Text,
                                kadrix::InterfaceText::CopyClipboardLastScreenshot_Text}) {
            EXPECT_NE(kadrix::ReadMessageText(ini, text).find(u"\r\n"), std::u16string::npos)
                << name << ": " << kadrix::Utf16ToUtf8(kadrix::KeyOf(text).Section);
        }
    }
}
