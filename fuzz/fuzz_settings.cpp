// Settings.ini is rewritten whenever the settings window closes: whatever the
// file held, reading it, writing the values back and reading the written bytes
// again must give the same eleven values, and the rewrite must be stable.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "settings/SettingsFile.h"

namespace {

bool Same(const kadrix::SettingsValues& a, const kadrix::SettingsValues& b) {
    return a.AutoRun == b.AutoRun && a.ShowHint == b.ShowHint && a.ShowLine == b.ShowLine &&
           a.ShowSize == b.ShowSize && a.HotKey1 == b.HotKey1 && a.HotKey2 == b.HotKey2 &&
           a.LanguageFile == b.LanguageFile && a.SavePath == b.SavePath && a.SaveInFile == b.SaveInFile &&
           a.UploadOnServer == b.UploadOnServer && a.FormatSaveInFile == b.FormatSaveInFile;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    constexpr std::u16string_view exeDir = u"C:\\Kadrix\\";

    auto file = kadrix::ParseSettingsFile(bytes);
    const kadrix::SettingsValues values = kadrix::ReadSettings(file, exeDir);
    if (values.SavePath.empty()) __builtin_trap();
    if (values.HotKey1 != kadrix::kModifierAlt && values.HotKey1 != kadrix::kModifierCtrl &&
        values.HotKey1 != kadrix::kModifierShift) {
        __builtin_trap();
    }
    if (values.FormatSaveInFile < -1 || values.FormatSaveInFile > 1) __builtin_trap();

    kadrix::WriteSettings(file, values);
    const std::string written = kadrix::SettingsFileBytes(file);
    auto again = kadrix::ParseSettingsFile(written);
    const kadrix::SettingsValues reread = kadrix::ReadSettings(again, exeDir);
    if (!Same(values, reread)) __builtin_trap();

    // A second rewrite of what was written changes no byte.
    kadrix::WriteSettings(again, reread);
    if (kadrix::SettingsFileBytes(again) != written) __builtin_trap();
    return 0;
}
