// The installed language files must each carry the whole vocabulary the
// program reads, as UTF-8 with a byte order mark and CR LF line ends.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "core/Utf.h"
#include "localisation/IniFile.h"
#include "localisation/InterfaceTexts.h"
#include "localisation/TextDecoding.h"

namespace {

std::string ReadLanguageFile(const std::string& name) {
#ifdef _WIN32
    const std::string path = std::string("Z:") + KADRIX_SOURCE_DIR + "/Languages/" + name;
#else
    const std::string path = std::string(KADRIX_SOURCE_DIR) + "/Languages/" + name;
#endif
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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

TEST(LanguageFiles, CarryTheWholeVocabulary) {
    ASSERT_EQ(Vocabulary().size(), kadrix::kInterfaceTexts.size()) << "a section and key listed twice";
    for (const char* name : {"Russian.ini", "English.ini"}) {
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
    }
}
