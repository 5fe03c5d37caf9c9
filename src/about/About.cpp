#include "about/About.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <string_view>
#include <vector>

#include "about/PeImage.h"
#include "localisation/InterfaceTexts.h"
#include "win32/ErrorHandler.h"
#include "win32/WinText.h"

using namespace kadrix;
using namespace kadrix::win;

#ifndef KADRIX_HOME_PAGE
#define KADRIX_HOME_PAGE "kadrix.example.org"
#endif

namespace {

constexpr int kClientWidth = 420;
constexpr int kClientHeight = 266;
constexpr int kIdLink = 201;
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kLinkColour = RGB(0, 0, 255);
constexpr int kBits = static_cast<int>(sizeof(void*) * 8);
// Ours, not from the language file.
constexpr wchar_t kCopyright[] = L"\u00A9 2017\u20132026";
constexpr char kHomePage[] = KADRIX_HOME_PAGE;

std::wstring ControlText(HWND control) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

// The height the control's text takes when wrapped at the control's width.
int WrappedHeight(HWND control) {
    const std::wstring text = ControlText(control);
    RECT rc;
    GetClientRect(control, &rc);
    WindowDc dc(control);
    SelectObjectScope font(dc.Get(), reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    DrawTextW(dc.Get(), text.c_str(), static_cast<int>(text.size()), &rc,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_LEFT | DT_TOP);
    return rc.bottom - rc.top;
}

std::wstring TimeSeparator() {
    wchar_t separator[8] = L":";
    if (!GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STIME, separator, 8)) return L":";
    return separator;
}

}  // namespace

std::wstring TForm_About::HomePageHost() {
    const std::string_view host(kHomePage);
    return std::wstring(host.begin(), host.end());
}

void TForm_About::Create(HWND owner) {
    CreateHandle({L"TForm_About", 0, GetSysColorBrush(COLOR_BTNFACE), LoadIconW(GetModuleHandleW(nullptr), L"MAINICON"),
                  nullptr},
                 WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, L"О программе",
                 CW_USEDEFAULT, CW_USEDEFAULT, kClientWidth, kClientHeight, owner);
    HWND hwnd = Handle();
    auto add = [&](const wchar_t* cls, const wchar_t* text, DWORD style, int id = 0) {
        return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, hwnd,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    };
    // The band and the white texts on it are painted by the window itself.
    Image_Background = add(L"STATIC", L"", SS_OWNERDRAW);
    Image_Icon = add(L"STATIC", L"", SS_OWNERDRAW);
    Label_NameProgram = add(L"STATIC", L"Kadrix", SS_OWNERDRAW);
    Label_Version = add(L"STATIC", L"", SS_OWNERDRAW);
    Label_DateBuild = add(L"STATIC", L"", SS_OWNERDRAW);
    Label_Copyright = add(L"STATIC", kCopyright, SS_LEFT | SS_NOPREFIX);
    Label_Author = add(L"STATIC", L"Команда Kadrix", SS_LEFT | SS_NOPREFIX);
    Label_DescriptionProgram =
        add(L"STATIC", L"Kadrix - программа для быстрого снятия скриншотов с экрана.", SS_LEFT | SS_NOPREFIX);
    Label_HomePage = add(L"STATIC", L"Домашняя страница:", SS_RIGHT | SS_NOPREFIX);
    Label_NameHomePage = add(L"STATIC", HomePageHost().c_str(), SS_LEFT | SS_NOPREFIX | SS_NOTIFY, kIdLink);
    SetWindowSubclass(Label_NameHomePage, LinkProc, 1, reinterpret_cast<DWORD_PTR>(this));
    Button_Close = add(L"BUTTON", L"Закрыть", BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK);

    // The built-in texts; a language's come through these same two calls.
    SetVersion(L"Версия", L"бит");
    SetDateBuild(L"Сборка от");
    ApplyDpi(WindowDpi(hwnd));
}

void TForm_About::SetVersion(const std::wstring& Version, const std::wstring& StrBit) {
    const std::wstring file = GetVersionFile(ExePath(), L"%d.%d.%d.%d");
    SetWindowTextW(Label_Version, W(VersionLine(U(Version), U(file), kBits, U(StrBit))).c_str());
    if (Handle()) LayOutControls();
}

void TForm_About::SetDateBuild(const std::wstring& Value) {
    SetWindowTextW(Label_DateBuild, W(DateBuildLine(U(Value), GetDateTimeBuild(), U(TimeSeparator()))).c_str());
    if (Handle()) LayOutControls();
}

void TForm_About::ApplyLanguage(const IniFile& language) {
    auto text = [&](InterfaceText key) { return W(ReadText(language, key)); };
    using T = InterfaceText;
    SetWindowTextW(Handle(), text(T::AboutProgram_Caption).c_str());
    SetWindowTextW(Label_NameProgram, text(T::AboutProgram_NameProgram).c_str());
    SetVersion(text(T::AboutProgram_Version), text(T::AboutProgram_Bit));
    SetDateBuild(text(T::AboutProgram_DataBuild));
    SetWindowTextW(Label_Author, text(T::AboutProgram_Author).c_str());
    SetWindowTextW(Label_DescriptionProgram, text(T::AboutProgram_DescriptionProgram).c_str());
    SetWindowTextW(Label_HomePage, text(T::AboutProgram_HomePage).c_str());
    SetWindowTextW(Button_Close, text(T::AboutProgram_Close).c_str());
    // Captions of another width: the right-aligned labels and the author move.
    LayOutControls();
}

DateTime TForm_About::GetDateTimeBuild() {
    // The headers' page is always mapped; it tells how far the image goes.
    const auto* base = reinterpret_cast<const uint8_t*>(GetModuleHandleW(nullptr));
    const auto size = PeSizeOfImage(std::span(base, 4096));
    if (!size) return kZeroDateTime;
    const auto stamp = ResourceTimeDateStamp(std::span(base, *size), PeLayout::Mapped);
    return stamp ? DecodeDosDateTime(*stamp) : kZeroDateTime;
}

std::wstring TForm_About::GetVersionFile(const std::wstring& FileName, const std::wstring& Format) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(FileName.c_str(), &ignored);
    if (size == 0) return {};
    std::vector<unsigned char> data(size);
    if (!GetFileVersionInfoW(FileName.c_str(), 0, size, data.data())) return {};
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
        length < sizeof *info) {
        return {};
    }
    return W(FormatFileVersion(info->dwFileVersionMS, info->dwFileVersionLS, U(Format)));
}

void TForm_About::ApplyDpi(UINT dpi) {
    dpi_ = dpi;
    font_ = UiFont(11, dpi);
    boldFont_ = UiFont(11, dpi, true);
    nameFont_ = UiFont(16, dpi, true);
    linkFont_ = UiFont(11, dpi);
    linkHoverFont_ = UiFont(11, dpi, false, true);
    header_.Load(dpi);
    auto set = [](HWND control, const Font& font) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), FALSE);
    };
    for (HWND c : {Label_Version, Label_DateBuild, Label_DescriptionProgram, Label_HomePage, Button_Close}) set(c, font_);
    for (HWND c : {Label_Copyright, Label_Author}) set(c, boldFont_);
    set(Label_NameProgram, nameFont_);
    set(Label_NameHomePage, linkHovered_ ? linkHoverFont_ : linkFont_);
    LayOutControls();
}

void TForm_About::LayOutControls() {
    HWND hwnd = Handle();
    SizeClientArea(hwnd, kClientWidth, kClientHeight, dpi_);
    // Places in 96-DPI units; labels take the size of their text, the two
    // right-aligned ones growing to the left.
    const ControlPlace table[] = {
        {&Image_Background, 0, 0, kClientWidth, 65},
        {&Image_Icon, 8, 8, 48, 48},
        {&Label_NameProgram, 64, 12, 0, 0, Fit::Label},
        {&Label_Version, 64, 39, 0, 0, Fit::Label},
        {&Label_DateBuild, 412, 39, 0, 0, Fit::RightLabel},
        {&Label_Copyright, 8, 77, 0, 0, Fit::Label},
        {&Label_Author, 88, 77, 0, 0, Fit::Label},
        {&Label_DescriptionProgram, 8, 96, 404, 13},
        {&Label_HomePage, 114, 115, 0, 0, Fit::RightLabel},
        {&Label_NameHomePage, 120, 115, 0, 0, Fit::Label},
        {&Button_Close, 332, 233, 80, 25},
    };
    LayOut(table, dpi_);
    // The author follows the copyright where a font draws that wider than its 80 pixels.
    const RECT copyright = RectInRoot(Label_Copyright);
    const RECT author = RectInRoot(Label_Author);
    if (author.left < copyright.right + ScaleTo(4, dpi_)) {
        SetWindowPos(Label_Author, nullptr, copyright.right + ScaleTo(4, dpi_), author.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // A caption too long for the room left of the link moves the pair right,
    // keeping the 6-pixel gap, rather than leaving the window.
    const RECT homePage = RectInRoot(Label_HomePage);
    const int margin = ScaleTo(8, dpi_);
    if (homePage.left < margin) {
        const int shift = margin - homePage.left;
        for (HWND c : {Label_HomePage, Label_NameHomePage}) {
            const RECT rc = RectInRoot(c);
            SetWindowPos(c, nullptr, rc.left + shift, rc.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    // The description wraps: a language whose sentence needs a second line
    // gets it, and the home-page row moves down by as much.
    RECT rc = RectInRoot(Label_DescriptionProgram);
    const int needed = std::max(LineHeight(Label_DescriptionProgram), WrappedHeight(Label_DescriptionProgram));
    if (rc.bottom - rc.top < needed) {
        SetWindowPos(Label_DescriptionProgram, nullptr, 0, 0, rc.right - rc.left, needed,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        const int shift = rc.top + needed - RectInRoot(Label_HomePage).top + ScaleTo(6, dpi_);
        if (shift > 0) {
            for (HWND c : {Label_HomePage, Label_NameHomePage}) {
                const RECT place = RectInRoot(c);
                SetWindowPos(c, nullptr, place.left, place.top + shift, 0, 0,
                             SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            }
        }
    }
    // Everything, title bar included: a shorter caption must leave nothing of the longer one behind.
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void TForm_About::PaintHeaderItem(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    // Each piece of the band paints the whole band, clipped to itself.
    const RECT self = RectInRoot(item.hwndItem);
    POINT oldOrigin;
    SetViewportOrgEx(dc, -self.left, -self.top, &oldOrigin);
    header_.Paint(dc, RectInRoot(Image_Background), RectInRoot(Image_Icon));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kWhite);
    for (HWND label : {Label_NameProgram, Label_Version, Label_DateBuild}) {
        RECT rc = RectInRoot(label);
        const std::wstring text = ControlText(label);
        SelectObjectScope font(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    }
    SetViewportOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
}

void TForm_About::Show() {
    if (!Visible()) FormShow();
    ShowWindow(Handle(), SW_SHOW);
    SetForegroundWindow(Handle());
    SetFocus(Button_Close);
}

void TForm_About::FormShow() {
    RECT rc;
    GetWindowRect(Handle(), &rc);
    SetWindowPos(Handle(), nullptr, (GetSystemMetrics(SM_CXSCREEN) - (rc.right - rc.left)) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - (rc.bottom - rc.top)) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm_About::LabelMouseMove() {
    if (!linkHovered_) {
        linkHovered_ = true;
        SendMessageW(Label_NameHomePage, WM_SETFONT, reinterpret_cast<WPARAM>(linkHoverFont_.Get()), TRUE);
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, Label_NameHomePage, 0};
        TrackMouseEvent(&track);
    }
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
}

void TForm_About::LabelMouseLeave() {
    linkHovered_ = false;
    SendMessageW(Label_NameHomePage, WM_SETFONT, reinterpret_cast<WPARAM>(linkFont_.Get()), TRUE);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

void TForm_About::Label_NameHomePageClick() {
    // A browser that does not open is not reported.
    const std::wstring address = L"http://" + ControlText(Label_NameHomePage);
    ShellExecuteW(Handle(), L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void TForm_About::Button_CloseClick() { ShowWindow(Handle(), SW_HIDE); }

LRESULT CALLBACK TForm_About::LinkProc(HWND link, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self) {
    auto* form = reinterpret_cast<TForm_About*>(self);
    switch (msg) {
    case WM_MOUSEMOVE:
        Guarded([&] { form->LabelMouseMove(); });
        return 0;
    case WM_MOUSELEAVE:
        Guarded([&] { form->LabelMouseLeave(); });
        return 0;
    case WM_SETCURSOR:
        SetCursor(LoadCursorW(nullptr, form->linkHovered_ ? IDC_HAND : IDC_ARROW));
        return TRUE;
    case WM_NCDESTROY:
        RemoveWindowSubclass(link, LinkProc, 1);
        break;
    }
    return DefSubclassProc(link, msg, wParam, lParam);
}

LRESULT TForm_About::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            Button_CloseClick();
            return 0;
        }
        if (LOWORD(wParam) == kIdLink && HIWORD(wParam) == STN_CLICKED) {
            Label_NameHomePageClick();
            return 0;
        }
        break;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->CtlType == ODT_STATIC) {
            PaintHeaderItem(*item);
            return TRUE;
        }
        break;
    }
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == Label_NameHomePage) {
            const HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, kLinkColour);
            SetBkColor(dc, GetSysColor(COLOR_WINDOW));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
        }
        break;
    case WM_DPICHANGED: {
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(Handle(), nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        ApplyDpi(LOWORD(wParam));
        return 0;
    }
    case WM_CLOSE:
        Button_CloseClick();
        return 0;
    }
    return Default(msg, wParam, lParam);
}
