#pragma once
// The other windows as the overlay's tray icon and menu reach them.
class WindowCommands {
public:
    // Shown without being modal; brought to the front when already shown.
    virtual void ShowSettings() = 0;
    virtual void ShowAbout() = 0;
    // Closes each of the two that is shown, through its own closing sequence.
    virtual void CloseSettingsAndAbout() = 0;

protected:
    ~WindowCommands() = default;
};
