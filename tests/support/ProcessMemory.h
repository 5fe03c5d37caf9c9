#pragma once
// Committed private memory of a process, from a walk of its address space:
// Wine reports PrivateUsage as 0 for other processes.
#include <windows.h>

#include <cstddef>

namespace testsupport {

inline double CommittedPrivateMb(HANDLE process) {
    std::size_t committed = 0;
    MEMORY_BASIC_INFORMATION info;
    for (const char* at = nullptr; VirtualQueryEx(process, at, &info, sizeof info) == sizeof info;
         at = static_cast<const char*>(info.BaseAddress) + info.RegionSize) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) committed += info.RegionSize;
    }
    return committed / 1048576.0;
}

}  // namespace testsupport
