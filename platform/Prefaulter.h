#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <thread>
#include <vector>

// Faults in the whole pages inside [p, p + nBytes) as a write would, without changing what they
// hold. False where the system cannot.
bool PrefaultForWrite(const void* p, size_t nBytes);

// Faults in the pages of big blocks on a thread of its own, from the last block's end down,
// while the caller fills them from the first block's start up. The first touch of fresh memory
// is most of the time of filling it, and on a virtual machine whose host takes back the memory
// the system frees, a first touch costs milliseconds a huge page: this shares that wait out over
// two cores. Give only blocks that will be filled whole (each of their pages is made resident;
// what they hold does not change), and keep them allocated until the prefaulter is stopped.
class CPrefaulter
{
public:
    struct SBlock
    {
        const void* p;
        size_t nBytes;
    };
    // Blocks smaller than this together are not worth a thread, and are left alone.
    static constexpr size_t MIN_BYTES = size_t{16} << 20;

    CPrefaulter() = default;
    explicit CPrefaulter(std::initializer_list<SBlock> blocks) { Start(blocks); }
    ~CPrefaulter() { Stop(); }
    CPrefaulter(const CPrefaulter&) = delete;
    CPrefaulter& operator=(const CPrefaulter&) = delete;

    // Starts on the blocks, after stopping what ran before. Nothing runs where no thread starts.
    void Start(std::initializer_list<SBlock> blocks);
    // Stops after the step in hand and waits for it.
    void Stop();

private:
    void Run();

    std::vector<SBlock> m_blocks;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};
