#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdlib>
#include <limits>
#include <new>

// An allocator for big buffers: blocks of 2 MiB and more are aligned to 2 MiB and marked for
// transparent huge pages. On these machines first-touch page faults cost several milliseconds per
// megabyte with 4 KiB pages, a fifth of that with huge pages.
template <typename T> class CHugePageAllocator
{
public:
    using value_type = T;
    static constexpr size_t HUGE_PAGE = size_t(2) << 20;

    CHugePageAllocator() = default;
    template <typename U> CHugePageAllocator(const CHugePageAllocator<U>&) noexcept {}

    T* allocate(size_t n)
    {
        if (n > (std::numeric_limits<size_t>::max() - HUGE_PAGE) / sizeof(T))
            throw std::bad_array_new_length();
        const size_t nBytes = n * sizeof(T);
        if (nBytes < HUGE_PAGE)
            return static_cast<T*>(::operator new(nBytes));
        const size_t nRounded = (nBytes + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1);
        void* p = std::aligned_alloc(HUGE_PAGE, nRounded);
        if (p == nullptr)
            throw std::bad_alloc();
        // Only a hint: without huge pages the block works as any other.
        madvise(p, nRounded, MADV_HUGEPAGE);
        return static_cast<T*>(p);
    }
    void deallocate(T* p, size_t n) noexcept
    {
        if (n * sizeof(T) < HUGE_PAGE)
            ::operator delete(p);
        else
            std::free(p);
    }
    template <typename U> bool operator==(const CHugePageAllocator<U>&) const noexcept { return true; }
};
