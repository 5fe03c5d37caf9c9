#include "e2e/E2e.h"

#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

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

void RemoveTree(const std::wstring& dir) {
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((dir + L"*").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(dir + name + L"\\");
            } else {
                SetFileAttributesW((dir + name).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW((dir + name).c_str());
            }
        } while (FindNextFileW(h, &found));
        FindClose(h);
    }
    RemoveDirectoryW(dir.c_str());
}

}  // namespace

Kadrix::Kadrix() {
    static int counter = 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    dir_ = std::wstring(temp) + L"kadrix-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++counter) + L"\\";
    RemoveTree(dir_);
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
    RemoveTree(dir_);
}

PROCESS_INFORMATION Kadrix::Start() {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = L"\"" + Exe() + L"\"";
    if (!CreateProcessW(Exe().c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir_.c_str(), &si, &pi)) {
        return {};
    }
    if (!process_.hProcess) process_ = pi;
    return pi;
}

void Kadrix::StartAndWaitReady(UINT hotKeyModifiers, UINT hotKey) {
    Start();
    WaitForInputIdle(process_.hProcess, 10000);
    // Ready once the last step of start-up that a test relies on is done:
    // the screenshot hot key is registered.
    WaitFor([&] {
        return MainWindow() && FindProcessWindow(Pid(), L"TForm_SettingsProgram") &&
               HotKeyTaken(hotKeyModifiers, hotKey);
    });
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

// ---- input ------------------------------------------------------------------

namespace {

// Lets Kadrix take each input event before the next: its handlers read the
// cursor and key state when they run, as they do for a person's slower hand.
// Kadrix's handlers read the cursor and the key state when they run, so
// input comes at the pace of a hand: a few milliseconds per event. Outcomes
// are still waited for by condition.
void Settle() { Sleep(15); }

void SendKey(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof in);
    Settle();
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

void ReleaseAllKeys() {
    for (WORD vk : {VK_SHIFT, VK_CONTROL, VK_MENU}) {
        if (GetAsyncKeyState(vk) < 0) KeyUp(vk);
    }
    if (GetAsyncKeyState(VK_LBUTTON) < 0) MouseButton(MOUSEEVENTF_LEFTUP);
}

void MoveMouse(int x, int y) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = MulDiv(x, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
    in.mi.dy = MulDiv(y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in, sizeof in);
    Settle();
}

void MouseButton(DWORD flag) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flag;
    SendInput(1, &in, sizeof in);
    Settle();
}

void LeftClick(int x, int y) {
    MoveMouse(x, y);
    MouseButton(MOUSEEVENTF_LEFTDOWN);
    MouseButton(MOUSEEVENTF_LEFTUP);
}

void Drag(int x0, int y0, int x1, int y1, int steps) {
    MoveMouse(x0, y0);
    MouseButton(MOUSEEVENTF_LEFTDOWN);
    for (int i = 1; i <= steps; ++i) MoveMouse(x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps);
    MouseButton(MOUSEEVENTF_LEFTUP);
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
    MoveMouse(icon->x, icon->y);
    MouseButton(MOUSEEVENTF_RIGHTDOWN);
    MouseButton(MOUSEEVENTF_RIGHTUP);
    HWND menu = nullptr;
    if (!WaitFor([&] { return (menu = FindWindowW(L"#32768", nullptr)) && IsWindowVisible(menu); })) return nullptr;
    return menu;
}

HWND NewestMenu() {
    HWND newest = nullptr;
    for (HWND w = FindWindowW(L"#32768", nullptr); w; w = FindWindowExW(nullptr, w, L"#32768", nullptr)) {
        if (IsWindowVisible(w) && !newest) newest = w;  // the top of the z-order comes first
    }
    return newest;
}

void ClickMenuRow(HWND menu, const char* layout, int row) {
    // The system's menu metrics: a 3-pixel border and 9-pixel separators;
    // the items share the rest of the height evenly.
    constexpr int kBorder = 3, kSeparator = 9;
    RECT rc;
    GetWindowRect(menu, &rc);
    const std::string rows(layout);
    const int separators = static_cast<int>(std::count(rows.begin(), rows.end(), '-'));
    const int items = static_cast<int>(rows.size()) - separators;
    const int itemHeight = (rc.bottom - rc.top - 2 * kBorder - separators * kSeparator) / items;
    int y = rc.top + kBorder;
    for (int i = 0; i < row; ++i) y += rows[i] == '-' ? kSeparator : itemHeight;
    LeftClick(rc.left + 40, y + itemHeight / 2);
}

int OpenMenus() {
    int count = 0;
    for (HWND w = FindWindowW(L"#32768", nullptr); w; w = FindWindowExW(nullptr, w, L"#32768", nullptr)) {
        if (IsWindowVisible(w)) ++count;
    }
    return count;
}

}  // namespace e2e
