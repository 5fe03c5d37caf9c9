#pragma once
// The eleven settings as Settings.ini holds them: their defaults, how a value
// in the file is read, and the order in which they are written back.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "localisation/IniFile.h"

namespace kadrix {

inline constexpr int32_t kModifierAlt = 1;
inline constexpr int32_t kModifierCtrl = 2;
inline constexpr int32_t kModifierShift = 4;

struct SettingsValues {
    bool AutoRun = false;
    bool ShowHint = true;
    bool ShowLine = true;
    bool ShowSize = true;
    int32_t HotKey1 = kModifierCtrl;   // always 1, 2 or 4
    char16_t HotKey2 = u'P';           // the one character of the hot-key edit
    std::u16string LanguageFile = u"Russian.ini";
    std::u16string SavePath;
    bool SaveInFile = true;
    bool UploadOnServer = true;
    int32_t FormatSaveInFile = 0;      // 0 JPEG, 1 BMP, -1 none selected
};

// Decimal with an optional sign, or hexadecimal after "0x" or "$" (up to eight
// digits, read as the 32-bit pattern). Anything else, overflow included, is no integer.
std::optional<int32_t> ParseInteger(std::u16string_view text);

// Reads the settings from a parsed Settings.ini, with the defaults for missing
// or malformed values. An empty SavePath is replaced by exeDir, in the result
// and in the file content, which the caller then writes back.
SettingsValues ReadSettings(IniFile& file, std::u16string_view exeDir);

// Stores the values into the file content in the order of a new file.
void WriteSettings(IniFile& file, const SettingsValues& values);

// The bytes of Settings.ini for the content: UTF-8 with byte order mark, CR LF.
std::string SettingsFileBytes(const IniFile& file);

// Parses the bytes of Settings.ini: byte order mark, else UTF-8.
IniFile ParseSettingsFile(std::string_view bytes);

}  // namespace kadrix
