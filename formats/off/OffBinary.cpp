// Reading binary OFF, as a geometry library and an old viewer write it.
#include "formats/off/OffBinary.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "platform/HugePages.h"

namespace
{
class CBigEndianData
{
public:
    CBigEndianData(std::string_view data, size_t nStart) : m_data(data), m_nPos(nStart) {}

    bool Int(int32_t& n)
    {
        uint32_t nBits = 0;
        if (!Word(nBits))
            return false;
        n = static_cast<int32_t>(nBits);
        return true;
    }
    // A finite float.
    bool Float(double& d)
    {
        uint32_t nBits = 0;
        if (!Word(nBits))
            return false;
        d = static_cast<double>(std::bit_cast<float>(nBits));
        return std::isfinite(d);
    }
    uint64_t Remaining() const { return m_data.size() - m_nPos; }

private:
    bool Word(uint32_t& nBits)
    {
        if (Remaining() < 4)
            return false;
        const auto* p = reinterpret_cast<const unsigned char*>(m_data.data() + m_nPos);
        nBits = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
        m_nPos += 4;
        return true;
    }

    std::string_view m_data;
    size_t m_nPos;
};

bool Fail(std::string& strFailure, const char* pszWhat, int32_t nItem, const std::string& strWhy)
{
    strFailure = std::string(pszWhat) + " " + std::to_string(nItem) + ": " + strWhy;
    return false;
}
} // namespace

bool ParseBinaryOFF(std::string_view data, size_t nStart, const SOffKeyword& keyword, SMeshParts& parts,
                    std::string& strFailure)
{
    CBigEndianData in(data, nStart);
    int32_t nVertices = 0, nFaces = 0, nEdges = 0;
    if (!in.Int(nVertices) || !in.Int(nFaces) || !in.Int(nEdges))
    {
        strFailure = "the binary data ends in its counts";
        return false;
    }
    const int nFloats =
        3 + (keyword.bNormals ? 3 : 0) + (keyword.bColors ? 4 : 0) + (keyword.bTexCoords ? 2 : 0);
    // A vertex takes its floats, a face at least its size and its colour count.
    if (nVertices < 1 || nFaces < 0 ||
        static_cast<uint64_t>(nVertices) * 4 * static_cast<uint64_t>(nFloats) +
                static_cast<uint64_t>(nFaces) * 8 >
            in.Remaining())
    {
        strFailure = "the counts ask for more than the file holds";
        return false;
    }
    parts.bNormals = keyword.bNormals;
    parts.bColors = keyword.bColors;
    parts.bTexCoords = keyword.bTexCoords;
    parts.nRecordSize = parts.bColors ? 11 : (parts.bTexCoords ? 8 : 6);
    parts.nVertices = nVertices;
    parts.nFaces = nFaces;
    const size_t nRecord = static_cast<size_t>(parts.nRecordSize);
    parts.pRecords.reset(NewHugeArray<double>(static_cast<size_t>(nVertices) * nRecord));
    parts.pFaceSizes.reset(NewHugeArray<int32_t>(static_cast<size_t>(nFaces)));
    for (int32_t i = 0; i < nVertices; ++i)
    {
        double* p = parts.pRecords.get() + static_cast<size_t>(i) * nRecord;
        double alpha = 0.0;
        const auto read = [&](double* pTo, int nCount)
        {
            for (int k = 0; k < nCount; ++k)
                if (!in.Float(pTo[k]))
                    return false;
            return true;
        };
        if (!read(p, 3) || (keyword.bNormals && !read(p + SLOT_NORMAL, 3)) ||
            (keyword.bColors && !(read(p + SLOT_COLOR, 3) && read(&alpha, 1))) ||
            (keyword.bTexCoords && !read(p + SLOT_TEXCOORD, 2)))
            return Fail(strFailure, "vertex", i, "the data ends or holds a number that is not finite");
    }
    parts.indices.clear();
    parts.nEdges = 0;
    for (int32_t f = 0; f < nFaces; ++f)
    {
        int32_t n = 0;
        if (!in.Int(n) || n < 1 || static_cast<uint64_t>(n) * 4 + 4 > in.Remaining())
            return Fail(strFailure, "face", f, "expected a face size that the data holds");
        parts.pFaceSizes[static_cast<size_t>(f)] = n;
        for (int32_t k = 0; k < n; ++k)
        {
            int32_t nIndex = 0;
            in.Int(nIndex);
            if (nIndex < 0 || nIndex >= nVertices)
                return Fail(strFailure, "face", f,
                            "vertex index " + std::to_string(nIndex) + " is not in 0 to " +
                                std::to_string(nVertices - 1));
            parts.indices.push_back(nIndex);
        }
        // The face's own colour is dropped.
        int32_t nColors = 0;
        double dColor = 0.0;
        if (!in.Int(nColors) || nColors < 0 || nColors > 4)
            return Fail(strFailure, "face", f, "expected a colour count of 0 to 4");
        for (int32_t c = 0; c < nColors; ++c)
            if (!in.Float(dColor))
                return Fail(strFailure, "face", f, "the data ends or holds a number that is not finite");
        parts.nEdges += n;
        if (parts.nEdges > std::numeric_limits<int32_t>::max())
            return Fail(strFailure, "face", f, "more face corners than a mesh holds");
    }
    return true;
}
