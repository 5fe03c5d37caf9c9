#pragma once
// Names of the temporary files that safe writes go through. A write that is
// cut off (the process killed, the machine off) leaves its temporary file
// behind; the name says which process wrote it, so a later run can remove the
// leftovers of processes that have ended and never touch anything else.
//
// ".~kadrix-<process id>-<process start, 16 hex digits>-<target name>.tmp":
// the leading dot hides it on Linux and under Wine, the start time tells a
// reused process id from the writer.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kadrix {

struct TemporaryFileOwner {
    uint32_t ProcessId = 0;
    uint64_t ProcessStart = 0;  // the process's creation time as the system counts it
    friend bool operator==(const TemporaryFileOwner&, const TemporaryFileOwner&) = default;
};

// Matches every name TemporaryFileName makes, for a directory search.
inline constexpr std::u16string_view kTemporaryFilePattern = u".~kadrix-*.tmp";

// The temporary file name for a target file name (without folder).
std::u16string TemporaryFileName(std::u16string_view targetName, TemporaryFileOwner owner);

// The writer of a temporary file, when the name (without folder) is exactly
// one that TemporaryFileName makes; nothing for any other name.
std::optional<TemporaryFileOwner> TemporaryFileOwnerOf(std::u16string_view fileName);

}  // namespace kadrix
