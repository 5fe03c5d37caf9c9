#include "win32/Files.h"

#include <mutex>
#include <set>

#include "core/Error.h"
#include "core/TemporaryFileName.h"
#include "win32/Handles.h"
#include "win32/WinText.h"

namespace kadrix::win {

namespace {

[[noreturn]] void Fail(const wchar_t* pattern, const std::wstring& path, const std::wstring& cause) {
    throw Error(FormatText(U(pattern), {U(path), U(cause)}));
}

[[noreturn]] void Fail(const wchar_t* pattern, const std::wstring& path, DWORD code) {
    Fail(pattern, path, SystemErrorText(code));
}

// "16 MB" rather than 16777216 where it divides evenly.
std::wstring SizeText(size_t bytes) {
    if (bytes >= (1u << 20) && bytes % (1u << 20) == 0) return std::to_wstring(bytes >> 20) + L" MB";
    if (bytes >= 1024 && bytes % 1024 == 0) return std::to_wstring(bytes >> 10) + L" KB";
    return std::to_wstring(bytes) + L" bytes";
}

uint64_t ToUInt64(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

std::optional<uint64_t> ProcessStart(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return std::nullopt;
    return ToUInt64(created);
}

TemporaryFileOwner ThisProcess() {
    static const TemporaryFileOwner self{GetCurrentProcessId(), ProcessStart(GetCurrentProcess()).value_or(0)};
    return self;
}

// True only when the writer has surely ended: a process that cannot be asked
// (another user's) counts as running.
bool WriterEnded(const TemporaryFileOwner& owner) {
    if (owner == ThisProcess()) return false;
    Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, owner.ProcessId));
    if (!process) return GetLastError() == ERROR_INVALID_PARAMETER;  // no process has that id
    DWORD code = 0;
    if (GetExitCodeProcess(process.Get(), &code) && code != STILL_ACTIVE) return true;
    const auto start = ProcessStart(process.Get());
    return start && *start != owner.ProcessStart;  // the id now belongs to a later process
}

// Each folder is searched once per run: leftovers come from processes that
// ended before, and a search per screenshot would slow every save in a large folder.
void RemoveStaleTemporariesOnce(const std::wstring& folder) {
    static std::mutex lock;
    static std::set<std::wstring> searched;
    {
        std::lock_guard guard(lock);
        if (!searched.insert(folder).second) return;
    }
    RemoveStaleTemporaries(folder);
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
    // The system has no text of its own for this (Wine shows "System error 223.").
    if (static_cast<unsigned long long>(size.QuadPart) > maxBytes) {
        Fail(L"Cannot open file \"%s\". %s", path,
             L"The file is larger than " + SizeText(maxBytes) + L", the most this program reads.");
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
    const size_t slash = path.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
    const std::wstring temp = folder + W(TemporaryFileName(U(path.substr(folder.size())), ThisProcess()));

    // Replacing goes through a rename, which Wine allows over a read-only file.
    const DWORD target = GetFileAttributesW(path.c_str());
    if (target != INVALID_FILE_ATTRIBUTES && (target & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
        Fail(L"Cannot create file \"%s\". %s", path, ERROR_ACCESS_DENIED);
    }
    RemoveStaleTemporariesOnce(folder);

    DWORD code = ERROR_SUCCESS;
    {
        FileHandle file(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN,
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
        // The rename keeps the attributes: unhide before the file takes the target's name.
        FILE_BASIC_INFO basic{};
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        if (code == ERROR_SUCCESS && !SetFileInformationByHandle(file.Get(), FileBasicInfo, &basic, sizeof basic)) {
            code = GetLastError();
        }
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

void RemoveStaleTemporaries(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    const std::wstring pattern = folder + W(kTemporaryFilePattern);
    FindHandle search(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0));
    if (!search) return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const auto owner = TemporaryFileOwnerOf(U(found.cFileName));
        if (owner && WriterEnded(*owner)) DeleteFileW((folder + found.cFileName).c_str());
    } while (FindNextFileW(search.Get(), &found));
}

}  // namespace kadrix::win
