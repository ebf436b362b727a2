#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <vector>

#include "model/Mesh.h"

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

void ExpectVector(const CVector3& v, double x, double y, double z, double dTolerance = 1e-12)
{
    EXPECT_NEAR(v.x, x, dTolerance);
    EXPECT_NEAR(v.y, y, dTolerance);
    EXPECT_NEAR(v.z, z, dTolerance);
}

// Vertex records, face normals and faces, for exact comparisons.
std::vector<double> Snapshot(const CMesh& mesh)
{
    std::vector<double> values;
    for (int i = 0; i < mesh.m_nVertices; ++i)
        values.insert(values.end(), mesh.m_ppVertices[i], mesh.m_ppVertices[i] + mesh.m_nRecordSize);
    for (int f = 0; f < mesh.m_nFaces; ++f)
    {
        values.insert(values.end(), mesh.m_ppFaceNormals[f], mesh.m_ppFaceNormals[f] + 3);
        values.insert(values.end(), mesh.m_ppFaces[f], mesh.m_ppFaces[f] + mesh.m_pFaceSizes[f]);
    }
    return values;
}

const char* const NOFF_TETRA = "NOFF\n4 4 0\n0.1 0.2 0.3  0.5 0.5 0.7071\n2.5 0 0  1 0 0\n0 3.25 0  0 1 0\n"
                               "0 0 -1.5  0 0 -1\n3 0 2 1\n3 0 1 3\n3 0 3 2\n3 1 2 3\n";
const char* const OFF_TETRA = "OFF\n4 4 0\n0.1 0.2 0.3\n2.5 0 0\n0 3.25 0\n0 0 -1.5\n"
                              "3 0 2 1\n3 0 1 3\n3 0 3 2\n3 1 2 3\n";
} // namespace

TEST(MeshNormals, PolygonsDegenerateFacesAndUnusedVertices)
{
    CMesh ccw, cw, hexagon, mesh;
    Build(ccw, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    Build(cw, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 2, 1}});
    ExpectVector(CVector3(ccw.m_ppFaceNormals[0]), 0, 0, 1);
    for (int i = 0; i < 3; ++i)
        ExpectVector(CVector3(cw.m_ppVertices[i] + SLOT_NORMAL), 0, 0, -1);
    // An L-shaped hexagon, concave at vertex 3, faces the side it runs counter-clockwise on.
    Build(hexagon, {{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {1, 1, 0}, {1, 2, 0}, {0, 2, 0}}, {{0, 1, 2, 3, 4, 5}});
    ExpectVector(CVector3(hexagon.m_ppFaceNormals[0]), 0, 0, 1);
    EXPECT_EQ(hexagon.m_nLargestFace, 6);

    // A triangle, then an edge, collinear points, an empty face and a point; vertex 6 is unused.
    Build(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {5, 5, 5}, {6, 6, 6}, {7, 7, 7}, {9, 9, 9}},
          {{0, 1, 2}, {0, 1}, {3, 4, 5}, {}, {2}});
    for (int f = 1; f < 5; ++f)
        ExpectVector(CVector3(mesh.m_ppFaceNormals[f]), 0, 0, 0, 0);
    // The degenerate faces add nothing to the triangle's vertices.
    for (int i = 0; i < 7; ++i)
        ExpectVector(CVector3(mesh.m_ppVertices[i] + SLOT_NORMAL), 0, 0, i < 3 ? 1 : 0, i < 3 ? 1e-12 : 0);
    EXPECT_EQ(mesh.m_nLargestFace, 3);
    EXPECT_EQ(mesh.m_nEdges, 9);
}

TEST(MeshOperations, TransformRecomputesNormalsTranslateKeepsThem)
{
    CMesh mesh, moved, generated;
    ASSERT_TRUE(mesh.ReadOFFBuffer(NOFF_TETRA, "tetra.off"));
    ASSERT_TRUE(moved.ReadOFFBuffer(NOFF_TETRA, "tetra.off"));
    ASSERT_TRUE(generated.ReadOFFBuffer(OFF_TETRA, "t.off"));
    for (int f = 0; f < 4; ++f) // computed even when the file gives vertex normals
        EXPECT_TRUE(
            std::equal(mesh.m_ppFaceNormals[f], mesh.m_ppFaceNormals[f] + 3, generated.m_ppFaceNormals[f]));

    moved.Translate(CVector3(1, 2, 3));
    ExpectVector(moved.m_vBoundsMin, 1, 2, 1.5);
    ExpectVector(moved.m_vCenter, 2.25, 3.625, 2.4);
    EXPECT_EQ(moved.m_dHalfExtent, 1.625);
    EXPECT_TRUE(moved.m_bHasNormals);
    ExpectVector(CVector3(moved.m_ppVertices[0] + SLOT_NORMAL), 0.5, 0.5, 0.7071, 0);

    // The generated normals replace the file's, exactly as if the file had none.
    mesh.m_dHalfExtent = 99;
    mesh.Transform(CVector3(1, 0, 0), CVector3(0, 1, 0), CVector3(0, 0, 1));
    EXPECT_FALSE(mesh.m_bHasNormals);
    EXPECT_EQ(Snapshot(mesh), Snapshot(generated));
    ExpectVector(mesh.m_vBoundsMin, 0, 0, -1.5, 0);
    ExpectVector(mesh.m_vBoundsMax, 2.5, 3.25, 0.3, 0);
    EXPECT_EQ(mesh.m_dHalfExtent, 1.625);
    // A mirror reverses every face, so each normal is the mirror image of the old one: still out.
    mesh.Transform(CVector3(1, 0, 0), CVector3(0, 1, 0), CVector3(0, 0, -1));
    for (int f = 0; f < 4; ++f)
        ExpectVector(CVector3(mesh.m_ppFaceNormals[f]), generated.m_ppFaceNormals[f][0],
                     generated.m_ppFaceNormals[f][1], -generated.m_ppFaceNormals[f][2]);
    EXPECT_EQ(mesh.m_vBoundsMax.z, 1.5);
}

TEST(MeshOperations, ResetEmptiesAndKeepsTheDisplayChoices)
{
    CMesh mesh;
    mesh.SetFillColor(0x00FF8001); // packed 0x00BBGGRR
    EXPECT_EQ(mesh.m_fFillColor[0], 1.0f * 0.003921569f);
    EXPECT_EQ(mesh.m_fFillColor[1], 128.0f * 0.003921569f);
    EXPECT_EQ(mesh.m_fFillColor[2], 1.0f);

    ASSERT_TRUE(mesh.ReadOFFBuffer(NOFF_TETRA, "dir/tetra.off"));
    mesh.m_nRenderMode = RENDER_WIREFRAME;
    mesh.m_bLighting = false;
    mesh.m_vPosition = CVector3(4, 5, 6);
    mesh.m_qOrientation = CQuaternion(0, 1, 0, 0);
    mesh.Reset();
    EXPECT_TRUE(mesh.m_nVertices == 0 && mesh.m_nFaces == 0 && mesh.m_nEdges == 0 &&
                mesh.m_nLargestFace == 0);
    EXPECT_TRUE(!mesh.m_ppVertices && !mesh.m_ppFaces && !mesh.m_ppFaceNormals && !mesh.m_pFaceSizes);
    EXPECT_FALSE(mesh.m_bLoaded || mesh.m_bHasNormals);
    EXPECT_TRUE(mesh.m_bLighting && mesh.m_fFillColor[2] == 0.0f && mesh.m_qOrientation.w == 1.0);
    ExpectVector(mesh.m_vBoundsMin, -0.5, -0.5, -0.5, 0);
    EXPECT_EQ(mesh.m_dHalfExtent, 0.5);
    EXPECT_TRUE(mesh.m_nRenderMode == RENDER_WIREFRAME && mesh.m_vPosition.y == 5.0) << "kept";

    // And the mesh reads again, which places it at the origin.
    ASSERT_TRUE(mesh.ReadOFFBuffer("COFF 3 1 0  0 0 0 1 0 0  1 0 0 0 1 0  0 1 0 0 0 1\n3 0 1 2\n", "c.off"));
    EXPECT_EQ(mesh.m_nRecordSize, 11);
    EXPECT_EQ(mesh.m_vPosition.y, 0.0);
}

TEST(MeshOperations, AllocateSetFaceAndInvertTwice)
{
    CMesh mesh;
    mesh.Allocate(5, 3, 8);
    EXPECT_TRUE(mesh.m_ppFaces[0] == nullptr && mesh.m_ppFaces[2] == nullptr &&
                mesh.m_ppFaceNormals[2] != nullptr);
    const CVector3 corners[] = {
        {0.1, 0.7, -0.3}, {1.3, 0.2, 0.9}, {1.1, 1.9, 0.4}, {-0.2, 1.4, 0.8}, {2, 2, 2}};
    for (int i = 0; i < 5; ++i)
        mesh.SetVertex(i, corners[i]);
    const int32_t first[] = {3, 2, 1}, pentagon[] = {0, 1, 2, 3, 4}, triangle[] = {4, 2, 1};
    mesh.SetFace(0, 3, first);
    mesh.SetFace(0, 5, pentagon); // replaces the first array (the leak checker watches)
    mesh.SetFace(1, 3, triangle);
    // Face 2 is never set: an empty face, harmless to every operation.
    EXPECT_EQ(mesh.m_pFaceSizes[2], 0);
    mesh.Transform(CVector3(1, 0, 0), CVector3(0, 1, 0), CVector3(0, 0, 1));
    ExpectVector(CVector3(mesh.m_ppFaceNormals[2]), 0, 0, 0, 0);

    const std::vector<double> before = Snapshot(mesh);
    mesh.Invert();
    EXPECT_EQ(std::vector<int32_t>(mesh.m_ppFaces[0], mesh.m_ppFaces[0] + 5),
              std::vector<int32_t>({4, 3, 2, 1, 0}));
    EXPECT_EQ(std::vector<int32_t>(mesh.m_ppFaces[1], mesh.m_ppFaces[1] + 3),
              std::vector<int32_t>({1, 2, 4}));
    for (int s = 0; s < 3; ++s)
    {
        EXPECT_EQ(mesh.m_ppVertices[2][SLOT_NORMAL + s], -before[2 * 6 + SLOT_NORMAL + s]);
        EXPECT_EQ(mesh.m_ppFaceNormals[1][s], -before[5 * 6 + 3 + 5 + s]);
    }
    mesh.Invert();
    EXPECT_EQ(Snapshot(mesh), before);

    // A second Allocate frees the first geometry (the leak checker watches).
    mesh.Allocate(1, 1, 0);
    EXPECT_EQ(mesh.m_ppFaces[0], nullptr);
}

namespace
{
// Every double a soup's derived data holds, as bits: negative zeros count.
std::vector<uint64_t> SoupBits(const CMesh& mesh)
{
    std::vector<uint64_t> bits;
    const auto add = [&bits](const double* p, int n)
    {
        for (int i = 0; i < n; ++i)
            bits.push_back(std::bit_cast<uint64_t>(p[i]));
    };
    for (int32_t i = 0; i < mesh.m_nVertices; ++i)
        add(mesh.m_ppVertices[i], 6);
    for (int32_t f = 0; f < mesh.m_nFaces; ++f)
        add(mesh.m_ppFaceNormals[f], 3);
    for (const CVector3* p : {&mesh.m_vBoundsMin, &mesh.m_vBoundsMax, &mesh.m_vCenter})
        add(&p->x, 1), add(&p->y, 1), add(&p->z, 1);
    add(&mesh.m_dHalfExtent, 1);
    bits.push_back(static_cast<uint64_t>(mesh.m_nLargestFace) << 1 | (mesh.m_bHasNormals ? 1 : 0));
    return bits;
}
} // namespace

// The STL import completes its soup in one pass instead of the identity Transform; the result
// must be the same bits: negative zeros (which the rows' products make positive), points, huge,
// tiny and nearly flat triangles, and random ones.
TEST(MeshOperations, ASoupCompletesToTheBitsOfTheIdentityTransform)
{
    std::vector<double> xyz = {-0.0, -0.0, -0.0, 1,    -0.0, 0,    -0.0, 1,    -0.0,  0,   0,
                               0,    0,    0,    0,    0,    0,    0,    1e30, -2e30, 3,   -1e-300,
                               5,    6,    7,    8,    -9,   0.1,  0.2,  0.3,  0.4,   0.5, 0.6,
                               0.7,  0.8,  0.9,  -0.0, 2,    -0.0, -0.0, -3,   1};
    xyz.resize(xyz.size() + 9 * 5);
    uint64_t nState = 12345;
    for (size_t i = xyz.size() - 9 * 5; i < xyz.size(); ++i)
    {
        nState = nState * 6364136223846793005u + 1442695040888963407u;
        xyz[i] =
            (nState >> 40) % 3 == 0 ? -0.0 : static_cast<double>(static_cast<int64_t>(nState >> 11)) * 1e-15;
    }
    const int32_t nTriangles = static_cast<int32_t>(xyz.size() / 9);
    CMesh soup, transformed;
    soup.SetTriangles(xyz.data(), nTriangles);
    soup.CompleteTriangleSoup();
    transformed.SetTriangles(xyz.data(), nTriangles);
    transformed.Transform(CVector3(1, 0, 0), CVector3(0, 1, 0), CVector3(0, 0, 1));
    EXPECT_EQ(SoupBits(soup), SoupBits(transformed));

    CMesh empty;
    empty.SetTriangles(xyz.data(), 0);
    empty.CompleteTriangleSoup();
    EXPECT_EQ(empty.m_nLargestFace, 0);
    EXPECT_EQ(empty.m_vBoundsMin.x, DBL_MAX);
}
