// Post-link step of the Windows build: writes the build's local date and time
// into the time-date stamp of Kadrix.exe's root resource directory, in the
// MS-DOS packed format the About box reads back (the linker leaves 0 there).
// The time is SOURCE_DATE_EPOCH when set, so two builds of one commit stay
// byte-identical; otherwise now.
//
//     stamp-build-time Kadrix.exe
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <vector>

#include "about/PeImage.h"
#include "about/VersionInfo.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <executable>\n", argv[0]);
        return 2;
    }
    std::time_t now = std::time(nullptr);
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && *epoch) {
        char* end = nullptr;
        errno = 0;
        const long long value = std::strtoll(epoch, &end, 10);
        if (errno != 0 || *end != '\0' || value < 0) {
            std::fprintf(stderr, "SOURCE_DATE_EPOCH is not a number of seconds: %s\n", epoch);
            return 1;
        }
        now = static_cast<std::time_t>(value);
    }
    std::tm local{};
    if (!localtime_r(&now, &local)) {
        std::fprintf(stderr, "cannot convert the build time to local time\n");
        return 1;
    }
    const uint32_t stamp = kadrix::EncodeDosDateTime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                                      local.tm_hour, local.tm_min, local.tm_sec});

    std::fstream file(argv[1], std::ios::in | std::ios::out | std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const auto offset = kadrix::ResourceStampOffset(bytes, kadrix::PeLayout::File);
    if (!offset) {
        std::fprintf(stderr, "%s has no resource directory to stamp\n", argv[1]);
        return 1;
    }
    const char packed[4] = {static_cast<char>(stamp), static_cast<char>(stamp >> 8), static_cast<char>(stamp >> 16),
                            static_cast<char>(stamp >> 24)};
    file.clear();
    file.seekp(static_cast<std::streamoff>(*offset));
    file.write(packed, sizeof packed);
    file.flush();
    if (!file) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
