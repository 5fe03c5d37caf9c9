// Benchmarks of the overlay window under real Win32 (run under Wine by
// bench/run): hot key to first painted frame against a bare layered window's,
// one fade step, a mouse move while dragging with its repainted area, drawing
// ticks and the frames they are presented in, and Enter with the default
// settings (JPEG file and upload), to JPEG file, to BMP file and to the
// clipboard, each against its floor measured in the same run. Besides the
// readable lines, each figure is printed once as "row <name> <values>" for
// bench/run.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/Utf.h"
#include "image/Bmp.h"
#include "image/Jpeg.h"
#include "overlay/HotKeys.h"
#include "shell/ProgramWindows.h"
#include "support/TempFolder.h"
#include "win32/Clock.h"
#include "win32/Dib.h"
#include "win32/Files.h"
#include "win32/WinText.h"

namespace {

double Now() { return kadrix::win::NowMs(); }

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

// Handles messages, waiting for them, until done() holds.
template <typename Done>
void DispatchUntil(Done done) {
    MSG msg;
    while (!done() && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
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
    Send(overlay, WM_HOTKEY, kadrix::kHotKeyEsc);
    Pump();
    SetCursorPos(x, y);
    Send(overlay, WM_HOTKEY, kadrix::kHotKeyScreenshot);
    UpdateWindow(overlay);
    Pump();
}

struct Forms {
    testsupport::TempFolder folder;
    std::wstring shots = folder.Path() + L"bench-shots\\";
    std::unique_ptr<ProgramWindows> forms;

    explicit Forms(const std::string& screenshotSection) {
        CreateDirectoryW(shots.c_str(), nullptr);
        kadrix::win::WriteFileSafely(folder.Path() + L"Settings.ini",
                                     "\xEF\xBB\xBF[Main]\r\nShowHint=1\r\nShowLine=1\r\nShowSize=1\r\n[Screenshot]\r\nSavePath=" +
                                         kadrix::Utf16ToUtf8(kadrix::win::U(shots)) + "\r\n" + screenshotSection);
        forms = std::make_unique<ProgramWindows>(folder.Path());
    }
    ~Forms() {
        forms.reset();
        WIN32_FIND_DATAW found;
        HANDLE h = FindFirstFileW((shots + L"*.*").c_str(), &found);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                DeleteFileW((shots + found.cFileName).c_str());
            } while (FindNextFileW(h, &found));
            FindClose(h);
        }
        RemoveDirectoryW(shots.c_str());
    }
    TForm_Background& Overlay() { return forms->background; }
};

// The bare grab: a w x h area of the screen copied into a DIB section, the
// DCs it takes included, as in the clipboard's floor.
double Grab(const kadrix::win::DibSection24& dib, int w, int h) {
    const double t0 = Now();
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(memory, dib.Handle());
    BitBlt(memory, 0, 0, w, h, screen, 11, 11, SRCCOPY);
    GdiFlush();
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return Now() - t0;
}

// Puts a bitmap on the clipboard, which then owns it.
void HandOver(HWND owner, HBITMAP bitmap) {
    if (OpenClipboard(owner)) {
        EmptyClipboard();
        SetClipboardData(CF_BITMAP, bitmap);
        CloseClipboard();
    } else {
        DeleteObject(bitmap);
    }
}

// The least a clipboard capture can do: grab into a device bitmap and hand it over.
double BareGrabToClipboard(HWND owner, int w, int h) {
    const double t0 = Now();
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, 11, 11, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    HandOver(owner, bitmap);
    return Now() - t0;
}

// The least the clipboard costs once the picture exists: a device bitmap of
// that size handed over. With uploading off, a saved screenshot goes to the
// clipboard too.
double BareHandOver(HWND owner, int w, int h) {
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    ReleaseDC(nullptr, screen);
    const double t0 = Now();
    HandOver(owner, bitmap);
    return Now() - t0;
}

// One write of a file's bytes; with flushed, also the flush to disk every
// screenshot file gets.
double BareWrite(const std::wstring& path, const std::string& bytes, bool flushed = false) {
    const double t0 = Now();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (flushed) FlushFileBuffers(file);
    CloseHandle(file);
    const double took = Now() - t0;
    DeleteFileW(path.c_str());
    return took;
}

void EnterRows(const char* output, const std::string& section, int screenW, int screenH) {
    Forms f(section);
    HWND overlay = f.Overlay().Handle();
    struct Size {
        int w, h;
    };
    for (Size size : {Size{1920, 1080}, Size{3840, 2160}}) {
        if (size.w > screenW || size.h > screenH) continue;
        std::vector<double> capture, floor, plainWrite, flushedWrite;
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
            const double t0 = Now();
            f.Overlay().ScreenCaptureRect();
            capture.push_back(Now() - t0);

            // The floors are measured with the overlay still on the screen, as
            // it is when Enter is pressed.
            if (std::string(output) == "clipboard") {
                floor.push_back(BareGrabToClipboard(overlay, size.w, size.h));
                Send(overlay, WM_HOTKEY, kadrix::kHotKeyEsc);
                continue;
            }
            // Like the clipboard's floor, it makes the bitmap it grabs into.
            const double made = Now();
            kadrix::win::DibSection24 dib(size.w, size.h);
            double bare = Now() - made + Grab(dib, size.w, size.h);
            const double t1 = Now();
            const bool bmp = std::string(output) == "bmp";
            const std::string bytes = bmp ? kadrix::EncodeBmp(dib.View()) : kadrix::EncodeJpeg(dib.View());
            bare += Now() - t1;
            // The file's write, plain and flushed to disk as every screenshot
            // is; which goes first alternates, since the first write after the
            // capture's own often pays for the disk's backlog.
            const std::wstring bareFile = f.shots + (bmp ? L"bare.bmp" : L"bare.jpg");
            if (i % 2) flushedWrite.push_back(BareWrite(bareFile, bytes, true));
            plainWrite.push_back(BareWrite(bareFile, bytes));
            if (i % 2 == 0) flushedWrite.push_back(BareWrite(bareFile, bytes, true));
            // With uploading on (the default settings) the clipboard is left alone.
            if (std::string(output) != "default") bare += BareHandOver(overlay, size.w, size.h);
            floor.push_back(bare);
            Send(overlay, WM_HOTKEY, kadrix::kHotKeyEsc);
        }
        std::printf("Enter to %s %dx%d: %.1f ms; floor without a file's write %.1f ms", output, size.w, size.h,
                    Median(capture), Median(floor));
        if (!flushedWrite.empty()) {
            std::printf("; the file's write %.1f ms, flushed %.1f ms", Median(plainWrite), Median(flushedWrite));
        }
        std::printf("\nrow enter_%s_%d %.2f %.2f", output, size.h, Median(capture), Median(floor));
        if (!flushedWrite.empty()) std::printf(" %.2f %.2f", Median(plainWrite), Median(flushedWrite));
        std::printf("\n");
    }
}

// The least any overlay's first frame can cost: a bare layered window the
// size of the monitor, shown fully transparent and filled once in its paint.
class BareOverlay {
public:
    BareOverlay(int w, int h) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KadrixBenchBareOverlay";
        RegisterClassW(&wc);
        hwnd_ = CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST, wc.lpszClassName, L"", WS_POPUP, 0, 0,
                                w, h, nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~BareOverlay() { DestroyWindow(hwnd_); }

    // Shows the window and waits for its first paint.
    double FirstFrame() {
        const double t0 = Now();
        SetLayeredWindowAttributes(hwnd_, RGB(0, 255, 0), 0, LWA_ALPHA | LWA_COLORKEY);
        ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
        const unsigned before = paints_;
        DispatchUntil([&] { return paints_ != before; });
        return Now() - t0;
    }
    void Hide() { ShowWindow(hwnd_, SW_HIDE); }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
        if (msg != WM_PAINT) return DefWindowProcW(hwnd, msg, w, l);
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        EndPaint(hwnd, &ps);
        ++paints_;
        return 0;
    }
    static inline unsigned paints_ = 0;
    HWND hwnd_;
};

// Wine puts a window's new pixels out to the X server when its thread finds
// no message to handle: a look for a message that cannot exist.
double WineFlush() {
    const double t0 = Now();
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_APP + 0x3FFF, WM_APP + 0x3FFF, PM_NOREMOVE);
    return Now() - t0;
}

}  // namespace

int main() {
    const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
    std::printf("monitor %dx%d\n", screenW, screenH);
    {
        Forms f("SaveInFile=1\r\nUploadOnServer=0\r\nFormatSaveInFile=0\r\n");
        TForm_Background& background = f.Overlay();
        HWND overlay = background.Handle();

        // Hot key to the first painted frame, against the bare overlay's
        // first frame; Wine's flush of each to the X server apart.
        std::vector<double> open, openFlush, bare, bareFlush;
        {
            BareOverlay floor(screenW, screenH);
            for (int i = 0; i < 15; ++i) {
                Send(overlay, WM_HOTKEY, kadrix::kHotKeyEsc);
                Pump();
                SetCursorPos(screenW / 2 + i, screenH / 2);
                const auto paints = background.Painted().Paints;
                const double t0 = Now();
                Send(overlay, WM_HOTKEY, kadrix::kHotKeyScreenshot);
                DispatchUntil([&] { return background.Painted().Paints != paints; });
                open.push_back(Now() - t0);
                openFlush.push_back(WineFlush());
                Send(overlay, WM_HOTKEY, kadrix::kHotKeyEsc);
                Pump();

                bare.push_back(floor.FirstFrame());
                bareFlush.push_back(WineFlush());
                floor.Hide();
                Pump();
            }
        }
        std::printf("hot key to first frame: median %.2f ms (min %.2f), Wine's flush %.2f ms; bare layered window %.2f ms, "
                    "its flush %.2f ms; own share %.2f ms\n",
                    Median(open), *std::min_element(open.begin(), open.end()), Median(openFlush), Median(bare),
                    Median(bareFlush), Median(open) - Median(bare));
        std::printf("row first_frame %.2f %.2f %.2f %.2f\n", Median(open), Median(openFlush), Median(bare),
                    Median(bareFlush));

        // One fade step.
        Open(overlay);
        std::vector<double> fade;
        for (int i = 0; i < 15; ++i) {
            const double t0 = Now();
            Send(overlay, WM_TIMER, TForm_Background::kTimerFormAppearance);
            fade.push_back(Now() - t0);
        }
        std::printf("fade step: median %.3f ms\n", Median(fade));

        // Mouse moves while dragging, a frame apart so that each is presented
        // at once: model, invalidation and paint, then Wine's flush apart.
        // Wine flushes in the paint itself when the thread has not been idle
        // for 50 ms; a look for a message just before keeps it for after.
        Open(overlay);
        At(overlay, WM_LBUTTONDOWN, 100, 100, MK_LBUTTON);
        UpdateWindow(overlay);
        std::vector<double> moves, moveFlushes;
        unsigned long long pixels = 0, most = 0;
        const int steps = 60;
        for (int i = 1; i <= steps; ++i) {
            Sleep(20);
            WineFlush();
            const auto before = background.Painted().Pixels;
            const int x = 100 + i * (screenW - 300) / steps, y = 100 + i * (screenH - 300) / steps;
            SetCursorPos(x, y);  // the mouse itself is not the program's share
            const double t0 = Now();
            Send(overlay, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y));
            moves.push_back(Now() - t0);
            moveFlushes.push_back(WineFlush());
            const auto painted = background.Painted().Pixels - before;
            pixels += painted;
            most = std::max(most, painted);
        }
        // The same drag as fast as the messages come: presented once per frame.
        const auto presentsBefore = background.Painted().Presents;
        double t0 = Now();
        for (int i = 0; i < 400; ++i) {
            At(overlay, WM_MOUSEMOVE, 300 + i % 200, 300 + i % 150, MK_LBUTTON);
            Pump();
        }
        const double burst = Now() - t0;
        const double burstPresents = static_cast<double>(background.Painted().Presents - presentsBefore);
        At(overlay, WM_LBUTTONUP, 500, 450);
        UpdateWindow(overlay);
        const double area = static_cast<double>(screenW) * screenH;
        std::printf("drag move: median %.3f ms, max %.3f ms, then Wine's flush %.3f ms; repainted %.0f px per move "
                    "(%.2f%% of the monitor), at most %llu\n",
                    Median(moves), *std::max_element(moves.begin(), moves.end()), Median(moveFlushes),
                    pixels / double(steps), 100.0 * pixels / steps / area, most);
        std::printf("fast drag: 400 moves in %.0f ms, %.0f presents (%.1f per second)\n", burst, burstPresents,
                    burstPresents * 1000.0 / burst);
        std::printf("row drag_move %.3f %.3f\nrow drag_presents_per_s %.1f\n", Median(moves), Median(moveFlushes),
                    burstPresents * 1000.0 / burst);

        // Drawing with Shift held: a sample every 5 ms, presented per frame.
        Send(overlay, WM_KEYDOWN, VK_SHIFT);
        std::vector<double> ticks, presents;
        const auto drawPresentsBefore = background.Painted().Presents;
        t0 = Now();
        for (int i = 0; i < 200; ++i) {
            SetCursorPos(300 + i, 300 + (i % 50));
            // A tick samples and queues; at a frame it also draws what is
            // queued, and the look for the next message has Wine flush it. A
            // flush just before keeps what came earlier out of this tick.
            WineFlush();
            const auto before = background.Painted().Presents;
            const double t1 = Now();
            Send(overlay, WM_TIMER, TForm_Background::kTimerDrawing);
            MSG msg;
            while (PeekMessageW(&msg, overlay, WM_TIMER, WM_TIMER, PM_REMOVE)) DispatchMessageW(&msg);
            (background.Painted().Presents == before ? ticks : presents).push_back(Now() - t1);
            Sleep(5);
        }
        const double drawing = Now() - t0;
        const double drawPresents = static_cast<double>(background.Painted().Presents - drawPresentsBefore);
        Send(overlay, WM_KEYUP, VK_SHIFT);
        std::printf("drawing: tick median %.3f ms; %.0f presents in %.0f ms (%.1f per second), tick with a present median %.3f ms\n",
                    Median(ticks), drawPresents, drawing, drawPresents * 1000.0 / drawing,
                    presents.empty() ? 0.0 : Median(presents));
        std::printf("row draw_tick %.3f\nrow draw_present %.3f\nrow draw_presents_per_s %.1f\n", Median(ticks),
                    presents.empty() ? 0.0 : Median(presents), drawPresents * 1000.0 / drawing);
        Send(overlay, WM_HOTKEY, kadrix::kHotKeyEsc);
    }

    // Enter, each output against its floor. The default settings save a JPEG
    // file and upload it; with no host set, each upload worker ends at once
    // with its box, which the worker's own thread shows.
    EnterRows("default", "SaveInFile=1\r\nUploadOnServer=1\r\nFormatSaveInFile=0\r\n", screenW, screenH);
    EnterRows("jpeg", "SaveInFile=1\r\nUploadOnServer=0\r\nFormatSaveInFile=0\r\n", screenW, screenH);
    EnterRows("bmp", "SaveInFile=1\r\nUploadOnServer=0\r\nFormatSaveInFile=1\r\n", screenW, screenH);
    EnterRows("clipboard", "SaveInFile=0\r\nUploadOnServer=0\r\n", screenW, screenH);
    return 0;
}
