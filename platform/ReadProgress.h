#pragma once

#include <atomic>
#include <cstdint>

// How far a reader on a worker thread has come through its file: bytes parsed out of the whole.
// The reader writes, the GUI thread reads from a timer; atomics, so neither waits for the other.
class CReadProgress
{
public:
    // Readers report every this many items at most, so that reporting costs nothing measurable.
    static constexpr uint32_t REPORT_EVERY = 1u << 16;

    void SetTotal(uint64_t nBytes) { m_nTotal.store(nBytes, std::memory_order_relaxed); }
    void SetDone(uint64_t nBytes) { m_nDone.store(nBytes, std::memory_order_relaxed); }
    // The whole file is read.
    void Finish() { SetDone(m_nTotal.load(std::memory_order_relaxed)); }
    // 0 to 100; 0 while the total is unknown.
    int Percent() const
    {
        const uint64_t nTotal = m_nTotal.load(std::memory_order_relaxed);
        const uint64_t nDone = m_nDone.load(std::memory_order_relaxed);
        if (nTotal == 0)
            return 0;
        return nDone >= nTotal ? 100 : static_cast<int>(nDone * 100 / nTotal);
    }

private:
    std::atomic<uint64_t> m_nDone{0};
    std::atomic<uint64_t> m_nTotal{0};
};
