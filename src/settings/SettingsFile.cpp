#include "settings/SettingsFile.h"

#include "core/Utf.h"
#include "localisation/TextDecoding.h"

namespace kadrix {

namespace {

constexpr std::u16string_view kMain = u"Main";
constexpr std::u16string_view kScreenshot = u"Screenshot";

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

int32_t ReadInteger(const IniFile& file, std::u16string_view section, std::u16string_view key, int32_t fallback) {
    const auto* value = file.Find(section, key);
    if (!value) return fallback;
    return ParseInteger(*value).value_or(fallback);
}

bool ReadBool(const IniFile& file, std::u16string_view section, std::u16string_view key, bool fallback) {
    return ReadInteger(file, section, key, fallback ? 1 : 0) != 0;
}

std::u16string Decimal(int32_t value) { return AsciiToUtf16(std::to_string(value)); }

}  // namespace

std::optional<int32_t> ParseInteger(std::u16string_view text) {
    bool negative = false;
    if (!text.empty() && (text[0] == u'-' || text[0] == u'+')) {
        negative = text[0] == u'-';
        text.remove_prefix(1);
    }
    int64_t magnitude = 0;
    if (text.starts_with(u"$") || text.starts_with(u"0x") || text.starts_with(u"0X")) {
        text.remove_prefix(text[0] == u'$' ? 1 : 2);
        if (text.empty() || text.size() > 8) return std::nullopt;
        for (char16_t c : text) {
            const int digit = HexDigit(c);
            if (digit < 0) return std::nullopt;
            magnitude = magnitude * 16 + digit;
        }
        auto pattern = static_cast<uint32_t>(magnitude);
        if (negative) pattern = 0u - pattern;
        return static_cast<int32_t>(pattern);
    }
    if (text.empty() || text.size() > 10) return std::nullopt;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') return std::nullopt;
        magnitude = magnitude * 10 + (c - u'0');
    }
    if (negative) magnitude = -magnitude;
    if (magnitude < INT32_MIN || magnitude > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(magnitude);
}

SettingsValues ReadSettings(IniFile& file, std::u16string_view exeDir) {
    SettingsValues v;
    v.AutoRun = ReadBool(file, kMain, u"AutoRun", false);
    v.ShowHint = ReadBool(file, kMain, u"ShowHint", true);
    v.ShowLine = ReadBool(file, kMain, u"ShowLine", true);
    v.ShowSize = ReadBool(file, kMain, u"ShowSize", true);
    const int32_t modifier = ReadInteger(file, kMain, u"HotKey1", kModifierCtrl);
    v.HotKey1 = (modifier == kModifierAlt || modifier == kModifierShift) ? modifier : kModifierCtrl;
    v.HotKey2 = static_cast<char16_t>(ReadInteger(file, kMain, u"HotKey2", 80) & 0xFFFF);
    v.LanguageFile = file.ReadString(kMain, u"LanguageFile", u"Russian.ini");
    v.SavePath = file.ReadString(kScreenshot, u"SavePath", exeDir);
    if (v.SavePath.empty()) {
        v.SavePath = exeDir;
        file.WriteString(kScreenshot, u"SavePath", exeDir);
    }
    v.SaveInFile = ReadBool(file, kScreenshot, u"SaveInFile", true);
    v.UploadOnServer = ReadBool(file, kScreenshot, u"UploadOnServer", true);
    const int32_t format = ReadInteger(file, kScreenshot, u"FormatSaveInFile", 0);
    v.FormatSaveInFile = format < -1 ? -1 : (format > 1 ? 1 : format);
    return v;
}

void WriteSettings(IniFile& file, const SettingsValues& v) {
    auto flag = [](bool b) { return b ? u"1" : u"0"; };
    file.WriteString(kMain, u"AutoRun", flag(v.AutoRun));
    file.WriteString(kMain, u"ShowHint", flag(v.ShowHint));
    file.WriteString(kMain, u"ShowLine", flag(v.ShowLine));
    file.WriteString(kMain, u"ShowSize", flag(v.ShowSize));
    file.WriteString(kMain, u"HotKey1", Decimal(v.HotKey1));
    file.WriteString(kMain, u"HotKey2", Decimal(v.HotKey2));
    file.WriteString(kMain, u"LanguageFile", v.LanguageFile);
    file.WriteString(kScreenshot, u"SavePath", v.SavePath);
    file.WriteString(kScreenshot, u"SaveInFile", flag(v.SaveInFile));
    file.WriteString(kScreenshot, u"UploadOnServer", flag(v.UploadOnServer));
    file.WriteString(kScreenshot, u"FormatSaveInFile", Decimal(v.FormatSaveInFile));
}

std::string SettingsFileBytes(const IniFile& file) {
    return std::string(kUtf8Bom) + Utf16ToUtf8(file.Serialize());
}

IniFile ParseSettingsFile(std::string_view bytes) {
    return IniFile::Parse(DecodeText(bytes, NoBomEncoding::Utf8, 0));
}

}  // namespace kadrix
