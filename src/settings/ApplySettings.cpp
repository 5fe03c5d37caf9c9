// Makes the system follow the settings that act outside the program's own
// windows: the autorun entry, the screenshot hot key and its menu shortcut.
#include "core/Error.h"
#include "settings/SettingsProgram.h"
#include "settings/Shortcut.h"
#include "win32/ErrorHandler.h"
#include "win32/Handles.h"
#include "win32/WinText.h"

using namespace kadrix;
using namespace kadrix::win;

namespace {

constexpr wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kAutoRunValue[] = L"ProgramKadrix";

}  // namespace

void TForm_SettingsProgram::AutoRun(bool Flag, const std::wstring& NameParam, const std::wstring& Path) {
    HKEY raw = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_ALL_ACCESS, &raw);
    RegKey key(raw);
    if (Flag) {
        const auto bytes = static_cast<DWORD>((Path.size() + 1) * sizeof(wchar_t));
        if (!key || RegSetValueExW(key.Get(), NameParam.c_str(), 0, REG_SZ,
                                   reinterpret_cast<const BYTE*>(Path.c_str()), bytes) != ERROR_SUCCESS) {
            throw Error(FormatText(u"Failed to set data for '%s'", {U(NameParam)}));
        }
    } else if (key) {
        RegDeleteValueW(key.Get(), NameParam.c_str());
    }
}

void TForm_SettingsProgram::ApplySettings() {
    // Each part is applied whatever happened to the other: a refused autorun
    // value must not leave the program without its hot key.
    Guarded([this] {
        if (Current().AutoRun) {
            AutoRun(true, kAutoRunValue, ExePath());
        } else {
            AutoRun(false, kAutoRunValue, L"");
        }
    });
    const std::wstring shortcut = W(ShortcutText(GetHotKey1(), static_cast<char16_t>(GetHotKey2())));
    if (overlay_.SetScreenshotHotKey(static_cast<unsigned>(GetHotKey1()), static_cast<unsigned>(GetHotKey2()),
                                     shortcut)) {
        takenShortcutReported_.clear();
    } else if (shortcut != takenShortcutReported_) {
        // Said once per combination, not at every close of this window.
        takenShortcutReported_ = shortcut;
        ReportError(W(FormatText(u"The hot key %s is taken by another program, so it cannot take screenshots now. "
                                 u"Kadrix takes it as soon as that program lets it go; you can also choose another "
                                 u"key in the settings.",
                                 {U(shortcut)})));
    }
}
