#pragma once
// Reads what the About box needs from a PE image: the time-date stamp of the
// root resource directory (where our build writes its local date and time)
// and the fixed file version of the version resource. Every offset is
// checked against the bytes given; a malformed image gives "none", never a
// read outside them.
#include <cstdint>
#include <optional>
#include <span>

namespace kadrix {

// File: the bytes of an executable file, sections at their file offsets.
// Mapped: the image as the loader laid it out, sections at their RVAs.
enum class PeLayout { File, Mapped };

// SizeOfImage from the headers, so that a running image can be spanned.
std::optional<uint32_t> PeSizeOfImage(std::span<const uint8_t> headers);

// Where the root resource directory's time-date stamp lies in the bytes;
// none when the image has no resource directory.
std::optional<size_t> ResourceStampOffset(std::span<const uint8_t> image, PeLayout layout);
std::optional<uint32_t> ResourceTimeDateStamp(std::span<const uint8_t> image, PeLayout layout);

struct FixedFileVersion {
    uint32_t VersionMS = 0;
    uint32_t VersionLS = 0;
};
// The file version of the first version resource; none without one.
std::optional<FixedFileVersion> ReadFixedFileVersion(std::span<const uint8_t> image, PeLayout layout);

}  // namespace kadrix
