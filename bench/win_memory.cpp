// Memory of the running program under Wine, measured from outside as a user
// would see it: committed private memory (a walk of its address space, since
// Wine reports PrivateUsage as 0 for other processes) and the working set,
// after start-up and after a number of captures opened and closed.
// Usage: kadrix_bench_win_memory <folder with Kadrix.exe> [captures]
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

namespace {

struct Memory {
    double privateMb, workingSetMb;
};

Memory Measure(HANDLE process) {
    size_t committed = 0;
    MEMORY_BASIC_INFORMATION info;
    for (const char* at = nullptr; VirtualQueryEx(process, at, &info, sizeof info) == sizeof info;
         at = static_cast<const char*>(info.BaseAddress) + info.RegionSize) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) committed += info.RegionSize;
    }
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(process, &counters, sizeof counters);
    return {committed / 1048576.0, counters.WorkingSetSize / 1048576.0};
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
bool WaitFor(Cond cond) {
    for (int i = 0; i < 1000; ++i) {
        if (cond()) return true;
        Sleep(10);
    }
    return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: kadrix_bench_win_memory <install folder> [captures]\n");
        return 2;
    }
    const std::wstring folder = argv[1];
    const int captures = argc > 2 ? _wtoi(argv[2]) : 50;
    std::wstring exe = folder + L"\\Kadrix.exe";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = L"\"" + exe + L"\"";
    if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi)) {
        std::fprintf(stderr, "cannot start Kadrix.exe\n");
        return 1;
    }
    WaitForInputIdle(pi.hProcess, 10000);
    HWND overlay = nullptr;
    WaitFor([&] { return (overlay = FindMain(pi.dwProcessId)) != nullptr; });
    Sleep(500);  // let start-up settle before the first reading
    const Memory idle = Measure(pi.hProcess);
    Memory open{};
    for (int i = 0; i < captures; ++i) {
        SetCursorPos(300 + i, 300);
        PostMessageW(overlay, WM_HOTKEY, 1, 0);
        WaitFor([&] { return IsWindowVisible(overlay) != FALSE; });
        RedrawWindow(overlay, nullptr, nullptr, RDW_UPDATENOW);
        Sleep(20);
        if (i == 0) open = Measure(pi.hProcess);
        PostMessageW(overlay, WM_HOTKEY, 3, 0);
        WaitFor([&] { return !IsWindowVisible(overlay); });
    }
    Sleep(500);
    const Memory after = Measure(pi.hProcess);
    std::printf("memory: idle %.2f MB private, %.2f MB working set; capture open %.2f / %.2f; after %d captures %.2f / %.2f\n",
                idle.privateMb, idle.workingSetMb, open.privateMb, open.workingSetMb, captures, after.privateMb,
                after.workingSetMb);
    PostMessageW(overlay, WM_CLOSE, 0, 0);
    WaitForSingleObject(pi.hProcess, 5000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return 0;
}
