#include "win32/AppFiles.h"

#include <windows.h>

#include "win32/Files.h"
#include "win32/WinText.h"

namespace kadrix::win {

ReadFileFn FileReader() {
    return [](const std::u16string& path) { return ReadFileBytes(W(path)); };
}

TReadLanguageLines NewLanguageReader(const std::wstring& appFolder) {
    return TReadLanguageLines(U(appFolder), GetACP(), FileReader());
}

}  // namespace kadrix::win
