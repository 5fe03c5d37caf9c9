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

// For helpers whose callers cannot check a result: a wait that times out
// throws, which ends the test with the message as its failure.
void Require(bool ok, const std::string& what);

std::wstring InstallSource();  // the installed program the tests copy (KADRIX_INSTALL_DIR)
std::string ReadFile(const std::wstring& path);
void WriteFile(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);
// The names in a folder (hidden ones included, "." and ".." not); none when
// it is missing. filesOnly leaves out the subfolders.
std::vector<std::wstring> FolderEntries(const std::wstring& folder, bool filesOnly = false);
// UTF-8, for messages.
std::string Narrow(const std::wstring& text);

// The clipboard's text, "(clipboard held)" when another program holds it.
std::wstring ClipboardText();
// Puts text on the clipboard with no owner window: emptying the clipboard
// sends its owner a message, and the test's windows are not pumped while it
// waits on Kadrix.
void PutTextOnClipboard(const std::wstring& text);

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
    // windows exist, Settings.ini is written and the tray icon shows; then
    // checks once that the screenshot hot key is taken. Throws when not.
    void StartAndWaitReady(UINT hotKeyModifiers = MOD_CONTROL, UINT hotKey = 'P');
    // Ends the process at once, as a crash or a kill would, and takes its
    // icon out of the tray, which a killed program leaves behind.
    void Kill();
    DWORD Pid() const { return process_.dwProcessId; }
    HANDLE Process() const { return process_.hProcess; }
    bool Running() const;
    std::optional<DWORD> WaitExit(std::chrono::milliseconds timeout = 10s);
    // The main window, found by class among this process's windows.
    HWND MainWindow() const { return FindProcessWindow(Pid(), L"TForm_Background"); }
    // The overlay and the settings window, which start-up makes last, both exist.
    bool WindowsCreated() const { return MainWindow() && FindProcessWindow(Pid(), L"TForm_SettingsProgram"); }

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

// The pattern of "another program" under a selection: every pixel its own,
// but for one pure-green pixel at (60, 60), which a capture must keep.
COLORREF Pattern(int x, int y);
void PaintPattern(HDC dc, int width, int height);  // a TestWindow paint function

// Keyboard and mouse, as real input events. Mouse events return once the
// system has taken them (the cursor stands there, the button state shows
// it); whether Kadrix has seen an event is for the caller to wait on, with
// the signs below.
void KeyDown(WORD vk);
void KeyUp(WORD vk);
void Press(WORD vk, std::initializer_list<WORD> modifiers = {});
// Ctrl+P until the overlay shows, at most three times; false if it never did.
// Under Wine on X a focus change between two injected keys can make the
// system forget the Ctrl (it takes the key state over from X, which never saw
// the injected key), so that Kadrix gets a plain P. A user's keys go through
// X and are not forgotten that way.
bool PressCtrlPUntilShown(HWND overlay);
void MoveMouse(int x, int y);
// One move event, not waited on: for a cursor that may be held back.
void SendMouseMove(int x, int y);
void MouseButton(DWORD downOrUpFlag);
void LeftClick(int x, int y);
void ReleaseAllKeys();

// Signs on the overlay's own pixels that Kadrix has dealt with the input so
// far; points are in screen coordinates, as the mouse moves.
bool RedNear(HWND overlay, int x, int y);       // a stroke or the frame passes within 2 pixels
bool EraserAt(HWND overlay, int x, int y);      // the eraser's frame stands around the cursor there
bool GuideLineAlong(HWND overlay, int y);       // the horizontal guide line runs along row y
bool HoldsMouse(HWND window);                   // has the mouse captured: a press is under way
// Moves the mouse and waits until seen() (throws when it never holds).
void MoveMouseUntil(int x, int y, const std::function<bool()>& seen, const std::string& what);
// Drags a selection on the shown overlay: the press waits until the overlay
// holds the mouse, each step until the frame reaches the cursor, the release
// until the overlay lets the mouse go.
void Drag(HWND overlay, int x0, int y0, int x1, int y1, int steps = 8);
// A whole capture with the mouse at (700, 700 + shift): Ctrl+P, a selection
// from (250, 250 + shift) to (450, 400 + shift), Enter; returns once the
// overlay has closed (throws when a step is not seen).
void SelectAndEnter(HWND overlay, int shift = 0);
// Before a stroke starts at (x, y) on a finished selection: the drawing timer
// reads the cursor on its own clock, so a stroke begun right after a move
// could start from where the cursor was before. Holding Ctrl there until the
// eraser shows proves the timer has the new position.
void PenTo(HWND overlay, int x, int y);

// Message boxes (#32770) of a process: title and the text of its static control.
struct MessageBoxInfo {
    HWND hwnd;
    std::wstring title;
    std::wstring text;
};
std::vector<MessageBoxInfo> MessageBoxes(DWORD pid);

// Whether some program holds the combination as a system-wide hot key. It
// registers the combination for a moment, so it is a probe to call once the
// program has shown it is done registering, never to poll while it may be.
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
// The rectangles of the items of a shown menu, top to bottom, as the menu
// itself shows them: each Down key highlights the next item, separators
// skipped. Checks that the menu has exactly `items` items.
std::vector<RECT> MenuItemRects(HWND menu, int items);
// Clicks an item of a shown menu. layout lists its rows top to bottom,
// 'i' for an item and '-' for a separator; the item is picked by its row.
void ClickMenuRow(HWND menu, const char* layout, int row);
// Opens the settings window with the tray menu; the window, or null.
HWND OpenSettingsFromTray(Kadrix& k);

// The selected entry of a combo box of another process.
int ComboSelection(HWND combo);
// Gives a closed combo box the keyboard focus: a click opens its list,
// Escape closes it again without changing the choice.
void FocusPicker(HWND combo);

}  // namespace e2e
