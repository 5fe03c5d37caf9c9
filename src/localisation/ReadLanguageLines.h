#pragma once
// Reader of the current language file: it looks up which file Settings.ini
// names, parses that file once and answers single-text lookups. Created for
// one operation and dropped right after.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "localisation/IniFile.h"

namespace kadrix {

// Reads a whole file. Returns nothing when the file does not exist; throws
// kadrix::Error when it exists but cannot be read.
using ReadFileFn = std::function<std::optional<std::string>(const std::u16string& path)>;

inline constexpr std::u16string_view kSettingsFileName = u"Settings.ini";
inline constexpr std::u16string_view kLanguagesFolder = u"Languages\\";
inline constexpr std::u16string_view kDefaultLanguageFile = u"Russian.ini";

// Parses an INI file as the language reader does: byte order mark, else the
// legacy code page. A missing file is an empty one.
IniFile LoadLanguageIni(const std::u16string& path, unsigned codePage, const ReadFileFn& readFile);

class TReadLanguageLines {
public:
    // exeDir is the folder of the executable, ending with a backslash.
    TReadLanguageLines(std::u16string_view exeDir, unsigned codePage, const ReadFileFn& readFile);

    std::u16string ReadLanguageLine(std::u16string_view Section, std::u16string_view Parameter,
                                    std::u16string_view ParameterDefault) const;

private:
    IniFile LanguageIniFile;
};

}  // namespace kadrix
