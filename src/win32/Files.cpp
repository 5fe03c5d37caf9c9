#include "win32/Files.h"

#include "core/Error.h"
#include "win32/Handles.h"
#include "win32/WinText.h"

namespace kadrix::win {

namespace {

[[noreturn]] void Fail(const wchar_t* pattern, const std::wstring& path, DWORD code) {
    throw Error(FormatText(U(pattern), {U(path), U(SystemErrorText(code))}));
}

}  // namespace

std::optional<std::string> ReadFileBytes(const std::wstring& path, size_t maxBytes) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || code == ERROR_INVALID_NAME) {
            return std::nullopt;
        }
        Fail(L"Cannot open file \"%s\". %s", path, code);
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return std::nullopt;

    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) Fail(L"Cannot open file \"%s\". %s", path, GetLastError());
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size)) Fail(L"Cannot open file \"%s\". %s", path, GetLastError());
    if (static_cast<unsigned long long>(size.QuadPart) > maxBytes) {
        Fail(L"Cannot open file \"%s\". %s", path, ERROR_FILE_TOO_LARGE);
    }
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        if (!ReadFile(file.Get(), bytes.data() + done, want, &got, nullptr)) {
            Fail(L"Cannot open file \"%s\". %s", path, GetLastError());
        }
        if (got == 0) break;  // the file shrank while we read it
        done += got;
    }
    bytes.resize(done);
    return bytes;
}

void WriteFileSafely(const std::wstring& path, std::string_view bytes) {
    const std::wstring temp = path + L".~" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    DWORD code = ERROR_SUCCESS;
    {
        FileHandle file(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
        if (!file) Fail(L"Cannot create file \"%s\". %s", path, GetLastError());
        size_t done = 0;
        while (code == ERROR_SUCCESS && done < bytes.size()) {
            DWORD written = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
            if (!WriteFile(file.Get(), bytes.data() + done, chunk, &written, nullptr)) code = GetLastError();
            done += written;
        }
        if (code == ERROR_SUCCESS && !FlushFileBuffers(file.Get())) code = GetLastError();
    }
    if (code == ERROR_SUCCESS &&
        !MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        code = GetLastError();
    }
    if (code != ERROR_SUCCESS) {
        DeleteFileW(temp.c_str());
        Fail(L"Cannot create file \"%s\". %s", path, code);
    }
}

}  // namespace kadrix::win
