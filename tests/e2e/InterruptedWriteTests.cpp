// Kadrix killed in the middle of writing Settings.ini or a screenshot: the
// final file is never half written, and the temporary file the write left
// is gone after the next start or the next capture.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/TemporaryFileName.h"
#include "e2e/E2e.h"
#include "image/Bmp.h"

using namespace e2e;

namespace {

bool IsTemporary(const std::wstring& name) { return name.starts_with(L".~kadrix-"); }

std::vector<std::wstring> Temporaries(const std::wstring& folder) {
    auto names = FolderEntries(folder, true);
    std::erase_if(names, [](const std::wstring& n) { return !IsTemporary(n); });
    return names;
}

// Whether the process is writing into the folder right now: its temporary file is there.
bool Writing(const std::wstring& folder, DWORD pid) {
    for (const auto& name : Temporaries(folder)) {
        const auto owner = kadrix::TemporaryFileOwnerOf(std::u16string(name.begin(), name.end()));
        if (owner && owner->ProcessId == pid) return true;
    }
    return false;
}

std::string NarrowNames(const std::vector<std::wstring>& names) {
    std::string out;
    for (const auto& n : names) out += std::string(n.begin(), n.end()) + " ";
    return out;
}

// Settings.ini in the exact form Kadrix writes, so rewriting it at start-up
// gives the same bytes; large enough that the write takes a while.
std::string LargeSettings() {
    std::string text = "\xEF\xBB\xBF[Main]\r\nShowHint=0\r\n\r\n[Filler]\r\n";
    for (int i = 0; text.size() < (12u << 20); ++i) {
        text += "Key" + std::to_string(i) + "=" + std::string(80, 'a' + i % 26) + "\r\n";
    }
    return text + "\r\n";
}

constexpr int kRounds = 6;

}  // namespace

TEST(InterruptedWrite, AKilledSettingsWriteLeavesNoFileAfterTheNextStart) {
    Kadrix k;
    const std::string settings = LargeSettings();
    WriteFile(k.SettingsPath(), settings);
    int interrupted = 0;
    for (int round = 0; round < kRounds; ++round) {
        ASSERT_NE(k.Start().hProcess, nullptr);
        // Start-up rewrites Settings.ini: kill Kadrix as soon as that write has begun.
        const bool caught = WaitFor([&] { return Writing(k.Dir(), k.Pid()) || !k.Running(); }, 30s);
        k.Kill();
        if (caught && Writing(k.Dir(), k.Pid())) ++interrupted;
        ASSERT_EQ(ReadFile(k.SettingsPath()), settings) << "round " << round << ": Settings.ini was damaged";
    }
    ASSERT_GT(interrupted, 0) << "no write was interrupted, so this test proved nothing";

    k.StartAndWaitReady();
    EXPECT_TRUE(WaitFor([&] { return Temporaries(k.Dir()).empty(); })) << NarrowNames(Temporaries(k.Dir()));
    EXPECT_EQ(ReadFile(k.SettingsPath()), settings);
}

TEST(InterruptedWrite, AKilledScreenshotWriteLeavesNoFileAfterTheNextCapture) {
    Kadrix k;
    const std::wstring shots = k.Dir() + L"shots\\";
    CreateDirectoryW(shots.c_str(), nullptr);
    k.WriteSettings("[Main]\r\nShowHint=0\r\n[Screenshot]\r\nSavePath=" + std::string(shots.begin(), shots.end()) +
                    "\r\nSaveInFile=1\r\nUploadOnServer=0\r\nFormatSaveInFile=1\r\n");
    auto capture = [&](int x0, int y0, int x1, int y1) {
        k.StartAndWaitReady();
        MoveMouse(700, 700);
        Press('P', {VK_CONTROL});
        HWND overlay = k.MainWindow();
        Require(WaitFor([&] { return IsWindowVisible(overlay) != FALSE; }), "the overlay did not open");
        Drag(overlay, x0, y0, x1, y1);
        Press(VK_RETURN);
    };

    bool interrupted = false;
    for (int round = 0; round < kRounds && !interrupted; ++round) {
        // Nearly the whole screen as BMP: about 6 MB to write.
        capture(5, 5, 1900, 1060);
        const bool caught = WaitFor([&] { return Writing(shots, k.Pid()); }, 20s);
        k.Kill();
        ClipCursor(nullptr);
        ReleaseAllKeys();
        interrupted = caught && Writing(shots, k.Pid());
    }
    ASSERT_TRUE(interrupted) << "no write was interrupted, so this test proved nothing";

    auto screenshots = [&] {
        auto names = FolderEntries(shots, true);
        std::erase_if(names, IsTemporary);
        std::sort(names.begin(), names.end());
        return names;
    };
    const auto before = screenshots();
    capture(250, 250, 450, 400);
    // The new screenshot is there and the interrupted write's file is gone.
    ASSERT_TRUE(WaitFor([&] { return screenshots().size() == before.size() + 1 && Temporaries(shots).empty(); }))
        << NarrowNames(FolderEntries(shots, true));
    // Every screenshot there is whole.
    for (const auto& name : screenshots()) {
        EXPECT_NO_THROW(kadrix::DecodeBmp(ReadFile(shots + name))) << std::string(name.begin(), name.end());
    }
    EXPECT_TRUE(Temporaries(shots).empty()) << NarrowNames(FolderEntries(shots, true));
}
