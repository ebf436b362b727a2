#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Transparent huge pages for big blocks. Most of the time of loading a big mesh goes into the
// first touch of fresh memory, one page fault per 4 KB page; in 2 MB pages that is one fault
// per 2 MB. Systems in the common "madvise" mode give huge pages only to memory that asks for
// them. Where they are unavailable or switched off the calls do nothing.

// The huge pages of x86-64 (and of ARM with 4 KB pages).
constexpr uintptr_t HUGE_PAGE_SIZE = uintptr_t{2} << 20;

// An address rounded up, or down, to a 2 MB boundary.
constexpr uintptr_t HugePageUp(uintptr_t n)
{
    return (n + HUGE_PAGE_SIZE - 1) & ~(HUGE_PAGE_SIZE - 1);
}
constexpr uintptr_t HugePageDown(uintptr_t n)
{
    return n & ~(HUGE_PAGE_SIZE - 1);
}

// Asks for huge pages for the whole 2 MB pages inside [p, p + nBytes). Only memory not touched
// yet gains (a block fresh from the allocator, before it is filled); the pages at the block's
// ends, which it shares with other blocks, are left as they are, so nothing outside the block
// is ever made bigger.
void AdviseHugePages(void* p, size_t nBytes);

// Moves the pages of [pFrom, pFrom + nBytes), with what they hold, to [pTo, pTo + nBytes) in place of
// what lay there (which must not be in use); the source then reads as zeros, as fresh memory does. Both
// ranges start on a 2 MB boundary and are a whole number of 2 MB long. Memory handed on so costs no
// first touch, which the system pays for each fresh page by clearing it (and a virtual machine's host
// perhaps by faulting it in). False where the system cannot: the pages from the first it could not move
// on are still in the source, and the target holds nothing to keep there (zeros, on Linux).
bool MovePages(void* pFrom, void* pTo, size_t nBytes);

// new T[n], uninitialised, in huge pages where it is big enough; freed with delete[].
template <typename T> T* NewHugeArray(size_t n)
{
    T* p = new T[n];
    AdviseHugePages(p, n * sizeof(T));
    return p;
}

// Reserves room for n elements (no less than the capacity already there) in huge pages where
// that is big enough. Call it before filling the container.
template <typename T> void ReserveHuge(std::vector<T>& v, size_t n)
{
    v.reserve(n);
    AdviseHugePages(v.data(), v.capacity() * sizeof(T));
}

inline void ReserveHuge(std::string& s, size_t n)
{
    s.reserve(n);
    AdviseHugePages(s.data(), s.capacity());
}

// The whole heap in huge pages, the GL driver's display-list storage and the C++ library's blocks
// included: the C library's allocator (glibc 2.35 and later) asks for them for all of its memory
// when the process starts with the tunable glibc.malloc.hugetlb=1, and it reads tunables only at
// start-up. Given the present GLIBC_TUNABLES (null when unset) and the kernel's huge page mode
// (the text of /sys/kernel/mm/transparent_hugepage/enabled), the value GLIBC_TUNABLES needs, or
// nothing when the kernel gives huge pages without asking ("always"), never gives them, or the
// tunable is set already (by the user, or by the restart below).
std::optional<std::string> HugePageHeapTunables(const char* pszTunables, std::string_view thpMode);

// Starts the program anew (the same executable, arguments and environment) with that tunable
// when it helps: when an argument names a file of at least HUGE_PAGE_HEAP_MIN_FILE bytes. The
// restart costs about 40 ms (the libraries are loaded twice); the pages it saves pay for that
// from files of a few megabytes on. Returns only when it does not restart, or when the restart
// fails. Call it first thing in main. Skipped when something is preloaded (a debugging tool or
// another allocator owns the heap then; a restart would escape a tool that does not follow it).
constexpr long long HUGE_PAGE_HEAP_MIN_FILE = 8ll << 20;
void RestartWithHugePageHeap(int argc, char** argv);
