#include "drawing/SampleCull.h"

#include <GL/gl.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

#include "model/Mesh.h"
#include "platform/OnThreads.h"

namespace
{
std::atomic<bool> s_bEnabled{true};

// Window positions are stored shifted right and up by this many pixels and clamped to a pixel or
// two beyond the viewport, so that they stay positive (a float's truncation is then its floor) and
// small (a float is then exact to far below the margin).
constexpr float SHIFT = 16.0f;
// The renderer rounds each position to a float, multiplies by float matrices and snaps the result
// to 1/256 of a pixel: its relative error stays far below this factor of the terms' magnitudes...
constexpr double RELATIVE_ERROR = 1.0 / (1 << 18);
// ... and its snapping within this many pixels.
constexpr float SNAP_MARGIN = 1.0f / 32.0f;
// A bound of rounding above this many pixels (coordinates far from the origin) tests nothing.
constexpr double LARGEST_ERROR = 0.25;

// Column-major 4 x 4 matrices, as GL keeps them: c = a b.
void Multiply(const double* a, const double* b, double* c)
{
    for (int nColumn = 0; nColumn < 4; ++nColumn)
        for (int nRow = 0; nRow < 4; ++nRow)
        {
            double d = 0.0;
            for (int k = 0; k < 4; ++k)
                d += a[k * 4 + nRow] * b[nColumn * 4 + k];
            c[nColumn * 4 + nRow] = d;
        }
}
} // namespace

void CSampleCull::SetEnabled(bool bEnabled)
{
    s_bEnabled = bEnabled;
}

bool CSampleCull::StateAllows()
{
    GLint nSampleBuffers = 0;
    glGetIntegerv(GL_SAMPLE_BUFFERS, &nSampleBuffers);
    GLint polygonModes[2] = {GL_FILL, GL_FILL};
    glGetIntegerv(GL_POLYGON_MODE, polygonModes);
    GLint nRenderMode = GL_RENDER;
    glGetIntegerv(GL_RENDER_MODE, &nRenderMode);
    return nSampleBuffers == 0 && glIsEnabled(GL_POLYGON_SMOOTH) == GL_FALSE && polygonModes[0] == GL_FILL &&
           polygonModes[1] == GL_FILL && nRenderMode == GL_RENDER;
}

bool CSampleCull::Cull(const CMesh& mesh, const std::vector<SIndexedBlock>& blocks)
{
    m_dKeptShare = 1.0;
    if (!s_bEnabled || mesh.m_nFaces < MIN_TRIANGLES || mesh.VertexPool() == nullptr || !StateAllows())
        return false;
    double modelview[16], projection[16];
    GLint viewport[4] = {0, 0, 0, 0};
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    if (viewport[2] <= 0 || viewport[3] <= 0)
        return false;
    SFrame frame;
    Multiply(projection, modelview, frame.m);
    // The renderer multiplies the two in floats: its rounding goes with these magnitudes.
    double absModelview[16], absProjection[16];
    for (int i = 0; i < 16; ++i)
    {
        absModelview[i] = std::fabs(modelview[i]);
        absProjection[i] = std::fabs(projection[i]);
    }
    Multiply(absProjection, absModelview, frame.a);
    frame.dHalfWidth = 0.5 * viewport[2];
    frame.dHalfHeight = 0.5 * viewport[3];
    frame.fWidth = static_cast<float>(viewport[2]);
    frame.fHeight = static_cast<float>(viewport[3]);
    // The sample points are at pixel centres; those of the pixels just beside the viewport count too.
    m_fLowX = SHIFT - 1.0f;
    m_fHighX = SHIFT + frame.fWidth;
    m_fLowY = SHIFT - 1.0f;
    m_fHighY = SHIFT + frame.fHeight;
    try
    {
        m_kept.resize(blocks.size());
        m_whole.assign(blocks.size(), 0);
        std::atomic<size_t> nNext{0};
        std::atomic<int64_t> nKept{0}, nAll{0};
        std::atomic<bool> bFailed{false};
        OnThreads(
            WorkerThreadCount(),
            [&]
            {
                try
                {
                    // Each block's records are projected here, just before its test, into
                    // memory the thread keeps from block to block and the cache holds.
                    std::vector<float> screen;
                    std::vector<uint32_t> scratch;
                    int64_t nMine = 0, nMineAll = 0;
                    for (size_t b = nNext++; b < blocks.size(); b = nNext++)
                    {
                        const SIndexedBlock& block = blocks[b];
                        const int64_t nCount =
                            static_cast<int64_t>(block.shortIndices.size() + block.indices.size()) / 3;
                        SIndexedBlock& kept = m_kept[b];
                        kept.nBase = block.nBase;
                        kept.nRange = block.nRange;
                        kept.shortIndices.clear();
                        kept.indices.clear();
                        nMineAll += nCount;
                        const double dWorst = nCount > 0 ? ProjectBlock(mesh, block, frame, screen) : 0.0;
                        // A block whose rounding is too coarse to bound is drawn whole.
                        if (dWorst > LARGEST_ERROR)
                        {
                            m_whole[b] = 1;
                            nMine += nCount;
                            continue;
                        }
                        CullBlock(block, screen.data(), static_cast<float>(dWorst) + SNAP_MARGIN, scratch);
                        const int64_t nBlockKept = static_cast<int64_t>(scratch.size() / 3);
                        // A block that keeps most of its triangles is drawn whole, with no copy.
                        m_whole[b] = 4 * nBlockKept > 3 * nCount ? 1 : 0;
                        if (m_whole[b] == 0 && !block.shortIndices.empty())
                            kept.shortIndices.assign(scratch.begin(), scratch.end());
                        else if (m_whole[b] == 0)
                            kept.indices = scratch;
                        nMine += m_whole[b] != 0 ? nCount : nBlockKept;
                    }
                    nKept += nMine;
                    nAll += nMineAll;
                }
                catch (const std::exception&)
                {
                    bFailed = true;
                }
            });
        if (bFailed)
            return false;
        m_dKeptShare = nAll > 0 ? static_cast<double>(nKept) / static_cast<double>(nAll) : 1.0;
        return true;
    }
    catch (const std::exception&)
    {
        // No memory for the test: the frame is drawn whole.
        m_kept.clear();
        return false;
    }
}

double CSampleCull::ProjectBlock(const CMesh& mesh, const SIndexedBlock& block, const SFrame& frame,
                                 std::vector<float>& screen)
{
    const size_t nRecordSize = static_cast<size_t>(mesh.m_nRecordSize);
    const double* pPool = mesh.VertexPool() + static_cast<size_t>(block.nBase) * nRecordSize;
    const double* m = frame.m;
    const double* a = frame.a;
    screen.resize(2 * static_cast<size_t>(block.nRange));
    const float fNaN = std::numeric_limits<float>::quiet_NaN();
    double dWorst = 0.0;
    for (int32_t r = 0; r < block.nRange; ++r)
    {
        const double* p = pPool + static_cast<size_t>(r) * nRecordSize;
        const double x = p[0], y = p[1], z = p[2];
        const double ax = std::fabs(x), ay = std::fabs(y), az = std::fabs(z);
        const double cx = m[0] * x + m[4] * y + m[8] * z + m[12];
        const double cy = m[1] * x + m[5] * y + m[9] * z + m[13];
        const double w = m[3] * x + m[7] * y + m[11] * z + m[15];
        const double ex = a[0] * ax + a[4] * ay + a[8] * az + a[12];
        const double ey = a[1] * ax + a[5] * ay + a[9] * az + a[13];
        const double ew = a[3] * ax + a[7] * ay + a[11] * az + a[15];
        float* pScreen = screen.data() + 2 * static_cast<size_t>(r);
        // On or behind the eye's plane, or nearly so, or not finite: always kept.
        if (!(w > 1e-6 * ew) || !std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(w))
        {
            pScreen[0] = pScreen[1] = fNaN;
            continue;
        }
        const double nx = cx / w, ny = cy / w;
        const double dErrorX = frame.dHalfWidth * RELATIVE_ERROR * (ex + std::fabs(nx) * ew) / w;
        const double dErrorY = frame.dHalfHeight * RELATIVE_ERROR * (ey + std::fabs(ny) * ew) / w;
        dWorst = std::max(dWorst, std::max(dErrorX, dErrorY));
        const double sx = (nx + 1.0) * frame.dHalfWidth, sy = (ny + 1.0) * frame.dHalfHeight;
        pScreen[0] = SHIFT + std::clamp(static_cast<float>(sx), -2.0f, frame.fWidth + 2.0f);
        pScreen[1] = SHIFT + std::clamp(static_cast<float>(sy), -2.0f, frame.fHeight + 2.0f);
    }
    return dWorst;
}

void CSampleCull::CullBlock(const SIndexedBlock& block, const float* pScreen, float fBound,
                            std::vector<uint32_t>& scratch) const
{
    const bool bShort = !block.shortIndices.empty();
    const size_t nCount = bShort ? block.shortIndices.size() : block.indices.size();
    scratch.clear();
    const float fMargin = fBound + 0.5f;
    const auto index = [&](size_t i) -> uint32_t
    { return bShort ? block.shortIndices[i] : block.indices[i]; };
    for (size_t i = 0; i + 2 < nCount; i += 3)
    {
        const uint32_t n0 = index(i), n1 = index(i + 1), n2 = index(i + 2);
        const float* p0 = pScreen + 2 * static_cast<size_t>(n0);
        const float* p1 = pScreen + 2 * static_cast<size_t>(n1);
        const float* p2 = pScreen + 2 * static_cast<size_t>(n2);
        bool bKeep = std::isnan(p0[0]) || std::isnan(p1[0]) || std::isnan(p2[0]);
        if (!bKeep)
        {
            // Is there a whole k in [low, high]: a sample at k + 0.5 in the widened box?
            const float fLowX = std::max(std::min({p0[0], p1[0], p2[0]}) - fMargin, m_fLowX);
            const float fHighX = std::min(std::max({p0[0], p1[0], p2[0]}) + fBound - 0.5f, m_fHighX);
            const float fLowY = std::max(std::min({p0[1], p1[1], p2[1]}) - fMargin, m_fLowY);
            const float fHighY = std::min(std::max({p0[1], p1[1], p2[1]}) + fBound - 0.5f, m_fHighY);
            bKeep = static_cast<float>(static_cast<int32_t>(fHighX)) >= fLowX &&
                    static_cast<float>(static_cast<int32_t>(fHighY)) >= fLowY;
        }
        if (bKeep)
        {
            scratch.push_back(n0);
            scratch.push_back(n1);
            scratch.push_back(n2);
        }
    }
}
