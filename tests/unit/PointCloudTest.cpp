#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/unit/StlTestSupport.h"

namespace
{
using namespace StlTestSupport;
using PointCloudTest = CSceneFileTest;

// A box over [1, 2] x [3, 5] x [6, 9] (every axis different, so the header order shows) with
// eight shared corners and six quadrilaterals.
CMesh* AddBox(CTeldViewGLDoc& doc)
{
    std::vector<CVector3> corners;
    for (int i = 0; i < 8; ++i)
        corners.emplace_back((i & 1) ? 2 : 1, (i & 2) ? 5 : 3, (i & 4) ? 9 : 6);
    return AddMesh(doc, corners,
                   {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}});
}

void ExpectRecord(const std::string& bytes, size_t nRecord, const CVector3& p, const double* pNormal)
{
    const size_t n = 28 + 24 * nRecord;
    EXPECT_FLOAT_EQ(FloatAt(bytes, n), static_cast<float>(p.x)) << nRecord;
    EXPECT_FLOAT_EQ(FloatAt(bytes, n + 4), static_cast<float>(p.y)) << nRecord;
    EXPECT_FLOAT_EQ(FloatAt(bytes, n + 8), static_cast<float>(p.z)) << nRecord;
    for (int a = 0; a < 3; ++a)
        EXPECT_EQ(FloatAt(bytes, n + 12 + 4 * static_cast<size_t>(a)), static_cast<float>(pNormal[a]))
            << nRecord;
}

TEST_F(PointCloudTest, BoxGivesCountBoundsAndRecords)
{
    CMesh* pBox = AddBox(m_doc);
    ASSERT_TRUE(m_doc.ExportScene(Path("box.pts"), EXPORT_POINT_CLOUD));
    std::string bytes = ReadFile(Path("box.pts"));
    ASSERT_EQ(bytes.size(), 220u);
    EXPECT_EQ(UInt32At(bytes, 0), 8u);
    const float bounds[6] = {1, 3, 6, 2, 5, 9};
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(FloatAt(bytes, 4 + 4 * i), bounds[i]) << i;
    for (int32_t i = 0; i < 8; ++i)
    {
        // Generated corner normals point diagonally outwards.
        const double* pRecord = pBox->m_ppVertices[i];
        EXPECT_NEAR(std::fabs(pRecord[SLOT_NORMAL]), 1.0 / std::sqrt(3.0), 1e-12);
        ExpectRecord(bytes, static_cast<size_t>(i), CVector3(pRecord), pRecord + SLOT_NORMAL);
    }

    // Placed elsewhere and turned a quarter about z: the points move and turn, the header bounds
    // (the models' own boxes) and the normals stay.
    pBox->m_vPosition = CVector3(100, 0, 0);
    pBox->m_qOrientation = CQuaternion(std::sqrt(0.5), 0, 0, std::sqrt(0.5));
    ASSERT_TRUE(m_doc.ExportScene(Path("box.pts"), EXPORT_POINT_CLOUD));
    bytes = ReadFile(Path("box.pts"));
    ASSERT_EQ(bytes.size(), 220u);
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(FloatAt(bytes, 4 + 4 * i), bounds[i]) << i;
    // About the centre (1.5, 4, 7.5) the turn maps (dx, dy, dz) to (dy, -dx, dz): corner 0,
    // (1, 3, 6), goes to (1.5 - 1, 4 + 0.5, 6) + (100, 0, 0).
    ExpectRecord(bytes, 0, CVector3(100.5, 4.5, 6), pBox->m_ppVertices[0] + SLOT_NORMAL);
    ExpectRecord(bytes, 7, CVector3(102.5, 3.5, 9), pBox->m_ppVertices[7] + SLOT_NORMAL);
}

TEST_F(PointCloudTest, MeshesFollowInListOrder)
{
    AddBox(m_doc);
    const CMesh* pSecond =
        AddMesh(m_doc, {CVector3(-1, 0, 0), CVector3(0, -1, 0), CVector3(0, 0, 20)}, {{0, 1, 2}});
    ASSERT_TRUE(m_doc.ExportScene(Path("two.pts"), EXPORT_POINT_CLOUD));
    const std::string bytes = ReadFile(Path("two.pts"));
    ASSERT_EQ(bytes.size(), 28u + 24u * 11u);
    EXPECT_EQ(UInt32At(bytes, 0), 11u);
    const float bounds[6] = {-1, -1, 0, 2, 5, 20};
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(FloatAt(bytes, 4 + 4 * i), bounds[i]) << i;
    for (int32_t i = 0; i < 3; ++i)
        ExpectRecord(bytes, 8 + static_cast<size_t>(i), CVector3(pSecond->m_ppVertices[i]),
                     pSecond->m_ppVertices[i] + SLOT_NORMAL);
}

TEST_F(PointCloudTest, EmptySceneWritesInvertedBounds)
{
    ASSERT_TRUE(m_doc.ExportScene(Path("empty.pts"), EXPORT_POINT_CLOUD));
    const std::string bytes = ReadFile(Path("empty.pts"));
    ASSERT_EQ(bytes.size(), 28u);
    EXPECT_EQ(UInt32At(bytes, 0), 0u);
    const float fInf = std::numeric_limits<float>::infinity();
    for (size_t i = 0; i < 3; ++i)
    {
        EXPECT_EQ(FloatAt(bytes, 4 + 4 * i), fInf);
        EXPECT_EQ(FloatAt(bytes, 16 + 4 * i), -fInf);
    }
    EXPECT_FALSE(m_doc.ExportScene(Path("no/such/folder/empty.pts"), EXPORT_POINT_CLOUD));
}
} // namespace
