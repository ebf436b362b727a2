#include "platform/AvailableMemory.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace
{
// MemAvailable of /proc/meminfo; the free pages where the kernel gives no such line.
uint64_t SystemAvailable()
{
    if (std::FILE* pFile = std::fopen("/proc/meminfo", "re"))
    {
        char line[256];
        unsigned long long nKiB = 0;
        bool bFound = false;
        while (!bFound && std::fgets(line, sizeof line, pFile) != nullptr)
            bFound = std::sscanf(line, "MemAvailable: %llu kB", &nKiB) == 1;
        std::fclose(pFile);
        if (bFound)
            return static_cast<uint64_t>(nKiB) * 1024;
    }
    const long nPages = sysconf(_SC_AVPHYS_PAGES);
    const long nPageSize = sysconf(_SC_PAGESIZE);
    return nPages > 0 && nPageSize > 0 ? static_cast<uint64_t>(nPages) * static_cast<uint64_t>(nPageSize)
                                       : UINT64_MAX;
}
} // namespace

uint64_t AvailableMemory()
{
    uint64_t nAvailable = SystemAvailable();
    struct rlimit limit;
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        nAvailable = std::min<uint64_t>(nAvailable, limit.rlim_cur);
    return nAvailable;
}
