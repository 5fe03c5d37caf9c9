#pragma once
// The About box: name, version, build date and home page.
#include <string>

#include "win32/Handles.h"
#include "win32/Window.h"

class TForm_About : public kadrix::win::Window {
public:
    // owner: the main window, so that the About box has no taskbar button of its own.
    void Create(HWND owner);
    void Show();
    void Close() { SendMessageW(Handle(), WM_CLOSE, 0, 0); }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    kadrix::win::Font font_;
    HWND Label_NameProgram = nullptr;
    HWND Label_DescriptionProgram = nullptr;
    HWND Button_Close = nullptr;
};
