#pragma once
// A capture of "another program": a test window showing a pattern, Kadrix
// saving into a folder of the test's own, a selection dragged over the
// window and a red stroke drawn into it. Points are given relative to
// `origin`, the top-left corner of the monitor the capture takes place on,
// so the same scene runs on any monitor; on the overlay, which covers that
// monitor, they are also the overlay's own coordinates.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "e2e/E2e.h"
#include "image/Bmp.h"
#include "image/Image24.h"

namespace e2e {

inline constexpr int kWinX = 200, kWinY = 200, kWinW = 400, kWinH = 300;
// A drag from (250, 250) to (450, 400): the drawing area is the inside of the frame.
inline constexpr RECT kArea{251, 251, 450, 400};

inline COLORREF PixelOf(const kadrix::Image24& image, int x, int y) {
    const auto* p = image.Row(y) + x * 3;
    return RGB(p[2], p[1], p[0]);
}

class CaptureScene {
public:
    explicit CaptureScene(POINT origin = {0, 0}) : origin_(origin) {}

    Kadrix k;
    std::wstring shots = k.Dir() + L"shots\\";
    std::unique_ptr<TestWindow> other;

    POINT Screen(int x, int y) const { return {origin_.x + x, origin_.y + y}; }

    // Starts Kadrix saving into shots plus subfolder, which need not exist.
    void Start(const std::string& screenshotSection, const std::string& subfolder = "") {
        CreateDirectoryW(shots.c_str(), nullptr);
        if (OpenClipboard(nullptr)) {
            EmptyClipboard();
            CloseClipboard();
        }
        const std::string path = std::string(shots.begin(), shots.end()) + subfolder;
        k.WriteSettings("[Main]\r\nShowHint=0\r\n[Screenshot]\r\nSavePath=" + path + "\r\n" + screenshotSection);
        k.StartAndWaitReady();
        const POINT at = Screen(kWinX, kWinY);
        other = std::make_unique<TestWindow>(at.x, at.y, kWinW, kWinH, PaintPattern);
    }

    void OpenAndSelect() {
        Move(700, 700);
        ASSERT_TRUE(PressCtrlPUntilShown(k.MainWindow()));
        const POINT from = Screen(250, 250), to = Screen(450, 400);
        Drag(k.MainWindow(), from.x, from.y, to.x, to.y);
        ASSERT_TRUE(HotKeyTaken(0, VK_RETURN)) << "the finished selection did not take Enter";
    }

    std::vector<std::wstring> Shots() const {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found;
        HANDLE h = FindFirstFileW((shots + L"*").c_str(), &found);
        if (h == INVALID_HANDLE_VALUE) return names;
        do {
            // Hidden: the temporary file of a write under way.
            if (!(found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN))) {
                names.push_back(found.cFileName);
            }
        } while (FindNextFileW(h, &found));
        FindClose(h);
        return names;
    }

    std::wstring WaitForShot() const {
        std::vector<std::wstring> names;
        WaitFor([&] { return !(names = Shots()).empty(); });
        return names.empty() ? std::wstring() : shots + names.front();
    }

    // The window beneath at a point, its one pure-green pixel included.
    static COLORREF PatternAt(int x, int y) {
        x -= kWinX;
        y -= kWinY;
        return (x == 60 && y == 60) ? RGB(0, 255, 0) : Pattern(x, y);
    }
    static bool OnStroke(int x, int y) { return x >= 296 && x <= 404 && y >= 316 && y <= 324; }
    // A screenshot pixel is the window beneath, or pure red along the stroke.
    static bool Matches(COLORREF got, int x, int y) {
        if (got == PatternAt(kArea.left + x, kArea.top + y)) return true;
        return got == RGB(255, 0, 0) && OnStroke(kArea.left + x, kArea.top + y);
    }

    // Waits until the screen shows the window beneath through the clear
    // inside of the frame (its program repaints what the overlay uncovers).
    bool PatternShowsThrough() const {
        RECT area = kArea;
        OffsetRect(&area, origin_.x, origin_.y);
        return WaitFor([&] {
            const auto screen = WindowPixels(nullptr, area);
            const int width = kArea.right - kArea.left;
            for (size_t i = 0; i < screen.size(); ++i) {
                const int x = kArea.left + static_cast<int>(i) % width, y = kArea.top + static_cast<int>(i) / width;
                if (!OnStroke(x, y) && screen[i] != PatternAt(x, y)) return false;
            }
            return true;
        });
    }

    void DrawStroke() {
        HWND overlay = k.MainWindow();
        const POINT start = Screen(300, 320);
        PenTo(overlay, start.x, start.y);
        KeyDown(VK_SHIFT);
        for (int x = 300; x <= 400; x += 5) {
            const POINT p = Screen(x, 320);
            MoveMouseUntil(p.x, p.y, [&] { return RedNear(overlay, p.x, p.y); }, "the stroke");
        }
        KeyUp(VK_SHIFT);
        const RECT row{300, 320, 400, 321};
        ASSERT_TRUE(WaitFor([&] {
            const auto pixels = WindowPixels(k.MainWindow(), row);
            return std::count(pixels.begin(), pixels.end(), RGB(255, 0, 0)) > 50;
        })) << "no red stroke on the overlay";
    }

    // The BMP holds exactly the drawing area: the window beneath, the
    // stroke in red, the program's own pure green kept.
    static void ExpectShotOfTheArea(const kadrix::Image24& image) {
        ASSERT_EQ(image.Width(), kArea.right - kArea.left);
        ASSERT_EQ(image.Height(), kArea.bottom - kArea.top);
        int wrong = 0, red = 0;
        for (int y = 0; y < image.Height(); ++y) {
            for (int x = 0; x < image.Width(); ++x) {
                if (!Matches(PixelOf(image, x, y), x, y)) ++wrong;
                if (PixelOf(image, x, y) == RGB(255, 0, 0)) ++red;
            }
        }
        EXPECT_EQ(wrong, 0);
        EXPECT_GT(red, 300) << "the stroke is missing";
        EXPECT_EQ(PixelOf(image, 260 - kArea.left, 260 - kArea.top), RGB(0, 255, 0)) << "the program's own pure green";
    }

private:
    void Move(int x, int y) const {
        const POINT p = Screen(x, y);
        MoveMouse(p.x, p.y);
    }

    POINT origin_;
};

}  // namespace e2e
