#pragma once
// The capture overlay: the program's main window. It covers one monitor while
// a capture is open, owns the tray icon and its menu, and takes the screenshot.
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "overlay/FramePacer.h"
#include "overlay/HintPanel.h"
#include "overlay/OverlayScene.h"
#include "overlay/ScreenshotKeyAndTexts.h"
#include "overlay/TrayIcon.h"
#include "overlay/WindowCommands.h"
#include "settings/CaptureSettings.h"
#include "upload/UploadImageOnServer.h"
#include "win32/Handles.h"
#include "win32/Paint.h"
#include "win32/Window.h"

class TForm_Background : public kadrix::win::Window, public ScreenshotKeyAndTexts {
public:
    // The monitors in the system's order; tests give their own.
    using MonitorSource = std::function<std::vector<kadrix::MonitorBounds>()>;

    TForm_Background(const CaptureSettings& settings, WindowCommands& windows);
    ~TForm_Background() override;

    void Create();
    // Puts the icon into the notification area: the last step of start-up,
    // so the icon shows once the hot key and the texts are in place. What
    // only a capture needs is made right after, from the message loop.
    void ShowTrayIcon();
    // Makes the scene, its fonts and the hint panel, if not made yet.
    void PrepareCapture();
    void SetMonitorSource(MonitorSource source) { monitors_ = std::move(source); }

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
    // area, marks: the drawing area and where the strokes are, in overlay coordinates.
    void GrabArea(HBITMAP target, const kadrix::Rect& area, const kadrix::Rect& marks);
    void StartUpload(const std::string& jpeg);

    // What the settings side drives.
    bool SetScreenshotHotKey(unsigned modifiers, unsigned key, const std::wstring& shortcut) override;
    void UnregisterScreenshotHotKey() override;
    void ApplyLanguage(const kadrix::IniFile& language) override;
    void SetMakeScreenshotShortcut(const std::wstring& shortcut);

    // The address of the last upload; written by upload workers on their own
    // threads, so it is only reached through these two.
    std::wstring GetLastURLAdress() const { return LastURLAdress->Get(); }
    void SetLastURLAdress(const std::wstring& url) { LastURLAdress->Set(url); }

    const kadrix::OverlayScene& Scene() const { return *scene_; }
    const THintPanel& HintPanel() const { return Panel_Hint; }
    HMENU TrayMenu() const { return TrayIcon.Menu(); }
    bool HoldsBackBuffer() const { return backBuffer_.Held(); }

    // How much the overlay has painted: benchmarks and tests hold us to
    // repainting only what changed.
    struct PaintStats {
        unsigned long long Paints = 0;
        unsigned long long Pixels = 0;
        unsigned long long Presents = 0;  // times the window's pixels changed: at most one per display frame
    };
    const PaintStats& Painted() const { return painted_; }

    // Paints the overlay's items inside clip (overlay coordinates) into dc,
    // whose origin is the overlay's top-left corner.
    void PaintTo(HDC dc, const RECT& clip);

    // The mouse handlers, also reached from the hint panel.
    // at: where the event happened, in screen coordinates.
    void FormMouseDown(kadrix::MouseButton button, kadrix::Point at);
    void FormMouseMove(bool leftHeld, kadrix::Point at);
    void FormMouseUp(kadrix::MouseButton button, kadrix::Point at);
    void FormMouseLeave();
    // Hands a mouse message of window from to the handlers when routes() lets
    // its event through.
    void DispatchMouse(HWND from, UINT msg, WPARAM wParam, LPARAM lParam,
                       const std::function<bool(kadrix::MouseEvent)>& routes);

    std::wstring CopyClipboardLastURL_Caption, CopyClipboardLastURL_Text;
    std::wstring CopyClipboardLastScreenshot_Caption, CopyClipboardLastScreenshot_Text;

    // The overlay's timers; the tests and benchmarks send their ticks too.
    static constexpr UINT_PTR kTimerDrawing = 1;         // Timer_Drawing
    static constexpr UINT_PTR kTimerFormAppearance = 2;  // Timer_FormAppearance
    static constexpr UINT_PTR kTimerFrame = 3;           // the next display frame

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    class ReadoutMeasurer;

    static constexpr UINT kPrepareCapture = WM_APP + 3;

    void FormCreate();
    void FormShow();
    void TrackLeave();
    void DownHotKeys(WPARAM id);
    void Timer_FormAppearanceTimer();
    void Timer_DrawingTimer();
    bool ShiftDown() const;
    bool CtrlDown() const;
    void TrackModifier(WPARAM vk, bool down);
    void KeyPressed(WPARAM vk);
    void TrayIconClick();
    void TrayIconMouseDown();
    void TrayMessage(UINT mouseMessage);
    void SetOpacity(BYTE opacity);
    void UseDpi(int dpi);
    // Puts what changed on the window now, strokes first.
    void ApplySceneChanges();
    // The same at the next display frame: for mouse moves and timer ticks.
    void PaceSceneChanges();
    bool SceneChanged() const;
    void InvalidateSceneChanges();
    void DrawPendingStrokes();
    void DropPendingFrame();
    void UseFramePeriodOf(const kadrix::MonitorBounds& monitor);
    void LiftConfinement();
    void OnPaint();
    bool PutLastAddressOnClipboard() noexcept;
    kadrix::Point Cursor() const;

    const CaptureSettings& settings_;
    WindowCommands& windows_;
    MonitorSource monitors_;

    // The font outlives the measurer that selects it, the measurer the scene.
    kadrix::win::Font readoutFont_;
    kadrix::win::Pen drawingPen_;
    std::unique_ptr<ReadoutMeasurer> measurer_;
    std::unique_ptr<kadrix::OverlayScene> scene_;
    TTrayIcon TrayIcon;
    THintPanel Panel_Hint;
    bool leftPressedOnTray_ = false;
    bool trackingLeave_ = false;
    bool dragging_ = false;
    // Whether Esc and Enter are ours as hot keys; when another program holds
    // one, the overlay's own key messages do its job.
    bool escHotKey_ = false;
    bool enterHotKey_ = false;
    bool enterArmed_ = false;
    // The screenshot hot key the settings ask for, and whether it is ours.
    struct WantedHotKey {
        unsigned Modifiers = 0, Key = 0;
        std::wstring Shortcut;
    };
    std::optional<WantedHotKey> wantedHotKey_;
    bool screenshotHotKey_ = false;
    void RetakeScreenshotHotKey();
    PaintStats painted_;
    // Where strokes may stand since the overlay was last painted whole: the
    // capture reads the overlay's own pixels only there.
    RECT strokeArea_{};
    // Stroke segments sampled by the drawing timer, in overlay coordinates,
    // waiting for the next frame.
    struct Segment {
        POINT From, To;
    };
    std::vector<Segment> pendingStrokes_;
    kadrix::FramePacer pacer_;
    bool framePending_ = false;
    // Lives from the first paint of a capture to its close.
    kadrix::win::BackBuffer backBuffer_;
    bool shiftHeld_ = false;
    bool ctrlHeld_ = false;
    bool altHeld_ = false;
    BYTE opacity_ = 255;
    int dpi_ = 0;

    // Shared with the upload workers, which may outlive this window.
    const std::shared_ptr<LastAddress> LastURLAdress = std::make_shared<LastAddress>();
    // The boxes' texts in the language applied last, for each upload started.
    UploadTexts uploadTexts_;
    std::wstring PathLastImage;
};
