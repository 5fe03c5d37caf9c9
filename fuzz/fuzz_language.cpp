// libFuzzer target: a language file is whatever lies in the Languages folder.
// Any bytes, as the settings file or as the language file it names, must be
// read and looked up without a crash.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "localisation/InterfaceTexts.h"
#include "localisation/ReadLanguageLines.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    // The first byte picks the code page used for files without a byte order mark.
    const unsigned codePage = size > 0 && (data[0] & 1) ? 1251 : 1252;

    const auto language = kadrix::LoadLanguageIni(u"L.ini", codePage, [&](const std::u16string&) {
        return std::optional<std::string>(bytes);
    });
    for (const kadrix::TextKey& key : kadrix::kInterfaceTexts) {
        (void)language.ReadString(key.Section, key.Key, u"");
    }
    for (size_t i = 0; i < static_cast<size_t>(kadrix::InterfaceText::Count); ++i) {
        (void)kadrix::ReadMessageText(language, static_cast<kadrix::InterfaceText>(i));
    }

    // The same bytes as Settings.ini, naming a language file that holds them too.
    const kadrix::TReadLanguageLines reader(u"C:\\Kadrix\\", codePage, [&](const std::u16string& path) {
        if (path.ends_with(u"Settings.ini") || path.starts_with(u"C:\\Kadrix\\Languages\\"))
            return std::optional<std::string>(bytes);
        return std::optional<std::string>();
    });
    (void)reader.ReadLanguageLine(u"ProgramAlreadyRunning", u"Text", u"");
    (void)reader.ReadLanguageLine(u"Main", u"Language", u"\u0420\u0443\u0441\u0441\u043a\u0438\u0439");
    return 0;
}
