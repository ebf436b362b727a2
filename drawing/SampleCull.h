#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "drawing/MeshDrawing.h"

class CMesh;

// Leaving out, frame by frame, the triangles of a mesh's indexed blocks that cover no pixel's
// centre. A mesh much finer than the pixels it covers (16M triangles in a window of half a million
// pixels) has most of its triangles fall between the sample points: they make no fragment, so
// leaving them out changes no pixel, while a software renderer spends most of a frame on them one
// by one. The test runs on all cores, from the mesh's records with the frame's own matrices and
// viewport. It keeps every triangle whose bounding box on the screen, widened by a bound of the
// renderer's rounding, holds a sample point of the viewport (or of the pixels just beside it), and
// every triangle with a corner on or behind the eye's plane or not finite.
class CSampleCull
{
public:
    // Meshes of fewer triangles are drawn whole: the test would cost more than it saves.
    static constexpr int64_t MIN_TRIANGLES = int64_t{1} << 18;

    // On by default; tests and benchmarks compare with it off.
    static void SetEnabled(bool bEnabled);
    // Whether the current GL state samples filled faces at pixel centres alone (no multisampling,
    // no polygon smoothing, both sides filled), so that the test holds.
    static bool StateAllows();

    // Tests the blocks' triangles for the frame about to be drawn with the current matrices and
    // viewport. False when nothing is left out: the blocks are drawn whole (too few triangles,
    // switched off, a state or view the bound does not hold for).
    bool Cull(const CMesh& mesh, const std::vector<SIndexedBlock>& blocks);
    // After a Cull that returned true: block i as it is drawn, or null to draw it whole.
    const SIndexedBlock* Kept(size_t nBlock) const
    {
        return m_whole[nBlock] != 0 ? nullptr : &m_kept[nBlock];
    }
    // The share of the triangles the last Cull kept (1 when it left none out).
    double KeptShare() const { return m_dKeptShare; }

private:
    // The frame's projection: its matrix, the matrix of the absolute values of its factors (for the
    // bound of rounding), and the viewport's size.
    struct SFrame
    {
        double m[16];
        double a[16];
        double dHalfWidth, dHalfHeight;
        float fWidth, fHeight;
    };
    // The window positions of the records of the block's range, x and y, shifted, into screen (NaN
    // for a record that is always kept); returns the bound of the renderer's rounding over them, in
    // pixels.
    static double ProjectBlock(const CMesh& mesh, const SIndexedBlock& block, const SFrame& frame,
                               std::vector<float>& screen);
    // The indices of the block's triangles that may cover a sample, into scratch, from the window
    // positions of its records and the bound of rounding fBound.
    void CullBlock(const SIndexedBlock& block, const float* pScreen, float fBound,
                   std::vector<uint32_t>& scratch) const;

    float m_fLowX = 0, m_fHighX = 0, m_fLowY = 0, m_fHighY = 0;
    std::vector<SIndexedBlock> m_kept;
    std::vector<uint8_t> m_whole;
    double m_dKeptShare = 1.0;
};
