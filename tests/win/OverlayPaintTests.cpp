#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <vector>

#include "localisation/IniFile.h"
#include "overlay/HotKeys.h"
#include "shell/ProgramWindows.h"
#include "support/TempFolder.h"
#include "win32/Clock.h"

namespace {

// The overlay as it paints itself, through the same function WM_PAINT uses.
struct Snapshot {
    int width = 0;
    std::vector<DWORD> pixels;
    COLORREF At(int x, int y) const {
        const DWORD p = pixels[static_cast<size_t>(y) * width + x];
        return RGB((p >> 16) & 255, (p >> 8) & 255, p & 255);
    }
};

// A snapshot of the overlay's client area as draw(dc) puts it into a DIB.
Snapshot Capture(HWND overlay, const std::function<void(HDC)>& draw) {
    RECT rc;
    GetClientRect(overlay, &rc);
    Snapshot shot;
    shot.width = rc.right;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = rc.right;
    info.bmiHeader.biHeight = -rc.bottom;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    draw(dc);
    GdiFlush();
    const auto* p = static_cast<const DWORD*>(bits);
    shot.pixels.assign(p, p + static_cast<size_t>(rc.right) * rc.bottom);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return shot;
}

// The overlay as it paints itself, through the same function WM_PAINT uses.
Snapshot Paint(HWND overlay) {
    return Capture(overlay, [&](HDC dc) { SendMessageW(overlay, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT); });
}

// The overlay's own pixels as they stand on the window, strokes included.
Snapshot WindowSurface(HWND overlay) {
    return Capture(overlay, [&](HDC dc) {
        RECT rc;
        GetClientRect(overlay, &rc);
        HDC window = GetDC(overlay);
        BitBlt(dc, 0, 0, rc.right, rc.bottom, window, 0, 0, SRCCOPY);
        ReleaseDC(overlay, window);
    });
}

void Mouse(HWND overlay, UINT msg, int x, int y, WPARAM keys) {
    SetCursorPos(x, y);
    SendMessageW(overlay, msg, keys, MAKELPARAM(x, y));
}

constexpr COLORREF kWhite = RGB(255, 255, 255), kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0);

}  // namespace

TEST(OverlayPaint, TintGuideLinesFrameAndClearInside) {
    const testsupport::TempFolder folder;
    ProgramWindows windows(folder.Path());
    HWND overlay = windows.background.Handle();
    SetCursorPos(500, 400);
    SendMessageW(overlay, WM_HOTKEY, kadrix::kHotKeyScreenshot, 0);
    ASSERT_TRUE(windows.background.Visible());

    Snapshot open = Paint(overlay);
    const COLORREF tint = GetSysColor(COLOR_APPWORKSPACE);
    EXPECT_EQ(open.At(100, 700), tint);
    EXPECT_EQ(open.At(500, 700), kWhite) << "vertical guide line through the cursor";
    EXPECT_EQ(open.At(200, 400), kWhite) << "horizontal guide line through the cursor";
    EXPECT_EQ(open.At(501, 700), tint);

    // Drag from (300, 200) to (700, 600) and release.
    Mouse(overlay, WM_LBUTTONDOWN, 300, 200, MK_LBUTTON);
    Mouse(overlay, WM_MOUSEMOVE, 700, 600, MK_LBUTTON);
    Snapshot dragging = Paint(overlay);
    EXPECT_EQ(dragging.At(500, 200), kRed) << "top edge of the frame";
    EXPECT_EQ(dragging.At(300, 400), kRed) << "left edge";
    EXPECT_EQ(dragging.At(700, 400), kRed) << "right edge (inclusive)";
    EXPECT_EQ(dragging.At(500, 600), kRed) << "bottom edge (inclusive)";
    EXPECT_EQ(dragging.At(450, 350), kGreen) << "clear inside";
    EXPECT_EQ(dragging.At(250, 600), kWhite) << "the guide lines follow the cursor while dragging";

    Mouse(overlay, WM_LBUTTONUP, 700, 600, 0);
    Snapshot finished = Paint(overlay);
    EXPECT_EQ(finished.At(500, 200), kRed);
    EXPECT_EQ(finished.At(450, 350), kGreen);
    EXPECT_EQ(finished.At(100, 600), tint) << "guide lines hidden once the selection is finished";
    EXPECT_EQ(finished.At(700, 700), tint);
    SendMessageW(overlay, WM_HOTKEY, kadrix::kHotKeyEsc, 0);
    EXPECT_FALSE(windows.background.Visible());
}

namespace {

// The hint panel as it paints itself.
Snapshot PaintPanel(HWND overlay) {
    HWND panel = FindWindowExW(overlay, nullptr, L"TPanel_Hint", nullptr);
    return panel ? Paint(panel) : Snapshot{};
}

int RedIn(const Snapshot& shot, const RECT& area) {
    int red = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) red += shot.At(x, y) == kRed;
    }
    return red;
}

}  // namespace

TEST(OverlayPaint, HintBulletsAndKeyNamesAreRedDotsAndWords) {
    const testsupport::TempFolder folder;
    ProgramWindows windows(folder.Path());
    HWND overlay = windows.background.Handle();
    const auto language = kadrix::IniFile::Parse(
        u"[Hint]\nAllocateArea=Select an area\nDrawInArea=Hold Shift to draw\nEraseDrawn=Hold Ctrl to erase\n"
        u"SaveScreenshot=Press Enter to save\nCancelMakeScreenshot=Press Esc to cancel\n");
    // Switching twice must not stack anything up.
    windows.background.ApplyLanguage(language);
    windows.background.ApplyLanguage(language);
    SetCursorPos(5, 5);
    SendMessageW(overlay, WM_HOTKEY, kadrix::kHotKeyScreenshot, 0);
    ASSERT_TRUE(windows.background.Visible());
    const Snapshot shot = PaintPanel(overlay);
    ASSERT_GT(shot.width, 0);

    const auto& scene = windows.background.Scene();
    constexpr kadrix::PanelItem labels[5] = {kadrix::PanelItem::Hint1, kadrix::PanelItem::Hint2,
                                             kadrix::PanelItem::Hint3, kadrix::PanelItem::Hint4,
                                             kadrix::PanelItem::Hint5};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i + 1);
        const kadrix::Rect b = scene.Get(labels[i]).Bounds;
        // The bullet: the red pixels of the label's first cell form a filled
        // dot; an empty-box glyph would be an outline with a hollow middle.
        const int cell = scene.Metrics().HintFontHeight / 2;
        const RECT bulletCell{b.Left, b.Top, b.Left + cell, b.Top + scene.Metrics().HintFontHeight + 4};
        RECT red{LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};
        for (int y = bulletCell.top; y < bulletCell.bottom; ++y) {
            for (int x = bulletCell.left; x < bulletCell.right; ++x) {
                if (shot.At(x, y) != kRed) continue;
                red = RECT{std::min(red.left, static_cast<LONG>(x)), std::min(red.top, static_cast<LONG>(y)),
                           std::max(red.right, static_cast<LONG>(x)), std::max(red.bottom, static_cast<LONG>(y))};
            }
        }
        ASSERT_LE(red.left, red.right) << "no red bullet";
        EXPECT_EQ(shot.At((red.left + red.right) / 2, (red.top + red.bottom) / 2), kRed) << "the bullet is hollow";
        // The rest of the text is white, with the key name in red beyond the bullet.
        const RECT rest{b.Left + cell, b.Top, b.Left + b.Width, b.Top + b.Height};
        if (i == 0) {
            EXPECT_EQ(RedIn(shot, rest), 0) << "the first hint names no key";
        } else {
            EXPECT_GT(RedIn(shot, rest), 10) << "the key name is not red";
        }
    }
    SendMessageW(overlay, WM_HOTKEY, kadrix::kHotKeyEsc, 0);
}

namespace {

bool RedAround(const Snapshot& shot, int x, int y) { return RedIn(shot, RECT{x - 1, y - 1, x + 2, y + 2}) > 0; }

}  // namespace

// The drawing timer samples the cursor every few milliseconds while the
// window is put on screen at most once per display frame: every sampled
// point must still be joined to the next, however fast the hand moves.
TEST(OverlayPaint, AFastShiftDragJoinsEverySampledPointAndIsPresentedPerFrame) {
    const testsupport::TempFolder folder;
    ProgramWindows windows(folder.Path());
    HWND overlay = windows.background.Handle();
    SetCursorPos(100, 100);
    SendMessageW(overlay, WM_HOTKEY, kadrix::kHotKeyScreenshot, 0);
    ASSERT_TRUE(windows.background.Visible());
    Mouse(overlay, WM_LBUTTONDOWN, 100, 100, MK_LBUTTON);
    Mouse(overlay, WM_MOUSEMOVE, 900, 700, MK_LBUTTON);
    Mouse(overlay, WM_LBUTTONUP, 900, 700, 0);
    ASSERT_EQ(windows.background.Scene().ScreenRegion().State, kadrix::srFinished);

    // A zigzag of far-apart samples: a lost one would cut a corner.
    std::vector<POINT> samples;
    for (int i = 0; i <= 40; ++i) samples.push_back({150 + i * 18, (i % 2) ? 250 : 600});
    SendMessageW(overlay, WM_KEYDOWN, VK_SHIFT, 0);
    const auto presentsBefore = windows.background.Painted().Presents;
    const double start = kadrix::win::NowMs();
    for (const POINT& p : samples) {
        SetCursorPos(p.x, p.y);
        SendMessageW(overlay, WM_TIMER, TForm_Background::kTimerDrawing, 0);
    }
    const double elapsed = kadrix::win::NowMs() - start;
    const auto presents = windows.background.Painted().Presents - presentsBefore;
    SendMessageW(overlay, WM_KEYUP, VK_SHIFT, 0);
    // A frame is about 16 ms; however long the loop took, no more presents
    // than frames it spanned, plus the one at its start.
    EXPECT_LE(presents, static_cast<unsigned long long>(elapsed / 16.0) + 2) << elapsed << " ms";

    // The last samples go out at the next frame.
    const POINT last = samples.back();
    Snapshot shot;
    const auto deadline = kadrix::win::NowMs() + 5000;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        shot = WindowSurface(overlay);
    } while (!RedAround(shot, last.x, last.y) && kadrix::win::NowMs() < deadline);
    for (size_t i = 0; i + 1 < samples.size(); ++i) {
        const POINT a = samples[i], b = samples[i + 1];
        EXPECT_TRUE(RedAround(shot, a.x, a.y)) << "sample " << i;
        EXPECT_TRUE(RedAround(shot, (a.x + b.x) / 2, (a.y + b.y) / 2)) << "segment " << i << " to " << i + 1;
    }
    EXPECT_TRUE(RedAround(shot, last.x, last.y));
    SendMessageW(overlay, WM_HOTKEY, kadrix::kHotKeyEsc, 0);
}
