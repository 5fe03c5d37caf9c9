#pragma once
// Whole-file reads and safe writes.
#include <optional>
#include <string>
#include <string_view>

namespace kadrix::win {

inline constexpr size_t kMaxTextFileBytes = 16u << 20;

// Reads a whole file of at most maxBytes. Nothing when it does not exist;
// kadrix::Error "Cannot open file "%s". %s" when it exists but cannot be read
// or is larger than maxBytes (the message then names the limit).
std::optional<std::string> ReadFileBytes(const std::wstring& path, size_t maxBytes = kMaxTextFileBytes);

// Writes the file through a hidden temporary file in the same folder that then
// replaces the target, so an interrupted write never leaves half a file. A
// read-only target is refused, as Windows would refuse to replace it (Wine
// would not). Before its first write into a folder the process removes the
// temporary files that ended processes left there.
// kadrix::Error "Cannot create file "%s". %s" on failure, with no file left behind.
void WriteFileSafely(const std::wstring& path, std::string_view bytes);

// Removes from folder (ending with a backslash) the temporary files of
// interrupted writes whose process has ended; those of running processes stay.
// Never fails: what cannot be removed stays for the next try.
void RemoveStaleTemporaries(const std::wstring& folder);

}  // namespace kadrix::win
