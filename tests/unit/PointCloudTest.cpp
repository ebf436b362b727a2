#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/unit/FileTestSupport.h"

namespace
{
using namespace FileTestSupport;
using PointCloudTest = CScratchTest;

// Point record n: the placed position (float rounding of the pose allowed), the vertex's own normal.
void ExpectRecord(const std::string& bytes, size_t n, const CVector3& p, const double* pNormal)
{
    const float expected[6] = {float(p.x),        float(p.y),        float(p.z),
                               float(pNormal[0]), float(pNormal[1]), float(pNormal[2])};
    for (size_t i = 0; i < 3; ++i)
    {
        EXPECT_FLOAT_EQ(FloatAt(bytes, 28 + 24 * n + 4 * i), expected[i]) << "record " << n << ", " << i;
        EXPECT_EQ(FloatAt(bytes, 40 + 24 * n + 4 * i), expected[3 + i]) << "record " << n << ", " << i;
    }
}

void ExpectHeader(const std::string& bytes, uint32_t nPoints, const std::vector<float>& bounds)
{
    ASSERT_EQ(bytes.size(), 28u + 24u * nPoints);
    EXPECT_EQ(UInt32At(bytes, 0), nPoints);
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(FloatAt(bytes, 4 + 4 * i), bounds[i]) << i;
}

TEST_F(PointCloudTest, CountBoundsAndRecordsInListOrder)
{
    // An empty scene: no points, bounds inverted (three +inf, three -inf).
    ASSERT_TRUE(m_doc.ExportScene(Path("empty.pts"), EXPORT_POINT_CLOUD));
    const float fInf = std::numeric_limits<float>::infinity();
    ExpectHeader(ReadFile(Path("empty.pts")), 0, {fInf, fInf, fInf, -fInf, -fInf, -fInf});
    EXPECT_FALSE(m_doc.ExportScene(Path("no/such/folder/empty.pts"), EXPORT_POINT_CLOUD));

    // A box over [1, 2] x [3, 5] x [6, 9] (every axis different, so the header order shows) with
    // eight shared corners and six quadrilaterals.
    std::vector<CVector3> corners;
    for (int i = 0; i < 8; ++i)
        corners.emplace_back((i & 1) ? 2 : 1, (i & 2) ? 5 : 3, (i & 4) ? 9 : 6);
    CMesh* pBox = AddMesh(
        m_doc, corners, {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}});
    ASSERT_TRUE(m_doc.ExportScene(Path("box.pts"), EXPORT_POINT_CLOUD));
    std::string bytes = ReadFile(Path("box.pts"));
    ASSERT_EQ(bytes.size(), 220u);
    ExpectHeader(bytes, 8, {1, 3, 6, 2, 5, 9});
    for (int32_t i = 0; i < 8; ++i)
        ExpectRecord(bytes, size_t(i), CVector3(pBox->m_ppVertices[i]), pBox->m_ppVertices[i] + SLOT_NORMAL);

    // Placed elsewhere and turned a quarter about z: the points move and turn, the header bounds
    // (the models' own boxes) and the normals stay. A second mesh follows the first.
    pBox->m_vPosition = CVector3(100, 0, 0);
    pBox->m_qOrientation = CQuaternion(std::sqrt(0.5), 0, 0, std::sqrt(0.5));
    const CMesh* pSecond =
        AddMesh(m_doc, {CVector3(-1, 0, 0), CVector3(0, -1, 0), CVector3(0, 0, 20)}, {{0, 1, 2}});
    ASSERT_TRUE(m_doc.ExportScene(Path("two.pts"), EXPORT_POINT_CLOUD));
    bytes = ReadFile(Path("two.pts"));
    ExpectHeader(bytes, 11, {-1, -1, 0, 2, 5, 20});
    // About the centre (1.5, 4, 7.5) the turn maps (dx, dy, dz) to (dy, -dx, dz): corner 0,
    // (1, 3, 6), goes to (1.5 - 1, 4 + 0.5, 6) + (100, 0, 0).
    ExpectRecord(bytes, 0, CVector3(100.5, 4.5, 6), pBox->m_ppVertices[0] + SLOT_NORMAL);
    ExpectRecord(bytes, 7, CVector3(102.5, 3.5, 9), pBox->m_ppVertices[7] + SLOT_NORMAL);
    for (int32_t i = 0; i < 3; ++i)
        ExpectRecord(bytes, 8 + size_t(i), CVector3(pSecond->m_ppVertices[i]),
                     pSecond->m_ppVertices[i] + SLOT_NORMAL);
}
} // namespace
