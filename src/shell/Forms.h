#pragma once
// The program's three windows, created in their fixed order: the overlay
// first, so that it is the main window and exists before anything registers
// a hot key on it; the settings window last, because creating it acts on the
// other two. They are destroyed in the reverse order.
#include "about/About.h"
#include "overlay/Background.h"
#include "settings/SettingsProgram.h"

struct ProgramWindows {
    ProgramWindows() {
        Form_Background = &background;
        Form_About = &about;
        Form_SettingsProgram = &settings;
        background.Create();
        about.Create();
        settings.Create();
    }
    ~ProgramWindows() {
        settings.DestroyHandle();
        about.DestroyHandle();
        background.DestroyHandle();
        Form_SettingsProgram = nullptr;
        Form_About = nullptr;
        Form_Background = nullptr;
    }
    ProgramWindows(const ProgramWindows&) = delete;
    ProgramWindows& operator=(const ProgramWindows&) = delete;

    TForm_Background background;
    TForm_About about;
    TForm_SettingsProgram settings;
};
