#pragma once
// The About box: name, version, build date and home page.
#include <string>

#include "about/AboutTexts.h"
#include "about/VersionInfo.h"
#include "win32/DialogLayout.h"
#include "win32/Handles.h"
#include "win32/Window.h"

class TForm_About : public kadrix::win::Window, public AboutTexts {
public:
    // owner: the main window, so that the About box has no taskbar button of its own.
    void Create(HWND owner);
    void Show();
    void Close() { SendMessageW(Handle(), WM_CLOSE, 0, 0); }

    // The version line from the language's texts and this executable's version.
    void SetVersion(const std::wstring& Version, const std::wstring& StrBit);
    // The build-date line from the language's text and this image's build stamp.
    void SetDateBuild(const std::wstring& Value);
    // The build's local date and time from the running image; the zero
    // date-time when it carries none.
    static kadrix::DateTime GetDateTimeBuild();
    // The file version of FileName formatted with four "%d"; empty without one.
    static std::wstring GetVersionFile(const std::wstring& FileName, const std::wstring& Format);

    void ApplyLanguage(const kadrix::IniFile& language) override;

    // The host the link shows and opens.
    static std::wstring HomePageHost();
    bool LinkHovered() const { return linkHovered_; }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void FormShow();
    void LabelMouseMove();
    void LabelMouseLeave();
    void Label_NameHomePageClick();
    void Button_CloseClick();
    void ApplyDpi(UINT dpi);
    void LayOutControls();
    void PaintHeaderItem(const DRAWITEMSTRUCT& item);
    static LRESULT CALLBACK LinkProc(HWND link, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR self);

    UINT dpi_ = 96;
    bool linkHovered_ = false;
    kadrix::win::Font font_;
    kadrix::win::Font boldFont_;
    kadrix::win::Font nameFont_;
    kadrix::win::Font linkFont_;
    kadrix::win::Font linkHoverFont_;
    kadrix::win::HeaderBand header_;
    HWND Image_Background = nullptr;
    HWND Image_Icon = nullptr;
    HWND Label_NameProgram = nullptr;
    HWND Label_Version = nullptr;
    HWND Label_DateBuild = nullptr;
    HWND Label_Copyright = nullptr;
    HWND Label_Author = nullptr;
    HWND Label_DescriptionProgram = nullptr;
    HWND Label_HomePage = nullptr;
    HWND Label_NameHomePage = nullptr;
    HWND Button_Close = nullptr;
};
