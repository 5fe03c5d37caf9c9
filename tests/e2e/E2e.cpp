#include "e2e/E2e.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "core/Utf.h"
#include "support/TempFolder.h"

namespace e2e {

bool WaitFor(const std::function<bool()>& cond, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (cond()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
}

void Require(bool ok, const std::string& what) {
    if (!ok) throw std::runtime_error(what);
}

std::wstring InstallSource() {
    wchar_t buffer[MAX_PATH];
    const DWORD n = GetEnvironmentVariableW(L"KADRIX_INSTALL_DIR", buffer, MAX_PATH);
    std::wstring dir(buffer, n);
    if (!dir.empty() && dir.back() != L'\\') dir += L'\\';
    return dir;
}

std::string ReadFile(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::wstring> FolderEntries(const std::wstring& folder, bool filesOnly) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((folder + L"*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (filesOnly && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        names.push_back(name);
    } while (FindNextFileW(h, &found));
    FindClose(h);
    return names;
}

std::string Narrow(const std::wstring& text) {
    return kadrix::Utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

std::wstring ClipboardText() {
    std::wstring text;
    if (!OpenClipboard(nullptr)) return L"(clipboard held)";
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

void PutTextOnClipboard(const std::wstring& text) {
    Require(OpenClipboard(nullptr) != FALSE, "the test cannot open the clipboard");
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    memcpy(GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
}

namespace {

void CopyTree(const std::wstring& from, const std::wstring& to) {
    CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((from + L"*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            CopyTree(from + name + L"\\", to + name + L"\\");
        } else {
            CopyFileW((from + name).c_str(), (to + name).c_str(), FALSE);
        }
    } while (FindNextFileW(h, &found));
    FindClose(h);
}

}  // namespace

Kadrix::Kadrix() {
    static int counter = 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    dir_ = std::wstring(temp) + L"kadrix-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++counter) + L"\\";
    testsupport::TempFolder::Remove(dir_);
    CopyTree(InstallSource(), dir_);
}

Kadrix::~Kadrix() {
    ReleaseAllKeys();
    ClipCursor(nullptr);
    if (process_.hProcess) {
        if (Running()) {
            if (HWND main = MainWindow()) PostMessageW(main, WM_CLOSE, 0, 0);
            if (!WaitExit(5s)) TerminateProcess(process_.hProcess, 1);
            WaitForSingleObject(process_.hProcess, 5000);
        }
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
    testsupport::TempFolder::Remove(dir_);
}

PROCESS_INFORMATION Kadrix::Start() {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = L"\"" + Exe() + L"\"";
    if (!CreateProcessW(Exe().c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir_.c_str(), &si, &pi)) {
        return {};
    }
    // The copy the test works with: the first, or a new one once it has ended.
    if (process_.hProcess && !Running()) {
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
        process_ = {};
    }
    if (!process_.hProcess) process_ = pi;
    return pi;
}

void Kadrix::StartAndWaitReady(UINT hotKeyModifiers, UINT hotKey) {
    Require(Start().hProcess != nullptr, "Kadrix.exe did not start");
    // Passive signs first: the start-up sequence has run to the message loop
    // and written Settings.ini, and the tray icon shows, which Kadrix adds
    // after registering the hot key. Only then
    // one probe of the hot key: a probe takes the key for a moment, and taken
    // while Kadrix registers it, it would make Kadrix's registration fail.
    Require(WaitForInputIdle(process_.hProcess, 10000) == 0, "Kadrix did not reach its message loop");
    Require(WaitFor([&] { return WindowsCreated(); }), "Kadrix's windows were not created");
    Require(WaitFor([&] { return FileExists(SettingsPath()); }), "Kadrix did not write Settings.ini");
    Require(WaitFor([] { return TrayIconPoint().has_value(); }), "no tray icon showed");
    Require(HotKeyTaken(hotKeyModifiers, hotKey), "the screenshot hot key is not registered");
}

void Kadrix::Kill() {
    HWND main = MainWindow();
    TerminateProcess(process_.hProcess, 1);
    // Under Wine the end comes a moment later; a test that went on while the
    // program still ran would see it finish what it was doing.
    Require(WaitForSingleObject(process_.hProcess, 60000) == WAIT_OBJECT_0, "the killed program did not end");
    // The tray keeps a killed program's icon until someone clicks it; a
    // later test would find that one first.
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = main;
    data.uID = 1;
    if (main) Shell_NotifyIconW(NIM_DELETE, &data);
}

bool Kadrix::Running() const {
    DWORD code = 0;
    return process_.hProcess && GetExitCodeProcess(process_.hProcess, &code) && code == STILL_ACTIVE;
}

std::optional<DWORD> Kadrix::WaitExit(std::chrono::milliseconds timeout) {
    if (!WaitFor([&] { return !Running(); }, timeout)) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

std::vector<HWND> Kadrix::ProcessWindows(DWORD pid, const wchar_t* cls, bool visibleOnly) {
    struct Search {
        DWORD pid;
        const wchar_t* cls;
        bool visibleOnly;
        std::vector<HWND> found;
    } search{pid, cls, visibleOnly, {}};
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            if (owner != s->pid) return TRUE;
            if (s->visibleOnly && !IsWindowVisible(hwnd)) return TRUE;
            wchar_t name[128] = {};
            GetClassNameW(hwnd, name, 128);
            if (!s->cls || lstrcmpW(name, s->cls) == 0) s->found.push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND Kadrix::FindProcessWindow(DWORD pid, const wchar_t* cls, bool visibleOnly) {
    const auto found = ProcessWindows(pid, cls, visibleOnly);
    return found.empty() ? nullptr : found.front();
}

// ---- the test's own window --------------------------------------------------

TestWindow::TestWindow(int x, int y, int width, int height, std::function<void(HDC, int, int)> paint)
    : paint_(std::move(paint)) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"KadrixE2eWindow";
    RegisterClassW(&wc);
    hwnd_ = CreateWindowExW(0, wc.lpszClassName, L"Another program", WS_POPUP | WS_VISIBLE, x, y, width, height,
                            nullptr, nullptr, instance, this);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetForegroundWindow(hwnd_);
    UpdateWindow(hwnd_);
    Pump();
}

TestWindow::~TestWindow() { DestroyWindow(hwnd_); }

void TestWindow::Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

LRESULT CALLBACK TestWindow::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TestWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
    case WM_KEYDOWN:
        if (self) self->KeysDown.push_back(static_cast<UINT>(wParam));
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT rc;
        GetClientRect(hwnd, &rc);
        if (self && self->paint_) {
            self->paint_(dc, rc.right, rc.bottom);
        } else {
            FillRect(dc, &rc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        }
        EndPaint(hwnd, &ps);
        return 0;
    }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// ---- the pattern of another program ---------------------------------------

COLORREF Pattern(int x, int y) { return RGB((x * 7) & 255, (y * 5) & 255, ((x + y) * 3) & 255); }

void PaintPattern(HDC dc, int width, int height) {
    const BITMAPINFO info = TopDown32(width, height);
    std::vector<DWORD> pixels(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const COLORREF c = Pattern(x, y);
            pixels[y * width + x] = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
        }
    }
    // One pure-green pixel of the program itself, which must survive the capture.
    pixels[60 * width + 60] = 0x0000FF00;
    SetDIBitsToDevice(dc, 0, 0, width, height, 0, 0, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
}

// ---- input ------------------------------------------------------------------

namespace {

bool KeyIsDown(int vk) { return GetAsyncKeyState(vk) < 0; }

void SendKey(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    // Not waited on: under Wine the test's own key state does not always show
    // a key that went to another program; callers wait on what Kadrix shows.
    Require(SendInput(1, &in, sizeof in) == 1, "SendInput refused a key");
}

}  // namespace

void KeyDown(WORD vk) { SendKey(vk, false); }
void KeyUp(WORD vk) { SendKey(vk, true); }

void Press(WORD vk, std::initializer_list<WORD> modifiers) {
    for (WORD m : modifiers) KeyDown(m);
    KeyDown(vk);
    KeyUp(vk);
    for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it) KeyUp(*it);
}

bool PressCtrlPUntilShown(HWND overlay) {
    for (int attempt = 1; attempt <= 3; ++attempt) {
        Press('P', {VK_CONTROL});
        if (WaitFor([&] { return IsWindowVisible(overlay) != FALSE; }, attempt < 3 ? 5s : 20s)) return true;
        std::printf("[ note     ] Ctrl+P opened no capture; pressed again\n");
        std::fflush(stdout);
    }
    return false;
}

void ReleaseAllKeys() {
    for (WORD vk : {VK_SHIFT, VK_CONTROL, VK_MENU}) {
        if (KeyIsDown(vk)) KeyUp(vk);
    }
    if (KeyIsDown(VK_LBUTTON)) MouseButton(MOUSEEVENTF_LEFTUP);
}

void SendMouseMove(int x, int y) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    // Over the whole virtual desktop, so that every monitor can be reached.
    in.mi.dx = MulDiv(x - GetSystemMetrics(SM_XVIRTUALSCREEN), 65536, GetSystemMetrics(SM_CXVIRTUALSCREEN)) + 1;
    in.mi.dy = MulDiv(y - GetSystemMetrics(SM_YVIRTUALSCREEN), 65536, GetSystemMetrics(SM_CYVIRTUALSCREEN)) + 1;
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
    Require(SendInput(1, &in, sizeof in) == 1, "SendInput refused a mouse move");
}

void MoveMouse(int x, int y) {
    auto there = [&] {
        POINT p{};
        return GetCursorPos(&p) && p.x == x && p.y == y;
    };
    // On a busy machine a move can be overtaken by another; it is sent again.
    for (int attempt = 0; attempt < 5; ++attempt) {
        SendMouseMove(x, y);
        if (WaitFor(there, 2s)) return;
    }
    Require(there(), "the cursor did not reach (" + std::to_string(x) + ", " + std::to_string(y) + ")");
}

void MouseButton(DWORD flag) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flag;
    Require(SendInput(1, &in, sizeof in) == 1, "SendInput refused a mouse button");
    const bool down = flag & (MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_RIGHTDOWN | MOUSEEVENTF_MIDDLEDOWN);
    const int vk = (flag & (MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_LEFTUP))    ? VK_LBUTTON
                   : (flag & (MOUSEEVENTF_RIGHTDOWN | MOUSEEVENTF_RIGHTUP)) ? VK_RBUTTON
                                                                            : VK_MBUTTON;
    Require(WaitFor([&] { return KeyIsDown(vk) == down; }), "the system did not take a mouse button");
}

void LeftClick(int x, int y) {
    MoveMouse(x, y);
    MouseButton(MOUSEEVENTF_LEFTDOWN);
    MouseButton(MOUSEEVENTF_LEFTUP);
}

// ---- signs that Kadrix has seen the input ---------------------------------------

namespace {

// Counts the pixels of the window in an area given in screen coordinates.
int CountIn(HWND window, RECT area, const std::function<bool(COLORREF)>& match) {
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    OffsetRect(&area, -origin.x, -origin.y);
    const auto pixels = WindowPixels(window, area);
    return static_cast<int>(std::count_if(pixels.begin(), pixels.end(), match));
}

}  // namespace

bool RedNear(HWND overlay, int x, int y) {
    return CountIn(overlay, RECT{x - 2, y - 2, x + 3, y + 3}, [](COLORREF c) { return c == RGB(255, 0, 0); }) > 0;
}

bool EraserAt(HWND overlay, int x, int y) {
    // Its white frame's left and right edges, 10 pixels left and 11 right of the cursor.
    auto white = [](COLORREF c) { return c == RGB(255, 255, 255); };
    return CountIn(overlay, RECT{x - 10, y - 8, x - 9, y + 9}, white) >= 15 &&
           CountIn(overlay, RECT{x + 11, y - 8, x + 12, y + 9}, white) >= 15;
}

bool GuideLineAlong(HWND overlay, int y) {
    RECT rc;
    GetWindowRect(overlay, &rc);
    const int width = rc.right - rc.left;
    return CountIn(overlay, RECT{rc.left, y, rc.right, y + 1}, [](COLORREF c) { return c == RGB(255, 255, 255); }) >
           width / 4;
}

bool HoldsMouse(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndCapture == window;
}

void MoveMouseUntil(int x, int y, const std::function<bool()>& seen, const std::string& what) {
    MoveMouse(x, y);
    // A move is idempotent: on a busy machine one that went unseen is made
    // again (a pixel aside and back) rather than waited for in vain.
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (WaitFor(seen, 2s)) return;
        MoveMouse(x + 1, y);
        MoveMouse(x, y);
    }
    Require(WaitFor(seen), what + " did not show after a move to (" + std::to_string(x) + ", " +
                               std::to_string(y) + ")");
}

void Drag(HWND overlay, int x0, int y0, int x1, int y1, int steps) {
    // Kadrix's handlers read the cursor when they run, and under Wine its
    // idea of the cursor can lag behind ours: with the guide lines on, press
    // only once the line shows Kadrix has seen the cursor at the start point.
    POINT before{};
    GetCursorPos(&before);
    if (GuideLineAlong(overlay, before.y) && before.y != y0) {
        MoveMouseUntil(x0, y0, [&] { return GuideLineAlong(overlay, y0); }, "the guide line");
    } else {
        MoveMouse(x0, y0);
    }
    MouseButton(MOUSEEVENTF_LEFTDOWN);
    // The press handler reads the cursor when it runs: move on only once it has.
    Require(WaitFor([&] { return HoldsMouse(overlay); }), "the overlay did not take the press");
    for (int i = 1; i <= steps; ++i) {
        const int x = x0 + (x1 - x0) * i / steps, y = y0 + (y1 - y0) * i / steps;
        // The frame runs from the press point to the cursor, both corners red.
        MoveMouseUntil(x, y, [&] { return RedNear(overlay, x, y) && RedNear(overlay, x0, y0); }, "the frame");
    }
    MouseButton(MOUSEEVENTF_LEFTUP);
    // The release handler lets the mouse go last, after registering Enter.
    Require(WaitFor([&] { return !HoldsMouse(overlay); }), "the overlay did not take the release");
}

void SelectAndEnter(HWND overlay, int shift) {
    MoveMouse(700, 700 + shift);
    Require(PressCtrlPUntilShown(overlay), "Ctrl+P opened no capture");
    // Shown is not yet painted: once the guide line runs along the cursor,
    // the drag can see when the overlay has the cursor at its start point,
    // and the press cannot land where the cursor was before.
    Require(WaitFor([&] { return GuideLineAlong(overlay, 700 + shift); }), "the guide lines did not show");
    Drag(overlay, 250, 250 + shift, 450, 400 + shift);
    Require(WaitFor([] { return HotKeyTaken(0, VK_RETURN); }), "the selection did not finish");
    Press(VK_RETURN);
    Require(WaitFor([&] { return !IsWindowVisible(overlay); }), "Enter did not close the overlay");
}

void PenTo(HWND overlay, int x, int y) {
    MoveMouse(x, y);
    KeyDown(VK_CONTROL);
    Require(WaitFor([&] { return EraserAt(overlay, x, y); }), "the eraser did not show at the stroke's start");
    KeyUp(VK_CONTROL);
    Require(WaitFor([&] { return !EraserAt(overlay, x, y); }), "the eraser did not go");
}

// ---- what the program shows ---------------------------------------------------

std::vector<MessageBoxInfo> MessageBoxes(DWORD pid) {
    std::vector<MessageBoxInfo> boxes;
    for (HWND hwnd : Kadrix::ProcessWindows(pid, L"#32770", true)) {
        MessageBoxInfo info{hwnd, {}, {}};
        wchar_t buffer[2048] = {};
        GetWindowTextW(hwnd, buffer, 2048);
        info.title = buffer;
        if (HWND text = GetDlgItem(hwnd, 0xFFFF)) {
            buffer[0] = 0;
            GetWindowTextW(text, buffer, 2048);
            info.text = buffer;
        }
        boxes.push_back(info);
    }
    return boxes;
}

bool HotKeyTaken(UINT modifiers, UINT vk) {
    if (!RegisterHotKey(nullptr, 0x7000, modifiers, vk)) return true;
    UnregisterHotKey(nullptr, 0x7000);
    return false;
}

BITMAPINFO TopDown32(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    return info;
}

std::vector<DWORD> BitmapPixels(HBITMAP bitmap, int& width, int& height) {
    BITMAP info{};
    GetObjectW(bitmap, sizeof info, &info);
    width = info.bmWidth;
    height = info.bmHeight;
    BITMAPINFO header = TopDown32(width, height);
    std::vector<DWORD> pixels(static_cast<size_t>(width) * height);
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, bitmap, 0, height, pixels.data(), &header, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    return pixels;
}

std::vector<COLORREF> WindowPixels(HWND hwnd, const RECT& area) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    std::vector<COLORREF> pixels(static_cast<size_t>(width) * height);
    HDC source = GetDC(hwnd);
    HDC memory = CreateCompatibleDC(source);
    const BITMAPINFO info = TopDown32(width, height);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, source, area.left, area.top, SRCCOPY);
    GdiFlush();
    const auto* p = static_cast<const BYTE*>(bits);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = RGB(p[i * 4 + 2], p[i * 4 + 1], p[i * 4]);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(hwnd, source);
    return pixels;
}

std::optional<POINT> TrayIconPoint() {
    HWND tray = FindWindowW(nullptr, L"Wine System Tray");
    if (!tray) tray = FindWindowW(L"Shell_TrayWnd", nullptr);
    if (!tray || !IsWindowVisible(tray)) return std::nullopt;
    RECT rc;
    GetWindowRect(tray, &rc);
    return POINT{rc.left + 10, rc.top + (rc.bottom - rc.top) / 2};
}

HWND OpenTrayMenu() {
    std::optional<POINT> icon;
    if (!WaitFor([&] { return (icon = TrayIconPoint()).has_value(); })) return nullptr;
    HWND menu = nullptr;
    auto shown = [&] { return (menu = FindWindowW(L"#32768", nullptr)) && IsWindowVisible(menu); };
    // A click can go unseen: the icon of a program that ended without taking
    // it away stands first until a click finds its window gone and the tray
    // drops it, and a busy machine can lose a click. The click is made again
    // while no menu shows.
    for (int attempt = 0; attempt < 3 && !shown(); ++attempt) {
        if (!WaitFor([&] { return (icon = TrayIconPoint()).has_value(); })) return nullptr;
        MoveMouse(icon->x, icon->y);
        MouseButton(MOUSEEVENTF_RIGHTDOWN);
        MouseButton(MOUSEEVENTF_RIGHTUP);
        WaitFor(shown, 4s);
    }
    if (!shown()) return nullptr;
    // Keys reach the menu only once its thread has the foreground; a key
    // sent before that goes to whatever window had it.
    const DWORD owner = GetWindowThreadProcessId(menu, nullptr);
    Require(WaitFor([&] { return GetWindowThreadProcessId(GetForegroundWindow(), nullptr) == owner; }),
            "the tray menu's program did not come to the foreground");
    return menu;
}

int ComboSelection(HWND combo) {
    DWORD_PTR index = 0;
    SendMessageTimeoutW(combo, CB_GETCURSEL, 0, 0, SMTO_BLOCK, 2000, &index);
    return static_cast<int>(static_cast<LRESULT>(index));
}

HWND OpenSettingsFromTray(Kadrix& k) {
    HWND menu = OpenTrayMenu();
    if (!menu) return nullptr;
    ClickMenuRow(menu, "i-ii-iii", 5);
    HWND window = nullptr;
    WaitFor([&] { return (window = Kadrix::FindProcessWindow(k.Pid(), L"TForm_SettingsProgram", true)) != nullptr; });
    return window;
}

// Gives the closed picker the keyboard focus: a click opens its list, Escape
// closes it again without changing the choice.
void FocusPicker(HWND combo) {
    RECT rc;
    GetWindowRect(combo, &rc);
    LeftClick((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    DWORD_PTR dropped = 0;
    Require(WaitFor([&] {
                SendMessageTimeoutW(combo, CB_GETDROPPEDSTATE, 0, 0, SMTO_BLOCK, 2000, &dropped);
                return dropped != 0;
            }),
            "the picker's list did not open");
    Press(VK_ESCAPE);
    Require(WaitFor([&] {
                SendMessageTimeoutW(combo, CB_GETDROPPEDSTATE, 0, 0, SMTO_BLOCK, 2000, &dropped);
                return dropped == 0;
            }),
            "the picker's list did not close");
}

HWND NewestMenu() {
    HWND newest = nullptr;
    for (HWND w = FindWindowW(L"#32768", nullptr); w; w = FindWindowExW(nullptr, w, L"#32768", nullptr)) {
        if (IsWindowVisible(w) && !newest) newest = w;  // the top of the z-order comes first
    }
    return newest;
}

namespace {

// The first run of rows of the menu that are mostly in the highlight colour.
std::optional<RECT> HighlightedBand(HWND menu) {
    RECT rc;
    GetClientRect(menu, &rc);
    const auto pixels = WindowPixels(menu, rc);
    const int width = rc.right;
    const COLORREF highlight[] = {GetSysColor(COLOR_HIGHLIGHT), GetSysColor(COLOR_MENUHILIGHT)};
    int top = -1;
    for (int y = 0; y <= rc.bottom; ++y) {
        int lit = 0;
        for (int x = 0; y < rc.bottom && x < width; ++x) {
            const COLORREF c = pixels[static_cast<size_t>(y) * width + x];
            if (c == highlight[0] || c == highlight[1]) ++lit;
        }
        if (lit * 2 > width && top < 0) top = y;
        if (lit * 2 <= width && top >= 0) return RECT{0, top, width, y};
    }
    return std::nullopt;
}

}  // namespace

std::vector<RECT> MenuItemRects(HWND menu, int items) {
    // The mouse walks down the menu: each item lights up under it, and the
    // lit band is that item's rectangle. Keys proved unreliable: a key sent
    // before the menu's loop took the keyboard was lost.
    RECT client;
    GetClientRect(menu, &client);
    POINT origin{0, 0};
    ClientToScreen(menu, &origin);
    std::vector<RECT> rects;
    std::optional<RECT> band;
    bool tracking = false;  // once an item has lit, the menu follows the mouse at once
    int y = 3;
    while (y < client.bottom && static_cast<int>(rects.size()) < items) {
        const POINT at{origin.x + client.right / 2, origin.y + y};
        auto lit = [&] {
            band = HighlightedBand(menu);
            return band && band->top <= y && y < band->bottom;
        };
        MoveMouse(at.x, at.y);
        bool seen = WaitFor(lit, tracking ? 250ms : 2000ms);
        if (!seen && !tracking) {
            MoveMouse(at.x + 1, at.y);
            MoveMouse(at.x, at.y);
            seen = WaitFor(lit, 3000ms);
        }
        if (seen) {
            tracking = true;
            rects.push_back(*band);
            y = band->bottom;  // the next row: the next item or a separator
        } else {
            y += tracking ? 3 : 2;  // a separator or a border
        }
    }
    Require(static_cast<int>(rects.size()) == items,
            "the menu lit " + std::to_string(rects.size()) + " items, not " + std::to_string(items));
    for (RECT& r : rects) OffsetRect(&r, origin.x, origin.y);
    return rects;
}

void ClickMenuRow(HWND menu, const char* layout, int row) {
    const std::string rows(layout);
    const int items = static_cast<int>(std::count(rows.begin(), rows.end(), 'i'));
    const int item = static_cast<int>(std::count(rows.begin(), rows.begin() + row, 'i'));
    Require(row < static_cast<int>(rows.size()) && rows[row] == 'i', "row " + std::to_string(row) + " is no item");
    const RECT r = MenuItemRects(menu, items)[item];
    LeftClick((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

int OpenMenus() {
    int count = 0;
    for (HWND w = FindWindowW(L"#32768", nullptr); w; w = FindWindowExW(nullptr, w, L"#32768", nullptr)) {
        if (IsWindowVisible(w)) ++count;
    }
    return count;
}

}  // namespace e2e
