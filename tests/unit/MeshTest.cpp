#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "scene/Mesh.h"

namespace
{
// A mesh built the way the STL import builds one: Allocate, SetVertex, SetFace, ComputeNormals.
void Build(CMesh& mesh, const std::vector<CVector3>& vertices, const std::vector<std::vector<int32_t>>& faces)
{
    int32_t nEdges = 0;
    for (const auto& face : faces)
        nEdges += static_cast<int32_t>(face.size());
    mesh.Allocate(static_cast<int32_t>(vertices.size()), static_cast<int32_t>(faces.size()), nEdges);
    for (size_t i = 0; i < vertices.size(); ++i)
        mesh.SetVertex(static_cast<int32_t>(i), vertices[i]);
    for (size_t f = 0; f < faces.size(); ++f)
        mesh.SetFace(static_cast<int32_t>(f), static_cast<int32_t>(faces[f].size()), faces[f].data());
    mesh.ComputeBounds();
    mesh.ComputeNormals();
}

void ExpectTriple(const double* p, double x, double y, double z, double dTolerance = 1e-12)
{
    EXPECT_NEAR(p[0], x, dTolerance);
    EXPECT_NEAR(p[1], y, dTolerance);
    EXPECT_NEAR(p[2], z, dTolerance);
}

void ExpectVector(const CVector3& v, double x, double y, double z, double dTolerance = 1e-12)
{
    EXPECT_NEAR(v.x, x, dTolerance);
    EXPECT_NEAR(v.y, y, dTolerance);
    EXPECT_NEAR(v.z, z, dTolerance);
}

const char* const NOFF_TETRA = "NOFF\n4 4 0\n"
                               "0.1 0.2 0.3  0.5 0.5 0.7071\n"
                               "2.5 0 0  1 0 0\n"
                               "0 3.25 0  0 1 0\n"
                               "0 0 -1.5  0 0 -1\n"
                               "3 0 2 1\n3 0 1 3\n3 0 3 2\n3 1 2 3\n";
// The same tetrahedron without normals.
const char* const OFF_TETRA = "OFF\n4 4 0\n0.1 0.2 0.3\n2.5 0 0\n0 3.25 0\n0 0 -1.5\n"
                              "3 0 2 1\n3 0 1 3\n3 0 3 2\n3 1 2 3\n";
} // namespace

TEST(MeshNormals, TriangleInBothWindings)
{
    CMesh ccw, cw;
    Build(ccw, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    Build(cw, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 2, 1}});
    ExpectTriple(ccw.m_ppFaceNormals[0], 0, 0, 1);
    ExpectTriple(cw.m_ppFaceNormals[0], 0, 0, -1);
    for (int i = 0; i < 3; ++i)
    {
        ExpectTriple(ccw.m_ppVertices[i] + SLOT_NORMAL, 0, 0, 1);
        ExpectTriple(cw.m_ppVertices[i] + SLOT_NORMAL, 0, 0, -1);
    }
    EXPECT_EQ(ccw.m_nLargestFace, 3);
}

TEST(MeshNormals, ConcaveHexagonPointsToTheCounterClockwiseSide)
{
    CMesh mesh;
    Build(mesh, {{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {1, 1, 0}, {1, 2, 0}, {0, 2, 0}}, {{0, 1, 2, 3, 4, 5}});
    ExpectTriple(mesh.m_ppFaceNormals[0], 0, 0, 1);
    EXPECT_EQ(mesh.m_nLargestFace, 6);
}

TEST(MeshNormals, DegenerateFacesAndUnusedVertices)
{
    CMesh mesh;
    // 0-2: a proper triangle; 3-5 collinear; 6 unused.
    Build(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {5, 5, 5}, {6, 6, 6}, {7, 7, 7}, {9, 9, 9}},
          {{0, 1, 2}, {0, 1}, {3, 4, 5}, {}, {2}});
    ExpectTriple(mesh.m_ppFaceNormals[0], 0, 0, 1);
    for (int f = 1; f < 5; ++f)
        ExpectTriple(mesh.m_ppFaceNormals[f], 0, 0, 0, 0);
    // The degenerate faces add nothing to the triangle's vertices.
    for (int i = 0; i < 3; ++i)
        ExpectTriple(mesh.m_ppVertices[i] + SLOT_NORMAL, 0, 0, 1);
    for (int i = 3; i < 7; ++i)
        ExpectTriple(mesh.m_ppVertices[i] + SLOT_NORMAL, 0, 0, 0, 0);
    EXPECT_EQ(mesh.m_nLargestFace, 3);
    EXPECT_EQ(mesh.m_nEdges, 3 + 2 + 3 + 0 + 1);
}

TEST(MeshNormals, NormalsFromTheFileAreKept)
{
    CMesh mesh;
    ASSERT_TRUE(mesh.ReadOFFBuffer(NOFF_TETRA, "tetra.off"));
    EXPECT_TRUE(mesh.m_bHasNormals);
    ExpectTriple(mesh.m_ppVertices[0] + SLOT_NORMAL, 0.5, 0.5, 0.7071, 0);
    ExpectTriple(mesh.m_ppVertices[3] + SLOT_NORMAL, 0, 0, -1, 0);
    // Face normals are computed all the same.
    CMesh generated;
    ASSERT_TRUE(generated.ReadOFFBuffer(OFF_TETRA, "t.off"));
    for (int f = 0; f < 4; ++f)
        for (int s = 0; s < 3; ++s)
            EXPECT_EQ(mesh.m_ppFaceNormals[f][s], generated.m_ppFaceNormals[f][s]);
    EXPECT_EQ(mesh.m_nLargestFace, 3);
    EXPECT_NE(generated.m_ppVertices[3][SLOT_NORMAL + 2], -1.0);
}

TEST(MeshOperations, InvertTwiceRestoresEverythingExactly)
{
    CMesh mesh;
    ASSERT_TRUE(mesh.ReadOFFBuffer("OFF\n5 2 0\n0.1 0.7 -0.3\n1.3 0.2 0.9\n1.1 1.9 0.4\n-0.2 1.4 0.8\n"
                                   "2 2 2\n5 0 1 2 3 4\n3 4 2 1\n",
                                   "p.off"));
    const std::vector<double> vertices(mesh.m_ppVertices[0], mesh.m_ppVertices[0] + 5 * mesh.m_nRecordSize);
    std::vector<double> normals;
    for (int f = 0; f < 2; ++f)
        normals.insert(normals.end(), mesh.m_ppFaceNormals[f], mesh.m_ppFaceNormals[f] + 3);

    mesh.Invert();
    const int32_t expectFace0[] = {4, 3, 2, 1, 0}, expectFace1[] = {1, 2, 4};
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(mesh.m_ppFaces[0][k], expectFace0[k]);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(mesh.m_ppFaces[1][k], expectFace1[k]);
    for (int s = 0; s < 3; ++s)
    {
        EXPECT_EQ(mesh.m_ppVertices[2][SLOT_NORMAL + s], -vertices[2 * 6 + 3 + s]);
        EXPECT_EQ(mesh.m_ppFaceNormals[1][s], -normals[3 + s]);
    }

    mesh.Invert();
    for (int i = 0; i < 5; ++i)
        for (int s = 0; s < 6; ++s)
            EXPECT_EQ(mesh.m_ppVertices[i][s], vertices[static_cast<size_t>(i * 6 + s)]);
    for (int f = 0; f < 2; ++f)
        for (int s = 0; s < 3; ++s)
            EXPECT_EQ(mesh.m_ppFaceNormals[f][s], normals[static_cast<size_t>(f * 3 + s)]);
    const int32_t face0[] = {0, 1, 2, 3, 4};
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(mesh.m_ppFaces[0][k], face0[k]);
}

TEST(MeshOperations, TransformRecomputesBoundsAndAllNormals)
{
    CMesh mesh;
    ASSERT_TRUE(mesh.ReadOFFBuffer(NOFF_TETRA, "tetra.off"));
    mesh.m_vBoundsMin = CVector3(-9, -9, -9);
    mesh.m_dHalfExtent = 99;
    mesh.Transform(CVector3(1, 0, 0), CVector3(0, 1, 0), CVector3(0, 0, 1));
    EXPECT_FALSE(mesh.m_bHasNormals);
    ExpectTriple(mesh.m_ppVertices[1], 2.5, 0, 0, 0);
    ExpectVector(mesh.m_vBoundsMin, 0, 0, -1.5, 0);
    ExpectVector(mesh.m_vBoundsMax, 2.5, 3.25, 0.3, 0);
    EXPECT_EQ(mesh.m_dHalfExtent, 1.625);
    // The generated normals replace the file's, exactly as if the file had none.
    CMesh generated;
    ASSERT_TRUE(generated.ReadOFFBuffer(OFF_TETRA, "t.off"));
    for (int i = 0; i < 4; ++i)
        for (int s = SLOT_NORMAL; s < SLOT_NORMAL + 3; ++s)
            EXPECT_EQ(mesh.m_ppVertices[i][s], generated.m_ppVertices[i][s]);
    for (int f = 0; f < 4; ++f)
        for (int s = 0; s < 3; ++s)
            EXPECT_EQ(mesh.m_ppFaceNormals[f][s], generated.m_ppFaceNormals[f][s]);

    // A mirror turns every face normal round.
    mesh.Transform(CVector3(1, 0, 0), CVector3(0, 1, 0), CVector3(0, 0, -1));
    for (int f = 0; f < 4; ++f)
    {
        EXPECT_NEAR(mesh.m_ppFaceNormals[f][0], -generated.m_ppFaceNormals[f][0], 1e-12);
        EXPECT_NEAR(mesh.m_ppFaceNormals[f][2], generated.m_ppFaceNormals[f][2], 1e-12);
    }
    ExpectVector(mesh.m_vBoundsMax, 2.5, 3.25, 1.5, 0);
}

TEST(MeshOperations, TranslateMovesBoundsAndKeepsNormals)
{
    CMesh mesh;
    ASSERT_TRUE(mesh.ReadOFFBuffer(NOFF_TETRA, "tetra.off"));
    const CVector3 vMin = mesh.m_vBoundsMin, vMax = mesh.m_vBoundsMax, vCenter = mesh.m_vCenter;
    const double dHalf = mesh.m_dHalfExtent;
    mesh.Translate(CVector3(1, 2, 3));
    ExpectVector(mesh.m_vBoundsMin, vMin.x + 1, vMin.y + 2, vMin.z + 3);
    ExpectVector(mesh.m_vBoundsMax, vMax.x + 1, vMax.y + 2, vMax.z + 3);
    ExpectVector(mesh.m_vCenter, vCenter.x + 1, vCenter.y + 2, vCenter.z + 3);
    EXPECT_EQ(mesh.m_dHalfExtent, dHalf);
    ExpectTriple(mesh.m_ppVertices[0] + SLOT_NORMAL, 0.5, 0.5, 0.7071, 0);
    EXPECT_TRUE(mesh.m_bHasNormals);
}

TEST(MeshOperations, FillColorAndWorldVertices)
{
    CMesh mesh;
    mesh.SetFillColor(255);
    EXPECT_EQ(mesh.m_fFillColor[0], 1.0f);
    EXPECT_EQ(mesh.m_fFillColor[1], 0.0f);
    EXPECT_EQ(mesh.m_fFillColor[2], 0.0f);
    mesh.SetFillColor(0x00FF8001);
    EXPECT_EQ(mesh.m_fFillColor[0], 1.0f * 0.003921569f);
    EXPECT_EQ(mesh.m_fFillColor[1], 128.0f * 0.003921569f);
    EXPECT_EQ(mesh.m_fFillColor[2], 1.0f);

    ASSERT_TRUE(mesh.ReadOFFBuffer(NOFF_TETRA, "tetra.off"));
    mesh.UpdateAxes();
    for (int i = 0; i < 4; ++i)
    {
        ExpectVector(mesh.GetWorldVertex(i), mesh.m_ppVertices[i][0], mesh.m_ppVertices[i][1],
                     mesh.m_ppVertices[i][2]);
    }
    // Turned and moved: the same placement as the model matrix, about the centre.
    const double h = std::sqrt(0.5);
    mesh.m_qOrientation = CQuaternion(h, 0, 0, h);
    mesh.m_vPosition = CVector3(10, 20, 30);
    mesh.UpdateAxes();
    double m[16];
    mesh.GetMatrix(m);
    for (int i = 0; i < 4; ++i)
    {
        const CVector3 d = CVector3(mesh.m_ppVertices[i]) - mesh.m_vCenter;
        ExpectVector(mesh.GetWorldVertex(i), m[0] * d.x + m[4] * d.y + m[8] * d.z + m[12] + mesh.m_vCenter.x,
                     m[1] * d.x + m[5] * d.y + m[9] * d.z + m[13] + mesh.m_vCenter.y,
                     m[2] * d.x + m[6] * d.y + m[10] * d.z + m[14] + mesh.m_vCenter.z);
    }
}

TEST(MeshOperations, ResetEmptiesAndKeepsTheDisplayChoices)
{
    CMesh mesh;
    ASSERT_TRUE(mesh.ReadOFFBuffer(NOFF_TETRA, "dir/tetra.off"));
    mesh.m_nRenderMode = RENDER_WIREFRAME;
    mesh.m_bCulling = true;
    mesh.m_bLighting = false;
    mesh.m_nShading = SHADE_FLAT;
    mesh.SetFillColor(0xFFFFFF);
    mesh.m_vPosition = CVector3(4, 5, 6);
    mesh.m_qOrientation = CQuaternion(0, 1, 0, 0);

    mesh.Reset();
    EXPECT_EQ(mesh.m_strName, "Invalid");
    EXPECT_EQ(mesh.m_strPath, "None");
    EXPECT_FALSE(mesh.m_bLoaded);
    EXPECT_EQ(mesh.m_nVertices, 0);
    EXPECT_EQ(mesh.m_nFaces, 0);
    EXPECT_EQ(mesh.m_nEdges, 0);
    EXPECT_EQ(mesh.m_nLargestFace, 0);
    EXPECT_EQ(mesh.m_ppVertices, nullptr);
    EXPECT_EQ(mesh.m_ppFaces, nullptr);
    EXPECT_EQ(mesh.m_ppFaceNormals, nullptr);
    EXPECT_EQ(mesh.m_pFaceSizes, nullptr);
    EXPECT_FALSE(mesh.m_bHasNormals);
    EXPECT_TRUE(mesh.m_bLighting);
    EXPECT_EQ(mesh.m_nShading, SHADE_GOURAUD);
    EXPECT_EQ(mesh.m_fFillColor[2], 0.0f);
    ExpectVector(mesh.m_vBoundsMin, -0.5, -0.5, -0.5, 0);
    ExpectVector(mesh.m_vBoundsMax, 0.5, 0.5, 0.5, 0);
    EXPECT_EQ(mesh.m_dHalfExtent, 0.5);
    EXPECT_EQ(mesh.m_qOrientation.w, 1.0);
    EXPECT_EQ(mesh.m_qOrientation.v.x, 0.0);
    // Kept as they were.
    EXPECT_EQ(mesh.m_nRenderMode, RENDER_WIREFRAME);
    EXPECT_TRUE(mesh.m_bCulling);
    EXPECT_EQ(mesh.m_nRecordSize, 6);
    EXPECT_EQ(mesh.m_vPosition.y, 5.0);

    // And the mesh reads again.
    ASSERT_TRUE(mesh.ReadOFFBuffer("COFF 3 1 0  0 0 0 1 0 0  1 0 0 0 1 0  0 1 0 0 0 1\n3 0 1 2\n", "c.off"));
    EXPECT_EQ(mesh.m_nRecordSize, 11);
    EXPECT_EQ(mesh.m_vPosition.y, 0.0);
}

TEST(MeshOperations, AllocateSetVertexAndSetFace)
{
    CMesh mesh;
    mesh.Allocate(4, 3, 7);
    EXPECT_EQ(mesh.m_nVertices, 4);
    EXPECT_EQ(mesh.m_nFaces, 3);
    EXPECT_EQ(mesh.m_nEdges, 7);
    for (int f = 0; f < 3; ++f)
    {
        EXPECT_EQ(mesh.m_ppFaces[f], nullptr);
        EXPECT_NE(mesh.m_ppFaceNormals[f], nullptr);
    }
    mesh.SetVertex(0, CVector3(0, 0, 0));
    mesh.SetVertex(1, CVector3(1, 0, 0));
    mesh.SetVertex(2, CVector3(0, 1, 0));
    mesh.SetVertex(3, CVector3(0, 0, 1));
    const int32_t first[] = {3, 2, 1, 0}, face[] = {0, 1, 2}, side[] = {0, 1, 3};
    mesh.SetFace(0, 4, first);
    mesh.SetFace(0, 3, face); // replaces the first array
    mesh.SetFace(1, 3, side);
    EXPECT_EQ(mesh.m_pFaceSizes[0], 3);
    EXPECT_EQ(mesh.m_ppFaces[0][2], 2);
    // Face 2 is never set: an empty face, harmless to every operation.
    EXPECT_EQ(mesh.m_pFaceSizes[2], 0);
    mesh.Transform(CVector3(1, 0, 0), CVector3(0, 1, 0), CVector3(0, 0, 1));
    ExpectTriple(mesh.m_ppFaceNormals[0], 0, 0, 1);
    ExpectTriple(mesh.m_ppFaceNormals[1], 0, -1, 0);
    ExpectTriple(mesh.m_ppFaceNormals[2], 0, 0, 0, 0);
    mesh.Invert();
    EXPECT_EQ(mesh.m_ppFaces[0][0], 2);
    EXPECT_EQ(mesh.m_dHalfExtent, 0.5);

    // A second Allocate frees the first geometry (the leak checker watches).
    mesh.Allocate(1, 1, 0);
    EXPECT_EQ(mesh.m_nVertices, 1);
    EXPECT_EQ(mesh.m_ppFaces[0], nullptr);
}
