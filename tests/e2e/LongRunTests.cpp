// A long run: one Kadrix through many rounds of what a user does in a day.
// Every round is a capture (half of them with a stroke) that is saved and
// uploaded to the local test service; some rounds also open and close the
// settings window, switch the language there, or copy the last screenshot
// from the tray. After a warm-up, the process's GDI objects, windows, handles
// and committed private memory must stay where they were, no file or upload
// may be lost, and Kadrix must still answer.
//
// KADRIX_LONG_RUN_ROUNDS sets the number of rounds (40 by default, a few
// minutes; a few hundred for a soak).
#include <gtest/gtest.h>

#include <winternl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "e2e/E2e.h"
#include "support/ProcessMemory.h"
#include "support/UploadTestService.h"
#include "support/WindowTree.h"

using namespace e2e;
using kadrix::test::UploadTestService;
namespace answers = kadrix::test::answers;

namespace {

int Rounds() {
    wchar_t value[16] = {};
    if (GetEnvironmentVariableW(L"KADRIX_LONG_RUN_ROUNDS", value, 16) == 0) return 40;
    return std::max(12, _wtoi(value));
}

// Live GDI objects of another process. Wine stubs GetGuiResources, but it
// keeps each process's GDI handle table in that process's memory, where the
// PEB's GdiSharedHandleTable points; an entry in use has a type.
std::optional<size_t> GdiObjects(HANDLE process) {
    using Query = LONG(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic{};
    if (!query || query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) return std::nullopt;
    constexpr size_t kTableInPeb = 0xF8;  // GdiSharedHandleTable in the 64-bit PEB
    UINT64 table = 0;
    if (!ReadProcessMemory(process, reinterpret_cast<const char*>(basic.PebBaseAddress) + kTableInPeb, &table,
                           sizeof table, nullptr) ||
        table == 0) {
        return std::nullopt;
    }
    struct Entry {
        UINT64 object;
        ULONG owner;
        USHORT unique;
        UCHAR type;
        UCHAR flags;
        UINT64 user;
    };
    static_assert(sizeof(Entry) == 24);
    std::vector<Entry> entries(0x10000);
    if (!ReadProcessMemory(process, reinterpret_cast<const void*>(table), entries.data(),
                           entries.size() * sizeof(Entry), nullptr)) {
        return std::nullopt;
    }
    return static_cast<size_t>(std::count_if(entries.begin(), entries.end(), [](const Entry& e) { return e.type != 0; }));
}

// Open handles of another process, from the system's handle list
// (GetProcessHandleCount is not implemented by Wine).
std::optional<size_t> Handles(DWORD pid) {
    using Query = LONG(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    struct Entry {
        ULONG ownerPid;
        BYTE objectType;
        BYTE flags;
        USHORT handle;
        PVOID object;
        ULONG access;
    };
    constexpr ULONG kSystemHandleInformation = 16;
    constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
    std::vector<std::uint8_t> buffer(1 << 20);
    for (int attempt = 0; query && attempt < 8; ++attempt) {
        ULONG needed = 0;
        const LONG status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == kInfoLengthMismatch) {
            buffer.resize(std::max<size_t>(buffer.size() * 2, needed));
            continue;
        }
        if (status != 0) return std::nullopt;
        const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
        const auto* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(void*));
        return static_cast<size_t>(
            std::count_if(entries, entries + count, [&](const Entry& e) { return e.ownerPid == pid; }));
    }
    return std::nullopt;
}

struct Figures {
    size_t gdi = 0, windows = 0, handles = 0;
    double memoryMb = 0;
};

Figures Measure(Kadrix& k) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, k.Pid());
    Require(process != nullptr, "cannot open Kadrix's process");
    Figures f;
    const auto gdi = GdiObjects(process);
    Require(gdi && *gdi > 10, "cannot read Kadrix's GDI handle table");
    f.gdi = *gdi;
    f.windows = Kadrix::ProcessWindows(k.Pid(), nullptr, false).size();
    const auto handles = Handles(k.Pid());
    Require(handles && *handles > 0, "cannot read Kadrix's handles");
    f.handles = *handles;
    f.memoryMb = testsupport::CommittedPrivateMb(process);
    CloseHandle(process);
    return f;
}

void Print(const char* when, const Figures& f) {
    std::printf("[ long run ] %-14s GDI objects %zu, windows %zu, handles %zu, committed private %.2f MB\n", when,
                f.gdi, f.windows, f.handles, f.memoryMb);
}

size_t Jpegs(const std::wstring& folder) {
    const auto names = FolderEntries(folder, true);
    return static_cast<size_t>(std::count_if(names.begin(), names.end(), [](const std::wstring& n) { return n.ends_with(L".jpg"); }));
}

}  // namespace

TEST(LongRun, ManyRoundsKeepGdiObjectsWindowsHandlesAndMemoryFlat) {
    const int rounds = Rounds();
    const int warmUp = 10;
    UploadTestService service;
    service.Answer(answers::Address("http://127.0.0.1/shots/long-run.jpg"));
    Kadrix k;
    const std::wstring shots = k.Dir() + L"shots\\";
    CreateDirectoryW(shots.c_str(), nullptr);
    k.WriteSettings("[Main]\r\nShowHint=0\r\nLanguageFile=English.ini\r\n[Screenshot]\r\nSavePath=" + Narrow(shots) +
                    "\r\nSaveInFile=1\r\nUploadOnServer=1\r\nFormatSaveInFile=0\r\n[Upload]\r\nHost=127.0.0.1:" +
                    std::to_string(service.Port()) + "\r\n");
    k.StartAndWaitReady();
    HWND overlay = k.MainWindow();
    bool switched = false;
    Figures warm;

    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const int shift = (round % 5) * 10;
        MoveMouse(700, 700);
        ASSERT_TRUE(PressCtrlPUntilShown(overlay)) << "Ctrl+P opened no capture";
        Drag(overlay, 250 + shift, 250, 450 + shift, 400, 4);
        if (round % 2 == 1) {
            PenTo(overlay, 280 + shift, 300);
            KeyDown(VK_SHIFT);
            for (int x = 280 + shift; x <= 400 + shift; x += 30) {
                MoveMouseUntil(x, 300, [&] { return RedNear(overlay, x, 300); }, "the stroke");
            }
            KeyUp(VK_SHIFT);
        }
        ASSERT_TRUE(WaitFor([] { return HotKeyTaken(0, VK_RETURN); })) << "the selection did not finish";
        Press(VK_RETURN);
        ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(overlay); })) << "Enter did not close the overlay";
        // Saved, uploaded, and the success box said so.
        ASSERT_TRUE(WaitFor([&] { return Jpegs(shots) == static_cast<size_t>(round + 1); }, 20s)) << "a file was lost";
        ASSERT_TRUE(service.WaitForRequests(static_cast<size_t>(round + 1), 20s)) << "an upload was lost";
        std::vector<MessageBoxInfo> boxes;
        ASSERT_TRUE(WaitFor([&] { return !(boxes = MessageBoxes(k.Pid())).empty(); }, 20s)) << "no upload box";
        for (const auto& box : boxes) PostMessageW(box.hwnd, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(WaitFor([&] { return MessageBoxes(k.Pid()).empty(); }));
        EXPECT_TRUE(WaitFor([] { return ClipboardText() == L"http://127.0.0.1/shots/long-run.jpg"; }));

        if (round % 5 == 4) {
            HWND settings = OpenSettingsFromTray(k);
            ASSERT_NE(settings, nullptr) << "the settings window did not open";
            if (round % 10 == 9) {
                // One step in the language list, down and back up in turns.
                HWND combo = testsupport::DescendantOfClass(settings, L"ComboBox");
                ASSERT_NE(combo, nullptr);
                const int before = ComboSelection(combo);
                FocusPicker(combo);
                Press(switched ? VK_UP : VK_DOWN);
                ASSERT_TRUE(WaitFor([&] { return ComboSelection(combo) != before; })) << "the language did not change";
                switched = !switched;
            }
            PostMessageW(settings, WM_CLOSE, 0, 0);
            ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(settings); })) << "the settings window did not close";
        }
        if (round % 7 == 6) {
            HWND menu = OpenTrayMenu();
            ASSERT_NE(menu, nullptr);
            ClickMenuRow(menu, "i-ii-iii", 2);
            ASSERT_TRUE(WaitFor([] { return OpenMenus() == 2; })) << "the submenu did not open";
            PutTextOnClipboard(L"before");
            ClickMenuRow(NewestMenu(), "ii", 1);
            EXPECT_TRUE(WaitFor([] { return IsClipboardFormatAvailable(CF_BITMAP) != FALSE; }))
                << "the last screenshot did not reach the clipboard";
        }
        if (round == 0) Print("after round 1", Measure(k));
        if (round + 1 == warmUp) Print("after warm-up", warm = Measure(k));
    }

    const Figures end = Measure(k);
    Print("at the end", end);
    // Flat: a few GDI objects and handles of the moment (a brush being
    // replaced, an upload thread ending) and a little heap growth are noise;
    // a leak per round over dozens of rounds is not.
    EXPECT_LE(end.gdi, warm.gdi + 10) << "GDI objects grew";
    EXPECT_EQ(end.windows, warm.windows) << "windows grew";
    EXPECT_LE(end.handles, warm.handles + 20) << "handles grew";
    EXPECT_LE(end.memoryMb, warm.memoryMb + 2.0) << "committed memory grew";
    EXPECT_EQ(Jpegs(shots), static_cast<size_t>(rounds));
    EXPECT_EQ(service.Requests().size(), static_cast<size_t>(rounds));
    DWORD_PTR ignored = 0;
    EXPECT_NE(SendMessageTimeoutW(overlay, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &ignored), 0) << "Kadrix does not answer";
}
