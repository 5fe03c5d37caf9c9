#pragma once
// What the settings side drives on the overlay: the screenshot hot key, the
// tray menu's shortcut text and the overlay's texts. The overlay implements it.
#include <string>

namespace kadrix {
class IniFile;
}

class ScreenshotKeyAndTexts {
public:
    // Registers the screenshot hot key in place of the previous one and shows
    // its shortcut text in the tray menu. False when the system refused it
    // (another program holds the combination): then the menu shows no
    // shortcut, and the overlay tries again each time the tray menu opens.
    virtual bool SetScreenshotHotKey(unsigned modifiers, unsigned key, const std::wstring& shortcut) = 0;
    virtual void UnregisterScreenshotHotKey() = 0;
    virtual void ApplyLanguage(const kadrix::IniFile& language) = 0;

protected:
    ~ScreenshotKeyAndTexts() = default;
};
