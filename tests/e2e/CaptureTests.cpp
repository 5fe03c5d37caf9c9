#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "core/Error.h"
#include "e2e/CaptureScene.h"
#include "e2e/E2e.h"
#include "image/Bmp.h"
#include "image/Jpeg.h"

using namespace e2e;

namespace {

struct CaptureFixture : testing::Test, CaptureScene {};

}  // namespace

TEST_F(CaptureFixture, EnterSavesTheAreaUnderTheSelectionAsBmp) {
    Start("SaveInFile=1\r\nUploadOnServer=0\r\nFormatSaveInFile=1\r\n");
    OpenAndSelect();
    DrawStroke();
    ASSERT_TRUE(PatternShowsThrough());
    Press(VK_RETURN);
    const std::wstring file = WaitForShot();
    ASSERT_FALSE(file.empty());
    EXPECT_TRUE(file.ends_with(L".bmp"));
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(k.MainWindow()); }));
    ExpectShotOfTheArea(kadrix::DecodeBmp(ReadFile(file)));
}

TEST_F(CaptureFixture, StrokesGoIntoTheJpegInRed) {
    Start("SaveInFile=1\r\nUploadOnServer=0\r\nFormatSaveInFile=0\r\n");
    OpenAndSelect();
    DrawStroke();
    ASSERT_TRUE(PatternShowsThrough());
    Press(VK_RETURN);
    const std::wstring file = WaitForShot();
    ASSERT_TRUE(file.ends_with(L".jpg"));
    std::string bytes;
    ASSERT_TRUE(WaitFor([&] { return !(bytes = ReadFile(file)).empty() && bytes.ends_with("\xFF\xD9"); }));
    const auto image = kadrix::DecodeJpeg(bytes);
    ASSERT_EQ(image.Width(), kArea.right - kArea.left);
    ASSERT_EQ(image.Height(), kArea.bottom - kArea.top);
    // On the stroke: red; far from it: the window beneath, within JPEG's loss.
    const COLORREF onStroke = PixelOf(image, 350 - kArea.left, 320 - kArea.top);
    EXPECT_GT(GetRValue(onStroke), 200);
    EXPECT_LT(GetGValue(onStroke), 60);
    long diff = 0;
    int counted = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            const COLORREF got = PixelOf(image, x, y), want = PatternAt(kArea.left + x, kArea.top + y);
            diff += std::abs(GetRValue(got) - GetRValue(want)) + std::abs(GetGValue(got) - GetGValue(want)) +
                    std::abs(GetBValue(got) - GetBValue(want));
            ++counted;
        }
    }
    EXPECT_LT(diff / (counted * 3.0), 12.0);
}

TEST_F(CaptureFixture, WithoutFileAndUploadTheClipboardGetsTheBitmap) {
    Start("SaveInFile=0\r\nUploadOnServer=0\r\n");
    OpenAndSelect();
    DrawStroke();
    ASSERT_TRUE(PatternShowsThrough());
    Press(VK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return IsClipboardFormatAvailable(CF_BITMAP) != FALSE; }));
    ASSERT_TRUE(OpenClipboard(nullptr));
    HBITMAP bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    ASSERT_NE(bitmap, nullptr);
    int width = 0, height = 0;
    const auto pixels = BitmapPixels(bitmap, width, height);
    CloseClipboard();
    // Every pixel is the pattern or the stroke, as in a saved screenshot.
    kadrix::Image24 image(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const DWORD p = pixels[static_cast<size_t>(y) * width + x];
            std::uint8_t* out = image.Row(y) + x * 3;
            out[0] = p & 0xFF, out[1] = (p >> 8) & 0xFF, out[2] = (p >> 16) & 0xFF;
        }
    }
    ExpectShotOfTheArea(image);
    EXPECT_TRUE(Shots().empty());
}

TEST_F(CaptureFixture, UnwritableFolderReportsTheErrorAndTouchesNothing) {
    Start("SaveInFile=1\r\nUploadOnServer=0\r\nFormatSaveInFile=1\r\n", "missing\\deeper\\");
    ASSERT_TRUE(OpenClipboard(other->Handle()));
    EmptyClipboard();
    const wchar_t marker[] = L"marker";
    HGLOBAL text = GlobalAlloc(GMEM_MOVEABLE, sizeof marker);
    memcpy(GlobalLock(text), marker, sizeof marker);
    GlobalUnlock(text);
    SetClipboardData(CF_UNICODETEXT, text);
    CloseClipboard();

    OpenAndSelect();
    Press(VK_RETURN);
    std::vector<MessageBoxInfo> boxes;
    ASSERT_TRUE(WaitFor([&] { return !(boxes = MessageBoxes(k.Pid())).empty(); }));
    EXPECT_TRUE(boxes[0].text.starts_with(L"Cannot create file \"" + shots + L"missing\\deeper\\")) << "box text";
    EXPECT_FALSE(IsWindowVisible(k.MainWindow()));
    EXPECT_TRUE(Shots().empty());
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_BITMAP));
    SendMessageW(boxes[0].hwnd, WM_COMMAND, IDOK, 0);
}

namespace {

// Right-clicks the tray icon and picks Copy to clipboard > Last screenshot.
void ChooseCopyLastScreenshot() {
    HWND menu = OpenTrayMenu();
    ASSERT_NE(menu, nullptr);
    ClickMenuRow(menu, "i-ii-iii", 2);
    ASSERT_TRUE(WaitFor([] { return OpenMenus() == 2; })) << "the submenu did not open";
    ClickMenuRow(NewestMenu(), "ii", 1);
}

std::vector<DWORD> ClipboardBitmapPixels(int& width, int& height) {
    std::vector<DWORD> pixels;
    if (!OpenClipboard(nullptr)) return pixels;
    if (HBITMAP bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP))) pixels = BitmapPixels(bitmap, width, height);
    CloseClipboard();
    return pixels;
}

}  // namespace

TEST_F(CaptureFixture, CopyLastScreenshotRereadsTheFile) {
    Start("SaveInFile=1\r\nUploadOnServer=1\r\nFormatSaveInFile=1\r\n");
    OpenAndSelect();
    DrawStroke();
    Press(VK_RETURN);
    const std::wstring file = WaitForShot();
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(k.MainWindow()); }));
    std::string bytes;
    ASSERT_TRUE(WaitFor([&] { return (bytes = ReadFile(file)).size() > 54; }));
    const auto saved = kadrix::DecodeBmp(bytes);
    // With no clipboard to feed, the grab goes straight into 24-bit pixels: the same picture.
    ExpectShotOfTheArea(saved);
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_BITMAP)) << "with uploading on the image is not put on the clipboard";
    // No upload service is set: the upload says so in its own box.
    std::vector<MessageBoxInfo> uploadBox;
    ASSERT_TRUE(WaitFor([&] { return !(uploadBox = MessageBoxes(k.Pid())).empty(); }));
    EXPECT_NE(uploadBox[0].text.find(L"[Upload]"), std::wstring::npos);
    SendMessageW(uploadBox[0].hwnd, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return MessageBoxes(k.Pid()).empty(); }));

    ChooseCopyLastScreenshot();
    ASSERT_TRUE(WaitFor([&] { return IsClipboardFormatAvailable(CF_BITMAP) != FALSE; }));
    int width = 0, height = 0;
    const auto pixels = ClipboardBitmapPixels(width, height);
    ASSERT_EQ(width, saved.Width());
    ASSERT_EQ(height, saved.Height());
    int wrong = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const COLORREF c = PixelOf(saved, x, y);
            const DWORD want = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
            if ((pixels[y * width + x] & 0xFFFFFF) != want) ++wrong;
        }
    }
    EXPECT_EQ(wrong, 0);

    // Once the file is gone the command reports it and leaves the clipboard alone.
    ASSERT_TRUE(DeleteFileW(file.c_str()));
    ChooseCopyLastScreenshot();
    std::vector<MessageBoxInfo> boxes;
    ASSERT_TRUE(WaitFor([&] { return !(boxes = MessageBoxes(k.Pid())).empty(); }));
    EXPECT_TRUE(boxes[0].text.starts_with(L"Cannot open file \"" + file + L"\". ")) << "box text";
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_BITMAP));
    SendMessageW(boxes[0].hwnd, WM_COMMAND, IDOK, 0);
}

TEST_F(CaptureFixture, AScreenshotOfTheSameSecondNeverReplacesAnother) {
    Start("SaveInFile=1\r\nUploadOnServer=0\r\nFormatSaveInFile=1\r\n");
    // Files of earlier captures hold the names of the coming minute.
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILETIME t;
    SystemTimeToFileTime(&now, &t);
    std::vector<std::wstring> taken;
    for (int s = 0; s < 60; ++s) {
        ULARGE_INTEGER at{{t.dwLowDateTime, t.dwHighDateTime}};
        at.QuadPart += static_cast<ULONGLONG>(s) * 10000000ull;
        const FILETIME f{at.LowPart, at.HighPart};
        SYSTEMTIME st;
        FileTimeToSystemTime(&f, &st);
        wchar_t name[64];
        swprintf(name, 64, L"%04u.%02u.%02u %02u-%02u-%02u.bmp", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
                 st.wSecond);
        taken.push_back(name);
        WriteFile(shots + name, "an earlier screenshot");
    }
    OpenAndSelect();
    Press(VK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return Shots().size() == taken.size() + 1; }));
    for (const auto& name : taken) EXPECT_EQ(ReadFile(shots + name), "an earlier screenshot");
    std::wstring added;
    for (const auto& name : Shots()) {
        if (std::find(taken.begin(), taken.end(), name) == taken.end()) added = name;
    }
    EXPECT_TRUE(added.ends_with(L" (2).bmp")) << std::string(added.begin(), added.end());
    // The last screenshot is the file actually written.
    ChooseCopyLastScreenshot();
    EXPECT_TRUE(WaitFor([&] { return IsClipboardFormatAvailable(CF_BITMAP) != FALSE; }));
    EXPECT_TRUE(MessageBoxes(k.Pid()).empty());
}
