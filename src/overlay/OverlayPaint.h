#pragma once
// Colours and small painting helpers shared by the overlay and its hint panel.
#include <windows.h>

#include "overlay/OverlayScene.h"

inline constexpr COLORREF kTransparentColor = RGB(0, 255, 0);
inline constexpr COLORREF kRed = RGB(255, 0, 0);
inline constexpr COLORREF kWhite = RGB(255, 255, 255);
inline constexpr COLORREF kBlack = RGB(0, 0, 0);

// An overlay rectangle as the Windows API takes it (right and bottom exclusive).
inline RECT ToRECT(const kadrix::Rect& r) { return RECT{r.Left, r.Top, r.Right(), r.Bottom()}; }
inline kadrix::Rect FromRECT(const RECT& r) { return {r.left, r.top, r.right - r.left, r.bottom - r.top}; }

inline void FillSolid(HDC dc, const RECT& rc, COLORREF color) {
    SetBkColor(dc, color);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
}

// The mouse messages that the overlay and its hint panel route to the handlers.
inline bool IsRoutedMouseMessage(UINT msg) {
    switch (msg) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        return true;
    default:
        return false;
    }
}
