#pragma once
// The hint panel: a real child window of the overlay, so that it lies above
// every item the overlay paints. Its mouse events go to the overlay's handlers
// as the scene routes them.
#include <array>
#include <string>

#include "win32/Window.h"

class TForm_Background;

class THintPanel : public kadrix::win::Window {
public:
    void Create(TForm_Background* owner);
    void SetHints(const std::array<std::wstring, 5>& texts);

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void Paint(HDC dc, const RECT& clip);
    TForm_Background* owner_ = nullptr;
    std::array<std::wstring, 5> hints_;
};
