#include "overlay/Background.h"

#include <windows.h>
#include <windowsx.h>
#include <shellapi.h>
#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "about/About.h"
#include "localisation/LineBreakMarkup.h"
#include "settings/SettingsProgram.h"
#include "win32/ErrorHandler.h"
#include "win32/Paint.h"
#include "win32/WinText.h"

using namespace kadrix;
using namespace kadrix::win;

TForm_Background* Form_Background = nullptr;

namespace {

constexpr COLORREF kTransparentColor = RGB(0, 255, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

constexpr UINT_PTR kTimerDrawing = 1;        // Timer_Drawing
constexpr UINT_PTR kTimerFormAppearance = 2; // Timer_FormAppearance
constexpr UINT kDrawingInterval = 5;
constexpr UINT kFadeInterval = 10;

constexpr int kHotKeyScreenshot = 1;
constexpr int kHotKeyEnter = 2;
constexpr int kHotKeyEsc = 3;

constexpr UINT kTrayMessage = WM_APP + 1;
constexpr UINT kTrayId = 1;

enum MenuId : UINT {
    PopupMenu_MakeScreenshot = 201,
    PopupMenu_CopyInClipboard_LastURL,
    PopupMenu_CopyInClipboard_LastScreenshot,
    PopupMenu_OpenFolderWithScreenshots,
    PopupMenu_SettingsProgram,
    PopupMenu_AboutProgram,
    PopupMenu_Exit,
};

// The mouse messages that the overlay and its hint panel route to the handlers.
bool IsRoutedMouseMessage(UINT msg) {
    switch (msg) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        return true;
    default:
        return false;
    }
}

void Fill(HDC dc, const RECT& rc, COLORREF color) {
    SetBkColor(dc, color);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
}

// A rectangle shape: a 1-pixel frame in one colour around a fill in another.
void FramedRect(HDC dc, const Rect& r, COLORREF frame, COLORREF fill) {
    if (r.Empty()) return;
    Fill(dc, ToRECT(r), frame);
    if (r.Width > 2 && r.Height > 2) Fill(dc, RECT{r.Left + 1, r.Top + 1, r.Right() - 1, r.Bottom() - 1}, fill);
}

std::vector<MonitorBounds> MonitorList() {
    std::vector<MonitorBounds> monitors;
    EnumDisplayMonitors(
        nullptr, nullptr,
        [](HMONITOR monitor, HDC, LPRECT, LPARAM data) -> BOOL {
            MONITORINFO info{};
            info.cbSize = sizeof info;
            if (GetMonitorInfoW(monitor, &info)) {
                const RECT& r = info.rcMonitor;
                reinterpret_cast<std::vector<MonitorBounds>*>(data)->push_back(
                    {r.left, r.top, r.right - r.left, r.bottom - r.top});
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

// "Kadrix.exe" gives "Kadrix": the file name up to its first dot, every
// letter after the first in lower case.
std::wstring ApplicationTitle() {
    std::wstring name = ExePath();
    name = name.substr(name.find_last_of(L"\\/") + 1);
    name = name.substr(0, name.find(L'.'));
    if (name.size() > 1) CharLowerBuffW(name.data() + 1, static_cast<DWORD>(name.size() - 1));
    return name;
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

TForm_Background::TForm_Background() = default;
TForm_Background::~TForm_Background() { DestroyHandle(); }

void TForm_Background::Create() {
    menuCaptions_[0] = L"Сделать скриншот";
    menuCaptions_[1] = L"Поместить в буфер обмена";
    menuCaptions_[2] = L"URL последнего скриншота";
    menuCaptions_[3] = L"Последний скриншот";
    menuCaptions_[4] = L"Открыть папку со скриншотами";
    menuCaptions_[5] = L"Настройки";
    menuCaptions_[6] = L"О программе";
    menuCaptions_[7] = L"Выход";

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

    const auto monitors = MonitorList();
    const auto first = MonitorIndexForCursor(monitors, Cursor());
    UseDpi(first ? MonitorDpi(monitors[*first]) : 96);

    Panel_Hint.Create(this);

    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
    BuildMenu();
    AddTrayIcon();
}

// ---- opening, placing, fading, closing ------------------------------------

Point TForm_Background::Cursor() const {
    POINT p{};
    GetCursorPos(&p);
    return {p.x, p.y};
}

void TForm_Background::PopupMenu_MakeScreenshotClick() {
    HWND hwnd = Handle();
    RegisterHotKey(hwnd, kHotKeyEsc, 0, VK_ESCAPE);
    if (!Visible()) {
        FormShow();
        SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    }
    SetForegroundWindow(hwnd);
    SetTimer(hwnd, kTimerFormAppearance, kFadeInterval, nullptr);
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
}

void TForm_Background::SettingPositionForm(Point PosCursor) {
    const auto monitors = MonitorList();
    if (const auto index = MonitorIndexForCursor(monitors, PosCursor)) UseDpi(MonitorDpi(monitors[*index]));
    if (!scene_->Place(monitors, PosCursor)) return;
    const auto& b = scene_->Bounds();
    SetWindowPos(Handle(), nullptr, b.Left, b.Top, b.Width, b.Height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm_Background::SettingsForm(Point PosCursor) {
    scene_->Reset(PosCursor, Form_SettingsProgram->GetShowLine(), Form_SettingsProgram->GetFormHint());
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
    UnregisterHotKey(hwnd, kHotKeyEsc);
    UnregisterHotKey(hwnd, kHotKeyEnter);
    // Closing in the middle of a drag must not leave the cursor trapped.
    LiftConfinement();
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

void TForm_Background::FormMouseLeave() {
    const Point cursor = Cursor();
    if (!scene_->ShouldFollowCursor(cursor)) return;
    ShowWindow(Handle(), SW_HIDE);
    SettingPositionForm(cursor);
    scene_->CenterHintPanel();
    ApplySceneChanges();
    PopupMenu_MakeScreenshotClick();
}

// ---- the mouse ------------------------------------------------------------

void TForm_Background::FormMouseDown(MouseButton button) {
    if (!scene_->MouseDown(button, Cursor())) return;
    dragging_ = true;
    SetCapture(Handle());
    ApplySceneChanges();
    const auto& b = scene_->Bounds();
    const RECT confine{b.Left, b.Top, b.Left + b.Width, b.Top + b.Height};
    ClipCursor(&confine);
}

void TForm_Background::FormMouseMove(bool leftHeld) {
    scene_->MouseMove(Cursor(), leftHeld, Form_SettingsProgram->GetShowSize());
    ApplySceneChanges();
}

void TForm_Background::FormMouseUp(MouseButton button) {
    const Release result = scene_->MouseUp(button, Cursor());
    if (result == Release::Ignored) return;
    ApplySceneChanges();
    if (result == Release::Finished) {
        RegisterHotKey(Handle(), kHotKeyEnter, 0, VK_RETURN);
        SetTimer(Handle(), kTimerDrawing, kDrawingInterval, nullptr);
    }
    LiftConfinement();
}

void TForm_Background::DispatchMouse(UINT msg, WPARAM wParam, const std::function<bool(kadrix::MouseEvent)>& routes) {
    switch (msg) {
    case WM_MOUSEMOVE:
        if (routes(MouseEvent::Move)) FormMouseMove((wParam & MK_LBUTTON) != 0);
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (routes(MouseEvent::Press)) FormMouseDown(MouseButton::Left);
        break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        if (routes(MouseEvent::Press)) FormMouseDown(MouseButton::Right);
        break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
        if (routes(MouseEvent::Press)) FormMouseDown(MouseButton::Middle);
        break;
    case WM_LBUTTONUP:
        if (routes(MouseEvent::Release)) FormMouseUp(MouseButton::Left);
        break;
    case WM_RBUTTONUP:
        if (routes(MouseEvent::Release)) FormMouseUp(MouseButton::Right);
        break;
    case WM_MBUTTONUP:
        if (routes(MouseEvent::Release)) FormMouseUp(MouseButton::Middle);
        break;
    }
}

void TForm_Background::ApplySceneChanges() {
    HWND hwnd = Handle();
    const auto& panel = scene_->Panel();
    if (scene_->PanelMovedOrToggled()) {
        SetWindowPos(Panel_Hint.Handle(), HWND_TOP, panel.Bounds.Left, panel.Bounds.Top, panel.Bounds.Width,
                     panel.Bounds.Height, SWP_NOACTIVATE | (panel.Visible ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
    }
    if (scene_->FullRepaint()) {
        strokeArea_ = RECT{};  // a whole repaint wipes every stroke
        InvalidateRect(hwnd, nullptr, FALSE);
        InvalidateRect(Panel_Hint.Handle(), nullptr, FALSE);
        if (Visible()) {
            UpdateWindow(hwnd);
            UpdateWindow(Panel_Hint.Handle());
        }
    } else {
        // One invalidation call for all of them: each call is a trip to the
        // window manager, the region is built locally.
        const auto changed = scene_->Changed();
        if (!changed.empty()) {
            Region region(CreateRectRgn(0, 0, 0, 0));
            for (const Rect& r : changed) {
                Region piece(CreateRectRgn(r.Left, r.Top, r.Right(), r.Bottom()));
                CombineRgn(region.Get(), region.Get(), piece.Get(), RGN_OR);
            }
            InvalidateRgn(hwnd, region.Get(), FALSE);
        }
        for (const Rect& r : scene_->PanelChanged()) {
            const RECT rc = ToRECT(r);
            InvalidateRect(Panel_Hint.Handle(), &rc, FALSE);
        }
    }
    scene_->ClearChanges();
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
}

void TForm_Background::Timer_DrawingTimer() {
    const DrawTick tick = scene_->Tick(Cursor(), ShiftDown(), CtrlDown());
    if (tick.Draw) {
        const Rect area = scene_->PaintBoxRect();
        WindowDc dc(Handle());
        IntersectClipRect(dc.Get(), area.Left, area.Top, area.Right(), area.Bottom());
        SelectObjectScope pen(dc.Get(), drawingPen_.Get());
        const POINT from{area.Left + tick.From.X, area.Top + tick.From.Y};
        const POINT to{area.Left + tick.To.X, area.Top + tick.To.Y};
        MoveToEx(dc.Get(), from.x, from.y, nullptr);
        LineTo(dc.Get(), to.x, to.y);
        const int reach = scene_->Metrics().PenWidth;
        const RECT segment{std::min(from.x, to.x) - reach, std::min(from.y, to.y) - reach,
                           std::max(from.x, to.x) + reach + 1, std::max(from.y, to.y) + reach + 1};
        UnionRect(&strokeArea_, &strokeArea_, &segment);
    }
    ApplySceneChanges();
}

// ---- painting -------------------------------------------------------------

void TForm_Background::PaintTo(HDC dc, const RECT& clip) {
    Fill(dc, clip, GetSysColor(COLOR_APPWORKSPACE));
    SetBkMode(dc, TRANSPARENT);
    SelectObjectScope font(dc, readoutFont_.Get());
    SetTextColor(dc, kWhite);
    for (int i = 0; i < static_cast<int>(Item::Count); ++i) {
        const auto item = static_cast<Item>(i);
        const ItemState& state = scene_->Get(item);
        if (!state.Visible || state.Bounds.Empty()) continue;
        RECT rc = ToRECT(state.Bounds);
        RECT visible;
        if (!IntersectRect(&visible, &rc, &clip)) continue;
        switch (item) {
        case Item::LineX:
        case Item::LineY:
            Fill(dc, visible, kWhite);
            break;
        case Item::Screen:
            FramedRect(dc, state.Bounds, kRed, kTransparentColor);
            break;
        case Item::PaintBox:
            break;  // shows the frame's see-through fill; strokes are drawn straight onto the window
        case Item::EraserWhite:
            FramedRect(dc, state.Bounds, kWhite, kTransparentColor);
            break;
        case Item::EraserBlack:
            FramedRect(dc, state.Bounds, kBlack, kTransparentColor);
            break;
        case Item::TextX:
        case Item::TextY:
        case Item::TextW:
        case Item::TextH:
            Fill(dc, visible, kBlack);
            break;
        default: {
            const auto text = scene_->Text(item);
            ExtTextOutW(dc, rc.left, rc.top, 0, nullptr, reinterpret_cast<const wchar_t*>(text.data()),
                        static_cast<UINT>(text.size()), nullptr);
            break;
        }
        }
    }
}

void TForm_Background::OnPaint() {
    // The update region may be a few thin strips far apart (two guide lines,
    // a frame's edges): paint each of its rectangles on its own rather than
    // their bounding box, which could be the whole monitor.
    Region update(CreateRectRgn(0, 0, 0, 0));
    GetUpdateRgn(Handle(), update.Get(), FALSE);
    std::vector<RECT> rects;
    if (const DWORD size = GetRegionData(update.Get(), 0, nullptr)) {
        std::vector<unsigned char> data(size);
        auto* region = reinterpret_cast<RGNDATA*>(data.data());
        if (GetRegionData(update.Get(), size, region)) {
            const auto* first = reinterpret_cast<const RECT*>(region->Buffer);
            rects.assign(first, first + region->rdh.nCount);
        }
    }
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(Handle(), &ps);
    if (rects.empty()) rects.push_back(ps.rcPaint);
    RECT client;
    GetClientRect(Handle(), &client);
    if (!backDc_ || backSize_.cx != client.right || backSize_.cy != client.bottom) {
        // One back buffer the size of the overlay, made at the first paint
        // after a placement and reused by every paint after it.
        backDc_.Reset(CreateCompatibleDC(dc));
        backBitmap_.Reset(CreateCompatibleBitmap(dc, std::max<LONG>(client.right, 1), std::max<LONG>(client.bottom, 1)));
        SelectObject(backDc_.Get(), backBitmap_.Get());
        backSize_ = SIZE{client.right, client.bottom};
    }
    for (const RECT& clip : rects) {
        const int width = clip.right - clip.left;
        const int height = clip.bottom - clip.top;
        if (width <= 0 || height <= 0) continue;
        ++painted_.Paints;
        painted_.Pixels += static_cast<unsigned long long>(width) * height;
        const int saved = SaveDC(backDc_.Get());
        IntersectClipRect(backDc_.Get(), clip.left, clip.top, clip.right, clip.bottom);
        PaintTo(backDc_.Get(), clip);
        RestoreDC(backDc_.Get(), saved);
        BitBlt(dc, clip.left, clip.top, width, height, backDc_.Get(), clip.left, clip.top, SRCCOPY);
    }
    EndPaint(Handle(), &ps);
}

// ---- tray icon and menu ---------------------------------------------------

void TForm_Background::BuildMenu() {
    PopupMenu_TrayIcon.Reset(CreatePopupMenu());
    PopupMenu_CopyInClipboard = CreatePopupMenu();
    HMENU menu = PopupMenu_TrayIcon.Get();
    AppendMenuW(menu, MF_STRING, PopupMenu_MakeScreenshot, L"");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(PopupMenu_CopyInClipboard), L"");
    AppendMenuW(PopupMenu_CopyInClipboard, MF_STRING, PopupMenu_CopyInClipboard_LastURL, L"");
    AppendMenuW(PopupMenu_CopyInClipboard, MF_STRING, PopupMenu_CopyInClipboard_LastScreenshot, L"");
    AppendMenuW(menu, MF_STRING, PopupMenu_OpenFolderWithScreenshots, L"");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, PopupMenu_SettingsProgram, L"");
    AppendMenuW(menu, MF_STRING, PopupMenu_AboutProgram, L"");
    AppendMenuW(menu, MF_STRING, PopupMenu_Exit, L"");
    UpdateMenuCaptions();
}

void TForm_Background::UpdateMenuCaptions() {
    HMENU menu = PopupMenu_TrayIcon.Get();
    auto set = [](HMENU m, UINT item, BOOL byPosition, const std::wstring& text) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STRING;
        info.dwTypeData = const_cast<wchar_t*>(text.c_str());
        SetMenuItemInfoW(m, item, byPosition, &info);
    };
    set(menu, PopupMenu_MakeScreenshot, FALSE,
        shortcut_.empty() ? menuCaptions_[0] : menuCaptions_[0] + L"\t" + shortcut_);
    set(menu, 2, TRUE, menuCaptions_[1]);
    set(PopupMenu_CopyInClipboard, PopupMenu_CopyInClipboard_LastURL, FALSE, menuCaptions_[2]);
    set(PopupMenu_CopyInClipboard, PopupMenu_CopyInClipboard_LastScreenshot, FALSE, menuCaptions_[3]);
    set(menu, PopupMenu_OpenFolderWithScreenshots, FALSE, menuCaptions_[4]);
    set(menu, PopupMenu_SettingsProgram, FALSE, menuCaptions_[5]);
    set(menu, PopupMenu_AboutProgram, FALSE, menuCaptions_[6]);
    set(menu, PopupMenu_Exit, FALSE, menuCaptions_[7]);
}

void TForm_Background::SetMakeScreenshotShortcut(const std::wstring& shortcut) {
    shortcut_ = shortcut;
    UpdateMenuCaptions();
}

void TForm_Background::AddTrayIcon() {
    if (!trayIcon_) {
        // The image of the icon file drawn for the tray's size at this DPI
        // (16, 20, 24 or 32 pixels), not a scaled copy of another.
        HICON icon = nullptr;
        if (FAILED(LoadIconMetric(GetModuleHandleW(nullptr), L"MAINICON", LIM_SMALL, &icon)) || !icon) {
            const int size = GetSystemMetrics(SM_CXSMICON);
            icon = static_cast<HICON>(
                LoadImageW(GetModuleHandleW(nullptr), L"MAINICON", IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
        }
        trayIcon_.Reset(icon);
    }
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = Handle();
    data.uID = kTrayId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayMessage;
    data.hIcon = trayIcon_.Get();
    lstrcpynW(data.szTip, ApplicationTitle().c_str(), ARRAYSIZE(data.szTip));
    trayAdded_ = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
}

void TForm_Background::TrayIconMouseDown() {
    if (Form_SettingsProgram && Form_SettingsProgram->Visible()) Form_SettingsProgram->Close();
    if (Form_About && Form_About->Visible()) Form_About->Close();
}

void TForm_Background::TrayIconClick() { PopupMenu_MakeScreenshotClick(); }

void TForm_Background::ShowTrayMenu() {
    POINT at{};
    GetCursorPos(&at);
    // Without this the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(Handle());
    TrackPopupMenuEx(PopupMenu_TrayIcon.Get(), TPM_RIGHTBUTTON, at.x, at.y, Handle(), nullptr);
    PostMessageW(Handle(), WM_NULL, 0, 0);
}

void TForm_Background::PopupMenu_SettingsProgramClick() { Form_SettingsProgram->Show(); }
void TForm_Background::PopupMenu_AboutProgramClick() { Form_About->Show(); }
void TForm_Background::PopupMenu_ExitClick() { PostMessageW(Handle(), WM_CLOSE, 0, 0); }

void TForm_Background::ApplyLanguage(const IniFile& language) {
    auto text = [&](std::u16string_view section, std::u16string_view key) {
        return W(language.ReadString(section, key, u""));
    };
    constexpr std::u16string_view hintKeys[5] = {u"AllocateArea", u"DrawInArea", u"EraseDrawn", u"SaveScreenshot",
                                                 u"CancelMakeScreenshot"};
    std::wstring hints[5];
    for (int i = 0; i < 5; ++i) hints[i] = L"\u2981 " + text(u"Hint", hintKeys[i]);
    Panel_Hint.SetHints(hints);

    constexpr std::u16string_view menuKeys[8] = {u"MakeScreenshot", u"CopyInClipboard", u"CopyInClipboard_LastURL",
                                                 u"CopyInClipboard_LastScreenshot", u"OpenFolderWithScreenshots",
                                                 u"SettingsProgram", u"AboutProgram", u"Exit"};
    for (int i = 0; i < 8; ++i) menuCaptions_[i] = text(u"PopupMenuTray", menuKeys[i]);
    UpdateMenuCaptions();

    CopyClipboardLastURL_Caption = text(u"CopyClipboardLastURL", u"Caption");
    CopyClipboardLastURL_Text = W(ReplaceLineBreakMarkup(language.ReadString(u"CopyClipboardLastURL", u"Text", u"")));
    CopyClipboardLastScreenshot_Caption = text(u"CopyClipboardLastScreenshot", u"Caption");
    CopyClipboardLastScreenshot_Text =
        W(ReplaceLineBreakMarkup(language.ReadString(u"CopyClipboardLastScreenshot", u"Text", u"")));
}

std::wstring TForm_Background::GetLastURLAdress() const {
    std::lock_guard lock(lastUrlLock_);
    return LastURLAdress;
}

void TForm_Background::SetLastURLAdress(const std::wstring& url) {
    std::lock_guard lock(lastUrlLock_);
    LastURLAdress = url;
}

// ---- messages -------------------------------------------------------------

LRESULT TForm_Background::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == taskbarCreated_ && taskbarCreated_ != 0) {
        AddTrayIcon();
        return 0;
    }
    if (IsRoutedMouseMessage(msg)) {
        if (msg == WM_MOUSEMOVE && !trackingLeave_) {
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, Handle(), 0};
            trackingLeave_ = TrackMouseEvent(&track);
        }
        const Point at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        DispatchMouse(msg, wParam, [&](kadrix::MouseEvent ev) { return dragging_ || scene_->Routes(at, ev); });
        return 0;
    }
    switch (msg) {
    case WM_HOTKEY:
        DownHotKeys(wParam);
        return 0;
    case WM_TIMER:
        if (wParam == kTimerFormAppearance) Timer_FormAppearanceTimer();
        if (wParam == kTimerDrawing) Timer_DrawingTimer();
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
        break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        TrackModifier(wParam, false);
        break;
    case WM_KILLFOCUS:
        // Keys released elsewhere never reach us.
        shiftHeld_ = ctrlHeld_ = false;
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
    case kTrayMessage:
        switch (LOWORD(lParam)) {
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
            ShowTrayMenu();
            break;
        }
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
        if (trayAdded_) {
            NOTIFYICONDATAW data{};
            data.cbSize = sizeof data;
            data.hWnd = Handle();
            data.uID = kTrayId;
            Shell_NotifyIconW(NIM_DELETE, &data);
            trayAdded_ = false;
        }
        PopupMenu_TrayIcon.Reset();  // destroys the submenu with it
        PopupMenu_CopyInClipboard = nullptr;
        break;
    }
    return Default(msg, wParam, lParam);
}

// ---- the hint panel -------------------------------------------------------

void THintPanel::Create(TForm_Background* owner) {
    owner_ = owner;
    const auto& panel = owner->Scene().Panel();
    CreateHandle({L"TPanel_Hint", CS_DBLCLKS, nullptr, nullptr, nullptr}, 0, WS_CHILD | WS_CLIPSIBLINGS, L"",
                 panel.Bounds.Left, panel.Bounds.Top, panel.Bounds.Width, panel.Bounds.Height, owner->Handle());
    const wchar_t* builtIn[5] = {
        L"\u2981 Выделите область экрана",
        L"\u2981 Для рисования в выделенной области -  нажмите и удерживайте клавишу Shift",
        L"\u2981 Чтобы стереть нарисованное - нажмите и удерживайте клавишу Ctrl",
        L"\u2981 Чтобы сохранить сделанный скриншот - нажмите клавишу Enter",
        L"\u2981 Передумали делать скриншот - нажмите клавишу Esc",
    };
    for (int i = 0; i < 5; ++i) hints_[i] = builtIn[i];
}

void THintPanel::SetHints(const std::wstring (&texts)[5]) {
    for (int i = 0; i < 5; ++i) hints_[i] = texts[i];
    if (Handle()) InvalidateRect(Handle(), nullptr, FALSE);
}

void THintPanel::Paint(HDC dc, const RECT& clip) {
    const OverlayScene& scene = owner_->Scene();
    Fill(dc, clip, kBlack);
    Font font(CreateFontW(-scene.Metrics().HintFontHeight, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                          CLEARTYPE_QUALITY, 0, L"Tahoma"));
    SelectObjectScope select(dc, font.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kWhite);
    constexpr PanelItem labels[5] = {PanelItem::Hint1, PanelItem::Hint2, PanelItem::Hint3, PanelItem::Hint4,
                                     PanelItem::Hint5};
    for (int i = 0; i < 5; ++i) {
        RECT rc = ToRECT(scene.Get(labels[i]).Bounds);
        DrawTextW(dc, hints_[i].c_str(), static_cast<int>(hints_[i].size()), &rc,
                  (i == 0 ? DT_SINGLELINE : DT_WORDBREAK) | DT_NOPREFIX | DT_LEFT | DT_TOP);
    }
    for (PanelItem line : {PanelItem::LineHintX, PanelItem::LineHintY}) {
        const ItemState& state = scene.Get(line);
        if (state.Visible) Fill(dc, ToRECT(state.Bounds), kWhite);
    }
}

LRESULT THintPanel::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (IsRoutedMouseMessage(msg)) {
        if (msg == WM_MOUSEMOVE) {
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, Handle(), 0};
            TrackMouseEvent(&track);
        }
        const Point at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        owner_->DispatchMouse(msg, wParam,
                              [&](kadrix::MouseEvent ev) { return owner_->scene_->RoutesOnPanel(at, ev); });
        return 0;
    }
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Handle(), &ps);
        PaintBuffered(dc, ps.rcPaint, [&](HDC buffer) { Paint(buffer, ps.rcPaint); });
        EndPaint(Handle(), &ps);
        return 0;
    }
    case WM_PRINTCLIENT: {
        RECT rc;
        GetClientRect(Handle(), &rc);
        Paint(reinterpret_cast<HDC>(wParam), rc);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_MOUSELEAVE:
        owner_->FormMouseLeave();
        return 0;
    }
    return Default(msg, wParam, lParam);
}
