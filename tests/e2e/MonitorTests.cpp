// The overlay on a desktop of several monitors. These tests run on a display
// whose monitors the test script lays out, once per layout; it names the
// layout in KADRIX_MONITORS as "left,top,width,height" per monitor in screen
// coordinates, separated by ';', the primary monitor first.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "e2e/CaptureScene.h"
#include "e2e/E2e.h"
#include "image/Bmp.h"

using namespace e2e;

namespace {

std::vector<RECT> LayoutFromEnvironment() {
    std::vector<RECT> monitors;
    const char* text = std::getenv("KADRIX_MONITORS");
    for (std::string rest = text ? text : ""; !rest.empty();) {
        const size_t end = rest.find(';');
        const std::string one = rest.substr(0, end);
        rest = end == std::string::npos ? "" : rest.substr(end + 1);
        int left = 0, top = 0, width = 0, height = 0;
        if (std::sscanf(one.c_str(), "%d,%d,%d,%d", &left, &top, &width, &height) != 4) {
            throw std::runtime_error("KADRIX_MONITORS: cannot read \"" + one + "\"");
        }
        monitors.push_back(RECT{left, top, left + width, top + height});
    }
    return monitors;
}

std::vector<RECT> SystemMonitors() {
    std::vector<RECT> monitors;
    EnumDisplayMonitors(
        nullptr, nullptr,
        [](HMONITOR, HDC, LPRECT rc, LPARAM list) -> BOOL {
            reinterpret_cast<std::vector<RECT>*>(list)->push_back(*rc);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

bool Same(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }

bool SameMonitors(std::vector<RECT> a, std::vector<RECT> b) {
    auto order = [](const RECT& x, const RECT& y) { return std::tie(x.left, x.top) < std::tie(y.left, y.top); };
    std::sort(a.begin(), a.end(), order);
    std::sort(b.begin(), b.end(), order);
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), Same);
}

std::string Describe(const RECT& r) {
    return "monitor at " + std::to_string(r.left) + "," + std::to_string(r.top) + " size " +
           std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
}

RECT WindowRect(HWND hwnd) {
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    return rc;
}

RECT CursorClip() {
    RECT rc{};
    GetClipCursor(&rc);
    return rc;
}

RECT VirtualDesktop() {
    const int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return {x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN), y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

bool CursorAt(POINT want) {
    POINT p{};
    return GetCursorPos(&p) && p.x == want.x && p.y == want.y;
}

POINT Centre(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

// The overlay's own pixel at a point of its client area is the black of a read-out box.
bool BlackAt(HWND overlay, int x, int y) { return WindowPixels(overlay, RECT{x, y, x + 1, y + 1})[0] == RGB(0, 0, 0); }

struct Monitors : testing::Test {
    std::vector<RECT> monitors;

    void SetUp() override {
        monitors = LayoutFromEnvironment();
        if (monitors.size() < 2) GTEST_SKIP() << "no layout of several monitors in KADRIX_MONITORS";
        // The display's monitors were just set; Wine takes them over on its own time.
        ASSERT_TRUE(WaitFor([&] { return SameMonitors(SystemMonitors(), monitors); }))
            << "Wine does not see the monitors of KADRIX_MONITORS";
    }

    // Opens a capture with the cursor at p and waits until it covers the monitor m.
    static void OpenOn(HWND overlay, POINT p, const RECT& m) {
        MoveMouse(p.x, p.y);
        ASSERT_TRUE(PressCtrlPUntilShown(overlay)) << "Ctrl+P opened no capture; " << Where(overlay);
        ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(overlay) && Same(WindowRect(overlay), m); }))
            << "the overlay does not cover the " << Describe(m) << "; " << Where(overlay);
    }

    // What the overlay shows where, and where the cursor is, for a failure's message.
    static std::string Where(HWND overlay) {
        POINT cursor{};
        GetCursorPos(&cursor);
        DWORD pid = 0;
        GetWindowThreadProcessId(overlay, &pid);
        std::string boxes;
        for (const auto& box : MessageBoxes(pid)) boxes += " [" + Narrow(box.text) + "]";
        return std::string(IsWindowVisible(overlay) ? "shown" : "hidden") + " over the " +
               Describe(WindowRect(overlay)) + ", cursor at " + std::to_string(cursor.x) + "," +
               std::to_string(cursor.y) + (HotKeyTaken(MOD_CONTROL, 'P') ? "" : ", Ctrl+P free") +
               (boxes.empty() ? "" : ", boxes:" + boxes);
    }

    static void Close(HWND overlay) {
        Press(VK_ESCAPE);
        ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(overlay); }));
    }

    // Kadrix with the hint panel on; its overlay.
    HWND StartKadrix(Kadrix& k) {
        k.WriteSettings("[Main]\r\nShowHint=1\r\n");
        k.StartAndWaitReady();
        return k.MainWindow();
    }

    static void ExpectHintCentredOn(HWND overlay, const RECT& m) {
        // The panel is made once Kadrix has started, before the first capture shows.
        HWND hint = FindWindowExW(overlay, nullptr, L"TPanel_Hint", nullptr);
        ASSERT_NE(hint, nullptr);
        const RECT h = WindowRect(hint);
        EXPECT_TRUE(IsWindowVisible(hint));
        EXPECT_EQ(h.left - m.left, ((m.right - m.left) - (h.right - h.left)) / 2);
        EXPECT_EQ(h.top - m.top, ((m.bottom - m.top) - (h.bottom - h.top)) / 2);
    }
};

}  // namespace

TEST_F(Monitors, CtrlPCoversTheMonitorUnderTheCursorWithTheHintInItsMiddle) {
    Kadrix k;
    HWND overlay = StartKadrix(k);
    for (const RECT& m : monitors) {
        SCOPED_TRACE(Describe(m));
        // Near the corner, so that the point is on this monitor alone.
        OpenOn(overlay, {m.left + 40, m.top + 40}, m);
        ExpectHintCentredOn(overlay, m);
        Close(overlay);
    }
}

TEST_F(Monitors, TheOverlayFollowsTheCursorUntilASelectionIsStarted) {
    Kadrix k;
    HWND overlay = StartKadrix(k);
    OpenOn(overlay, {monitors[0].left + 40, monitors[0].top + 40}, monitors[0]);
    for (size_t i = 1; i < monitors.size(); ++i) {
        const RECT& m = monitors[i];
        SCOPED_TRACE(Describe(m));
        MoveMouse(m.left + 60, m.top + 60);
        ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(overlay) && Same(WindowRect(overlay), m); }))
            << "the overlay did not follow the cursor; " << Where(overlay);
        ExpectHintCentredOn(overlay, m);
    }

    // On the last monitor: during a drag the cursor cannot leave it.
    const RECT& here = monitors.back();
    const RECT& away = monitors.front();
    const int x0 = here.left + 100, y0 = here.top + 100, x1 = here.left + 300, y1 = here.top + 250;
    MoveMouseUntil(x0, y0, [&] { return GuideLineAlong(overlay, y0); }, "the guide line");
    MouseButton(MOUSEEVENTF_LEFTDOWN);
    ASSERT_TRUE(WaitFor([&] { return HoldsMouse(overlay); }));
    MoveMouseUntil(x1, y1, [&] { return RedNear(overlay, x1, y1); }, "the frame");
    EXPECT_TRUE(Same(CursorClip(), here)) << "the cursor is not confined to the monitor";
    const POINT target = Centre(away);
    const POINT held{std::clamp(target.x, here.left, here.right - 1), std::clamp(target.y, here.top, here.bottom - 1)};
    SendMouseMove(target.x, target.y);
    EXPECT_TRUE(WaitFor([&] { return CursorAt(held); })) << "the cursor left the monitor during a drag";
    EXPECT_TRUE(Same(WindowRect(overlay), here));
    MouseButton(MOUSEEVENTF_LEFTUP);
    ASSERT_TRUE(WaitFor([&] { return !HoldsMouse(overlay); }));
    EXPECT_TRUE(WaitFor([&] { return Same(CursorClip(), VirtualDesktop()); })) << "the release did not free the cursor";

    // With the selection finished the overlay stays. Leaving is noticed on
    // the system's mouse-tracking timer, a few tenths of a second, which the
    // hops above have each waited for; two seconds give it ample time.
    MoveMouse(target.x, target.y);
    EXPECT_FALSE(WaitFor([&] { return !(Same(WindowRect(overlay), here)); }, 2s)) << "the overlay left a selection";
    EXPECT_TRUE(IsWindowVisible(overlay));
    Close(overlay);

    // Esc in the middle of a drag frees the cursor too.
    OpenOn(overlay, {x0, y0}, here);
    MoveMouseUntil(x0 + 1, y0 + 1, [&] { return GuideLineAlong(overlay, y0 + 1); }, "the guide line");
    MouseButton(MOUSEEVENTF_LEFTDOWN);
    ASSERT_TRUE(WaitFor([&] { return HoldsMouse(overlay); }));
    MoveMouseUntil(x1, y1, [&] { return RedNear(overlay, x1, y1); }, "the frame");
    EXPECT_TRUE(Same(CursorClip(), here));
    Close(overlay);
    EXPECT_TRUE(WaitFor([&] { return Same(CursorClip(), VirtualDesktop()); })) << "Esc did not free the cursor";
    MouseButton(MOUSEEVENTF_LEFTUP);
}

TEST_F(Monitors, ACaptureOnAnotherMonitorHoldsWhatIsShownThere) {
    for (size_t i = 1; i < monitors.size(); ++i) {
        const RECT& m = monitors[i];
        SCOPED_TRACE(Describe(m));
        CaptureScene scene({m.left, m.top});
        scene.Start("SaveInFile=1\r\nUploadOnServer=0\r\nFormatSaveInFile=1\r\n");
        scene.OpenAndSelect();
        ASSERT_TRUE(Same(WindowRect(scene.k.MainWindow()), m));
        scene.DrawStroke();
        ASSERT_TRUE(scene.PatternShowsThrough());
        Press(VK_RETURN);
        const std::wstring file = scene.WaitForShot();
        ASSERT_FALSE(file.empty());
        ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(scene.k.MainWindow()); }));
        CaptureScene::ExpectShotOfTheArea(kadrix::DecodeBmp(ReadFile(file)));
    }
}

TEST_F(Monitors, TheReadOutsKeepToTheEdgesOfEachMonitor) {
    Kadrix k;
    k.WriteSettings("[Main]\r\nShowHint=0\r\n");
    k.StartAndWaitReady();
    HWND overlay = k.MainWindow();
    for (const RECT& m : monitors) {
        SCOPED_TRACE(Describe(m));
        const int width = m.right - m.left, height = m.bottom - m.top;
        OpenOn(overlay, Centre(m), m);
        // Near the top-left corner the Y read-out stands at the right edge
        // below the line, the X read-out at the bottom right of the line;
        // near the bottom-right corner, at the left edge above the line and
        // at the top left of the line. Boxes are black, 21 pixels high, 4
        // and 5 pixels from the edges; the overlay around them is not.
        struct Corner {
            int cx, cy;
            POINT yBox, xBox, yBoxElsewhere, xBoxElsewhere;
        };
        const int nearX = 15, nearY = 15, farX = width - 16, farY = height - 16;
        const Corner corners[] = {
            {nearX, nearY, {width - 6, nearY + 6}, {nearX + 6, height - 25}, {6, nearY + 6}, {nearX + 6, 6}},
            {farX, farY, {6, farY - 25}, {farX - 7, 6}, {width - 6, farY - 25}, {farX - 7, height - 25}},
        };
        for (const Corner& c : corners) {
            const int x = m.left + c.cx, y = m.top + c.cy;
            MoveMouseUntil(x, y, [&] { return GuideLineAlong(overlay, y); }, "the guide line");
            const auto column = WindowPixels(overlay, RECT{c.cx, 0, c.cx + 1, height});
            EXPECT_GT(std::count(column.begin(), column.end(), RGB(255, 255, 255)), height / 2)
                << "the vertical guide line is not at the cursor";
            EXPECT_TRUE(BlackAt(overlay, c.yBox.x, c.yBox.y)) << "Y read-out, cursor at " << c.cx << "," << c.cy;
            EXPECT_TRUE(BlackAt(overlay, c.xBox.x, c.xBox.y)) << "X read-out, cursor at " << c.cx << "," << c.cy;
            EXPECT_FALSE(BlackAt(overlay, c.yBoxElsewhere.x, c.yBoxElsewhere.y));
            EXPECT_FALSE(BlackAt(overlay, c.xBoxElsewhere.x, c.xBoxElsewhere.y));
        }
        Close(overlay);
    }
}
