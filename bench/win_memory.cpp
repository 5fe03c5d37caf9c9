// Start-up time and memory of a tray program under Wine, measured from
// outside as a user would see them: the time from starting the process to
// its icon in the tray, committed private memory (a walk of its address
// space, since Wine reports PrivateUsage as 0 for other processes) and the
// working set, after start-up and, for Kadrix, after a number of captures.
// Usage: kadrix_bench_win_memory <folder> [captures] [exe name, default Kadrix.exe]
// Prints one line: "start <ms> idle <MB> <MB> after <n> <MB> <MB>".
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

#include "support/ProcessMemory.h"
#include "win32/Clock.h"

using kadrix::win::NowMs;

namespace {

struct Memory {
    double privateMb, workingSetMb;
};

Memory Measure(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(process, &counters, sizeof counters);
    return {testsupport::CommittedPrivateMb(process), counters.WorkingSetSize / 1048576.0};
}

HWND FindMain(DWORD pid) {
    struct Search {
        DWORD pid;
        HWND found;
    } search{pid, nullptr};
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            wchar_t name[64] = {};
            GetClassNameW(hwnd, name, 64);
            if (owner == s->pid && lstrcmpW(name, L"TForm_Background") == 0) s->found = hwnd;
            return s->found == nullptr;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

template <typename Cond>
bool WaitFor(Cond cond, int polls = 1000, DWORD every = 10) {
    for (int i = 0; i < polls; ++i) {
        if (cond()) return true;
        Sleep(every);
    }
    return false;
}

// Wine's tray shows only while some program has an icon in it.
bool TrayShown() {
    HWND tray = FindWindowW(nullptr, L"Wine System Tray");
    if (!tray) tray = FindWindowW(L"Shell_TrayWnd", nullptr);
    return tray && IsWindowVisible(tray);
}


}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: kadrix_bench_win_memory <folder> [captures] [exe name]\n");
        return 2;
    }
    const std::wstring folder = argv[1];
    const int captures = argc > 2 ? _wtoi(argv[2]) : 50;
    const std::wstring exe = folder + L"\\" + (argc > 3 ? argv[3] : L"Kadrix.exe");
    if (!WaitFor([] { return !TrayShown(); }, 500)) {
        std::fprintf(stderr, "another program has an icon in the tray\n");
        return 1;
    }
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = L"\"" + exe + L"\"";
    const double t0 = NowMs();
    if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi)) {
        std::fprintf(stderr, "cannot start the program\n");
        return 1;
    }
    WaitFor(TrayShown, 20000, 1);
    const double start = NowMs() - t0;
    HWND overlay = nullptr;
    WaitFor([&] { return (overlay = FindMain(pi.dwProcessId)) != nullptr; });
    Sleep(500);  // let start-up settle before the first reading
    const Memory idle = Measure(pi.hProcess);
    for (int i = 0; i < captures; ++i) {
        SetCursorPos(300 + i, 300);
        PostMessageW(overlay, WM_HOTKEY, 1, 0);
        WaitFor([&] { return IsWindowVisible(overlay) != FALSE; });
        RedrawWindow(overlay, nullptr, nullptr, RDW_UPDATENOW);
        Sleep(20);
        PostMessageW(overlay, WM_HOTKEY, 3, 0);
        WaitFor([&] { return !IsWindowVisible(overlay); });
    }
    if (captures > 0) Sleep(500);
    const Memory after = Measure(pi.hProcess);
    std::printf("start %.1f idle %.2f %.2f after %d %.2f %.2f\n", start, idle.privateMb, idle.workingSetMb, captures,
                after.privateMb, after.workingSetMb);
    PostMessageW(overlay, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(pi.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    WaitFor([] { return !TrayShown(); }, 500);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return 0;
}
