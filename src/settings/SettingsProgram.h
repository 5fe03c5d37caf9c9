#pragma once
// The settings window. Its controls are the program's only in-memory copy of
// the settings; everything else reads them through the accessors.
#include <string>

#include "settings/SettingsFile.h"
#include "win32/Window.h"

class TForm_SettingsProgram : public kadrix::win::Window {
public:
    void Create();
    void Show();
    void Close() { SendMessageW(Handle(), WM_CLOSE, 0, 0); }

    int GetHotKey1() const;
    int GetHotKey2() const;
    bool GetSaveInFile() const;
    std::wstring GetSavePath() const;
    int GetFormatSaveInFile() const;
    bool GetShowLine() const;
    bool GetShowSize() const;
    bool GetFormHint() const;
    bool GetUploadOnServer() const;

    void LoadLanguageList();
    void LoadSettings();
    void SaveSettings();
    void ApplySettings();
    void ApplyLanguage();
    static void AutoRun(bool Flag, const std::wstring& NameParam, const std::wstring& Path);

    std::wstring TitleSelectDirectory;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void FormCreate();
    void FormShow();
    void FormClose();
    void FormDestroy();
    void CheckBox_SaveInFileClick();
    void ShowPage(int index);
    kadrix::SettingsValues ControlValues() const;
    void SetControlValues(const kadrix::SettingsValues& values);
    std::wstring SelectedLanguageFile() const;
    HWND AddControl(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h,
                    int id = 0);

    HFONT font_ = nullptr;
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
    HWND Button_Close = nullptr;
};

extern TForm_SettingsProgram* Form_SettingsProgram;
