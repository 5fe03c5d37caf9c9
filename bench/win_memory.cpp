// Start-up time and memory of a tray program under Wine, measured from
// outside as a user would see them: the time from starting the process to
// its icon in the tray, committed private memory (a walk of its address
// space, since Wine reports PrivateUsage as 0 for other processes) and the
// working set, after start-up and, for Kadrix, after a number of captures.
// Usage: kadrix_bench_win_memory <folder> [captures] [exe name, default Kadrix.exe] [upload host] [uploads]
// Prints one line: "start <ms> idle <MB> <MB> after <n> <MB> <MB>". With an
// upload host (host:port of a running upload service), Settings.ini is set
// to upload only, and screenshots (50 unless given) are taken and uploaded one after the
// other, each waited for until its success box shows; the line then ends
// with "uploads <n> <MB> <MB>".
#include <windows.h>
#include <tlhelp32.h>
#include <psapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "overlay/HotKeys.h"
#include "support/ProcessMemory.h"
#include "win32/Clock.h"

using kadrix::kHotKeyEnter;
using kadrix::kHotKeyEsc;
using kadrix::kHotKeyScreenshot;
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

// The process's top-level windows of a class.
std::vector<HWND> WindowsOf(DWORD pid, const wchar_t* className) {
    struct Search {
        DWORD pid;
        const wchar_t* className;
        std::vector<HWND> found;
    } search{pid, className, {}};
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            wchar_t name[64] = {};
            GetClassNameW(hwnd, name, 64);
            if (owner == s->pid && lstrcmpW(name, s->className) == 0) s->found.push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindMain(DWORD pid) {
    const auto found = WindowsOf(pid, L"TForm_Background");
    return found.empty() ? nullptr : found.front();
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


// The number of threads the process runs.
int ThreadCount(DWORD pid) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == pid) ++count;
    }
    CloseHandle(snapshot);
    return count;
}

// The message boxes the program shows.
std::vector<HWND> Boxes(DWORD pid) {
    std::vector<HWND> shown;
    for (HWND box : WindowsOf(pid, L"#32770")) {
        if (IsWindowVisible(box)) shown.push_back(box);
    }
    return shown;
}

// One screenshot the way the overlay sees a user take it: the hot key, a
// drag in client coordinates, Enter. Waits for the upload's box and closes it.
bool CaptureAndUpload(HWND overlay, DWORD pid, int round) {
    PostMessageW(overlay, WM_HOTKEY, kHotKeyScreenshot, 0);
    if (!WaitFor([&] { return IsWindowVisible(overlay) != FALSE; })) return false;
    const int x = 100 + round % 50, y = 100;
    PostMessageW(overlay, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageW(overlay, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + 300, y + 200));
    PostMessageW(overlay, WM_LBUTTONUP, 0, MAKELPARAM(x + 300, y + 200));
    PostMessageW(overlay, WM_HOTKEY, kHotKeyEnter, 0);
    if (!WaitFor([&] { return !IsWindowVisible(overlay); })) return false;
    std::vector<HWND> boxes;
    if (!WaitFor([&] { return !(boxes = Boxes(pid)).empty(); }, 3000)) return false;
    for (HWND box : boxes) PostMessageW(box, WM_COMMAND, IDOK, 0);
    return WaitFor([&] { return Boxes(pid).empty(); });
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
    const std::wstring uploadHost = argc > 4 ? argv[4] : L"";
    if (!uploadHost.empty()) {
        const std::wstring settings = L"[Main]\r\nShowHint=0\r\n[Screenshot]\r\nSaveInFile=0\r\nUploadOnServer=1\r\n"
                                      L"[Upload]\r\nHost=" + uploadHost + L"\r\n";
        const std::string bytes(settings.begin(), settings.end());  // ASCII
        HANDLE file = CreateFileW((folder + L"\\Settings.ini").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                  nullptr);
        DWORD written = 0;
        if (file == INVALID_HANDLE_VALUE || !WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                                                       nullptr)) {
            std::fprintf(stderr, "cannot write Settings.ini\n");
            return 1;
        }
        CloseHandle(file);
    }
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
    const int idleThreads = ThreadCount(pi.dwProcessId);
    for (int i = 0; i < captures; ++i) {
        SetCursorPos(300 + i, 300);
        PostMessageW(overlay, WM_HOTKEY, kHotKeyScreenshot, 0);
        WaitFor([&] { return IsWindowVisible(overlay) != FALSE; });
        RedrawWindow(overlay, nullptr, nullptr, RDW_UPDATENOW);
        Sleep(20);
        PostMessageW(overlay, WM_HOTKEY, kHotKeyEsc, 0);
        WaitFor([&] { return !IsWindowVisible(overlay); });
    }
    if (captures > 0) Sleep(500);
    const Memory after = Measure(pi.hProcess);
    std::printf("start %.1f idle %.2f %.2f after %d %.2f %.2f", start, idle.privateMb, idle.workingSetMb, captures,
                after.privateMb, after.workingSetMb);
    if (!uploadHost.empty()) {
        const int uploads = argc > 5 ? _wtoi(argv[5]) : 50;
        int uploaded = 0;
        while (uploaded < uploads && CaptureAndUpload(overlay, pi.dwProcessId, uploaded)) ++uploaded;
        // Each upload runs in a thread of its own, which ends once its box is
        // gone; under Wine a box's thread goes on some 2 s after the box hides.
        WaitFor([&] { return ThreadCount(pi.dwProcessId) <= idleThreads; });
        Sleep(500);
        const Memory afterUploads = Measure(pi.hProcess);
        std::printf(" uploads %d %.2f %.2f", uploaded, afterUploads.privateMb, afterUploads.workingSetMb);
    }
    std::printf("\n");
    PostMessageW(overlay, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(pi.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    WaitFor([] { return !TrayShown(); }, 500);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return 0;
}
