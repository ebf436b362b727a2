#include "platform/HugePages.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>

#if defined(__linux__)
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

void AdviseHugePages(void* p, size_t nBytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    const uintptr_t nStart = HugePageUp(reinterpret_cast<uintptr_t>(p));
    const uintptr_t nEnd = HugePageDown(reinterpret_cast<uintptr_t>(p) + nBytes);
    // A refusal (no huge page support, an old kernel) leaves ordinary pages: nothing to report.
    if (p != nullptr && nEnd > nStart)
        madvise(reinterpret_cast<void*>(nStart), nEnd - nStart, MADV_HUGEPAGE);
#else
    (void)p;
    (void)nBytes;
#endif
}

bool MovePages(void* pFrom, void* pTo, size_t nBytes)
{
#if defined(__linux__)
#if !defined(MREMAP_DONTUNMAP)
    constexpr int MREMAP_DONTUNMAP = 4; // since Linux 5.7; older kernels refuse it
#endif
    // A 2 MB page at a time: the system (before Linux 6.17) moves no range that spans two
    // mappings, and every move of a block splits it into more.
    char* const pSource = static_cast<char*>(pFrom);
    char* const pTarget = static_cast<char*>(pTo);
    for (size_t nDone = 0; nDone < nBytes; nDone += HUGE_PAGE_SIZE)
    {
        const size_t nStep = std::min<size_t>(HUGE_PAGE_SIZE, nBytes - nDone);
        if (mremap(pSource + nDone, nStep, nStep, MREMAP_MAYMOVE | MREMAP_FIXED | MREMAP_DONTUNMAP,
                   pTarget + nDone) == pTarget + nDone)
            continue;
        // The system may have unmapped the target before it refused: fresh memory there again,
        // which needs no more room than what was there.
        if (mmap(pTarget + nDone, nStep, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1,
                 0) != pTarget + nDone)
            std::abort(); // a hole in the block would be written into
        AdviseHugePages(pTarget + nDone, nStep);
        return false;
    }
    return true;
#else
    (void)pFrom;
    (void)pTo;
    (void)nBytes;
    return false;
#endif
}

std::optional<std::string> HugePageHeapTunables(const char* pszTunables, std::string_view thpMode)
{
    const std::string_view tunables = pszTunables != nullptr ? pszTunables : "";
    if (thpMode.find("[madvise]") == std::string_view::npos ||
        tunables.find("glibc.malloc.hugetlb") != std::string_view::npos)
        return std::nullopt;
    std::string strValue(tunables);
    if (!strValue.empty())
        strValue += ':';
    return strValue + "glibc.malloc.hugetlb=1";
}

void RestartWithHugePageHeap(int argc, char** argv)
{
    // The sanitizers' allocator does not use the C library's.
#if defined(__linux__) && defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 35) &&                  \
    !defined(__SANITIZE_ADDRESS__)
    const char* pszPreload = std::getenv("LD_PRELOAD");
    if (argc < 2 || argv == nullptr || (pszPreload != nullptr && *pszPreload != '\0'))
        return;
    bool bBigFile = false;
    for (int i = 1; i < argc && !bBigFile; ++i)
    {
        struct stat st;
        bBigFile = argv[i] != nullptr && stat(argv[i], &st) == 0 && S_ISREG(st.st_mode) &&
                   st.st_size >= HUGE_PAGE_HEAP_MIN_FILE;
    }
    if (!bBigFile)
        return;
    std::ifstream modeFile("/sys/kernel/mm/transparent_hugepage/enabled");
    const std::string strMode((std::istreambuf_iterator<char>(modeFile)), std::istreambuf_iterator<char>());
    const char* pszTunables = std::getenv("GLIBC_TUNABLES");
    const std::string strOld = pszTunables != nullptr ? pszTunables : "";
    const bool bHadTunables = pszTunables != nullptr;
    const std::optional<std::string> tunables = HugePageHeapTunables(pszTunables, strMode);
    if (!tunables || setenv("GLIBC_TUNABLES", tunables->c_str(), 1) != 0)
        return;
    execv("/proc/self/exe", argv);
    // Still here: no restart (no /proc, say); go on as before.
    if (bHadTunables)
        setenv("GLIBC_TUNABLES", strOld.c_str(), 1);
    else
        unsetenv("GLIBC_TUNABLES");
#else
    (void)argc;
    (void)argv;
#endif
}
