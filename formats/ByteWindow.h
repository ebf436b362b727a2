#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The bytes of a buffer or of a file, seen through a window that a reader moves forward: the
// window holds what has been read and not yet consumed, and More() extends it with the file's
// next block. A buffer is its own whole window. Reading a big file this way needs memory for a
// block or two, not for the file.
class CByteWindow
{
public:
    static constexpr size_t BLOCK_SIZE = size_t(1) << 20;

    explicit CByteWindow(std::string_view buffer) : m_buffer(buffer) {}
    // Reads the open file fd (which the caller keeps and closes) from where it stands.
    explicit CByteWindow(int fd) : m_fd(fd) {}
    CByteWindow(const CByteWindow&) = delete;
    CByteWindow& operator=(const CByteWindow&) = delete;

    std::string_view Window() const { return Data().substr(m_nStart); }
    // Where the window starts, counted from the start of the data.
    uint64_t Offset() const { return m_nOffset; }
    void Consume(size_t nBytes);
    // Appends the next block to the window; false at the end of the data or on a read error.
    bool More();
    bool Failed() const { return m_bFailed; }
    // Back to the start of the data (a file seeks to its start); false when a file cannot seek.
    bool Rewind();
    // Text from here on: the data ends at its first NUL byte, which no text holds, so that a file
    // of zeros is judged by its first block. HitNul() then says so.
    void StopAtNul();
    bool HitNul() const { return m_bHitNul; }

private:
    std::string_view Data() const { return m_fd >= 0 ? std::string_view(m_data) : m_buffer; }

    int m_fd = -1;
    std::string_view m_buffer;
    std::string m_data; // a file's bytes from the last block boundary kept
    size_t m_nStart = 0;
    uint64_t m_nOffset = 0;
    bool m_bFailed = false;
    bool m_bStopAtNul = false;
    bool m_bHitNul = false;
};
