// Benchmarks of the overlay window under real Win32 (run under Wine by
// scripts/bench): hot key to first painted frame, one fade step, a mouse
// move while dragging with its repainted area, one drawing tick, and Enter
// to file against the bare screen grab plus the bare JPEG encode.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/Utf.h"
#include "image/Jpeg.h"
#include "shell/ProgramWindows.h"
#include "support/TempFolder.h"
#include "win32/Dib.h"
#include "win32/Files.h"
#include "win32/WinText.h"

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void Send(HWND hwnd, UINT msg, WPARAM w = 0, LPARAM l = 0) { SendMessageW(hwnd, msg, w, l); }

void At(HWND hwnd, UINT msg, int x, int y, WPARAM keys = 0) {
    SetCursorPos(x, y);
    Send(hwnd, msg, keys, MAKELPARAM(x, y));
}

void Select(HWND overlay, int x0, int y0, int x1, int y1) {
    At(overlay, WM_LBUTTONDOWN, x0, y0, MK_LBUTTON);
    At(overlay, WM_MOUSEMOVE, x1, y1, MK_LBUTTON);
    At(overlay, WM_LBUTTONUP, x1, y1);
    UpdateWindow(overlay);
}

// Opens a capture with the cursor at (x, y), so the read-outs stand clear of it.
void Open(HWND overlay, int x = 100, int y = 100) {
    Send(overlay, WM_HOTKEY, 3);
    Pump();
    SetCursorPos(x, y);
    Send(overlay, WM_HOTKEY, 1);
    UpdateWindow(overlay);
    Pump();
}

}  // namespace

int main() {
    const testsupport::TempFolder folder;
    const std::wstring& dir = folder.Path();
    const std::wstring shots = dir + L"bench-shots\\";
    CreateDirectoryW(shots.c_str(), nullptr);
    kadrix::win::WriteFileSafely(dir + L"Settings.ini",
                                 "\xEF\xBB\xBF[Main]\r\nShowHint=1\r\nShowLine=1\r\nShowSize=1\r\n[Screenshot]\r\nSavePath=" +
                                     kadrix::Utf16ToUtf8(kadrix::win::U(shots)) +
                                     "\r\nSaveInFile=1\r\nUploadOnServer=1\r\nFormatSaveInFile=0\r\n");
    ProgramWindows forms(dir);
    HWND overlay = forms.background.Handle();
    const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
    std::printf("monitor %dx%d\n", screenW, screenH);

    // Hot key to the first painted frame.
    std::vector<double> open;
    for (int i = 0; i < 15; ++i) {
        Send(overlay, WM_HOTKEY, 3);
        Pump();
        SetCursorPos(screenW / 2 + i, screenH / 2);
        const auto paints = forms.background.Painted().Paints;
        const double t0 = Now();
        Send(overlay, WM_HOTKEY, 1);
        while (forms.background.Painted().Paints == paints) {
            MSG msg;
            if (GetMessageW(&msg, nullptr, 0, 0) <= 0) break;
            DispatchMessageW(&msg);
        }
        open.push_back(Now() - t0);
    }
    std::printf("hot key to first frame: median %.2f ms (min %.2f)\n", Median(open),
                *std::min_element(open.begin(), open.end()));

    // One fade step.
    Open(overlay);
    std::vector<double> fade;
    for (int i = 0; i < 15; ++i) {
        const double t0 = Now();
        Send(overlay, WM_TIMER, 2);
        fade.push_back(Now() - t0);
    }
    std::printf("fade step: median %.3f ms\n", Median(fade));

    // Mouse moves while dragging: model, invalidation and paint together.
    Open(overlay);
    At(overlay, WM_LBUTTONDOWN, 100, 100, MK_LBUTTON);
    UpdateWindow(overlay);
    std::vector<double> moves;
    unsigned long long pixels = 0, most = 0;
    const int steps = 200;
    for (int i = 1; i <= steps; ++i) {
        const auto before = forms.background.Painted().Pixels;
        const int x = 100 + i * (screenW - 300) / steps, y = 100 + i * (screenH - 300) / steps;
        const double t0 = Now();
        At(overlay, WM_MOUSEMOVE, x, y, MK_LBUTTON);
        UpdateWindow(overlay);
        moves.push_back(Now() - t0);
        const auto painted = forms.background.Painted().Pixels - before;
        pixels += painted;
        most = std::max(most, painted);
    }
    At(overlay, WM_LBUTTONUP, 100 + (screenW - 300), 100 + (screenH - 300));
    UpdateWindow(overlay);
    const double area = static_cast<double>(screenW) * screenH;
    std::printf("drag move: median %.3f ms, max %.3f ms; repainted %.0f px per move (%.2f%% of the monitor), at most %llu\n",
                Median(moves), *std::max_element(moves.begin(), moves.end()), pixels / double(steps),
                100.0 * pixels / steps / area, most);

    // Drawing ticks with Shift held.
    Send(overlay, WM_KEYDOWN, VK_SHIFT);
    std::vector<double> ticks;
    for (int i = 0; i < 200; ++i) {
        SetCursorPos(300 + i, 300 + (i % 50));
        const double t0 = Now();
        Send(overlay, WM_TIMER, 1);
        ticks.push_back(Now() - t0);
    }
    Send(overlay, WM_KEYUP, VK_SHIFT);
    std::printf("drawing tick with a segment: median %.3f ms\n", Median(ticks));

    // Enter to file against the floor: the bare grab plus the bare encode.
    struct Size { int w, h; };
    for (Size size : {Size{1920, 1080}, Size{3840, 2160}}) {
        if (size.w > screenW || size.h > screenH) {
            std::printf("Enter to file %dx%d: skipped, the monitor is smaller\n", size.w, size.h);
            continue;
        }
        std::vector<double> capture, grab, encode;
        for (int i = 0; i < 5; ++i) {
            // The drawing area lies one pixel inside the frame; frames on the
            // monitor's edges reach its edge pixels.
            if (size.w == screenW && size.h == screenH) {
                Open(overlay, 0, 0);
                Select(overlay, 0, 0, screenW - 1, screenH - 1);
            } else {
                Open(overlay, 10, 10);
                Select(overlay, 10, 10, 10 + size.w + 1, 10 + size.h + 1);
            }
            double t0 = Now();
            forms.background.ScreenCaptureRect();
            capture.push_back(Now() - t0);
            Send(overlay, WM_HOTKEY, 3);

            kadrix::win::DibSection24 dib(size.w, size.h);
            HDC screen = GetDC(nullptr);
            HDC memory = CreateCompatibleDC(screen);
            HGDIOBJ old = SelectObject(memory, dib.Handle());
            t0 = Now();
            BitBlt(memory, 0, 0, size.w, size.h, screen, 11, 11, SRCCOPY);
            GdiFlush();
            grab.push_back(Now() - t0);
            SelectObject(memory, old);
            DeleteDC(memory);
            ReleaseDC(nullptr, screen);
            t0 = Now();
            const std::string jpeg = kadrix::EncodeJpeg(dib.View());
            encode.push_back(Now() - t0);
        }
        const double floor = Median(grab) + Median(encode);
        std::printf("Enter to file %dx%d: %.1f ms; bare grab %.1f ms + bare encode %.1f ms = %.1f ms; ratio %.2f\n",
                    size.w, size.h, Median(capture), Median(grab), Median(encode), floor, Median(capture) / floor);
    }

    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((shots + L"*.*").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            DeleteFileW((shots + found.cFileName).c_str());
        } while (FindNextFileW(h, &found));
        FindClose(h);
    }
    RemoveDirectoryW(shots.c_str());
    return 0;
}
