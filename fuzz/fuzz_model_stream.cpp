// The streamed readers of big models on arbitrary bytes, each on the same input: never a crash,
// the box first and once, every point sent inside it. What the OFF stream accepts, the full reader
// accepts too, with the same triangles (the full reader may know more dialects); binary STL
// streams exactly when the full reader reads, but for coordinates a float cannot hold.
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "formats/ByteWindow.h"
#include "formats/TriangleSink.h"
#include "formats/off/OffStream.h"
#include "formats/stl/StlFormat.h"
#include "formats/stl/StlStream.h"
#include "model/Mesh.h"
#include "model/TeldViewGLDoc.h"

namespace
{
class CCheckingSink : public CTriangleSink
{
public:
    void Begin(const double pdMin[3], const double pdMax[3], bool, bool) override
    {
        if (m_bBegun)
            std::abort();
        m_bBegun = true;
        for (int i = 0; i < 3; ++i)
        {
            m_pdMin[i] = pdMin[i];
            m_pdMax[i] = pdMax[i];
        }
    }
    void Fit(const float* p, size_t nPoints) override
    {
        if (!m_bBegun || !m_positions.empty())
            std::abort();
        Check(p, nPoints);
    }
    void Triangle(const float* p, const float*) override
    {
        if (!m_bBegun)
            std::abort();
        Check(p, 3);
        m_positions.insert(m_positions.end(), p, p + 9);
    }

    std::vector<float> m_positions;

private:
    void Check(const float* p, size_t nPoints) const
    {
        for (size_t k = 0; k < 3 * nPoints; ++k)
            if (!std::isfinite(p[k]) || p[k] < m_pdMin[k % 3] || p[k] > m_pdMax[k % 3])
                std::abort();
    }

    bool m_bBegun = false;
    double m_pdMin[3] = {}, m_pdMax[3] = {};
};

// The full reader's triangles, faces as fans from their first vertex.
std::vector<float> Fans(const CMesh& mesh, bool& bFloats)
{
    std::vector<float> positions;
    bFloats = true;
    for (int32_t i = 0; i < mesh.m_nVertices; ++i)
        for (int k = 0; k < 3; ++k)
            bFloats = bFloats && std::fabs(mesh.m_ppVertices[i][k]) <= FLT_MAX;
    for (int32_t f = 0; f < mesh.m_nFaces; ++f)
        for (int32_t k = 1; k + 1 < mesh.m_pFaceSizes[f]; ++k)
            for (const int32_t nIndex :
                 {mesh.m_ppFaces[f][0], mesh.m_ppFaces[f][k], mesh.m_ppFaces[f][k + 1]})
                for (int i = 0; i < 3; ++i)
                    positions.push_back(static_cast<float>(mesh.m_ppVertices[nIndex][i]));
    return positions;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string_view buffer(reinterpret_cast<const char*>(pData), nSize);
    for (int nFormat = 0; nFormat < 3; ++nFormat)
    {
        CByteWindow bytes(buffer);
        CCheckingSink sink;
        const bool bStreamed = nFormat == 0   ? StreamOFF(bytes, sink)
                               : nFormat == 1 ? StreamBinarySTL(bytes, nSize, sink)
                                              : SampleAsciiSTL(bytes, nSize, 64, sink);
        if (nFormat == 2)
            continue;
        CMesh mesh;
        const bool bFull = nFormat == 0 ? mesh.ReadOFFBuffer(buffer, "fuzz.off")
                                        : mesh.ReadSTLBuffer(buffer, STL_BINARY, "fuzz.stl");
        bool bFloats = true;
        const std::vector<float> positions = bFull ? Fans(mesh, bFloats) : std::vector<float>();
        if ((bStreamed && (!bFull || sink.m_positions != positions)) ||
            (nFormat == 1 && bFull && bFloats && !bStreamed))
            std::abort();
    }
    return 0;
}
