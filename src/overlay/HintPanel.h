#pragma once
// The hint panel: a real child window of the overlay, so that it lies above
// every item the overlay paints. Its mouse events go to the overlay's handlers
// as the scene routes them. The bullet and the key names of the hints are
// drawn in red exactly over the words, from one layout of the lines.
#include <array>
#include <string>

#include "localisation/LabelColor.h"
#include "win32/Handles.h"
#include "win32/Window.h"

class TForm_Background;

class THintPanel : public kadrix::win::Window {
public:
    void Create(TForm_Background* owner);
    // The five hint texts, each after the bullet "⦁ ". Texts set before the
    // panel is made are kept.
    void SetHints(const std::array<std::wstring, 5>& texts);
    const std::u16string& Hint(size_t i) const { return hints_[i]; }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void Paint(HDC dc, const RECT& clip);
    // The hint font for the scene's size, and the bullet character it can draw.
    void EnsureFont(HDC dc, int height);
    void Recolor();

    TForm_Background* owner_ = nullptr;
    std::array<std::u16string, 5> hints_;
    std::array<kadrix::LabelColor, 5> colors_;
    kadrix::win::Font font_;
    int fontHeight_ = 0;
    char16_t bullet_ = u'\u2981';
};
