// The levels drawn while the view moves: smaller and smaller, made of the mesh's own vertices,
// standing in its bounds. They need no GL.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>

#include "bench/GridOff.h"
#include "drawing/MeshReduction.h"
#include "model/Mesh.h"

namespace
{
std::unique_ptr<CMesh> Read(const std::string& text)
{
    auto pMesh = std::make_unique<CMesh>();
    EXPECT_TRUE(pMesh->ReadOFFBuffer(text, "sheet.off"));
    return pMesh;
}

// Whether the coordinate is one of the sheet's lattice's (GridOffText: steps of 0.01 from -5 and
// -2.5).
bool Same(const CVector3& a, const CVector3& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

bool OnLattice(double d, double dFrom)
{
    const double dSteps = (d - dFrom) / 0.01;
    return std::abs(dSteps - std::round(dSteps)) < 1e-6;
}
} // namespace

TEST(MeshReduction, LevelsShrinkKeepTheVerticesAndTheBounds)
{
    // 300 x 120 cells: 72,000 triangles.
    const std::unique_ptr<CMesh> pMesh = Read(GridOffText(300, 120));
    const CMesh& mesh = *pMesh;
    ASSERT_TRUE(CMeshReduction::IsBig(mesh));
    const std::atomic<bool> bGo{false};
    const auto levels = CMeshReduction::MakeLevels(mesh, bGo);
    ASSERT_GE(levels.size(), 3u);
    int32_t nBefore = mesh.m_nFaces;
    for (const auto& pLevel : levels)
    {
        const CMesh& level = *pLevel;
        EXPECT_GT(level.m_nFaces, 0);
        EXPECT_LE(level.m_nFaces, nBefore * 0.6) << "each level about half the one before";
        nBefore = level.m_nFaces;
        // It stands, turns and is lit where the mesh is.
        EXPECT_TRUE(Same(level.m_vBoundsMin, mesh.m_vBoundsMin));
        EXPECT_TRUE(Same(level.m_vBoundsMax, mesh.m_vBoundsMax));
        EXPECT_TRUE(Same(level.m_vCenter, mesh.m_vCenter));
        EXPECT_EQ(level.m_dHalfExtent, mesh.m_dHalfExtent);
        // Its vertices are the mesh's own, and they still reach out to nearly all of its box.
        CVector3 vMin = mesh.m_vBoundsMax, vMax = mesh.m_vBoundsMin;
        for (int32_t i = 0; i < level.m_nVertices; ++i)
        {
            const double* p = level.m_ppVertices[i];
            ASSERT_TRUE(OnLattice(p[0], -5.0) && OnLattice(p[1], -2.5)) << p[0] << " " << p[1];
            EXPECT_NEAR(p[2], 0.25 * std::sin(p[0]) * std::cos(p[1]), 1e-5);
            vMin = CVector3(std::min(vMin.x, p[0]), std::min(vMin.y, p[1]), std::min(vMin.z, p[2]));
            vMax = CVector3(std::max(vMax.x, p[0]), std::max(vMax.y, p[1]), std::max(vMax.z, p[2]));
        }
        const CVector3 vExtent = mesh.m_vBoundsMax - mesh.m_vBoundsMin;
        EXPECT_GE(vMin.x, mesh.m_vBoundsMin.x);
        EXPECT_LE(vMax.x, mesh.m_vBoundsMax.x);
        EXPECT_GE(vMax.x - vMin.x, 0.95 * vExtent.x);
        EXPECT_GE(vMax.y - vMin.y, 0.95 * vExtent.y);
    }
    EXPECT_GE(levels.back()->m_nFaces, 1 << 12) << "no level too coarse to show the shape";

    // A stop leaves nothing half made; a small mesh gets no levels at all.
    const std::atomic<bool> bStop{true};
    EXPECT_TRUE(CMeshReduction::MakeLevels(mesh, bStop).empty());
    EXPECT_TRUE(CMeshReduction::MakeLevels(*Read(GridOffText(100, 100)), bGo).empty());
}

TEST(MeshReduction, PointCloudsAreSampled)
{
    std::string text = "OFF\n70000 0 0\n";
    for (int i = 0; i < 70000; ++i)
        text += std::to_string(i) + " 0 0\n";
    const std::unique_ptr<CMesh> pCloud = Read(text);
    ASSERT_TRUE(pCloud->IsPointCloud());
    const std::atomic<bool> bGo{false};
    const auto levels = CMeshReduction::MakeLevels(*pCloud, bGo);
    ASSERT_GE(levels.size(), 3u);
    int32_t nStep = 2;
    for (const auto& pLevel : levels)
    {
        ASSERT_TRUE(pLevel->IsPointCloud());
        ASSERT_EQ(pLevel->m_nVertices, (70000 + nStep - 1) / nStep);
        // Every nStep-th point, in order.
        for (int32_t i = 0; i < pLevel->m_nVertices; ++i)
            ASSERT_EQ(pLevel->m_ppVertices[i][0], static_cast<double>(i) * nStep);
        EXPECT_TRUE(Same(pLevel->m_vBoundsMax, pCloud->m_vBoundsMax));
        nStep *= 2;
    }
}
