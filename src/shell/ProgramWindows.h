#pragma once
// The program's three windows, created in their fixed order: the overlay
// first, so that it is the main window and exists before anything registers
// a hot key on it; then the settings are read and applied and the tray icon
// shows; then the About box and, last, the settings window, because making it
// puts the texts on the About box. They are destroyed in the reverse order.
// The windows reach each other only through the narrow interfaces this
// object hands them.
#include <string>

#include "about/About.h"
#include "overlay/Background.h"
#include "overlay/WindowCommands.h"
#include "settings/SettingsProgram.h"

class ProgramWindows : private WindowCommands {
public:
    // appFolder holds Settings.ini and Languages, and ends with a backslash.
    explicit ProgramWindows(const std::wstring& appFolder);
    ~ProgramWindows();
    ProgramWindows(const ProgramWindows&) = delete;
    ProgramWindows& operator=(const ProgramWindows&) = delete;

    // The message loop, until the main window closes. Errors raised by the
    // handlers are shown here, between two messages, one box at a time.
    int Run();

    TForm_Background background;
    TForm_About about;
    TForm_SettingsProgram settings;

private:
    void ShowSettings() override;
    void ShowAbout() override;
    void CloseSettingsAndAbout() override;
};

// Creates the windows and runs the message loop. A start-up that cannot
// create its windows shows one box saying why and returns non-zero.
int RunProgram(const std::wstring& appFolder) noexcept;
