#pragma once

#include <cstdint>
#include <vector>

// Little-endian fields of binary picture files, read and written byte by byte so that neither
// the host's byte order nor alignment matters.
namespace LittleEndian
{
inline uint16_t LoadUInt16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

inline uint32_t LoadUInt32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

inline int32_t LoadInt32(const uint8_t* p)
{
    return static_cast<int32_t>(LoadUInt32(p));
}

inline void StoreUInt16(uint8_t* p, uint16_t nValue)
{
    p[0] = static_cast<uint8_t>(nValue);
    p[1] = static_cast<uint8_t>(nValue >> 8);
}

inline void StoreUInt32(uint8_t* p, uint32_t nValue)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(nValue >> (8 * i));
}

inline void AppendUInt16(std::vector<uint8_t>& bytes, uint16_t nValue)
{
    bytes.resize(bytes.size() + 2);
    StoreUInt16(bytes.data() + bytes.size() - 2, nValue);
}

inline void AppendUInt32(std::vector<uint8_t>& bytes, uint32_t nValue)
{
    bytes.resize(bytes.size() + 4);
    StoreUInt32(bytes.data() + bytes.size() - 4, nValue);
}

inline void AppendInt32(std::vector<uint8_t>& bytes, int32_t nValue)
{
    AppendUInt32(bytes, static_cast<uint32_t>(nValue));
}
} // namespace LittleEndian
