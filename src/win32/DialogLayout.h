#pragma once
// Laying out the settings window and the About box at any display scale:
// every control has one place in a table in 96-DPI units, scaled by the
// window's DPI at creation and again on WM_DPICHANGED. Controls whose caption
// decides their size grow to fit it, never below their table size.
#include <windows.h>

#include <span>

#include "win32/Handles.h"

namespace kadrix::win {

// The DPI the window is shown at; 96 where the system cannot tell.
UINT WindowDpi(HWND hwnd);
int ScaleTo(int value96, UINT dpi);

// The outer size of a top-level window whose client area is the given size
// at 96 DPI, for its style at this DPI.
SIZE OuterSizeForClient(HWND hwnd, int clientWidth96, int clientHeight96, UINT dpi);
// Sizes the window so that its client area is that size at dpi, whatever
// frame the system really draws.
void SizeClientArea(HWND hwnd, int clientWidth96, int clientHeight96, UINT dpi);

// How a control's size follows its caption.
enum class Fit {
    None,        // the table's size
    Label,       // a one-line label: exactly its text
    Check,       // check box or radio button: box, gap and text
    Group,       // group box: its caption on the frame
    RightLabel,  // a label sized to its text whose right edge stays at X
};

struct ControlPlace {
    HWND* Control;
    int X, Y, Width, Height;  // 96-DPI units, in the control's container
    Fit Sizing = Fit::None;
};

// The width in pixels a control needs for its caption in its own font, at dpi.
int CaptionWidth(HWND control, Fit fit, UINT dpi);
// The pixel height of a line of the control's font.
int LineHeight(HWND control);

// Places every control of the table for dpi.
void LayOut(std::span<const ControlPlace> table, UINT dpi);

// Tahoma at the given pixel height (at 96 DPI), scaled for dpi.
Font UiFont(int height96, UINT dpi, bool bold = false, bool underline = false);

// The header band both windows show: our artwork stretched across the band
// and the program's icon over it.
class HeaderBand {
public:
    void Load(UINT dpi);
    void Paint(HDC dc, const RECT& band, const RECT& icon) const;

private:
    Bitmap picture_;  // shared resource bitmap copied, so it can be deleted
    Icon icon_;
    SIZE pictureSize_{};
};

// Where a child window lies in its top-level window's client area.
RECT RectInRoot(HWND control);

}  // namespace kadrix::win
