#include "settings/SettingsProgram.h"

#include <commctrl.h>

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
constexpr int kIdClose = IDOK;
constexpr int kIdSaveInFile = 101;
constexpr int kIdSelectSavePath = 102;
constexpr int kIdChooseLanguage = 103;
constexpr int kIdPageControl = 104;

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

TForm_SettingsProgram::TForm_SettingsProgram(ScreenshotKeyAndTexts& overlay, std::wstring appFolder)
    : overlay_(overlay), appFolder_(std::move(appFolder)) {}

std::wstring TForm_SettingsProgram::SettingsPath() const { return appFolder_ + W(kSettingsFileName); }

IniFile TForm_SettingsProgram::ReadSettingsFile() const {
    const auto bytes = ReadFileBytes(SettingsPath());
    return ParseSettingsFile(bytes ? *bytes : std::string());
}

void TForm_SettingsProgram::Create(HWND owner) {
    const DWORD style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    RECT rc{0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&rc, style, FALSE, WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT);
    CreateHandle({L"TForm_SettingsProgram", 0, GetSysColorBrush(COLOR_BTNFACE),
                  LoadIconW(GetModuleHandleW(nullptr), L"MAINICON"), nullptr},
                 WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, style, L"Настройки", CW_USEDEFAULT, CW_USEDEFAULT,
                 rc.right - rc.left, rc.bottom - rc.top, owner);
    HWND hwnd = Handle();
    font_.Reset(CreateFontW(-Scale(hwnd, 11), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, CLEARTYPE_QUALITY, 0,
                        L"Tahoma"));

    Label_Title = AddControl(hwnd, L"STATIC", L"Настройки", SS_LEFT, 62, 8, 500, 20);
    Label_Description =
        AddControl(hwnd, L"STATIC", L"Здесь можно изменить настройки программы Kadrix.", SS_LEFT, 62, 33, 500, 16);

    PageControl = AddControl(hwnd, WC_TABCONTROLW, L"", WS_CLIPSIBLINGS | WS_TABSTOP, 8, 66, 660, 293, kIdPageControl);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(L"Параметры программы");
    SendMessageW(PageControl, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    item.pszText = const_cast<wchar_t*>(L"Параметры скриншота");
    SendMessageW(PageControl, TCM_INSERTITEMW, 1, reinterpret_cast<LPARAM>(&item));
    RECT page{0, 0, Scale(hwnd, 660), Scale(hwnd, 293)};
    SendMessageW(PageControl, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
    const int pageX = Scale(hwnd, 8) + page.left;
    const int pageY = Scale(hwnd, 66) + page.top;
    TabSheet_ParametersProgram = CreateContainer(hwnd, pageX, pageY, page.right - page.left, page.bottom - page.top);
    TabSheet_ParametersScreenshot = CreateContainer(hwnd, pageX, pageY, page.right - page.left, page.bottom - page.top);
    SetWindowPos(TabSheet_ParametersProgram, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetWindowPos(TabSheet_ParametersScreenshot, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

    HWND p1 = TabSheet_ParametersProgram;
    CheckBox_AutoRun = AddControl(p1, L"BUTTON",
                                  L"Запускать Kadrix при старте системы (для текущего пользователя)",
                                  BS_AUTOCHECKBOX | WS_TABSTOP, 3, 3, 450, 17);
    CheckBox_ShowHint = AddControl(p1, L"BUTTON", L"Показывать подсказку при затемнении экрана",
                                   BS_AUTOCHECKBOX | WS_TABSTOP, 3, 26, 450, 17);
    CheckBox_ShowSize =
        AddControl(p1, L"BUTTON", L"Показывать размеры скриншота", BS_AUTOCHECKBOX | WS_TABSTOP, 3, 49, 435, 17);
    CheckBox_ShowLine =
        AddControl(p1, L"BUTTON", L"Показывать направляющие линии", BS_AUTOCHECKBOX | WS_TABSTOP, 3, 72, 435, 17);
    GroupBox_LanguageInterface =
        AddControl(p1, L"BUTTON", L" Язык интерфейса ", BS_GROUPBOX, 3, 95, 228, 53);
    ComboBox_ChooseLanguage = AddControl(p1, WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 11, 113,
                                         212, 200, kIdChooseLanguage);
    GroupBox_HotKey =
        AddControl(p1, L"BUTTON", L" Горячая клавиша для снятия скриншота ", BS_GROUPBOX, 3, 154, 228, 89);
    RadioButton_Alt = AddControl(p1, L"BUTTON", L"Alt", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 50, 172, 45, 17);
    RadioButton_Ctrl = AddControl(p1, L"BUTTON", L"Ctrl", BS_AUTORADIOBUTTON, 50, 195, 45, 17);
    RadioButton_Shift = AddControl(p1, L"BUTTON", L"Shift", BS_AUTORADIOBUTTON, 50, 218, 45, 17);
    Label1 = AddControl(p1, L"STATIC", L"+", SS_LEFT | WS_GROUP, 101, 196, 12, 16);
    Edit_HotKey2 = AddControl(p1, L"EDIT", L"P", ES_CENTER | ES_UPPERCASE | WS_BORDER | WS_TABSTOP | WS_GROUP, 128,
                              193, 41, 21);
    SendMessageW(Edit_HotKey2, EM_LIMITTEXT, 1, 0);
    ListBox_LanguageFiles = AddControl(p1, L"LISTBOX", L"", 0, 0, 0, 0, 0);
    ShowWindow(ListBox_LanguageFiles, SW_HIDE);
    SetChecked(RadioButton_Ctrl, true);

    HWND p2 = TabSheet_ParametersScreenshot;
    GroupBox_SelectPath =
        AddControl(p2, L"BUTTON", L" Путь для сохранения скриншотов ", BS_GROUPBOX, 3, 3, 642, 51);
    Edit_SavePath = AddControl(p2, L"EDIT", L"", ES_READONLY | ES_AUTOHSCROLL | WS_BORDER, 13, 23, 595, 21);
    Button_SelectSavePath =
        AddControl(p2, L"BUTTON", L"...", BS_PUSHBUTTON | WS_TABSTOP, 614, 24, 21, 19, kIdSelectSavePath);
    CheckBox_UploadOnServer =
        AddControl(p2, L"BUTTON", L"Загружать скриншот на сервер", BS_AUTOCHECKBOX | WS_TABSTOP, 3, 60, 300, 17);
    CheckBox_SaveInFile = AddControl(p2, L"BUTTON", L"Сохранять скриншот в файл", BS_AUTOCHECKBOX | WS_TABSTOP, 3,
                                     83, 300, 17, kIdSaveInFile);
    RadioGroup_FormatSaveInFile =
        AddControl(p2, L"BUTTON", L" Формат для сохранения в файл ", BS_GROUPBOX, 3, 106, 181, 47);
    RadioButton_Jpeg = AddControl(p2, L"BUTTON", L"Jpeg", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 13, 126, 80, 17);
    RadioButton_Bmp = AddControl(p2, L"BUTTON", L"Bmp", BS_AUTORADIOBUTTON, 96, 126, 80, 17);
    ShowWindow(TabSheet_ParametersScreenshot, SW_HIDE);

    Panel_Bottom = CreateContainer(hwnd, 0, Scale(hwnd, kClientHeight - 41), Scale(hwnd, kClientWidth), Scale(hwnd, 41));
    Button_Close = AddControl(Panel_Bottom, L"BUTTON", L"Закрыть", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 588, 8,
                              80, 25, kIdClose);

    FormCreate();
}

HWND TForm_SettingsProgram::AddControl(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y,
                                       int w, int h, int id) {
    HWND hwnd = Handle();
    HWND control = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, Scale(hwnd, x), Scale(hwnd, y),
                                   Scale(hwnd, w), Scale(hwnd, h), parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
    return control;
}

void TForm_SettingsProgram::FormCreate() {
    // Whatever fails here (an unreadable or unwritable file, a refused
    // registry write) is reported, and the later steps still run on what
    // could be read: the program never starts without its hot key and texts.
    Guarded([this] { LoadLanguageList(); });
    Guarded([this] { LoadSettings(); });
    ApplySettings();
    Guarded([this] { ApplyLanguage(); });
    ShowPage(0);
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
        case kIdChooseLanguage:
            if (HIWORD(wParam) == CBN_SELCHANGE) ApplyLanguage();
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
    case WM_CLOSE:
        FormClose();
        return 0;
    case WM_DESTROY:
        FormDestroy();
        break;
    }
    return Default(msg, wParam, lParam);
}

// ---- accessors ------------------------------------------------------------

int TForm_SettingsProgram::GetHotKey1() const {
    if (Checked(RadioButton_Alt)) return kModifierAlt;
    if (Checked(RadioButton_Ctrl)) return kModifierCtrl;
    return kModifierShift;
}

int TForm_SettingsProgram::GetHotKey2() const {
    const std::wstring text = WindowText(Edit_HotKey2);
    // An emptied edit keeps the default letter rather than registering no key.
    return text.empty() ? 'P' : static_cast<int>(text[0]);
}

bool TForm_SettingsProgram::GetSaveInFile() const { return Checked(CheckBox_SaveInFile); }
std::wstring TForm_SettingsProgram::GetSavePath() const { return WindowText(Edit_SavePath); }

int TForm_SettingsProgram::GetFormatSaveInFile() const {
    if (Checked(RadioButton_Jpeg)) return 0;
    if (Checked(RadioButton_Bmp)) return 1;
    return -1;
}

bool TForm_SettingsProgram::GetShowLine() const { return Checked(CheckBox_ShowLine); }
bool TForm_SettingsProgram::GetShowSize() const { return Checked(CheckBox_ShowSize); }
bool TForm_SettingsProgram::GetFormHint() const { return Checked(CheckBox_ShowHint); }
bool TForm_SettingsProgram::GetUploadOnServer() const { return Checked(CheckBox_UploadOnServer); }

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
    const auto index = static_cast<int>(SendMessageW(ComboBox_ChooseLanguage, CB_GETCURSEL, 0, 0));
    return index < 0 ? std::wstring() : ListItemText(ListBox_LanguageFiles, index);
}

SettingsValues TForm_SettingsProgram::ControlValues() const {
    SettingsValues v;
    v.AutoRun = Checked(CheckBox_AutoRun);
    v.ShowHint = GetFormHint();
    v.ShowLine = GetShowLine();
    v.ShowSize = GetShowSize();
    v.HotKey1 = GetHotKey1();
    v.HotKey2 = static_cast<char16_t>(GetHotKey2());
    v.SavePath = U(GetSavePath());
    v.SaveInFile = GetSaveInFile();
    v.UploadOnServer = GetUploadOnServer();
    v.FormatSaveInFile = GetFormatSaveInFile();
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

    // The first list entry with exactly this name, letter case included.
    SendMessageW(ComboBox_ChooseLanguage, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    const auto count = static_cast<int>(SendMessageW(ListBox_LanguageFiles, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        if (ListItemText(ListBox_LanguageFiles, i) == W(v.LanguageFile)) {
            SendMessageW(ComboBox_ChooseLanguage, CB_SETCURSEL, i, 0);
            break;
        }
    }
}

void TForm_SettingsProgram::LoadSettings() {
    IniFile file;
    try {
        file = ReadSettingsFile();
    } catch (...) {
        // The defaults take over for this run, and the file is left alone.
        loadError_ = CurrentExceptionText();
        SettingsValues defaults;
        defaults.SavePath = U(appFolder_);
        SetControlValues(defaults);
        throw;
    }
    loadError_.reset();
    SetControlValues(ReadSettings(file, U(appFolder_)));
    WriteFileSafely(SettingsPath(), SettingsFileBytes(file));
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
    SettingsValues v = ControlValues();
    // With no language selected the stored name stays as it was.
    const std::wstring language = SelectedLanguageFile();
    v.LanguageFile = language.empty() ? file.ReadString(u"Main", u"LanguageFile", kDefaultLanguageFile) : U(language);
    WriteSettings(file, v);
    WriteFileSafely(SettingsPath(), SettingsFileBytes(file));
}

// ---- languages --------------------------------------------------------------

void TForm_SettingsProgram::LoadLanguageList() {
    SendMessageW(ListBox_LanguageFiles, LB_RESETCONTENT, 0, 0);
    SendMessageW(ComboBox_ChooseLanguage, CB_RESETCONTENT, 0, 0);
    const std::wstring folder = appFolder_ + W(kLanguagesFolder);
    WIN32_FIND_DATAW found{};
    FindHandle search(FindFirstFileW((folder + L"*.ini").c_str(), &found));
    if (!search) return;
    do {
        std::optional<IniFile> ini;
        try {
            ini = LoadLanguageIni(U(folder + found.cFileName), GetACP(), FileReader());
        } catch (const Error&) {
            continue;  // a file that cannot be read only drops its language from the list
        }
        const std::wstring name = W(ini->ReadString(KeyOf(InterfaceText::Main_Language).Section,
                                                    KeyOf(InterfaceText::Main_Language).Key, u"Русский"));
        SendMessageW(ListBox_LanguageFiles, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(found.cFileName));
        SendMessageW(ComboBox_ChooseLanguage, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    } while (FindNextFileW(search.Get(), &found));
}

void TForm_SettingsProgram::ApplyLanguage() {
    const std::wstring file = SelectedLanguageFile();
    if (file.empty()) return;  // no language selected: the built-in texts stay
    const auto ini = GetLanguage();
    auto text = [&](InterfaceText key) { return W(ReadText(ini, key)); };
    overlay_.ApplyLanguage(ini);

    using T = InterfaceText;
    SetWindowTextW(Handle(), text(T::SettingsProgram_Caption).c_str());
    SetWindowTextW(Label_Title, text(T::SettingsProgram_Title).c_str());
    SetWindowTextW(Label_Description, text(T::SettingsProgram_Description).c_str());
    SetWindowTextW(Button_Close, text(T::SettingsProgram_Close).c_str());

    auto setTab = [&](int index, const std::wstring& caption) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(caption.c_str());
        SendMessageW(PageControl, TCM_SETITEMW, index, reinterpret_cast<LPARAM>(&item));
    };
    auto groupCaption = [&](InterfaceText key) { return L" " + text(key) + L" "; };
    setTab(0, text(T::ParametersProgram_Caption));
    SetWindowTextW(CheckBox_AutoRun, text(T::ParametersProgram_AutoRun).c_str());
    SetWindowTextW(CheckBox_ShowHint, text(T::ParametersProgram_ShowHint).c_str());
    SetWindowTextW(CheckBox_ShowSize, text(T::ParametersProgram_ShowSize).c_str());
    SetWindowTextW(CheckBox_ShowLine, text(T::ParametersProgram_ShowLine).c_str());
    SetWindowTextW(GroupBox_LanguageInterface, groupCaption(T::ParametersProgram_LanguageInterface).c_str());
    SetWindowTextW(GroupBox_HotKey, groupCaption(T::ParametersProgram_HotKey).c_str());
    setTab(1, text(T::ParametersScreenshot_Caption));
    SetWindowTextW(GroupBox_SelectPath, groupCaption(T::ParametersScreenshot_PathSaveScreenshot).c_str());
    TitleSelectDirectory = text(T::ParametersScreenshot_SelectDirectory);
    SetWindowTextW(CheckBox_UploadOnServer, text(T::ParametersScreenshot_UploadOnServer).c_str());
    SetWindowTextW(CheckBox_SaveInFile, text(T::ParametersScreenshot_SaveInFile).c_str());
    SetWindowTextW(RadioGroup_FormatSaveInFile, groupCaption(T::ParametersScreenshot_FormatSaveInFile).c_str());
}
