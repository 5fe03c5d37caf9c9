// Not a test: the pictures for the README (the overlay with a selection and
// strokes, the hint panel, the tray menu, the settings window's pages and the
// About box). Disabled; scripts/screenshots runs it with KADRIX_SCREENSHOT_DIR
// set, on a display with a compositor, and turns the bitmaps into PNG files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

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

std::wstring OutputDir() {
    wchar_t dir[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"KADRIX_SCREENSHOT_DIR", dir, MAX_PATH) == 0) return {};
    return std::wstring(dir) + L"\\";
}

// The display's framebuffer as the compositor left it (Xvfb -fbdir keeps it
// in an XWD file named by KADRIX_FRAMEBUFFER). Reading the screen through X
// gives each window's own pixels instead, unblended: no tint would show.
struct Framebuffer {
    int width = 0, height = 0;
    std::vector<std::uint8_t> bgr;  // 3 bytes a pixel, rows top-down

    COLORREF At(int x, int y) const {
        if (x < 0 || y < 0 || x >= width || y >= height) return CLR_INVALID;
        const std::uint8_t* p = &bgr[(static_cast<size_t>(y) * width + x) * 3];
        return RGB(p[2], p[1], p[0]);
    }
};

std::optional<Framebuffer> ReadFramebuffer() {
    wchar_t path[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"KADRIX_FRAMEBUFFER", path, MAX_PATH) == 0) return std::nullopt;
    const std::string xwd = ReadFile(path);
    auto field = [&](int i) -> std::uint32_t {
        const auto* b = reinterpret_cast<const std::uint8_t*>(xwd.data()) + i * 4;
        return (std::uint32_t{b[0]} << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
    };
    if (xwd.size() < 100) return std::nullopt;
    const std::uint32_t headerSize = field(0), width = field(4), height = field(5), byteOrder = field(7),
                        bitsPerPixel = field(11), bytesPerLine = field(12), colours = field(19);
    const size_t start = headerSize + size_t{colours} * 12;
    if (bitsPerPixel != 32 || byteOrder != 0 || start + size_t{bytesPerLine} * height > xwd.size()) return std::nullopt;
    Framebuffer fb{static_cast<int>(width), static_cast<int>(height), {}};
    fb.bgr.resize(size_t{width} * height * 3);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const char* px = xwd.data() + start + size_t{y} * bytesPerLine + x * 4;
            std::memcpy(&fb.bgr[(size_t{y} * width + x) * 3], px, 3);
        }
    }
    return fb;
}

// Waits until the screen shows what shown() looks for; from the framebuffer
// when there is one.
void WaitUntilShown(const std::function<bool(const Framebuffer&)>& shown, const std::string& what) {
    if (!GetEnvironmentVariableW(L"KADRIX_FRAMEBUFFER", nullptr, 0)) return;
    if (WaitFor([&] {
            const auto fb = ReadFramebuffer();
            return fb && shown(*fb);
        })) {
        return;
    }
    // What the screen showed instead, for whoever looks into it.
    if (const auto fb = ReadFramebuffer()) {
        WriteFile(OutputDir() + L"unfinished.bmp", kadrix::EncodeBmp({fb->bgr.data(), fb->width, fb->height, fb->width * 3}));
    }
    Require(false, "the screen did not show " + what + " (unfinished.bmp has what it showed)");
}

// An area of the screen as it is shown, as a BMP file.
void SnapScreen(RECT rc, const std::wstring& dir, const wchar_t* name) {
    const auto fb = ReadFramebuffer();
    if (fb) {
        const RECT screen{0, 0, fb->width, fb->height};
        IntersectRect(&rc, &rc, &screen);
    }
    const int width = rc.right - rc.left, height = rc.bottom - rc.top;
    if (fb) {
        std::vector<std::uint8_t> pixels(static_cast<size_t>(kadrix::Stride24(width)) * height);
        for (int y = 0; y < height; ++y) {
            std::memcpy(&pixels[static_cast<size_t>(y) * kadrix::Stride24(width)],
                        &fb->bgr[(static_cast<size_t>(rc.top + y) * fb->width + rc.left) * 3],
                        static_cast<size_t>(width) * 3);
        }
        WriteFile(dir + name, kadrix::EncodeBmp({pixels.data(), width, height, kadrix::Stride24(width)}));
        return;
    }
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

// The window as the screen shows it, title bar included, as a BMP file.
void Snap(HWND window, const std::wstring& dir, const wchar_t* name) {
    // Everything painted anew, children included, before the picture.
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Settle(window);
    WaitFor([&] { return HeaderPainted(window); });
    RECT rc;
    GetWindowRect(window, &rc);
    POINT header{300, 20};
    ClientToScreen(window, &header);
    HDC screen = GetDC(nullptr);
    const COLORREF painted = GetPixel(screen, header.x, header.y);
    ReleaseDC(nullptr, screen);
    WaitUntilShown([&](const Framebuffer& fb) { return fb.At(header.x, header.y) == painted; }, "the window");
    SnapScreen(rc, dir, name);
}


// True once the overlay has faded in to its full opacity; alpha is that opacity.
bool FadedIn(HWND overlay, BYTE& alpha) {
    DWORD flags = 0;
    return GetLayeredWindowAttributes(overlay, nullptr, &alpha, &flags) && (flags & LWA_ALPHA) && alpha >= 150;
}

// A desktop to capture from: a blue gradient with a white page of text on it.
constexpr RECT kPage{360, 230, 960, 610};

COLORREF Desktop(int y, int height) {
    return RGB(30 + 60 * y / height, 80 + 70 * y / height, 150 + 70 * y / height);
}

void PaintDesktop(HDC dc, int width, int height) {
    for (int y = 0; y < height; ++y) {
        HBRUSH brush = CreateSolidBrush(Desktop(y, height));
        const RECT row{0, y, width, y + 1};
        FillRect(dc, &row, brush);
        DeleteObject(brush);
    }
    FillRect(dc, &kPage, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    HFONT title = CreateFontW(-28, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, CLEARTYPE_QUALITY, 0, L"Tahoma");
    HFONT body = CreateFontW(-16, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, CLEARTYPE_QUALITY, 0, L"Tahoma");
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(40, 40, 40));
    HGDIOBJ old = SelectObject(dc, title);
    TextOutW(dc, kPage.left + 30, kPage.top + 30, L"Quarterly figures", 17);
    SelectObject(dc, body);
    const wchar_t* lines[] = {L"Sales rose in every region this quarter.", L"The north grew fastest: 18 per cent.",
                              L"Returns fell to their lowest in two years.", L"Next: the new shop opens in March."};
    for (int i = 0; i < 4; ++i) TextOutW(dc, kPage.left + 30, kPage.top + 100 + i * 32, lines[i], lstrlenW(lines[i]));
    SelectObject(dc, old);
    DeleteObject(title);
    DeleteObject(body);
}

TEST(Screenshots, DISABLED_SettingsAndAbout) {
    const std::wstring out = OutputDir();
    ASSERT_FALSE(out.empty());
    Kadrix k;
    k.WriteSettings("[Main]\r\nShowHint=0\r\nLanguageFile=English.ini\r\n");
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


// The overlay over a desktop: first as it opens, with the hint panel in the
// middle; then with a page selected and a red line drawn under one of its
// lines; last the tray menu.
TEST(Screenshots, DISABLED_OverlayAndTrayMenu) {
    const std::wstring out = OutputDir();
    ASSERT_FALSE(out.empty());
    Kadrix k;
    k.WriteSettings("[Main]\r\nShowHint=1\r\nLanguageFile=English.ini\r\n");
    k.StartAndWaitReady();
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    TestWindow desktop(0, 0, width, height, PaintDesktop);
    // Beneath every other window, as a desktop is: the tray stays reachable.
    SetWindowPos(desktop.Handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    WaitUntilShown([&](const Framebuffer& fb) { return fb.At(5, height - 5) == Desktop(height - 5, height); },
                   "the desktop");

    HWND overlay = k.MainWindow();
    MoveMouse(1500, 820);
    Press('P', {VK_CONTROL});
    BYTE alpha = 0;
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(overlay) && FadedIn(overlay, alpha); }));
    HWND hint = FindWindowExW(overlay, nullptr, L"TPanel_Hint", nullptr);
    ASSERT_NE(hint, nullptr);
    Settle(overlay);
    RECT panel;
    GetWindowRect(hint, &panel);
    InflateRect(&panel, 60, 40);
    // The tint blended with the desktop at the full opacity (checked in a
    // corner, where nothing but the gradient is under it).
    const COLORREF tint = GetSysColor(COLOR_APPWORKSPACE);
    auto blended = [&](const Framebuffer& fb, int x, int y) {
        const COLORREF under = Desktop(y, height), shown = fb.At(x, y);
        auto close = [&](BYTE t, BYTE u, BYTE s) { return std::abs((t * alpha + u * (255 - alpha)) / 255 - s) <= 3; };
        return close(GetRValue(tint), GetRValue(under), GetRValue(shown)) &&
               close(GetGValue(tint), GetGValue(under), GetGValue(shown)) &&
               close(GetBValue(tint), GetBValue(under), GetBValue(shown));
    };
    WaitUntilShown([&](const Framebuffer& fb) { return blended(fb, 5, height - 5); }, "the tint");
    SnapScreen(panel, out, L"hint.bmp");

    const RECT area{kPage.left - 30, kPage.top - 30, kPage.right + 30, kPage.bottom + 30};
    Drag(overlay, area.left, area.top, area.right, area.bottom);
    const int y = kPage.top + 160, x0 = kPage.left + 30, x1 = kPage.left + 330;
    PenTo(overlay, x0, y);
    KeyDown(VK_SHIFT);
    for (int x = x0; x <= x1; x += 6) MoveMouseUntil(x, y, [&] { return RedNear(overlay, x, y); }, "the stroke");
    KeyUp(VK_SHIFT);
    MoveMouse(area.right + 160, area.bottom + 90);
    Settle(overlay);
    WaitUntilShown([&](const Framebuffer& fb) {
        int red = 0;
        for (int x = x0; x <= x1; ++x) {
            // The stroke is part of the overlay, so it shows at the overlay's opacity too.
            for (int dy = -2; dy <= 2; ++dy) {
                const COLORREF c = fb.At(x, y + dy);
                red += GetRValue(c) == 255 && GetGValue(c) < 128 && GetBValue(c) < 128;
            }
        }
        return red > (x1 - x0) / 2 && blended(fb, 5, height - 5);
    }, "the stroke");
    SnapScreen({0, 0, width, height}, out, L"overlay.bmp");
    Press(VK_ESCAPE);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(overlay); }));

    HWND menu = OpenTrayMenu();
    Settle(menu);
    RECT rc;
    ASSERT_TRUE(GetWindowRect(menu, &rc));
    // The menu's face colour at its corner, where no text is.
    WaitUntilShown([&](const Framebuffer& fb) { return fb.At(rc.left + 3, rc.bottom - 3) == GetSysColor(COLOR_MENU); },
                   "the menu");
    SnapScreen(rc, out, L"tray-menu.bmp");
    Press(VK_ESCAPE);
}

}  // namespace
