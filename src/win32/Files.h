#pragma once
// Whole-file reads and safe writes.
#include <optional>
#include <string>
#include <string_view>

namespace kadrix::win {

inline constexpr size_t kMaxTextFileBytes = 16u << 20;

// Reads a whole file of at most maxBytes. Nothing when it does not exist;
// kadrix::Error "Cannot open file "%s". %s" when it exists but cannot be read
// or is larger than maxBytes.
std::optional<std::string> ReadFileBytes(const std::wstring& path, size_t maxBytes = kMaxTextFileBytes);

// Writes the file through a temporary file in the same folder that then
// replaces the target, so an interrupted write never leaves half a file.
// kadrix::Error "Cannot create file "%s". %s" on failure, with no file left behind.
void WriteFileSafely(const std::wstring& path, std::string_view bytes);

}  // namespace kadrix::win
