// Settings.ini and language files come from disk as they are: any bytes must
// parse, read back and be written again without a crash.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "localisation/IniFile.h"
#include "localisation/LineBreakMarkup.h"
#include "localisation/TextDecoding.h"
#include "settings/SettingsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto settings = kadrix::ParseSettingsFile(bytes);
    const auto values = kadrix::ReadSettings(settings, u"C:\\Kadrix\\");
    kadrix::WriteSettings(settings, values);
    const auto written = kadrix::SettingsFileBytes(settings);
    // What we write must read back to the same values.
    auto again = kadrix::ParseSettingsFile(written);
    const auto reread = kadrix::ReadSettings(again, u"C:\\Kadrix\\");
    if (reread.HotKey1 != values.HotKey1 || reread.FormatSaveInFile != values.FormatSaveInFile ||
        reread.SavePath != values.SavePath || reread.LanguageFile != values.LanguageFile) {
        __builtin_trap();
    }
    const auto language = kadrix::IniFile::Parse(kadrix::DecodeText(bytes, kadrix::NoBomEncoding::LegacyCodePage, 1251));
    for (const auto& section : language.Sections()) {
        for (const auto& line : section.Lines) kadrix::ReplaceLineBreakMarkup(line.Value);
    }
    return 0;
}
