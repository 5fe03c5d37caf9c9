#pragma once
// The program's three windows created in-process as start-up creates them,
// so Win32 tests can look at menus, controls and painting directly.
#include <memory>

#include "about/About.h"
#include "overlay/Background.h"
#include "settings/SettingsProgram.h"

struct Forms {
    Forms() {
        Form_Background = &background;
        Form_About = &about;
        Form_SettingsProgram = &settings;
        background.Create();
        about.Create();
        settings.Create();
    }
    ~Forms() {
        settings.DestroyHandle();
        about.DestroyHandle();
        background.DestroyHandle();
        Form_Background = nullptr;
        Form_About = nullptr;
        Form_SettingsProgram = nullptr;
    }
    TForm_Background background;
    TForm_About about;
    TForm_SettingsProgram settings;
};
