#pragma once
// The capture overlay: the program's main window. It covers one monitor while
// a capture is open, owns the tray icon and its menu, and takes the screenshot.
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "localisation/IniFile.h"
#include "overlay/OverlayScene.h"
#include "win32/Handles.h"
#include "win32/Window.h"

class TForm_Background;

// An overlay rectangle as the Windows API takes it (right and bottom exclusive).
inline RECT ToRECT(const kadrix::Rect& r) { return RECT{r.Left, r.Top, r.Right(), r.Bottom()}; }

// The hint panel: a real child window, so that it lies above every painted
// item of the overlay.
class THintPanel : public kadrix::win::Window {
public:
    void Create(TForm_Background* owner);
    void SetHints(const std::wstring (&texts)[5]);

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void Paint(HDC dc, const RECT& clip);
    TForm_Background* owner_ = nullptr;
    std::wstring hints_[5];
};

class TForm_Background : public kadrix::win::Window {
public:
    TForm_Background();
    ~TForm_Background() override;

    void Create();

    // Opening and closing a capture.
    void PopupMenu_MakeScreenshotClick();
    void CancelScreenshot();
    void SettingPositionForm(kadrix::Point PosCursor);
    void SettingsForm(kadrix::Point PosCursor);

    // Menu commands.
    void PopupMenu_SettingsProgramClick();
    void PopupMenu_AboutProgramClick();
    void PopupMenu_ExitClick();
    void PopupMenu_CopyInClipboard_LastURLClick();
    void PopupMenu_CopyInClipboard_LastScreenshotClick();
    void PopupMenu_OpenFolderWithScreenshotsClick();

    void ScreenCaptureRect();

    void SetMakeScreenshotShortcut(const std::wstring& shortcut);
    void ApplyLanguage(const kadrix::IniFile& language);

    // The address of the last upload; written by upload workers on their own
    // threads, so it is only reached through these two.
    std::wstring GetLastURLAdress() const;
    void SetLastURLAdress(const std::wstring& url);

    const kadrix::OverlayScene& Scene() const { return *scene_; }
    HMENU TrayMenu() const { return PopupMenu_TrayIcon.Get(); }

    // How much the overlay has painted: benchmarks and tests hold us to
    // repainting only what changed.
    struct PaintStats {
        unsigned long long Paints = 0;
        unsigned long long Pixels = 0;
    };
    const PaintStats& Painted() const { return painted_; }

    // Paints the overlay's items inside clip (overlay coordinates) into dc,
    // whose origin is the overlay's top-left corner.
    void PaintTo(HDC dc, const RECT& clip);

    // The mouse handlers, also called by the hint panel for the events it routes.
    void FormMouseDown(kadrix::MouseButton button);
    void FormMouseMove(bool leftHeld);
    void FormMouseUp(kadrix::MouseButton button);
    void FormMouseLeave();

    std::wstring CopyClipboardLastURL_Caption, CopyClipboardLastURL_Text;
    std::wstring CopyClipboardLastScreenshot_Caption, CopyClipboardLastScreenshot_Text;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    class ReadoutMeasurer;

    void FormCreate();
    void FormShow();
    void DownHotKeys(WPARAM id);
    void Timer_FormAppearanceTimer();
    void Timer_DrawingTimer();
    bool ShiftDown() const;
    bool CtrlDown() const;
    void TrackModifier(WPARAM vk, bool down);
    void TrayIconClick();
    void TrayIconMouseDown();
    void AddTrayIcon();
    void ShowTrayMenu();
    void BuildMenu();
    void UpdateMenuCaptions();
    void SetOpacity(BYTE opacity);
    void UseDpi(int dpi);
    void ApplySceneChanges();
    void LiftConfinement();
    void OnPaint();
    kadrix::Point Cursor() const;
    // Hands a mouse message to the handlers when routes() lets its event through.
    void DispatchMouse(UINT msg, WPARAM wParam, const std::function<bool(kadrix::MouseEvent)>& routes);

    // The font outlives the measurer that selects it, the measurer the scene.
    kadrix::win::Font readoutFont_;
    kadrix::win::Pen drawingPen_;
    std::unique_ptr<ReadoutMeasurer> measurer_;
    std::unique_ptr<kadrix::OverlayScene> scene_;
    THintPanel Panel_Hint;
    kadrix::win::Menu PopupMenu_TrayIcon;
    HMENU PopupMenu_CopyInClipboard = nullptr;
    kadrix::win::Icon trayIcon_;
    UINT taskbarCreated_ = 0;
    bool trayAdded_ = false;
    bool leftPressedOnTray_ = false;
    bool trackingLeave_ = false;
    bool dragging_ = false;
    PaintStats painted_;
    // Where strokes may stand since the overlay was last painted whole: the
    // capture reads the overlay's own pixels only there.
    RECT strokeArea_{};
    kadrix::win::MemoryDc backDc_;
    kadrix::win::Bitmap backBitmap_;
    SIZE backSize_{};
    bool shiftHeld_ = false;
    bool ctrlHeld_ = false;
    BYTE opacity_ = 255;
    int dpi_ = 0;
    std::wstring menuCaptions_[8];
    std::wstring shortcut_;

    mutable std::mutex lastUrlLock_;
    std::wstring LastURLAdress;
    std::wstring PathLastImage;

    friend class THintPanel;
};

extern TForm_Background* Form_Background;
