#include "about/VersionInfo.h"

#include <array>

namespace kadrix {

namespace {

bool LeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && LeapYear(year) ? 29 : kDays[static_cast<size_t>(month - 1)];
}

void AppendNumber(std::u16string& out, unsigned value, size_t minDigits) {
    std::u16string digits;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
        value /= 10;
    } while (value != 0);
    if (digits.size() < minDigits) out.append(minDigits - digits.size(), u'0');
    out += digits;
}

}  // namespace

DateTime DecodeDosDateTime(uint32_t stamp) {
    const uint32_t date = stamp >> 16, time = stamp & 0xFFFF;
    DateTime d;
    d.Year = 1980 + static_cast<int>(date >> 9);
    d.Month = static_cast<int>((date >> 5) & 0x0F);
    d.Day = static_cast<int>(date & 0x1F);
    d.Hour = static_cast<int>(time >> 11);
    d.Minute = static_cast<int>((time >> 5) & 0x3F);
    d.Second = 2 * static_cast<int>(time & 0x1F);
    const bool dateValid = d.Month >= 1 && d.Month <= 12 && d.Day >= 1 && d.Day <= DaysInMonth(d.Year, d.Month);
    const bool timeValid = d.Hour < 24 && d.Minute < 60 && d.Second < 60;
    return dateValid && timeValid ? d : kZeroDateTime;
}

uint32_t EncodeDosDateTime(const DateTime& v) {
    if (v.Year < 1980 || v.Year > 1980 + 127) return 0;
    const uint32_t date = static_cast<uint32_t>(((v.Year - 1980) << 9) | (v.Month << 5) | v.Day);
    const uint32_t time = static_cast<uint32_t>((v.Hour << 11) | (v.Minute << 5) | (v.Second / 2));
    return date << 16 | time;
}

std::u16string FormatFileVersion(uint32_t versionMS, uint32_t versionLS, std::u16string_view format) {
    const std::array<unsigned, 4> parts{versionMS >> 16, versionMS & 0xFFFF, versionLS >> 16, versionLS & 0xFFFF};
    std::u16string out;
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == u'%' && i + 1 < format.size()) {
            if (format[i + 1] == u'd' && next < parts.size()) {
                AppendNumber(out, parts[next++], 1);
                ++i;
                continue;
            }
            if (format[i + 1] == u'%') {
                out += u'%';
                ++i;
                continue;
            }
        }
        out += format[i];
    }
    return out;
}

std::u16string VersionLine(std::u16string_view version, std::u16string_view fileVersion, int bits,
                           std::u16string_view strBit) {
    std::u16string line(version);
    line += u' ';
    line += fileVersion;
    line += u" (";
    AppendNumber(line, static_cast<unsigned>(bits), 1);
    line += u'-';
    line += strBit;
    line += u')';
    return line;
}

std::u16string DateBuildLine(std::u16string_view value, const DateTime& when, std::u16string_view timeSeparator) {
    std::u16string line(value);
    line += u' ';
    AppendNumber(line, static_cast<unsigned>(when.Day), 2);
    line += u'.';
    AppendNumber(line, static_cast<unsigned>(when.Month), 2);
    line += u'.';
    AppendNumber(line, static_cast<unsigned>(when.Year), 4);
    line += u' ';
    AppendNumber(line, static_cast<unsigned>(when.Hour), 2);
    line += timeSeparator;
    AppendNumber(line, static_cast<unsigned>(when.Minute), 2);
    line += timeSeparator;
    AppendNumber(line, static_cast<unsigned>(when.Second), 2);
    return line;
}

}  // namespace kadrix
