#include <gtest/gtest.h>

#include "e2e/E2e.h"

using namespace e2e;

namespace {

bool EnterTaken() { return HotKeyTaken(0, VK_RETURN); }

struct SelectionFixture : testing::Test {
    Kadrix k;
    HWND overlay = nullptr;
    void SetUp() override {
        k.WriteSettings("[Main]\r\nShowHint=1\r\n");
        k.StartAndWaitReady();
        MoveMouse(900, 500);
        Press('P', {VK_CONTROL});
        overlay = k.MainWindow();
        ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(overlay) != FALSE; }));
    }
    int RedIn(const RECT& area) {
        const auto pixels = WindowPixels(overlay, area);
        return static_cast<int>(std::count(pixels.begin(), pixels.end(), RGB(255, 0, 0)));
    }
};

}  // namespace

TEST_F(SelectionFixture, ADragFinishesTheSelectionAndTakesEnter) {
    EXPECT_FALSE(EnterTaken());
    HWND hint = FindWindowExW(overlay, nullptr, L"TPanel_Hint", nullptr);
    ASSERT_NE(hint, nullptr);
    EXPECT_TRUE(IsWindowVisible(hint));
    // The drag starts on the hint panel in the middle of the monitor.
    Drag(overlay, 960, 540, 1300, 800);
    ASSERT_TRUE(EnterTaken());
    // The frame's top edge runs red through the press point.
    EXPECT_EQ(RedIn(RECT{1000, 540, 1100, 541}), 100);
    EXPECT_FALSE(IsWindowVisible(hint));
}

TEST_F(SelectionFixture, AClickWithoutDragIsDropped) {
    LeftClick(400, 300);
    // The guide line follows a later move, so the click has been dealt with.
    MoveMouseUntil(410, 310, [&] { return GuideLineAlong(overlay, 310); }, "the guide line");
    EXPECT_FALSE(EnterTaken());
    // A drag after the click still works, so the click left the overlay ready.
    Drag(overlay, 400, 300, 600, 500);
    ASSERT_TRUE(EnterTaken());
}

TEST_F(SelectionFixture, ShiftDrawsRedAndCtrlWipes) {
    Drag(overlay, 300, 300, 700, 600);
    ASSERT_TRUE(EnterTaken());
    auto red = [&](int x, int y) { return [this, x, y] { return RedNear(overlay, x, y); }; };
    // Before a selection Shift does nothing; now it draws.
    PenTo(overlay, 350, 450);
    KeyDown(VK_SHIFT);
    for (int x = 350; x <= 650; x += 6) MoveMouseUntil(x, 450, red(x, 450), "the stroke");
    KeyUp(VK_SHIFT);
    const RECT stroke{360, 449, 640, 452};
    ASSERT_TRUE(WaitFor([&] { return RedIn(stroke) > 200; })) << "no stroke";
    // A new line after releasing Shift starts without joining the old one.
    PenTo(overlay, 350, 550);
    KeyDown(VK_SHIFT);
    for (int x = 350; x <= 400; x += 5) MoveMouseUntil(x, 550, red(x, 550), "the stroke");
    KeyUp(VK_SHIFT);
    ASSERT_TRUE(WaitFor([&] { return RedIn(RECT{360, 549, 395, 552}) > 30; }));
    EXPECT_EQ(RedIn(RECT{500, 460, 501, 540}), 0) << "a connecting segment was drawn";

    KeyDown(VK_CONTROL);
    for (int x = 350; x <= 650; x += 4) {
        MoveMouseUntil(x, 450, [&] { return EraserAt(overlay, x, 450); }, "the eraser");
    }
    KeyUp(VK_CONTROL);
    MoveMouse(680, 580);
    EXPECT_TRUE(WaitFor([&] { return RedIn(stroke) == 0; })) << "the eraser left strokes";
    EXPECT_GT(RedIn(RECT{360, 549, 395, 552}), 30) << "the eraser wiped where it never was";
}
