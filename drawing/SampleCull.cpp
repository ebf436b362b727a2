#include "drawing/SampleCull.h"

#include <GL/gl.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
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
// Records projected, and blocks tested, by one thread at a time.
constexpr int32_t RECORDS_PER_STEP = 1 << 16;

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
    double modelview[16], projection[16], matrix[16], absolute[16];
    GLint viewport[4] = {0, 0, 0, 0};
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    if (viewport[2] <= 0 || viewport[3] <= 0)
        return false;
    Multiply(projection, modelview, matrix);
    // The renderer multiplies the two in floats: its rounding goes with these magnitudes.
    double absModelview[16], absProjection[16];
    for (int i = 0; i < 16; ++i)
    {
        absModelview[i] = std::fabs(modelview[i]);
        absProjection[i] = std::fabs(projection[i]);
    }
    Multiply(absProjection, absModelview, absolute);
    try
    {
        if (!Project(mesh, matrix, absolute, viewport))
            return false;
        m_kept.resize(blocks.size());
        m_whole.assign(blocks.size(), 0);
        std::atomic<size_t> nNext{0};
        std::atomic<int64_t> nKept{0}, nAll{0};
        std::atomic<bool> bFailed{false};
        OnThreads(WorkerThreadCount(),
                  [&]
                  {
                      try
                      {
                          std::vector<uint32_t> scratch;
                          int64_t nMine = 0, nMineAll = 0;
                          for (size_t b = nNext++; b < blocks.size(); b = nNext++)
                          {
                              const SIndexedBlock& block = blocks[b];
                              const int64_t nCount =
                                  static_cast<int64_t>(block.shortIndices.size() + block.indices.size()) / 3;
                              CullBlock(block, scratch);
                              const int64_t nBlockKept = static_cast<int64_t>(scratch.size() / 3);
                              // A block that keeps most of its triangles is drawn whole, with no copy.
                              SIndexedBlock& kept = m_kept[b];
                              kept.nBase = block.nBase;
                              kept.nRange = block.nRange;
                              kept.shortIndices.clear();
                              kept.indices.clear();
                              m_whole[b] = 4 * nBlockKept > 3 * nCount ? 1 : 0;
                              if (m_whole[b] == 0 && !block.shortIndices.empty())
                                  kept.shortIndices.assign(scratch.begin(), scratch.end());
                              else if (m_whole[b] == 0)
                                  kept.indices = scratch;
                              nMine += m_whole[b] != 0 ? nCount : nBlockKept;
                              nMineAll += nCount;
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
        m_screen = std::vector<float>();
        m_kept.clear();
        return false;
    }
}

bool CSampleCull::Project(const CMesh& mesh, const double* m, const double* a, const int* pViewport)
{
    const int32_t nRecords = mesh.m_nRecords;
    const size_t nRecordSize = static_cast<size_t>(mesh.m_nRecordSize);
    const double* pPool = mesh.VertexPool();
    m_screen.resize(2 * static_cast<size_t>(nRecords));
    const double dHalfWidth = 0.5 * pViewport[2], dHalfHeight = 0.5 * pViewport[3];
    const float fWidth = static_cast<float>(pViewport[2]), fHeight = static_cast<float>(pViewport[3]);
    const float fNaN = std::numeric_limits<float>::quiet_NaN();
    // Wide enough not to wrap when every thread has stepped past the last record.
    std::atomic<int64_t> nNext{0};
    std::atomic<bool> bTooCoarse{false};
    std::atomic<uint64_t> nWorstBits{0};
    OnThreads(WorkerThreadCount(),
              [&]
              {
                  double dWorst = 0.0;
                  for (int64_t nFirst = nNext.fetch_add(RECORDS_PER_STEP); nFirst < nRecords && !bTooCoarse;
                       nFirst = nNext.fetch_add(RECORDS_PER_STEP))
                  {
                      const int64_t nEnd = std::min<int64_t>(nRecords, nFirst + RECORDS_PER_STEP);
                      for (int64_t r = nFirst; r < nEnd; ++r)
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
                          float* pScreen = m_screen.data() + 2 * static_cast<size_t>(r);
                          // On or behind the eye's plane, or nearly so, or not finite: always kept.
                          if (!(w > 1e-6 * ew) || !std::isfinite(cx) || !std::isfinite(cy) ||
                              !std::isfinite(w))
                          {
                              pScreen[0] = pScreen[1] = fNaN;
                              continue;
                          }
                          const double nx = cx / w, ny = cy / w;
                          const double dErrorX = dHalfWidth * RELATIVE_ERROR * (ex + std::fabs(nx) * ew) / w;
                          const double dErrorY = dHalfHeight * RELATIVE_ERROR * (ey + std::fabs(ny) * ew) / w;
                          dWorst = std::max(dWorst, std::max(dErrorX, dErrorY));
                          const double sx = (nx + 1.0) * dHalfWidth, sy = (ny + 1.0) * dHalfHeight;
                          pScreen[0] = SHIFT + std::clamp(static_cast<float>(sx), -2.0f, fWidth + 2.0f);
                          pScreen[1] = SHIFT + std::clamp(static_cast<float>(sy), -2.0f, fHeight + 2.0f);
                      }
                      if (dWorst > LARGEST_ERROR)
                          bTooCoarse = true;
                  }
                  // Positive doubles order as their bits do.
                  uint64_t nBits = 0;
                  std::memcpy(&nBits, &dWorst, sizeof nBits);
                  uint64_t nSeen = nWorstBits.load();
                  while (nBits > nSeen && !nWorstBits.compare_exchange_weak(nSeen, nBits))
                  {
                  }
              });
    if (bTooCoarse)
        return false;
    const uint64_t nWorst = nWorstBits.load();
    double dWorst = 0.0;
    std::memcpy(&dWorst, &nWorst, sizeof dWorst);
    m_fMargin = static_cast<float>(dWorst) + SNAP_MARGIN;
    // The sample points are at pixel centres; those of the pixels just beside the viewport count too.
    m_fLowX = SHIFT - 1.0f;
    m_fHighX = SHIFT + fWidth;
    m_fLowY = SHIFT - 1.0f;
    m_fHighY = SHIFT + fHeight;
    return true;
}

void CSampleCull::CullBlock(const SIndexedBlock& block, std::vector<uint32_t>& scratch) const
{
    const bool bShort = !block.shortIndices.empty();
    const size_t nCount = bShort ? block.shortIndices.size() : block.indices.size();
    scratch.clear();
    const float* pScreen = m_screen.data() + 2 * static_cast<size_t>(block.nBase);
    const float fMargin = m_fMargin + 0.5f;
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
            const float fHighX = std::min(std::max({p0[0], p1[0], p2[0]}) + m_fMargin - 0.5f, m_fHighX);
            const float fLowY = std::max(std::min({p0[1], p1[1], p2[1]}) - fMargin, m_fLowY);
            const float fHighY = std::min(std::max({p0[1], p1[1], p2[1]}) + m_fMargin - 0.5f, m_fHighY);
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
