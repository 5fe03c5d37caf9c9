#pragma once
// Drives the real Kadrix.exe the way a person would: a fresh install folder,
// real keyboard and mouse input through SendInput, and polling for the
// outcome with a timeout.
#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

using namespace std::chrono_literals;

// Polls cond every 10 ms until it holds or the timeout passes.
bool WaitFor(const std::function<bool()>& cond, std::chrono::milliseconds timeout = 10s);

std::wstring InstallSource();  // the installed program the tests copy (KADRIX_INSTALL_DIR)
std::string ReadFile(const std::wstring& path);
void WriteFile(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);

// A fresh copy of the installed program in its own folder, and its process.
class Kadrix {
public:
    Kadrix();   // creates the install folder; does not start the program
    ~Kadrix();  // ends the process if it still runs and removes the folder

    const std::wstring& Dir() const { return dir_; }
    std::wstring Exe() const { return dir_ + L"Kadrix.exe"; }
    std::wstring SettingsPath() const { return dir_ + L"Settings.ini"; }
    void WriteSettings(const std::string& text) { WriteFile(SettingsPath(), "\xEF\xBB\xBF" + text); }

    // Starts a copy; several may run (the second-instance test).
    PROCESS_INFORMATION Start();
    // Starts the copy the test works with and waits until it is ready: its
    // main window exists and the settings were written.
    void StartAndWaitReady(UINT hotKeyModifiers = MOD_CONTROL, UINT hotKey = 'P');
    DWORD Pid() const { return process_.dwProcessId; }
    HANDLE Process() const { return process_.hProcess; }
    bool Running() const;
    std::optional<DWORD> WaitExit(std::chrono::milliseconds timeout = 10s);
    // The main window, found by class among this process's windows.
    HWND MainWindow() const { return FindProcessWindow(Pid(), L"TForm_Background"); }

    static HWND FindProcessWindow(DWORD pid, const wchar_t* cls, bool visibleOnly = false);
    static std::vector<HWND> ProcessWindows(DWORD pid, const wchar_t* cls, bool visibleOnly);

private:
    std::wstring dir_;
    PROCESS_INFORMATION process_{};
};

// A plain window of the test's own, to stand in for "another program".
class TestWindow {
public:
    TestWindow(int x, int y, int width, int height, std::function<void(HDC, int, int)> paint = {});
    ~TestWindow();
    HWND Handle() const { return hwnd_; }
    void Pump();  // handles the test window's pending messages
    std::vector<UINT> KeysDown;

private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    HWND hwnd_ = nullptr;
    std::function<void(HDC, int, int)> paint_;
};

// Keyboard and mouse, as real input events.
void KeyDown(WORD vk);
void KeyUp(WORD vk);
void Press(WORD vk, std::initializer_list<WORD> modifiers = {});
void MoveMouse(int x, int y);
void MouseButton(DWORD downOrUpFlag);
void LeftClick(int x, int y);
void Drag(int x0, int y0, int x1, int y1, int steps = 8);
void ReleaseAllKeys();

// Message boxes (#32770) of a process: title and the text of its static control.
struct MessageBoxInfo {
    HWND hwnd;
    std::wstring title;
    std::wstring text;
};
std::vector<MessageBoxInfo> MessageBoxes(DWORD pid);

// Whether some program holds the combination as a system-wide hot key.
bool HotKeyTaken(UINT modifiers, UINT vk);

// The header of a 32-bit top-down device-independent bitmap.
BITMAPINFO TopDown32(int width, int height);

// Pixels of a bitmap, 0x00RRGGBB, rows top-down.
std::vector<DWORD> BitmapPixels(HBITMAP bitmap, int& width, int& height);

// Pixels of a window as it is shown: 0x00BBGGRR values, row by row.
std::vector<COLORREF> WindowPixels(HWND hwnd, const RECT& area);

// The notification-area icon host of the desktop, and the spot of the first icon on it.
std::optional<POINT> TrayIconPoint();

// Right-clicks the tray icon and waits for its menu.
HWND OpenTrayMenu();
// How many menus are shown (a submenu counts too), and the newest of them.
int OpenMenus();
HWND NewestMenu();
// Clicks an item of a shown menu. layout lists its rows top to bottom,
// 'i' for an item and '-' for a separator; the item is picked by its row.
void ClickMenuRow(HWND menu, const char* layout, int row);

}  // namespace e2e
