#pragma once
// The program's files beside the executable, as the Win32 side reaches them.
#include <string>

#include "localisation/ReadLanguageLines.h"

namespace kadrix::win {

ReadFileFn FileReader();

// A language reader for the language that Settings.ini in appFolder names,
// decoding files without a byte order mark in the system's ANSI code page.
TReadLanguageLines NewLanguageReader(const std::wstring& appFolder);

}  // namespace kadrix::win
