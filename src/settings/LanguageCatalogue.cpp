// The settings window's language side: the catalogue of installed languages
// with their flags, the owner-drawn picker, and ApplyLanguage, which puts the
// chosen language's texts on every window.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "core/Error.h"
#include "image/Png.h"
#include "image/Scale32.h"
#include "localisation/InterfaceTexts.h"
#include "settings/SettingsProgram.h"
#include "win32/AppFiles.h"
#include "win32/ErrorHandler.h"
#include "win32/Files.h"
#include "win32/WinText.h"

using namespace kadrix;
using namespace kadrix::win;

namespace {

constexpr int kFlagWidth = 24;
constexpr int kFlagHeight = 20;
constexpr int kTextLeft = kFlagWidth + 4;
constexpr int kTextTop = 2;
// Flags are tiny; a file larger than this is not a flag.
constexpr size_t kMaxFlagFileBytes = 1u << 20;

bool EndsWithIni(const std::wstring& name) {
    return name.size() > 4 && lstrcmpiW(name.c_str() + name.size() - 4, L".ini") == 0;
}

// The picture as a 32-bit DIB with its alpha, as an image list takes it.
Bitmap Dib32(const Image32& image) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = image.Width;
    info.bmiHeader.biHeight = -image.Height;  // top-down, like Image32
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    Bitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits) throw Error(u"Not enough memory for the language flags.");
    std::copy(image.Pixels.begin(), image.Pixels.end(), static_cast<std::uint8_t*>(bits));
    return bitmap;
}

}  // namespace

void TForm_SettingsProgram::LoadLanguageList() {
    languageFiles_.clear();
    languageNames_.clear();
    const std::wstring folder = appFolder_ + W(kLanguagesFolder);
    WIN32_FIND_DATAW found{};
    FindHandle search(FindFirstFileW((folder + L"*.ini").c_str(), &found));
    if (!search) return;
    do {
        const std::wstring name = found.cFileName;
        // Folders named like a language file are no language; the pattern
        // also matches longer extensions through short names.
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !EndsWithIni(name)) continue;
        std::optional<IniFile> ini;
        try {
            ini = LoadLanguageIni(U(folder + name), GetACP(), FileReader());
        } catch (const Error&) {
            continue;  // a file that cannot be read only drops its language from the list
        }
        const TextKey& key = KeyOf(InterfaceText::Main_Language);
        const std::wstring display = W(ini->ReadString(key.Section, key.Key, u"Русский"));
        languageFiles_.push_back(name);
        languageNames_.push_back(display);
    } while (FindNextFileW(search.Get(), &found));
}

void TForm_SettingsProgram::LoadFlags() {
    flagPictures_.clear();
    const std::wstring folder = appFolder_ + W(kLanguagesFolder) + L"Flags\\";
    for (const std::wstring& name : languageFiles_) {
        // A flag that cannot be read leaves its language without one; the
        // rest of the list and of the window's creation go on.
        const std::wstring flagPath = folder + name.substr(0, name.size() - 4) + L".png";
        std::optional<Image32> flag;
        try {
            if (const auto bytes = ReadFileBytes(flagPath, kMaxFlagFileBytes)) flag = DecodePng(*bytes);
        } catch (...) {
            ReportError(L"The flag \"" + flagPath + L"\" cannot be shown.\r\n" + CurrentExceptionText());
        }
        flagPictures_.push_back(std::move(flag));
    }
}

int TForm_SettingsProgram::LanguageIndex(const std::u16string& file) const {
    const auto found = std::find(languageFiles_.begin(), languageFiles_.end(), W(file));
    return found == languageFiles_.end() ? -1 : static_cast<int>(found - languageFiles_.begin());
}

void TForm_SettingsProgram::SelectLanguage(const std::u16string& file) {
    const int index = LanguageIndex(file);
    languageFile_ = index < 0 ? std::wstring() : languageFiles_[static_cast<size_t>(index)];
}

// The picker lists the names, the hidden list box the files, in one order.
void TForm_SettingsProgram::FillLanguagePicker() {
    SendMessageW(ListBox_LanguageFiles, LB_RESETCONTENT, 0, 0);
    SendMessageW(ComboBox_ChooseLanguage, CB_RESETCONTENT, 0, 0);
    for (size_t i = 0; i < languageFiles_.size(); ++i) {
        SendMessageW(ListBox_LanguageFiles, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(languageFiles_[i].c_str()));
        SendMessageW(ComboBox_ChooseLanguage, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(languageNames_[i].c_str()));
    }
}

void TForm_SettingsProgram::MakeFlagImages() {
    const int width = ScaleTo(kFlagWidth, dpi_);
    const int height = ScaleTo(kFlagHeight, dpi_);
    flagImages_.assign(flagPictures_.size(), -1);
    ImageList_FlagsCountries.Reset(ImageList_Create(width, height, ILC_COLOR32, static_cast<int>(flagPictures_.size()), 1));
    if (!ImageList_FlagsCountries) return;
    for (size_t i = 0; i < flagPictures_.size(); ++i) {
        if (!flagPictures_[i]) continue;
        const Bitmap bitmap = Dib32(ScaleImage32(*flagPictures_[i], width, height));
        flagImages_[i] = ImageList_Add(ImageList_FlagsCountries.Get(), bitmap.Get(), nullptr);
    }
    InvalidateRect(ComboBox_ChooseLanguage, nullptr, TRUE);
}

void TForm_SettingsProgram::ComboBox_ChooseLanguageDrawItem(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    FillRect(dc, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    const int index = static_cast<int>(item.itemID);
    if (index >= 0) {
        if (static_cast<size_t>(index) < flagImages_.size() && flagImages_[static_cast<size_t>(index)] >= 0) {
            ImageList_Draw(ImageList_FlagsCountries.Get(), flagImages_[static_cast<size_t>(index)], dc,
                           item.rcItem.left, item.rcItem.top, ILD_NORMAL);
        }
        const auto length = SendMessageW(item.hwndItem, CB_GETLBTEXTLEN, item.itemID, 0);
        if (length > 0) {
            std::wstring text(static_cast<size_t>(length) + 1, L'\0');
            SendMessageW(item.hwndItem, CB_GETLBTEXT, item.itemID, reinterpret_cast<LPARAM>(text.data()));
            text.resize(static_cast<size_t>(length));
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
            SelectObjectScope font(dc, font_.Get());
            RECT rc = item.rcItem;
            rc.left += ScaleTo(kTextLeft, dpi_);
            rc.top += ScaleTo(kTextTop, dpi_);
            DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc,
                      DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
        }
    }
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) DrawFocusRect(dc, &item.rcItem);
}

void TForm_SettingsProgram::ComboBox_ChooseLanguageChange() { ApplyLanguage(); }

void TForm_SettingsProgram::ApplyLanguage() {
    const std::wstring file = SelectedLanguageFile();
    if (file.empty()) return;  // no language selected: the built-in texts stay
    const auto ini = GetLanguage();
    auto text = [&](InterfaceText key) { return W(ReadText(ini, key)); };
    overlay_.ApplyLanguage(ini);
    // Before the window is made (at start-up) neither it nor the About box
    // exists yet; making this window puts the texts on both.
    if (!Handle()) return;
    about_.ApplyLanguage(ini);

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
    // Captions of another length: controls that fit their caption grow, and
    // the whole window is painted again.
    LayOutControls();
}
