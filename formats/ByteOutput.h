#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>

// Output of the scene writers: bytes and text gather in a buffer that reaches the stream in
// large pieces. Binary values are stored little-endian whatever the host's byte order.
class CByteOutput
{
public:
    explicit CByteOutput(std::ostream& out) : m_out(out) { m_buffer.reserve(CHUNK + 1024); }
    ~CByteOutput() { Flush(); }
    CByteOutput(const CByteOutput&) = delete;
    CByteOutput& operator=(const CByteOutput&) = delete;

    std::string& Buffer() { return m_buffer; }
    void Append(const void* p, size_t nBytes) { m_buffer.append(static_cast<const char*>(p), nBytes); }
    // Call between records: hands the buffer over once it holds a chunk.
    void FlushIfFull()
    {
        if (m_buffer.size() >= CHUNK)
            Flush();
    }
    void Flush()
    {
        m_out.write(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
        m_buffer.clear();
    }

    static void StoreUInt32(char* p, uint32_t nValue)
    {
        if constexpr (std::endian::native != std::endian::little)
            nValue = ((nValue & 0xFFu) << 24) | ((nValue & 0xFF00u) << 8) | ((nValue >> 8) & 0xFF00u) |
                     (nValue >> 24);
        std::memcpy(p, &nValue, 4);
    }
    static void StoreFloat(char* p, float fValue) { StoreUInt32(p, std::bit_cast<uint32_t>(fValue)); }
    static void StoreFloats(char* p, const float* pValues, int nCount)
    {
        for (int i = 0; i < nCount; ++i)
            StoreFloat(p + 4 * i, pValues[i]);
    }

private:
    static constexpr size_t CHUNK = size_t(1) << 20;
    std::ostream& m_out;
    std::string m_buffer;
};
