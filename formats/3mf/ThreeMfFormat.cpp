// What tells a 3MF package apart: the zip signature and the names of its first entries.
#include "formats/3mf/ThreeMfFormat.h"

#include <algorithm>

#include "formats/LittleEndian.h"

namespace
{
constexpr std::string_view ZIP_SIGNATURE("PK\3\4", 4);
// A local file header: signature, versions, flags, method, times, CRC, sizes, name and extra lengths.
constexpr size_t LOCAL_HEADER_SIZE = 30;
// Bit 3 of the flags: the sizes follow the data instead of standing in the header.
constexpr uint16_t SIZES_AFTER_DATA = 8;

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithNoCase(std::string_view text, std::string_view lower)
{
    if (text.size() < lower.size())
        return false;
    for (size_t i = 0; i < lower.size(); ++i)
        if (Lower(text[i]) != lower[i])
            return false;
    return true;
}

bool EqualsNoCase(std::string_view text, std::string_view lower)
{
    return text.size() == lower.size() && StartsWithNoCase(text, lower);
}

bool EndsWithNoCase(std::string_view text, std::string_view lower)
{
    return text.size() >= lower.size() && StartsWithNoCase(text.substr(text.size() - lower.size()), lower);
}

// The parts every OPC package has; office documents have them too, so they count only where
// they name the 3D model type.
bool IsPackagePart(std::string_view name)
{
    return EqualsNoCase(name, "[content_types].xml") || EqualsNoCase(name, "_rels/.rels");
}
} // namespace

int Recognise3MF(std::string_view head, uint64_t)
{
    if (head.substr(0, ZIP_SIGNATURE.size()) != ZIP_SIGNATURE)
        return 0;
    const auto* pBytes = reinterpret_cast<const uint8_t*>(head.data());
    size_t nPos = 0;
    while (nPos + LOCAL_HEADER_SIZE <= head.size() &&
           head.substr(nPos, ZIP_SIGNATURE.size()) == ZIP_SIGNATURE)
    {
        const uint8_t* p = pBytes + nPos;
        const uint16_t nFlags = LittleEndian::LoadUInt16(p + 6);
        const uint16_t nMethod = LittleEndian::LoadUInt16(p + 8);
        const uint32_t nCompressed = LittleEndian::LoadUInt32(p + 18);
        const size_t nNameStart = nPos + LOCAL_HEADER_SIZE;
        const size_t nDataStart =
            nNameStart + LittleEndian::LoadUInt16(p + 26) + LittleEndian::LoadUInt16(p + 28);
        const std::string_view name = head.substr(nNameStart, LittleEndian::LoadUInt16(p + 26));
        if (EndsWithNoCase(name, ".model") || StartsWithNoCase(name, "3d/"))
            return 3;
        const std::string_view data = head.substr(std::min(nDataStart, head.size()), nCompressed);
        if (IsPackagePart(name) && nMethod == 0 && data.find("3dmanufacturing") != std::string_view::npos)
            return 3;
        if (nDataStart >= head.size())
            break;
        // Without the size in the header the next entry is looked for by its signature; a
        // signature inside compressed data gives a wrong name, which decides nothing.
        const bool bSizeKnown = (nFlags & SIZES_AFTER_DATA) == 0 && nCompressed != UINT32_MAX;
        const size_t nNext = bSizeKnown ? nDataStart + nCompressed : head.find(ZIP_SIGNATURE, nDataStart);
        if (nNext == std::string_view::npos || nNext <= nPos)
            break;
        nPos = nNext;
    }
    return 1;
}
