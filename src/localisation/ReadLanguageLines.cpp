#include "localisation/ReadLanguageLines.h"

#include "localisation/TextDecoding.h"

namespace kadrix {

IniFile LoadLanguageIni(const std::u16string& path, unsigned codePage, const ReadFileFn& readFile) {
    const auto bytes = readFile(path);
    if (!bytes) return {};
    return IniFile::Parse(DecodeText(*bytes, NoBomEncoding::LegacyCodePage, codePage));
}

TReadLanguageLines::TReadLanguageLines(std::u16string_view exeDir, unsigned codePage, const ReadFileFn& readFile) {
    std::u16string languageFile;
    {
        const auto settings = LoadLanguageIni(std::u16string(exeDir) + std::u16string(kSettingsFileName), codePage, readFile);
        languageFile = settings.ReadString(u"Main", u"LanguageFile", kDefaultLanguageFile);
    }
    LanguageIniFile = LoadLanguageIni(std::u16string(exeDir) + std::u16string(kLanguagesFolder) + languageFile,
                                      codePage, readFile);
}

std::u16string TReadLanguageLines::ReadLanguageLine(std::u16string_view Section, std::u16string_view Parameter,
                                                    std::u16string_view ParameterDefault) const {
    return LanguageIniFile.ReadString(Section, Parameter, ParameterDefault);
}

}  // namespace kadrix
