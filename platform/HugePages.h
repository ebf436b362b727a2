#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Transparent huge pages for big blocks. Most of the time of loading a big mesh goes into the
// first touch of fresh memory, one page fault per 4 KB page; in 2 MB pages that is one fault
// per 2 MB. Systems in the common "madvise" mode give huge pages only to memory that asks for
// them. Where they are unavailable or switched off the calls do nothing.

// Asks for huge pages for the whole 2 MB pages inside [p, p + nBytes). Only memory not touched
// yet gains (a block fresh from the allocator, before it is filled); the pages at the block's
// ends, which it shares with other blocks, are left as they are, so nothing outside the block
// is ever made bigger.
void AdviseHugePages(void* p, size_t nBytes);

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
