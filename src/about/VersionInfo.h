#pragma once
// The About box's version and build-date lines, and the MS-DOS packed date
// and time that the build writes as its stamp.
#include <cstdint>
#include <string>
#include <string_view>

namespace kadrix {

struct DateTime {
    int Year = 1899, Month = 12, Day = 30;  // the zero date-time
    int Hour = 0, Minute = 0, Second = 0;
    bool operator==(const DateTime&) const = default;
};

// 30.12.1899 00:00:00: what a missing or broken stamp shows.
inline constexpr DateTime kZeroDateTime{};

// High 16 bits the date (years since 1980, month, day), low 16 the time
// (hour, minute, seconds / 2). Anything but a valid date and time gives the
// zero date-time.
DateTime DecodeDosDateTime(uint32_t stamp);
// The reverse, for the build step; years outside 1980..2107 cannot be packed
// and give 0, which reads back as the zero date-time. Odd seconds round down.
uint32_t EncodeDosDateTime(const DateTime& value);

// The four 16-bit parts of a fixed file version (major, minor, release,
// build) put in place of the first four "%d" of format; "%%" is a percent sign.
std::u16string FormatFileVersion(uint32_t versionMS, uint32_t versionLS, std::u16string_view format);

// "<version> <fileVersion> (<bits>-<strBit>)".
std::u16string VersionLine(std::u16string_view version, std::u16string_view fileVersion, int bits,
                           std::u16string_view strBit);

// "<value> dd.mm.yyyy hh:nn:ss" with timeSeparator in place of each ':'.
std::u16string DateBuildLine(std::u16string_view value, const DateTime& when, std::u16string_view timeSeparator);

}  // namespace kadrix
