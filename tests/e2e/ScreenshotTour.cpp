// Not a test: the pictures of the settings window (both pages) and the About
// box for the README. Disabled; scripts/screenshots runs it with
// KADRIX_SCREENSHOT_DIR set and turns the bitmaps into PNG files.
#include <gtest/gtest.h>

#include <string>

#include "e2e/E2e.h"
#include "support/WindowTree.h"
#include "image/Bmp.h"
#include "image/Image24.h"

using namespace e2e;

namespace {

using testsupport::Text;

HWND ChildByClassOrText(HWND window, const wchar_t* cls, const wchar_t* text) {
    struct Search {
        const wchar_t* cls;
        const wchar_t* text;
        HWND found = nullptr;
    } search{cls, text};
    EnumChildWindows(
        window,
        [](HWND child, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            wchar_t name[64] = {};
            GetClassNameW(child, name, 64);
            if ((s->cls && lstrcmpiW(name, s->cls) == 0) || (s->text && Text(child) == s->text)) {
                s->found = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Waits until the window has handled everything queued, its painting included.
void Settle(HWND window) {
    for (int i = 0; i < 3; ++i) {
        DWORD_PTR ignored;
        SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 2000, &ignored);
    }
}

// True once the header band shows: its middle is neither black nor the face colour.
bool HeaderPainted(HWND window) {
    POINT p{300, 20};
    ClientToScreen(window, &p);
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, p.x, p.y);
    ReleaseDC(nullptr, screen);
    return c != RGB(0, 0, 0) && c != GetSysColor(COLOR_BTNFACE) && c != CLR_INVALID;
}

// The window as the screen shows it, title bar included, as a BMP file.
void Snap(HWND window, const std::wstring& dir, const wchar_t* name) {
    // Everything painted anew, children included, before the picture.
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Settle(window);
    WaitFor([&] { return HeaderPainted(window); });
    RECT rc;
    GetWindowRect(window, &rc);
    const int width = rc.right - rc.left, height = rc.bottom - rc.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rc.left, rc.top, SRCCOPY);
    GdiFlush();
    const kadrix::ConstImageView24 view{static_cast<const std::uint8_t*>(bits), width, height,
                                        kadrix::Stride24(width)};
    WriteFile(dir + name, kadrix::EncodeBmp(view));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

TEST(Screenshots, DISABLED_SettingsAndAbout) {
    wchar_t dir[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"KADRIX_SCREENSHOT_DIR", dir, MAX_PATH), 0u);
    const std::wstring out = std::wstring(dir) + L"\\";
    Kadrix k;
    k.WriteSettings("[Main]\r\nShowHint=0\r\n");
    k.StartAndWaitReady();

    ClickMenuRow(OpenTrayMenu(), "i-ii-iii", 5);
    HWND settings = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (settings = Kadrix::FindProcessWindow(k.Pid(), L"TForm_SettingsProgram", true)); }));
    Snap(settings, out, L"settings-program.bmp");
    // The second page: focus the tabs with a click on the first, then Right.
    HWND tabs = ChildByClassOrText(settings, L"SysTabControl32", nullptr);
    ASSERT_NE(tabs, nullptr);
    RECT rc;
    GetWindowRect(tabs, &rc);
    LeftClick(rc.left + 20, rc.top + 8);
    Press(VK_RIGHT);
    HWND path = ChildByClassOrText(settings, nullptr, L"...");
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(path) != FALSE; }));
    Snap(settings, out, L"settings-screenshot.bmp");
    Press(VK_ESCAPE);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(settings); }));

    ClickMenuRow(OpenTrayMenu(), "i-ii-iii", 6);
    HWND about = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (about = Kadrix::FindProcessWindow(k.Pid(), L"TForm_About", true)); }));
    Snap(about, out, L"about.bmp");
}

}  // namespace
