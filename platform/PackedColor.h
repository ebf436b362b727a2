#pragma once

#include <cstdint>

// Colours as dialogs and the background hold them, 0x00BBGGRR, and as the view holds them,
// three floats in 0..1.
namespace PackedColor
{
// Slightly above 1/255, so that every byte comes back unchanged from its float.
constexpr float BYTE_TO_FLOAT = 0.003921569f;

inline void ToFloats(uint32_t crColor, float pfColor[3])
{
    for (int c = 0; c < 3; ++c)
        pfColor[c] = static_cast<float>((crColor >> (8 * c)) & 0xFF) * BYTE_TO_FLOAT;
}

// Each component c (0 to 1) becomes the low 8 bits of c x 255 truncated.
inline uint32_t FromFloats(const float pfColor[3])
{
    uint32_t crColor = 0;
    for (int c = 0; c < 3; ++c)
        crColor |= (static_cast<uint32_t>(static_cast<double>(pfColor[c]) * 255.0) & 0xFF) << (8 * c);
    return crColor;
}
} // namespace PackedColor
