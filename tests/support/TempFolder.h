#pragma once
// A folder of the test's own under the temporary folder, removed with
// everything in it when the test ends: each Win32 test and benchmark keeps
// its Settings.ini there rather than beside the test executable.
#include <windows.h>

#include <string>

namespace testsupport {

class TempFolder {
public:
    TempFolder() {
        static int counter = 0;
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + L"kadrix-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(++counter) + L"\\";
        Remove(path_);
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~TempFolder() { Remove(path_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Ends with a backslash.
    const std::wstring& Path() const { return path_; }

    static void Remove(const std::wstring& dir) {
        WIN32_FIND_DATAW found;
        HANDLE h = FindFirstFileW((dir + L"*").c_str(), &found);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..") continue;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    Remove(dir + name + L"\\");
                } else {
                    SetFileAttributesW((dir + name).c_str(), FILE_ATTRIBUTE_NORMAL);
                    DeleteFileW((dir + name).c_str());
                }
            } while (FindNextFileW(h, &found));
            FindClose(h);
        }
        RemoveDirectoryW(dir.c_str());
    }

private:
    std::wstring path_;
};

}  // namespace testsupport
