#include "overlay/Background.h"

#include <windows.h>
#include <windowsx.h>

#include <algorithm>
#include <vector>

#include "localisation/InterfaceTexts.h"
#include "overlay/HotKeys.h"
#include "overlay/OverlayPaint.h"
#include "win32/ErrorHandler.h"
#include "win32/WinText.h"

using namespace kadrix;
using namespace kadrix::win;

namespace {

constexpr UINT kDrawingInterval = 5;
constexpr UINT kFadeInterval = 10;

std::vector<MonitorBounds> SystemMonitors() {
    std::vector<MonitorBounds> monitors;
    EnumDisplayMonitors(
        nullptr, nullptr,
        [](HMONITOR monitor, HDC, LPRECT, LPARAM data) noexcept -> BOOL {
            MONITORINFO info{};
            info.cbSize = sizeof info;
            if (!GetMonitorInfoW(monitor, &info)) return TRUE;
            const RECT& r = info.rcMonitor;
            try {
                reinterpret_cast<std::vector<MonitorBounds>*>(data)->push_back(
                    {r.left, r.top, r.right - r.left, r.bottom - r.top});
            } catch (...) {
                return FALSE;  // out of memory: the monitors found so far
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

// The effective DPI of a monitor; 96 where the system cannot tell.
int MonitorDpi(const MonitorBounds& monitor) {
    using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    static const auto getDpi = reinterpret_cast<GetDpiForMonitorFn>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(L"shcore.dll"), "GetDpiForMonitor")));
    const RECT rc{monitor.Left, monitor.Top, monitor.Left + monitor.Width, monitor.Top + monitor.Height};
    UINT x = 96, y = 96;
    if (!getDpi || FAILED(getDpi(MonitorFromRect(&rc, MONITOR_DEFAULTTONEAREST), 0, &x, &y))) x = 96;
    return static_cast<int>(x);
}

bool ModifierHeld() {
    return GetKeyState(VK_SHIFT) < 0 || GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0 ||
           GetKeyState(VK_LWIN) < 0 || GetKeyState(VK_RWIN) < 0;
}

}  // namespace

// Text widths of the read-outs, in their font.
class TForm_Background::ReadoutMeasurer : public TextMeasurer {
public:
    explicit ReadoutMeasurer(HFONT font) : dc_(CreateCompatibleDC(nullptr)), select_(dc_.Get(), font) {}
    int32_t Width(std::u16string_view text) const override {
        SIZE size{};
        GetTextExtentPoint32W(dc_.Get(), reinterpret_cast<const wchar_t*>(text.data()), static_cast<int>(text.size()),
                              &size);
        return size.cx;
    }

private:
    MemoryDc dc_;
    SelectObjectScope select_;
};

TForm_Background::TForm_Background(const CaptureSettings& settings, WindowCommands& windows)
    : settings_(settings), windows_(windows), monitors_(SystemMonitors) {}

TForm_Background::~TForm_Background() { DestroyHandle(); }

void TForm_Background::Create() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    CreateHandle({L"TForm_Background", CS_DBLCLKS, nullptr, LoadIconW(instance, L"MAINICON"), nullptr},
                 WS_EX_TOOLWINDOW, WS_POPUP | WS_CLIPCHILDREN, L"Kadrix", 0, 0, 0, 0, nullptr);
    FormCreate();
}

void TForm_Background::FormCreate() {
    HWND hwnd = Handle();
    // Exactly the tool-window style: no taskbar button, not among the
    // switchable windows. The layered style follows.
    SetWindowLongPtrW(hwnd, GWL_EXSTYLE, WS_EX_TOOLWINDOW);
    SetWindowLongPtrW(hwnd, GWL_EXSTYLE, WS_EX_TOOLWINDOW | WS_EX_LAYERED);
    SetLayeredWindowAttributes(hwnd, kTransparentColor, opacity_, LWA_ALPHA | LWA_COLORKEY);

    // The scene, its fonts and the hint panel wait until the tray icon shows
    // (PrepareCapture): a capture is not needed before.
    TrayIcon.Create(hwnd);
}

void TForm_Background::ShowTrayIcon() {
    TrayIcon.Add();
    PostMessageW(Handle(), kPrepareCapture, 0, 0);
}

void TForm_Background::PrepareCapture() {
    if (scene_) return;
    const auto monitors = monitors_();
    const auto index = MonitorIndexForCursor(monitors, Cursor());
    UseDpi(index ? MonitorDpi(monitors[*index]) : 96);
}

// ---- opening, placing, fading, closing ------------------------------------

Point TForm_Background::Cursor() const {
    POINT p{};
    GetCursorPos(&p);
    return {p.x, p.y};
}

void TForm_Background::PopupMenu_MakeScreenshotClick() {
    // An error box is task-modal: a capture opened under it would be a tinted
    // screen that ignores the mouse.
    if (ErrorBoxShown()) return;
    HWND hwnd = Handle();
    if (!escHotKey_) escHotKey_ = RegisterHotKey(hwnd, kHotKeyEsc, 0, VK_ESCAPE) != FALSE;
    if (!Visible()) {
        FormShow();
        SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        // Watched from the start, not from the first move over the window:
        // a cursor that goes straight to another monitor is followed too.
        trackingLeave_ = false;
        TrackLeave();
    }
    SetForegroundWindow(hwnd);
    SetFocus(hwnd);
    SetTimer(hwnd, kTimerFormAppearance, kFadeInterval, nullptr);
}

void TForm_Background::TrackLeave() {
    if (trackingLeave_) return;
    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, Handle(), 0};
    TrackMouseEvent(&track);
    // Windows posts the leave at once when the cursor is no longer over the
    // window (gone to another monitor while the overlay was showing, or over
    // the hint panel); Wine then quietly tracks nothing. Ask what is tracked,
    // and post the leave ourselves when it is not this window.
    TRACKMOUSEEVENT now{sizeof now, TME_QUERY, nullptr, 0};
    trackingLeave_ = TrackMouseEvent(&now) && now.hwndTrack == Handle() && (now.dwFlags & TME_LEAVE);
    if (!trackingLeave_) PostMessageW(Handle(), WM_MOUSELEAVE, 0, 0);
}

void TForm_Background::FormShow() {
    const Point cursor = Cursor();
    SettingPositionForm(cursor);
    SettingsForm(cursor);
}

// The overlay's items are sized for the DPI of the monitor they cover; a
// monitor of another DPI gets a new scene with its own sizes and fonts.
void TForm_Background::UseDpi(int dpi) {
    if (scene_ && dpi == dpi_) return;
    dpi_ = dpi;
    const auto metrics = OverlayMetrics::ForDpi(dpi);
    scene_.reset();
    measurer_.reset();
    readoutFont_.Reset(CreateFontW(-metrics.ReadoutFontHeight, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                                   NONANTIALIASED_QUALITY, 0, L"Tahoma"));
    drawingPen_.Reset(CreatePen(PS_SOLID, metrics.PenWidth, kRed));
    measurer_ = std::make_unique<ReadoutMeasurer>(readoutFont_.Get());
    scene_ = std::make_unique<OverlayScene>(*measurer_, metrics);
    scene_->Create(GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
    scene_->ClearChanges();
    if (!Panel_Hint.Handle()) Panel_Hint.Create(this);
}

void TForm_Background::SettingPositionForm(Point PosCursor) {
    PrepareCapture();
    const auto monitors = monitors_();
    if (const auto index = MonitorIndexForCursor(monitors, PosCursor)) {
        UseDpi(MonitorDpi(monitors[*index]));
        UseFramePeriodOf(monitors[*index]);
    }
    if (!scene_->Place(monitors, PosCursor)) return;
    const auto& b = scene_->Bounds();
    SetWindowPos(Handle(), nullptr, b.Left, b.Top, b.Width, b.Height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm_Background::SettingsForm(Point PosCursor) {
    scene_->Reset(PosCursor, settings_.GetShowLine(), settings_.GetFormHint());
    SetOpacity(0);
    ApplySceneChanges();
}

void TForm_Background::SetOpacity(BYTE opacity) {
    opacity_ = opacity;
    SetLayeredWindowAttributes(Handle(), kTransparentColor, opacity_, LWA_ALPHA | LWA_COLORKEY);
}

void TForm_Background::Timer_FormAppearanceTimer() {
    const FadeStep step = NextFadeStep(opacity_);
    if (step.Opacity != opacity_) SetOpacity(step.Opacity);
    if (step.Stop) KillTimer(Handle(), kTimerFormAppearance);
}

void TForm_Background::CancelScreenshot() {
    HWND hwnd = Handle();
    ShowWindow(hwnd, SW_HIDE);
    KillTimer(hwnd, kTimerDrawing);
    DropPendingFrame();
    pendingStrokes_.clear();
    if (escHotKey_) UnregisterHotKey(hwnd, kHotKeyEsc);
    if (enterHotKey_) UnregisterHotKey(hwnd, kHotKeyEnter);
    escHotKey_ = enterHotKey_ = enterArmed_ = false;
    // Closing in the middle of a drag must not leave the cursor trapped.
    LiftConfinement();
    // A monitor-sized buffer is not kept while no capture is open.
    backBuffer_.Release();
}

void TForm_Background::LiftConfinement() {
    if (dragging_) {
        dragging_ = false;
        ReleaseCapture();
    }
    ClipCursor(nullptr);
}

void TForm_Background::DownHotKeys(WPARAM id) {
    switch (id) {
    case kHotKeyEsc:
        CancelScreenshot();
        break;
    case kHotKeyScreenshot:
        PopupMenu_MakeScreenshotClick();
        break;
    case kHotKeyEnter: {
        // The overlay closes also when the screenshot fails; the error is
        // reported after that.
        struct CloseAfter {
            TForm_Background* self;
            ~CloseAfter() { self->CancelScreenshot(); }
        } closeAfter{this};
        ScreenCaptureRect();
        break;
    }
    default:
        break;
    }
}

// Esc and Enter as the overlay's own key presses: they act only where the
// system would not give them to us as hot keys, because another program
// holds the combination.
void TForm_Background::KeyPressed(WPARAM vk) {
    if (!Visible() || ModifierHeld()) return;
    if (vk == VK_ESCAPE && !escHotKey_) DownHotKeys(kHotKeyEsc);
    if (vk == VK_RETURN && enterArmed_ && !enterHotKey_) DownHotKeys(kHotKeyEnter);
}

void TForm_Background::FormMouseLeave() {
    // A leave queued behind Esc must not bring a cancelled capture back.
    if (!Visible()) return;
    const Point cursor = Cursor();
    if (!scene_->ShouldFollowCursor(cursor)) return;
    // Only for another monitor: starting again on this one would flicker.
    const auto monitors = monitors_();
    const auto target = MonitorIndexForCursor(monitors, cursor);
    if (!target || monitors[*target] == scene_->Bounds()) return;
    ShowWindow(Handle(), SW_HIDE);
    SettingPositionForm(cursor);
    scene_->CenterHintPanel();
    ApplySceneChanges();
    PopupMenu_MakeScreenshotClick();
}

// ---- the mouse ------------------------------------------------------------

void TForm_Background::FormMouseDown(MouseButton button, Point at) {
    if (!scene_->MouseDown(button, at)) return;
    dragging_ = true;
    SetCapture(Handle());
    ApplySceneChanges();
    const auto& b = scene_->Bounds();
    const RECT confine{b.Left, b.Top, b.Left + b.Width, b.Top + b.Height};
    ClipCursor(&confine);
}

void TForm_Background::FormMouseMove(bool leftHeld, Point at) {
    scene_->MouseMove(at, leftHeld, settings_.GetShowSize());
    PaceSceneChanges();
}

void TForm_Background::FormMouseUp(MouseButton button, Point at) {
    const Release result = scene_->MouseUp(button, at);
    if (result == Release::Ignored) return;
    ApplySceneChanges();
    if (result == Release::Finished) {
        enterArmed_ = true;
        if (!enterHotKey_) enterHotKey_ = RegisterHotKey(Handle(), kHotKeyEnter, 0, VK_RETURN) != FALSE;
        SetTimer(Handle(), kTimerDrawing, kDrawingInterval, nullptr);
    }
    LiftConfinement();
}

void TForm_Background::DispatchMouse(HWND from, UINT msg, WPARAM wParam, LPARAM lParam,
                                     const std::function<bool(kadrix::MouseEvent)>& routes) {
    // Where the event happened, not where the cursor is when it is handled:
    // on a busy machine the two differ, and a press belongs where it was made.
    POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ClientToScreen(from, &p);
    const Point at{p.x, p.y};
    switch (msg) {
    case WM_MOUSEMOVE:
        if (routes(MouseEvent::Move)) FormMouseMove((wParam & MK_LBUTTON) != 0, at);
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (routes(MouseEvent::Press)) FormMouseDown(MouseButton::Left, at);
        break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        if (routes(MouseEvent::Press)) FormMouseDown(MouseButton::Right, at);
        break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
        if (routes(MouseEvent::Press)) FormMouseDown(MouseButton::Middle, at);
        break;
    case WM_LBUTTONUP:
        if (routes(MouseEvent::Release)) FormMouseUp(MouseButton::Left, at);
        break;
    case WM_RBUTTONUP:
        if (routes(MouseEvent::Release)) FormMouseUp(MouseButton::Right, at);
        break;
    case WM_MBUTTONUP:
        if (routes(MouseEvent::Release)) FormMouseUp(MouseButton::Middle, at);
        break;
    }
}

// ---- drawing and eraser ---------------------------------------------------

// The thread's key state, and also the key messages the overlay has seen
// itself: an X11 desktop may resynchronise the key state behind the program's
// back while a key is held, which would break a stroke in the middle.
bool TForm_Background::ShiftDown() const {
    BYTE keys[256];
    return shiftHeld_ || (GetKeyboardState(keys) && (keys[VK_SHIFT] & 0x80));
}

bool TForm_Background::CtrlDown() const {
    BYTE keys[256];
    return ctrlHeld_ || (GetKeyboardState(keys) && (keys[VK_CONTROL] & 0x80));
}

void TForm_Background::TrackModifier(WPARAM vk, bool down) {
    if (vk == VK_SHIFT || vk == VK_LSHIFT || vk == VK_RSHIFT) shiftHeld_ = down;
    if (vk == VK_CONTROL || vk == VK_LCONTROL || vk == VK_RCONTROL) ctrlHeld_ = down;
    if (vk == VK_MENU || vk == VK_LMENU || vk == VK_RMENU) altHeld_ = down;
}

// ---- what the settings side drives ------------------------------------------

bool TForm_Background::SetScreenshotHotKey(unsigned modifiers, unsigned key, const std::wstring& shortcut) {
    UnregisterScreenshotHotKey();
    wantedHotKey_ = WantedHotKey{modifiers, key, shortcut};
    RetakeScreenshotHotKey();
    return screenshotHotKey_;
}

// Also run when the tray menu opens, so the key is taken back once the
// program that held it lets it go.
void TForm_Background::RetakeScreenshotHotKey() {
    if (screenshotHotKey_ || !wantedHotKey_) return;
    screenshotHotKey_ = RegisterHotKey(Handle(), kHotKeyScreenshot, wantedHotKey_->Modifiers, wantedHotKey_->Key) != FALSE;
    // The menu names the shortcut only while it works.
    SetMakeScreenshotShortcut(screenshotHotKey_ ? wantedHotKey_->Shortcut : std::wstring());
}

void TForm_Background::UnregisterScreenshotHotKey() {
    if (Handle() && screenshotHotKey_) UnregisterHotKey(Handle(), kHotKeyScreenshot);
    screenshotHotKey_ = false;
}

void TForm_Background::SetMakeScreenshotShortcut(const std::wstring& shortcut) { TrayIcon.SetShortcut(shortcut); }

void TForm_Background::ApplyLanguage(const IniFile& language) {
    auto text = [&](InterfaceText key) { return W(ReadText(language, key)); };
    Panel_Hint.SetHints({text(InterfaceText::Hint_AllocateArea), text(InterfaceText::Hint_DrawInArea),
                         text(InterfaceText::Hint_EraseDrawn), text(InterfaceText::Hint_SaveScreenshot),
                         text(InterfaceText::Hint_CancelMakeScreenshot)});

    TrayIcon.SetCaptions({text(InterfaceText::PopupMenuTray_MakeScreenshot),
                          text(InterfaceText::PopupMenuTray_CopyInClipboard),
                          text(InterfaceText::PopupMenuTray_CopyInClipboard_LastURL),
                          text(InterfaceText::PopupMenuTray_CopyInClipboard_LastScreenshot),
                          text(InterfaceText::PopupMenuTray_OpenFolderWithScreenshots),
                          text(InterfaceText::PopupMenuTray_SettingsProgram),
                          text(InterfaceText::PopupMenuTray_AboutProgram), text(InterfaceText::PopupMenuTray_Exit)});

    CopyClipboardLastURL_Caption = text(InterfaceText::CopyClipboardLastURL_Caption);
    CopyClipboardLastURL_Text = W(ReadMessageText(language, InterfaceText::CopyClipboardLastURL_Text));
    CopyClipboardLastScreenshot_Caption = text(InterfaceText::CopyClipboardLastScreenshot_Caption);
    CopyClipboardLastScreenshot_Text = W(ReadMessageText(language, InterfaceText::CopyClipboardLastScreenshot_Text));

    uploadTexts_ = {text(InterfaceText::UploadScreenshotOnServer_Caption),
                    W(ReadMessageText(language, InterfaceText::UploadScreenshotOnServer_ErrorUpload)),
                    text(InterfaceText::UploadScreenshotOnServer_SuccessfulUpload),
                    W(ReadMessageText(language, InterfaceText::UploadScreenshotOnServer_NoHost))};
}

// ---- tray icon and menu -----------------------------------------------------

void TForm_Background::TrayIconMouseDown() { windows_.CloseSettingsAndAbout(); }

void TForm_Background::TrayIconClick() { PopupMenu_MakeScreenshotClick(); }

void TForm_Background::TrayMessage(UINT mouseMessage) {
    // Nothing opens under an error box, and a press would close windows
    // whose closing may be what raised it.
    if (ErrorBoxShown()) {
        leftPressedOnTray_ = false;
        return;
    }
    switch (mouseMessage) {
    case WM_LBUTTONDOWN:
        leftPressedOnTray_ = true;
        TrayIconMouseDown();
        break;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        TrayIconMouseDown();
        break;
    case WM_LBUTTONUP:
        if (leftPressedOnTray_) {
            leftPressedOnTray_ = false;
            TrayIconClick();
        }
        break;
    case WM_RBUTTONUP:
        RetakeScreenshotHotKey();
        TrayIcon.ShowMenu();
        break;
    }
}

void TForm_Background::PopupMenu_SettingsProgramClick() {
    if (!ErrorBoxShown()) windows_.ShowSettings();
}

void TForm_Background::PopupMenu_AboutProgramClick() {
    if (!ErrorBoxShown()) windows_.ShowAbout();
}

void TForm_Background::PopupMenu_ExitClick() { PostMessageW(Handle(), WM_CLOSE, 0, 0); }

// ---- messages -------------------------------------------------------------

LRESULT TForm_Background::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (TrayIcon.IsTaskbarCreated(msg)) {
        TrayIcon.Add();
        return 0;
    }
    if (IsRoutedMouseMessage(msg)) {
        if (msg == WM_MOUSEMOVE) TrackLeave();
        const Point at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        DispatchMouse(Handle(), msg, wParam, lParam,
                      [&](kadrix::MouseEvent ev) { return dragging_ || scene_->Routes(at, ev); });
        return 0;
    }
    switch (msg) {
    case WM_HOTKEY:
        DownHotKeys(wParam);
        return 0;
    case kPrepareCapture:
        PrepareCapture();
        return 0;
    case WM_TIMER:
        if (wParam == kTimerFormAppearance) Timer_FormAppearanceTimer();
        if (wParam == kTimerDrawing) Timer_DrawingTimer();
        if (wParam == kTimerFrame) ApplySceneChanges();
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_PRINTCLIENT: {
        RECT rc;
        GetClientRect(Handle(), &rc);
        PaintTo(reinterpret_cast<HDC>(wParam), rc);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        TrackModifier(wParam, true);
        // Alt+F4 gives up the capture, as Esc does; only the tray menu's Exit
        // ends the program. Wine may deliver the F4 of a quick Alt+F4 as a
        // plain key press, so the Alt we saw go down counts too.
        if (wParam == VK_F4 && (msg == WM_SYSKEYDOWN || altHeld_)) {
            CancelScreenshot();
            return 0;
        }
        if (msg == WM_KEYDOWN) KeyPressed(wParam);
        break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        TrackModifier(wParam, false);
        break;
    case WM_KILLFOCUS:
        // Keys released elsewhere never reach us.
        shiftHeld_ = ctrlHeld_ = altHeld_ = false;
        break;
    case WM_MOUSELEAVE:
        trackingLeave_ = false;
        FormMouseLeave();
        return 0;
    case WM_CAPTURECHANGED:
        // Another window took the mouse in the middle of a drag: never leave
        // the cursor confined to this monitor.
        if (dragging_ && reinterpret_cast<HWND>(lParam) != Handle()) {
            dragging_ = false;
            ClipCursor(nullptr);
        }
        return 0;
    case WM_SYSCOMMAND:
        // The system's close command, too.
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            CancelScreenshot();
            return 0;
        }
        break;
    case TThreadUploadImageOnServer::kPutAddressOnClipboard:
        return PutLastAddressOnClipboard() ? 1 : 0;
    case TTrayIcon::kMessage:
        TrayMessage(LOWORD(lParam));
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case PopupMenu_MakeScreenshot: PopupMenu_MakeScreenshotClick(); break;
        case PopupMenu_CopyInClipboard_LastURL: PopupMenu_CopyInClipboard_LastURLClick(); break;
        case PopupMenu_CopyInClipboard_LastScreenshot: PopupMenu_CopyInClipboard_LastScreenshotClick(); break;
        case PopupMenu_OpenFolderWithScreenshots: PopupMenu_OpenFolderWithScreenshotsClick(); break;
        case PopupMenu_SettingsProgram: PopupMenu_SettingsProgramClick(); break;
        case PopupMenu_AboutProgram: PopupMenu_AboutProgramClick(); break;
        case PopupMenu_Exit: PopupMenu_ExitClick(); break;
        }
        return 0;
    case WM_CLOSE:
        // Closing the main window ends the program; the windows are
        // destroyed after the message loop.
        PostQuitMessage(0);
        return 0;
    case WM_DESTROY:
        ClipCursor(nullptr);
        backBuffer_.Release();
        TrayIcon.Remove();
        break;
    }
    return Default(msg, wParam, lParam);
}
