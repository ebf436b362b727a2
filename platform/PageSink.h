#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Blocks about to be filled that take over the pages of memory freed meanwhile, instead of fresh
// ones: a fresh page costs its first touch, which the system pays for by clearing it (and a virtual
// machine's host perhaps by faulting it in). Only whole 2 MB pages move (see MovePages), into the
// targets in the order they were added.
class CPageSink
{
public:
    // A block to be filled: its whole 2 MB pages, which must not be in use, take pages given.
    void AddTarget(void* p, size_t nBytes);
    // Hands the whole 2 MB pages of [p, p + nBytes) that are in memory on to the targets' next
    // free pages, as far as those go; the pages handed on then read as zeros there, as fresh
    // memory does, and the rest stays as it was. Nothing may touch the block meanwhile. Returns the
    // bytes handed on.
    size_t Give(void* p, size_t nBytes);

private:
    struct SRange
    {
        uintptr_t nStart;
        uintptr_t nEnd;
    };
    std::vector<SRange> m_targets; // what is left of them to fill, from the first
    size_t m_nTarget = 0;
    bool m_bRefused = false; // the system cannot move pages
};
