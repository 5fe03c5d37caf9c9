#include "settings/SettingsProgram.h"

#include <commctrl.h>

#include <shlobj.h>

#include <memory>
#include <optional>

#include "core/Error.h"
#include "core/Utf.h"
#include "localisation/InterfaceTexts.h"
#include "win32/AppFiles.h"
#include "win32/ErrorHandler.h"
#include "win32/Files.h"
#include "win32/WinText.h"

using namespace kadrix;
using namespace kadrix::win;

namespace {

constexpr int kClientWidth = 674;
constexpr int kClientHeight = 406;
constexpr int kFooterHeight = 41;
constexpr COLORREF kTopLineColour = RGB(160, 160, 160);
constexpr int kIdClose = IDOK;
constexpr int kIdSaveInFile = 101;
constexpr int kIdSelectSavePath = 102;
constexpr int kIdChooseLanguage = 103;
constexpr int kIdPageControl = 104;

void FillSolidRect(HDC dc, const RECT& rc, COLORREF colour) {
    Brush brush(CreateSolidBrush(colour));
    FillRect(dc, &rc, brush.Get());
}

bool Checked(HWND button) { return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }
void SetChecked(HWND button, bool on) { SendMessageW(button, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0); }

std::wstring WindowText(HWND hwnd) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring ListItemText(HWND list, int index) {
    const auto length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
    if (length < 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
}

}  // namespace

TForm_SettingsProgram::TForm_SettingsProgram(ScreenshotKeyAndTexts& overlay, AboutTexts& about, std::wstring appFolder)
    : overlay_(overlay), about_(about), appFolder_(std::move(appFolder)) {}

std::wstring TForm_SettingsProgram::SettingsPath() const { return appFolder_ + W(kSettingsFileName); }

IniFile TForm_SettingsProgram::ReadSettingsFile() const {
    const auto bytes = ReadFileBytes(SettingsPath());
    return ParseSettingsFile(bytes ? *bytes : std::string());
}

void TForm_SettingsProgram::Create(HWND owner) {
    const DWORD style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    CreateHandle({L"TForm_SettingsProgram", 0, GetSysColorBrush(COLOR_BTNFACE),
                  LoadIconW(GetModuleHandleW(nullptr), L"MAINICON"), nullptr},
                 WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, style, L"Настройки", CW_USEDEFAULT, CW_USEDEFAULT,
                 kClientWidth, kClientHeight, owner);
    HWND hwnd = Handle();

    // Created in tab order; LayOutControls places them.
    Image_Background = AddControl(hwnd, L"STATIC", L"", SS_OWNERDRAW);
    Image_Icon = AddControl(hwnd, L"STATIC", L"", SS_OWNERDRAW);
    Label_Title = AddControl(hwnd, L"STATIC", L"Настройки", SS_OWNERDRAW);
    Label_Description = AddControl(hwnd, L"STATIC", L"Здесь можно изменить настройки программы Kadrix.", SS_OWNERDRAW);

    PageControl = AddControl(hwnd, WC_TABCONTROLW, L"", WS_CLIPSIBLINGS | WS_TABSTOP, kIdPageControl);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(L"Параметры программы");
    SendMessageW(PageControl, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    item.pszText = const_cast<wchar_t*>(L"Параметры скриншота");
    SendMessageW(PageControl, TCM_INSERTITEMW, 1, reinterpret_cast<LPARAM>(&item));
    TabSheet_ParametersProgram = CreateContainer(hwnd, 0, 0, 0, 0);
    TabSheet_ParametersScreenshot = CreateContainer(hwnd, 0, 0, 0, 0);
    SetWindowPos(TabSheet_ParametersProgram, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetWindowPos(TabSheet_ParametersScreenshot, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

    HWND p1 = TabSheet_ParametersProgram;
    CheckBox_AutoRun = AddControl(p1, L"BUTTON", L"Запускать Kadrix при старте системы (для текущего пользователя)",
                                  BS_AUTOCHECKBOX | WS_TABSTOP);
    CheckBox_ShowHint =
        AddControl(p1, L"BUTTON", L"Показывать подсказку при затемнении экрана", BS_AUTOCHECKBOX | WS_TABSTOP);
    CheckBox_ShowSize = AddControl(p1, L"BUTTON", L"Показывать размеры скриншота", BS_AUTOCHECKBOX | WS_TABSTOP);
    CheckBox_ShowLine = AddControl(p1, L"BUTTON", L"Показывать направляющие линии", BS_AUTOCHECKBOX | WS_TABSTOP);
    GroupBox_LanguageInterface = AddControl(p1, L"BUTTON", L" Язык интерфейса ", BS_GROUPBOX);
    ComboBox_ChooseLanguage =
        AddControl(p1, WC_COMBOBOXW, L"",
                   CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | WS_VSCROLL | WS_TABSTOP, kIdChooseLanguage);
    GroupBox_HotKey = AddControl(p1, L"BUTTON", L" Горячая клавиша для снятия скриншота ", BS_GROUPBOX);
    RadioButton_Alt = AddControl(p1, L"BUTTON", L"Alt", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP);
    RadioButton_Ctrl = AddControl(p1, L"BUTTON", L"Ctrl", BS_AUTORADIOBUTTON);
    RadioButton_Shift = AddControl(p1, L"BUTTON", L"Shift", BS_AUTORADIOBUTTON);
    Label1 = AddControl(p1, L"STATIC", L"+", SS_LEFT | WS_GROUP);
    // No ES_UPPERCASE: the letter shown is the key's, never a rewritten character.
    Edit_HotKey2 = AddControl(p1, L"EDIT", L"P", ES_CENTER | WS_BORDER | WS_TABSTOP | WS_GROUP);
    SetWindowSubclass(Edit_HotKey2, HotKeyEditProc, 1, reinterpret_cast<DWORD_PTR>(this));
    ListBox_LanguageFiles = AddControl(p1, L"LISTBOX", L"", 0);
    ShowWindow(ListBox_LanguageFiles, SW_HIDE);
    SetChecked(RadioButton_Ctrl, true);

    HWND p2 = TabSheet_ParametersScreenshot;
    GroupBox_SelectPath = AddControl(p2, L"BUTTON", L" Путь для сохранения скриншотов ", BS_GROUPBOX);
    Edit_SavePath = AddControl(p2, L"EDIT", L"", ES_READONLY | ES_AUTOHSCROLL | WS_BORDER);
    Button_SelectSavePath = AddControl(p2, L"BUTTON", L"...", BS_PUSHBUTTON | WS_TABSTOP, kIdSelectSavePath);
    CheckBox_UploadOnServer =
        AddControl(p2, L"BUTTON", L"Загружать скриншот на сервер", BS_AUTOCHECKBOX | WS_TABSTOP);
    CheckBox_SaveInFile =
        AddControl(p2, L"BUTTON", L"Сохранять скриншот в файл", BS_AUTOCHECKBOX | WS_TABSTOP, kIdSaveInFile);
    RadioGroup_FormatSaveInFile = AddControl(p2, L"BUTTON", L" Формат для сохранения в файл ", BS_GROUPBOX);
    RadioButton_Jpeg = AddControl(p2, L"BUTTON", L"Jpeg", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP);
    RadioButton_Bmp = AddControl(p2, L"BUTTON", L"Bmp", BS_AUTORADIOBUTTON);
    ShowWindow(TabSheet_ParametersScreenshot, SW_HIDE);

    Panel_Bottom = CreateContainer(hwnd, 0, 0, 0, 0);
    Shape_TopLine = AddControl(Panel_Bottom, L"STATIC", L"", SS_OWNERDRAW);
    Button_Close =
        AddControl(Panel_Bottom, L"BUTTON", L"Закрыть", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, kIdClose);

    FillLanguagePicker();
    ApplyDpi(WindowDpi(hwnd));
    SetControlValues(values_);
    Guarded([this] { ApplyLanguage(); });
    ShowPage(0);
}

HWND TForm_SettingsProgram::AddControl(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int id) {
    return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

void TForm_SettingsProgram::ApplyDpi(UINT dpi) {
    dpi_ = dpi;
    font_ = UiFont(11, dpi);
    titleFont_ = UiFont(16, dpi, true);
    header_.Load(dpi);
    EnumChildWindows(
        Handle(),
        [](HWND child, LPARAM font) -> BOOL {
            SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(font_.Get()));
    SendMessageW(Label_Title, WM_SETFONT, reinterpret_cast<WPARAM>(titleFont_.Get()), FALSE);
    // The picker's rows and flags follow the scale too.
    for (WPARAM part : {static_cast<WPARAM>(-1), WPARAM{0}}) {
        SendMessageW(ComboBox_ChooseLanguage, CB_SETITEMHEIGHT, part, ScaleTo(kFlagRowHeight, dpi));
    }
    MakeFlagImages();
    LayOutControls();
}

void TForm_SettingsProgram::LayOutControls() {
    HWND hwnd = Handle();
    SizeClientArea(hwnd, kClientWidth, kClientHeight, dpi_);

    // Places in 96-DPI units. Check boxes, radio buttons, group boxes and
    // labels grow to their caption where a language needs more room.
    const ControlPlace window[] = {
        {&Image_Background, 0, 0, kClientWidth, 60},
        {&Image_Icon, 8, 5, 48, 48},
        {&Label_Title, 62, 8, 0, 0, Fit::Label},
        {&Label_Description, 62, 33, 0, 0, Fit::Label},
        {&PageControl, 8, 66, 660, 293},
        {&Panel_Bottom, 0, kClientHeight - kFooterHeight, kClientWidth, kFooterHeight},
    };
    const ControlPlace programPage[] = {
        {&CheckBox_AutoRun, 3, 3, 450, 17, Fit::Check},
        {&CheckBox_ShowHint, 3, 26, 450, 17, Fit::Check},
        {&CheckBox_ShowSize, 3, 49, 435, 17, Fit::Check},
        {&CheckBox_ShowLine, 3, 72, 435, 17, Fit::Check},
        {&GroupBox_LanguageInterface, 3, 95, 228, 53, Fit::Group},
        {&ComboBox_ChooseLanguage, 3 + 8, 95 + 18, 212, 200},
        {&GroupBox_HotKey, 3, 154, 228, 89, Fit::Group},
        {&RadioButton_Alt, 3 + 47, 154 + 18, 45, 17, Fit::Check},
        {&RadioButton_Ctrl, 3 + 47, 154 + 41, 45, 17, Fit::Check},
        {&RadioButton_Shift, 3 + 47, 154 + 64, 45, 17, Fit::Check},
        {&Label1, 3 + 98, 154 + 42, 0, 0, Fit::Label},
        {&Edit_HotKey2, 3 + 125, 154 + 39, 41, 21},
    };
    const ControlPlace screenshotPage[] = {
        {&GroupBox_SelectPath, 3, 3, 642, 51},
        {&Edit_SavePath, 3 + 10, 3 + 20, 595, 21},
        {&Button_SelectSavePath, 3 + 611, 3 + 21, 21, 19},
        {&CheckBox_UploadOnServer, 3, 60, 300, 17, Fit::Check},
        {&CheckBox_SaveInFile, 3, 83, 300, 17, Fit::Check},
        {&RadioGroup_FormatSaveInFile, 3, 106, 181, 47, Fit::Group},
        {&RadioButton_Jpeg, 3 + 10, 106 + 20, 80, 17, Fit::Check},
        {&RadioButton_Bmp, 3 + 93, 106 + 20, 80, 17, Fit::Check},
    };
    const ControlPlace footer[] = {
        {&Shape_TopLine, 0, 0, kClientWidth, 1},
        {&Button_Close, 588, 8, 80, 25},
    };
    LayOut(window, dpi_);
    LayOut(programPage, dpi_);
    LayOut(screenshotPage, dpi_);
    LayOut(footer, dpi_);
    // The footer sits on the bottom edge whatever the rounding of its parts.
    RECT client;
    GetClientRect(hwnd, &client);
    const int footerHeight = ScaleTo(kFooterHeight, dpi_);
    SetWindowPos(Panel_Bottom, nullptr, 0, client.bottom - footerHeight, client.right, footerHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    // The line stays one pixel at every scale.
    SetWindowPos(Shape_TopLine, nullptr, 0, 0, ScaleTo(kClientWidth, dpi_), 1, SWP_NOZORDER | SWP_NOACTIVATE);

    // The pages fill the page control's display area.
    RECT page = RectInRoot(PageControl);
    SendMessageW(PageControl, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
    for (HWND sheet : {TabSheet_ParametersProgram, TabSheet_ParametersScreenshot}) {
        SetWindowPos(sheet, nullptr, page.left, page.top, page.right - page.left, page.bottom - page.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // Everything, title bar and tab strip included: a shorter caption must
    // leave nothing of the longer one behind.
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void TForm_SettingsProgram::PaintHeaderItem(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    if (item.hwndItem == Shape_TopLine) {
        FillSolidRect(dc, item.rcItem, kTopLineColour);
        return;
    }
    // Each piece of the band paints the whole band, clipped to itself, so
    // that the title and description lie over the picture.
    const RECT self = RectInRoot(item.hwndItem);
    POINT oldOrigin;
    SetViewportOrgEx(dc, -self.left, -self.top, &oldOrigin);
    header_.Paint(dc, RectInRoot(Image_Background), RectInRoot(Image_Icon));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    for (HWND label : {Label_Title, Label_Description}) {
        RECT rc = RectInRoot(label);
        const std::wstring text = WindowText(label);
        SelectObjectScope font(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    }
    SetViewportOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
}

void TForm_SettingsProgram::Load() {
    // Whatever fails here (an unreadable or unwritable file, a refused
    // registry write) is reported, and the later steps still run on what
    // could be read: the program never starts without its hot key and texts.
    Guarded([this] { LoadLanguageList(); });
    Guarded([this] { LoadSettings(); });
    ApplySettings();
    Guarded([this] { ApplyLanguage(); });
}

void TForm_SettingsProgram::FinishLoad() {
    if (loadedFile_) {
        Guarded([this] { WriteFileSafely(SettingsPath(), SettingsFileBytes(*loadedFile_)); });
        loadedFile_.reset();
    }
    LoadFlags();
}

void TForm_SettingsProgram::ShowPage(int index) {
    SendMessageW(PageControl, TCM_SETCURSEL, index, 0);
    ShowWindow(TabSheet_ParametersProgram, index == 0 ? SW_SHOW : SW_HIDE);
    ShowWindow(TabSheet_ParametersScreenshot, index == 1 ? SW_SHOW : SW_HIDE);
}

void TForm_SettingsProgram::Show() {
    if (!Visible()) FormShow();
    ShowWindow(Handle(), SW_SHOW);
    SetForegroundWindow(Handle());
    SetFocus(Button_Close);
}

void TForm_SettingsProgram::FormShow() {
    RECT rc;
    GetWindowRect(Handle(), &rc);
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    SetWindowPos(Handle(), nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm_SettingsProgram::FormClose() {
    // The window always closes; a failed save is reported.
    ApplySettings();
    Guarded([this] { SaveSettings(); });
    ShowWindow(Handle(), SW_HIDE);
}

void TForm_SettingsProgram::FormDestroy() { overlay_.UnregisterScreenshotHotKey(); }

void TForm_SettingsProgram::CheckBox_SaveInFileClick() {
    const BOOL enable = GetSaveInFile() ? TRUE : FALSE;
    EnableWindow(RadioGroup_FormatSaveInFile, enable);
    EnableWindow(RadioButton_Jpeg, enable);
    EnableWindow(RadioButton_Bmp, enable);
}

LRESULT TForm_SettingsProgram::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case kIdClose:
        case IDCANCEL:
            FormClose();
            return 0;
        case kIdSaveInFile:
            if (HIWORD(wParam) == BN_CLICKED) CheckBox_SaveInFileClick();
            return 0;
        case kIdSelectSavePath:
            if (HIWORD(wParam) == BN_CLICKED) Button_SelectSavePathClick();
            return 0;
        case kIdChooseLanguage:
            if (HIWORD(wParam) == CBN_SELCHANGE) ComboBox_ChooseLanguageChange();
            return 0;
        }
        break;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->hwndFrom == PageControl && header->code == TCN_SELCHANGE) {
            ShowPage(static_cast<int>(SendMessageW(PageControl, TCM_GETCURSEL, 0, 0)));
        }
        break;
    }
    case WM_MEASUREITEM: {
        // Sent while the combo box is created, before the DPI is applied.
        auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (item->CtlType == ODT_COMBOBOX) {
            item->itemHeight = static_cast<UINT>(ScaleTo(kFlagRowHeight, dpi_));
            return TRUE;
        }
        break;
    }
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->CtlType == ODT_STATIC) {
            PaintHeaderItem(*item);
            return TRUE;
        }
        if (item->CtlType == ODT_COMBOBOX) {
            ComboBox_ChooseLanguageDrawItem(*item);
            return TRUE;
        }
        break;
    }
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == Edit_SavePath) {
            SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_MENUBAR));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_MENUBAR));
        }
        break;
    case WM_DPICHANGED: {
        // The suggested place, our own size for the new DPI, fonts made anew.
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(Handle(), nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        ApplyDpi(LOWORD(wParam));
        return 0;
    }
    case WM_CLOSE:
        FormClose();
        return 0;
    case WM_DESTROY:
        FormDestroy();
        break;
    }
    return Default(msg, wParam, lParam);
}

int TForm_SettingsProgram::VisiblePage() const {
    return static_cast<int>(SendMessageW(PageControl, TCM_GETCURSEL, 0, 0));
}

// ---- the hot-key letter -----------------------------------------------------

bool TForm_SettingsProgram::Edit_HotKey2KeyDown(WPARAM key) {
    // The virtual-key code, not the typed character: a Cyrillic layout still
    // gives the Latin letter the system registers the hot key by.
    if (key >= 'A' && key <= 'Z') {
        const wchar_t text[2] = {static_cast<wchar_t>(key), L'\0'};
        SetWindowTextW(Edit_HotKey2, text);
        SendMessageW(Edit_HotKey2, EM_SETSEL, 1, 1);
    }
    return true;  // every key-down stops here: digits, Backspace, Delete, arrows
}

LRESULT CALLBACK TForm_SettingsProgram::HotKeyEditProc(HWND edit, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                                       DWORD_PTR self) {
    auto* form = reinterpret_cast<TForm_SettingsProgram*>(self);
    switch (msg) {
    case WM_KEYDOWN:
        // Tab and Enter never get here: the dialog manager takes them first.
        if (wParam == VK_TAB || wParam == VK_RETURN || wParam == VK_ESCAPE) break;
        Guarded([&] { form->Edit_HotKey2KeyDown(wParam); });
        return 0;
    case WM_CHAR:
    case WM_IME_CHAR:
    case WM_PASTE:
    case WM_CUT:
    case WM_CLEAR:
    case WM_UNDO:
    case WM_CONTEXTMENU:
        // Edit_HotKey2KeyPress: nothing typed or pasted reaches the edit.
        if (msg == WM_CHAR && (wParam == L'\t' || wParam == L'\r' || wParam == 0x1B)) break;
        return 0;
    case WM_NCDESTROY:
        RemoveWindowSubclass(edit, HotKeyEditProc, 1);
        break;
    }
    return DefSubclassProc(edit, msg, wParam, lParam);
}

// ---- the folder chooser -----------------------------------------------------

namespace {

struct CoTaskFree {
    void operator()(void* p) const { CoTaskMemFree(p); }
};
using ItemIdList = std::unique_ptr<ITEMIDLIST, CoTaskFree>;

struct BrowseStart {
    std::wstring folder;
    HWND mainWindow;
};

int CALLBACK BrowseCallback(HWND browser, UINT msg, LPARAM, LPARAM data) {
    if (msg != BFFM_INITIALIZED) return 0;
    const auto* start = reinterpret_cast<const BrowseStart*>(data);
    // Centred on the monitor of the program's main window.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    RECT rc;
    if (GetMonitorInfoW(MonitorFromWindow(start->mainWindow, MONITOR_DEFAULTTOPRIMARY), &monitor) &&
        GetWindowRect(browser, &rc)) {
        const RECT& m = monitor.rcMonitor;
        SetWindowPos(browser, nullptr, m.left + (m.right - m.left - (rc.right - rc.left)) / 2,
                     m.top + (m.bottom - m.top - (rc.bottom - rc.top)) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (GetFileAttributesW(start->folder.c_str()) != INVALID_FILE_ATTRIBUTES) {
        SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(start->folder.c_str()));
    }
    return 0;
}

}  // namespace

void TForm_SettingsProgram::Button_SelectSavePathClick() {
    const BrowseStart start{GetSavePath(), GetWindow(Handle(), GW_OWNER)};
    PIDLIST_ABSOLUTE rootRaw = nullptr;
    SHParseDisplayName(L"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}", nullptr, &rootRaw, 0, nullptr);
    const ItemIdList root(rootRaw);

    BROWSEINFOW info{};
    info.hwndOwner = Handle();
    info.pidlRoot = root.get();
    info.lpszTitle = TitleSelectDirectory.c_str();
    info.ulFlags = BIF_NEWDIALOGSTYLE | BIF_RETURNONLYFSDIRS;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(&start);
    const ItemIdList chosen(SHBrowseForFolderW(&info));
    if (!chosen) {
        TakeSelectedFolder(std::nullopt);
        return;
    }
    wchar_t path[MAX_PATH] = {};
    TakeSelectedFolder(SHGetPathFromIDListW(chosen.get(), path) ? std::optional<std::wstring>(path) : std::nullopt);
}

void TForm_SettingsProgram::TakeSelectedFolder(const std::optional<std::wstring>& chosen) {
    if (!chosen || chosen->empty()) return;
    std::wstring path = *chosen;
    if (path.back() != L'\\') path += L'\\';
    SetWindowTextW(Edit_SavePath, path.c_str());
}

// ---- accessors ------------------------------------------------------------

int TForm_SettingsProgram::GetHotKey1() const { return Current().HotKey1; }
int TForm_SettingsProgram::GetHotKey2() const { return Current().HotKey2; }
bool TForm_SettingsProgram::GetSaveInFile() const { return Current().SaveInFile; }
std::wstring TForm_SettingsProgram::GetSavePath() const { return W(Current().SavePath); }
int TForm_SettingsProgram::GetFormatSaveInFile() const { return Current().FormatSaveInFile; }
bool TForm_SettingsProgram::GetShowLine() const { return Current().ShowLine; }
bool TForm_SettingsProgram::GetShowSize() const { return Current().ShowSize; }
bool TForm_SettingsProgram::GetFormHint() const { return Current().ShowHint; }
bool TForm_SettingsProgram::GetUploadOnServer() const { return Current().UploadOnServer; }

std::wstring TForm_SettingsProgram::GetUploadHost() const {
    return W(TrimControl(ReadSettingsFile().ReadString(u"Upload", u"Host", u"")));
}

IniFile TForm_SettingsProgram::GetLanguage() const {
    const std::wstring file = SelectedLanguageFile();
    if (file.empty()) return {};
    return LoadLanguageIni(U(appFolder_ + W(kLanguagesFolder) + file), GetACP(), FileReader());
}

// ---- the settings file ----------------------------------------------------

std::wstring TForm_SettingsProgram::SelectedLanguageFile() const {
    if (!Handle()) return languageFile_;
    const auto index = static_cast<int>(SendMessageW(ComboBox_ChooseLanguage, CB_GETCURSEL, 0, 0));
    return index < 0 ? std::wstring() : ListItemText(ListBox_LanguageFiles, index);
}

SettingsValues TForm_SettingsProgram::Current() const { return Handle() ? ControlValues() : values_; }

SettingsValues TForm_SettingsProgram::ControlValues() const {
    SettingsValues v;
    v.AutoRun = Checked(CheckBox_AutoRun);
    v.ShowHint = Checked(CheckBox_ShowHint);
    v.ShowLine = Checked(CheckBox_ShowLine);
    v.ShowSize = Checked(CheckBox_ShowSize);
    v.HotKey1 = Checked(RadioButton_Alt) ? kModifierAlt : Checked(RadioButton_Ctrl) ? kModifierCtrl : kModifierShift;
    const std::wstring key = WindowText(Edit_HotKey2);
    // An emptied edit keeps the default letter rather than registering no key.
    v.HotKey2 = key.empty() ? u'P' : static_cast<char16_t>(key[0]);
    v.SavePath = U(WindowText(Edit_SavePath));
    v.SaveInFile = Checked(CheckBox_SaveInFile);
    v.UploadOnServer = Checked(CheckBox_UploadOnServer);
    v.FormatSaveInFile = Checked(RadioButton_Jpeg) ? 0 : Checked(RadioButton_Bmp) ? 1 : -1;
    return v;
}

void TForm_SettingsProgram::SetControlValues(const SettingsValues& v) {
    SetChecked(CheckBox_AutoRun, v.AutoRun);
    SetChecked(CheckBox_ShowHint, v.ShowHint);
    SetChecked(CheckBox_ShowLine, v.ShowLine);
    SetChecked(CheckBox_ShowSize, v.ShowSize);
    SetChecked(RadioButton_Alt, v.HotKey1 == kModifierAlt);
    SetChecked(RadioButton_Ctrl, v.HotKey1 == kModifierCtrl);
    SetChecked(RadioButton_Shift, v.HotKey1 == kModifierShift);
    const wchar_t key[2] = {static_cast<wchar_t>(v.HotKey2), L'\0'};
    SetWindowTextW(Edit_HotKey2, key);
    SetWindowTextW(Edit_SavePath, W(v.SavePath).c_str());
    SetChecked(CheckBox_SaveInFile, v.SaveInFile);
    SetChecked(CheckBox_UploadOnServer, v.UploadOnServer);
    SetChecked(RadioButton_Jpeg, v.FormatSaveInFile == 0);
    SetChecked(RadioButton_Bmp, v.FormatSaveInFile == 1);
    CheckBox_SaveInFileClick();

    // The picker lists the languages in the catalogue's order.
    SendMessageW(ComboBox_ChooseLanguage, CB_SETCURSEL, static_cast<WPARAM>(LanguageIndex(v.LanguageFile)), 0);
}

void TForm_SettingsProgram::LoadSettings() {
    IniFile file;
    try {
        file = ReadSettingsFile();
    } catch (...) {
        // The defaults take over for this run, and the file is left alone.
        loadError_ = CurrentExceptionText();
        values_ = SettingsValues{};
        values_.SavePath = U(appFolder_);
        SelectLanguage(values_.LanguageFile);
        throw;
    }
    loadError_.reset();
    values_ = ReadSettings(file, U(appFolder_));
    SelectLanguage(values_.LanguageFile);
    // Written back by FinishLoad, once the tray icon shows.
    loadedFile_ = std::move(file);
}

void TForm_SettingsProgram::SaveSettings() {
    // The controls hold defaults, not the user's settings, when the file
    // could not be read: writing them would lose the real ones.
    if (loadError_) {
        throw Error(FormatText(u"The settings were not saved to \"%s\": it could not be read when Kadrix started, "
                               u"and saving now would replace it with default values.\r\n%s",
                               {U(SettingsPath()), U(*loadError_)}));
    }
    IniFile file = ReadSettingsFile();
    SettingsValues v = Current();
    // With no language selected the stored name stays as it was.
    const std::wstring language = SelectedLanguageFile();
    v.LanguageFile = language.empty() ? file.ReadString(u"Main", u"LanguageFile", kDefaultLanguageFile) : U(language);
    WriteSettings(file, v);
    WriteFileSafely(SettingsPath(), SettingsFileBytes(file));
}
