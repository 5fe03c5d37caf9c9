#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <vector>

#include "core/Error.h"
#include "core/TemporaryFileName.h"
#include "support/TempFolder.h"
#include "win32/Files.h"
#include "win32/WinText.h"

using namespace kadrix;
using namespace kadrix::win;

namespace {

// A fresh folder of the test's own, removed with everything in it.
struct Folder {
    testsupport::TempFolder folder;
    const std::wstring& path = folder.Path();
    // Every file name in the folder, hidden ones included, sorted.
    std::vector<std::wstring> Names() const {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found;
        HANDLE h = FindFirstFileW((path + L"*").c_str(), &found);
        if (h == INVALID_HANDLE_VALUE) return names;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
        } while (FindNextFileW(h, &found));
        FindClose(h);
        std::sort(names.begin(), names.end());
        return names;
    }
    void Put(const std::wstring& name, const std::string& bytes) const {
        HANDLE h = CreateFileW((path + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(h);
    }
};

std::u16string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& e) {
        return e.Message();
    }
    return u"(no error)";
}

uint64_t StartOf(HANDLE process) {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(process, &created, &exited, &kernel, &user);
    return (static_cast<uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// A process of its own: started suspended, so it runs until the test ends it.
struct ChildProcess {
    PROCESS_INFORMATION info{};
    ChildProcess() {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        wchar_t cmd[] = L"cmd.exe /c exit 0";
        CreateProcessW(nullptr, cmd, nullptr, nullptr, FALSE, CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, nullptr,
                       &si, &info);
    }
    TemporaryFileOwner Owner() const { return {info.dwProcessId, StartOf(info.hProcess)}; }
    void End() {
        TerminateProcess(info.hProcess, 0);
        WaitForSingleObject(info.hProcess, 10000);
    }
    ~ChildProcess() {
        End();
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
};

std::wstring TempName(const wchar_t* target, TemporaryFileOwner owner) {
    return W(TemporaryFileName(U(target), owner));
}

}  // namespace

TEST(Files, AFileOverTheCapIsReportedWithItsNameAndTheLimit) {
    Folder folder;
    struct Case { size_t cap; size_t size; std::wstring limit; };
    const Case cases[] = {
        {100, 101, L"100 bytes"},
        {kMaxTextFileBytes, kMaxTextFileBytes + 1, L"16 MB"},
    };
    for (const auto& c : cases) {
        folder.Put(L"big.ini", std::string(c.size, 'x'));
        const std::wstring path = folder.path + L"big.ini";
        EXPECT_EQ(W(ErrorOf([&] { ReadFileBytes(path, c.cap); })),
                  L"Cannot open file \"" + path + L"\". The file is larger than " + c.limit +
                      L", the most this program reads.");
        folder.Put(L"big.ini", std::string(c.size - 1, 'x'));
        EXPECT_EQ(ReadFileBytes(path, c.cap).value_or("").size(), c.size - 1) << "a file at the cap reads";
    }
}

TEST(Files, AReadOnlyTargetIsRefusedAndKeepsItsBytes) {
    Folder folder;
    const std::wstring path = folder.path + L"Settings.ini";
    folder.Put(L"Settings.ini", "old");
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(W(ErrorOf([&] { WriteFileSafely(path, "new"); })),
              L"Cannot create file \"" + path + L"\". " + SystemErrorText(ERROR_ACCESS_DENIED));
    EXPECT_EQ(ReadFileBytes(path).value_or(""), "old");
    EXPECT_EQ(folder.Names(), std::vector<std::wstring>{L"Settings.ini"}) << "a temporary file was left";
    EXPECT_TRUE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY);
}

TEST(Files, AWrittenFileIsPlainAndNoTemporaryStays) {
    Folder folder;
    const std::wstring path = folder.path + L"2026.12.10 12-25-09.bmp";
    for (const std::string bytes : {"first", "second, longer", ""}) {
        WriteFileSafely(path, bytes);
        EXPECT_EQ(ReadFileBytes(path).value_or("?"), bytes);
        EXPECT_EQ(GetFileAttributesW(path.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY), 0u)
            << "the temporary file's hidden flag came along";
        EXPECT_EQ(folder.Names(), std::vector<std::wstring>{L"2026.12.10 12-25-09.bmp"});
    }
}

TEST(Files, OnlyTemporariesOfEndedWritersAreRemoved) {
    Folder folder;
    ChildProcess running, ended;
    const TemporaryFileOwner endedOwner = ended.Owner();
    ended.End();
    const TemporaryFileOwner reused{GetCurrentProcessId(), StartOf(GetCurrentProcess()) - 1};

    const std::wstring kept[] = {
        TempName(L"Settings.ini", running.Owner()),
        L"Settings.ini",
        L"notes.tmp",
        L".~kadrix-1812-01DA2B3C4D5E6F70-Settings.ini.tmp",  // not a name we make
    };
    const std::wstring stale[] = {
        TempName(L"Settings.ini", endedOwner),
        TempName(L"2026.12.10 12-25-09.bmp", reused),  // our id, but an earlier process
    };
    for (const auto& name : kept) folder.Put(name, "x");
    for (const auto& name : stale) folder.Put(name, "x");

    RemoveStaleTemporaries(folder.path);
    std::vector<std::wstring> expected(std::begin(kept), std::end(kept));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folder.Names(), expected);
}

TEST(Files, AWriteClearsStaleTemporariesFromItsFolder) {
    Folder folder;
    ChildProcess ended;
    const TemporaryFileOwner owner = ended.Owner();
    ended.End();
    folder.Put(TempName(L"2026.12.10 12-25-09.bmp", owner), "half a picture");
    WriteFileSafely(folder.path + L"2026.12.10 12-25-10.bmp", "picture");
    EXPECT_EQ(folder.Names(), std::vector<std::wstring>{L"2026.12.10 12-25-10.bmp"});
}
