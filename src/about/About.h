#pragma once
// The About box: name, version, build date and home page.
#include <string>

#include "win32/Window.h"

class TForm_About : public kadrix::win::Window {
public:
    void Create();
    void Show();
    void Close() { SendMessageW(Handle(), WM_CLOSE, 0, 0); }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    HFONT font_ = nullptr;
    HWND Label_NameProgram = nullptr;
    HWND Label_DescriptionProgram = nullptr;
    HWND Button_Close = nullptr;
};

extern TForm_About* Form_About;
