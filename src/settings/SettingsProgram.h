#pragma once
// The settings window, and the settings the program runs on. Start-up reads
// the settings before the window exists (Load), so that the hot key and the
// tray icon come first; once the window is made (Create) its controls are the
// program's only in-memory copy of the settings, and everything else reads
// them through the accessors.
#include <optional>
#include <string>
#include <vector>

#include "about/AboutTexts.h"
#include "image/Image32.h"

#include "overlay/ScreenshotKeyAndTexts.h"
#include "settings/CaptureSettings.h"
#include "settings/SettingsFile.h"
#include "win32/DialogLayout.h"
#include "win32/Handles.h"
#include "win32/Window.h"

class TForm_SettingsProgram : public kadrix::win::Window, public CaptureSettings {
public:
    // appFolder holds Settings.ini and Languages, and ends with a backslash.
    TForm_SettingsProgram(ScreenshotKeyAndTexts& overlay, AboutTexts& about, std::wstring appFolder);

    // Reads the language list and Settings.ini, applies the hot key and the
    // autorun entry, and puts the language's texts on the overlay and tray.
    void Load();
    // What start-up still owes once the tray icon shows: Settings.ini written
    // back as read, the language flags decoded.
    void FinishLoad();
    // Makes the window, its controls holding what Load read.
    // owner: the main window, so that the settings window has no taskbar button of its own.
    void Create(HWND owner);
    void Show();
    void Close() { SendMessageW(Handle(), WM_CLOSE, 0, 0); }

    int GetHotKey1() const;
    int GetHotKey2() const;
    bool GetSaveInFile() const override;
    std::wstring GetSavePath() const override;
    int GetFormatSaveInFile() const override;
    bool GetShowLine() const override;
    bool GetShowSize() const override;
    bool GetFormHint() const override;
    bool GetUploadOnServer() const override;
    std::wstring GetUploadHost() const override;
    kadrix::IniFile GetLanguage() const override;

    void LoadLanguageList();
    void LoadFlags();
    void LoadSettings();
    void SaveSettings();
    void ApplySettings();
    void ApplyLanguage();
    static void AutoRun(bool Flag, const std::wstring& NameParam, const std::wstring& Path);

    std::wstring TitleSelectDirectory;

    // What the folder browser gave: none when cancelled, else the chosen
    // folder, which goes to Edit_SavePath with exactly one trailing backslash.
    void TakeSelectedFolder(const std::optional<std::wstring>& chosen);
    // The page shown (0 or 1).
    int VisiblePage() const;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    // The settings as they stand: the controls once the window is made.
    kadrix::SettingsValues Current() const;
    void FillLanguagePicker();
    // The first language whose file has exactly this name, letter case
    // included, in list order; -1 if none has.
    int LanguageIndex(const std::u16string& file) const;
    // Chooses that language; none if there is none.
    void SelectLanguage(const std::u16string& file);
    void FormShow();
    void FormClose();
    void FormDestroy();
    void CheckBox_SaveInFileClick();
    void Button_SelectSavePathClick();
    // The hot-key letter: only A to Z, whatever the layout types.
    bool Edit_HotKey2KeyDown(WPARAM key);
    static LRESULT CALLBACK HotKeyEditProc(HWND edit, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                           DWORD_PTR self);
    // Sizes, fonts and places for a DPI; at creation and on WM_DPICHANGED.
    void ApplyDpi(UINT dpi);
    void LayOutControls();
    void PaintHeaderItem(const DRAWITEMSTRUCT& item);
    void ComboBox_ChooseLanguageChange();
    void ComboBox_ChooseLanguageDrawItem(const DRAWITEMSTRUCT& item);
    // The flags at the picker's cell size for the window's DPI.
    void MakeFlagImages();
    void ShowPage(int index);
    kadrix::SettingsValues ControlValues() const;
    void SetControlValues(const kadrix::SettingsValues& values);
    std::wstring SelectedLanguageFile() const;
    HWND AddControl(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int id = 0);

    std::wstring SettingsPath() const;
    kadrix::IniFile ReadSettingsFile() const;

    // The picker's row height in 96-DPI units; the flag cell is 24 x 20.
    static constexpr int kFlagRowHeight = 20;

    ScreenshotKeyAndTexts& overlay_;
    AboutTexts& about_;
    // What Load read, until the window's controls take it over.
    kadrix::SettingsValues values_;
    // Per language in list order: its file name, its name in the picker.
    std::vector<std::wstring> languageFiles_, languageNames_;
    // The chosen language's file until the window is made; empty: none.
    std::wstring languageFile_;
    // Per language in list order: its decoded flag, none without one.
    std::vector<std::optional<kadrix::Image32>> flagPictures_;
    // Per language: its image in ImageList_FlagsCountries, -1 without a flag.
    std::vector<int> flagImages_;
    kadrix::win::ImageList ImageList_FlagsCountries;
    // Settings.ini as Load read it, until FinishLoad writes it back.
    std::optional<kadrix::IniFile> loadedFile_;
    // Why Settings.ini could not be read at start-up; nothing is saved then.
    std::optional<std::wstring> loadError_;
    // The hot key last reported as taken, so that it is said once.
    std::wstring takenShortcutReported_;
    const std::wstring appFolder_;
    UINT dpi_ = 96;
    kadrix::win::Font font_;
    kadrix::win::Font titleFont_;
    kadrix::win::HeaderBand header_;
    HWND Image_Background = nullptr;
    HWND Image_Icon = nullptr;
    HWND PageControl = nullptr;
    HWND TabSheet_ParametersProgram = nullptr;
    HWND TabSheet_ParametersScreenshot = nullptr;
    HWND Label_Title = nullptr;
    HWND Label_Description = nullptr;
    HWND CheckBox_AutoRun = nullptr;
    HWND CheckBox_ShowHint = nullptr;
    HWND CheckBox_ShowSize = nullptr;
    HWND CheckBox_ShowLine = nullptr;
    HWND GroupBox_LanguageInterface = nullptr;
    HWND ComboBox_ChooseLanguage = nullptr;
    HWND GroupBox_HotKey = nullptr;
    HWND RadioButton_Alt = nullptr;
    HWND RadioButton_Ctrl = nullptr;
    HWND RadioButton_Shift = nullptr;
    HWND Label1 = nullptr;
    HWND Edit_HotKey2 = nullptr;
    HWND ListBox_LanguageFiles = nullptr;
    HWND GroupBox_SelectPath = nullptr;
    HWND Edit_SavePath = nullptr;
    HWND Button_SelectSavePath = nullptr;
    HWND CheckBox_UploadOnServer = nullptr;
    HWND CheckBox_SaveInFile = nullptr;
    HWND RadioGroup_FormatSaveInFile = nullptr;
    HWND RadioButton_Jpeg = nullptr;
    HWND RadioButton_Bmp = nullptr;
    HWND Panel_Bottom = nullptr;
    HWND Shape_TopLine = nullptr;
    HWND Button_Close = nullptr;
};
