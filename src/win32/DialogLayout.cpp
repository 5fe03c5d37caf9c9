#include "win32/DialogLayout.h"

#include <algorithm>
#include <string>

namespace kadrix::win {

namespace {

constexpr UINT kBaseDpi = 96;
// Check boxes and radio buttons: the box and the gap before the caption.
constexpr int kCheckBox = 13, kCheckGap = 6;
// Group boxes draw their caption this far in from the frame's left edge, and
// the frame needs as much again on the right to still show.
constexpr int kGroupCaptionInset = 9;

std::wstring ControlText(HWND control) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

SIZE TextExtent(HWND control, const std::wstring& text) {
    WindowDc dc(control);
    SelectObjectScope font(dc.Get(), reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

template <typename Fn>
Fn User32(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

}  // namespace

UINT WindowDpi(HWND hwnd) {
    static const auto getDpi = User32<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    const UINT dpi = (getDpi && hwnd) ? getDpi(hwnd) : kBaseDpi;
    return dpi ? dpi : kBaseDpi;
}

int ScaleTo(int value96, UINT dpi) { return MulDiv(value96, static_cast<int>(dpi), kBaseDpi); }

SIZE OuterSizeForClient(HWND hwnd, int clientWidth96, int clientHeight96, UINT dpi) {
    using AdjustFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = User32<AdjustFn>("AdjustWindowRectExForDpi");
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
    RECT rc{0, 0, ScaleTo(clientWidth96, dpi), ScaleTo(clientHeight96, dpi)};
    if (adjustForDpi) {
        adjustForDpi(&rc, style, FALSE, exStyle, dpi);
    } else {
        AdjustWindowRectEx(&rc, style, FALSE, exStyle);
    }
    return {rc.right - rc.left, rc.bottom - rc.top};
}

void SizeClientArea(HWND hwnd, int clientWidth96, int clientHeight96, UINT dpi) {
    constexpr UINT kFlags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
    const SIZE outer = OuterSizeForClient(hwnd, clientWidth96, clientHeight96, dpi);
    SetWindowPos(hwnd, nullptr, 0, 0, outer.cx, outer.cy, kFlags);
    // A frame drawn for another DPI than asked (a system that scales only
    // the client) leaves a difference; take it up.
    RECT client;
    GetClientRect(hwnd, &client);
    const int dx = ScaleTo(clientWidth96, dpi) - client.right;
    const int dy = ScaleTo(clientHeight96, dpi) - client.bottom;
    if (dx != 0 || dy != 0) SetWindowPos(hwnd, nullptr, 0, 0, outer.cx + dx, outer.cy + dy, kFlags);
}

int LineHeight(HWND control) { return TextExtent(control, L"Ag").cy; }

int CaptionWidth(HWND control, Fit fit, UINT dpi) {
    const int text = TextExtent(control, ControlText(control)).cx;
    switch (fit) {
    case Fit::Check:
        return ScaleTo(kCheckBox + kCheckGap, dpi) + text + ScaleTo(2, dpi);
    case Fit::Group:
        return text + 2 * ScaleTo(kGroupCaptionInset, dpi);
    case Fit::Label:
    case Fit::RightLabel:
        return text;
    case Fit::None:
        break;
    }
    return 0;
}

void LayOut(std::span<const ControlPlace> table, UINT dpi) {
    for (const ControlPlace& p : table) {
        HWND control = *p.Control;
        if (!control) continue;
        int width = ScaleTo(p.Width, dpi);
        int height = ScaleTo(p.Height, dpi);
        int x = ScaleTo(p.X, dpi);
        if (p.Sizing != Fit::None) width = std::max(width, CaptionWidth(control, p.Sizing, dpi));
        if (p.Sizing == Fit::Label || p.Sizing == Fit::RightLabel) height = std::max(height, LineHeight(control));
        if (p.Sizing == Fit::RightLabel) x -= width;
        SetWindowPos(control, nullptr, x, ScaleTo(p.Y, dpi), width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

Font UiFont(int height96, UINT dpi, bool bold, bool underline) {
    return Font(CreateFontW(-ScaleTo(height96, dpi), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, underline ? TRUE : FALSE,
                            FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                            DEFAULT_PITCH, L"Tahoma"));
}

void HeaderBand::Load(UINT dpi) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    picture_.Reset(static_cast<HBITMAP>(LoadImageW(instance, L"HEADER", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    BITMAP info{};
    if (picture_ && GetObjectW(picture_.Get(), sizeof info, &info)) pictureSize_ = {info.bmWidth, info.bmHeight};
    const int side = ScaleTo(48, dpi);
    icon_.Reset(static_cast<HICON>(LoadImageW(instance, L"MAINICON", IMAGE_ICON, side, side, 0)));
}

void HeaderBand::Paint(HDC dc, const RECT& band, const RECT& icon) const {
    if (picture_) {
        MemoryDc source(CreateCompatibleDC(dc));
        SelectObjectScope selected(source.Get(), picture_.Get());
        const int oldMode = SetStretchBltMode(dc, HALFTONE);
        POINT oldOrigin{};
        SetBrushOrgEx(dc, 0, 0, &oldOrigin);
        StretchBlt(dc, band.left, band.top, band.right - band.left, band.bottom - band.top, source.Get(), 0, 0,
                   pictureSize_.cx, pictureSize_.cy, SRCCOPY);
        SetBrushOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
        SetStretchBltMode(dc, oldMode);
    } else {
        FillRect(dc, &band, GetSysColorBrush(COLOR_ACTIVECAPTION));
    }
    if (icon_) {
        DrawIconEx(dc, icon.left, icon.top, icon_.Get(), icon.right - icon.left, icon.bottom - icon.top, 0, nullptr,
                   DI_NORMAL);
    }
}

RECT RectInRoot(HWND control) {
    RECT rc;
    GetWindowRect(control, &rc);
    MapWindowPoints(HWND_DESKTOP, GetAncestor(control, GA_ROOT), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

}  // namespace kadrix::win
