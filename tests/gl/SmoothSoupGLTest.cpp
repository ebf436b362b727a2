#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "formats/stl/StlFormat.h"
#include "gl/GlTestSupport.h"
#include "model/Mesh.h"

namespace
{
// A sphere of 16 rings of 32 steps, its triangles listed in one order for both files: as OFF,
// sharing its vertices, and as ASCII STL, whose facets share none.
void SphereFiles(std::string& strOff, std::string& strStl)
{
    constexpr int RINGS = 16, STEPS = 32;
    std::vector<std::string> points;
    // One text for one position: the seam's step and the poles' are the same for every facet.
    const auto point = [](int r, int s)
    {
        s = (r == 0 || r == RINGS) ? 0 : s % STEPS;
        const double dTheta = M_PI * r / RINGS, dPhi = 2.0 * M_PI * s / STEPS;
        char sz[96];
        std::snprintf(sz, sizeof sz, "%.17g %.17g %.17g", std::sin(dTheta) * std::cos(dPhi),
                      std::sin(dTheta) * std::sin(dPhi), std::cos(dTheta));
        return std::string(sz);
    };
    const auto index = [](int r, int s) {
        return r == 0 ? 0 : r == RINGS ? 1 + (RINGS - 1) * STEPS : 1 + (r - 1) * STEPS + s % STEPS;
    };
    for (int r = 0; r <= RINGS; ++r)
        for (int s = 0; s < ((r == 0 || r == RINGS) ? 1 : STEPS); ++s)
            points.push_back(point(r, s));
    std::vector<std::array<int, 6>> triangles; // (ring, step) of three corners
    for (int r = 0; r < RINGS; ++r)
        for (int s = 0; s < STEPS; ++s)
        {
            if (r > 0)
                triangles.push_back({r, s, r + 1, s + 1, r, s + 1});
            if (r + 1 < RINGS)
                triangles.push_back({r, s, r + 1, s, r + 1, s + 1});
        }
    strOff = "OFF\n" + std::to_string(points.size()) + " " + std::to_string(triangles.size()) + " 0\n";
    for (const std::string& p : points)
        strOff += p + "\n";
    strStl = "solid sphere\n";
    for (const auto& t : triangles)
    {
        strOff += "3";
        strStl += "facet normal 0 0 0\nouter loop\n";
        for (int k = 0; k < 6; k += 2)
        {
            strOff += " " + std::to_string(index(t[k], t[k + 1]));
            strStl += "vertex " + point(t[k], t[k + 1]) + "\n";
        }
        strOff += "\n";
        strStl += "endloop\nendfacet\n";
    }
    strStl += "endsolid sphere\n";
}

int Difference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int& nLargest)
{
    int nSum = 0;
    nLargest = 0;
    for (size_t i = 0; i < a.size(); ++i)
    {
        nSum += std::abs(a[i] - b[i]);
        nLargest = std::max(nLargest, std::abs(a[i] - b[i]));
    }
    return nSum;
}
} // namespace

// An STL sphere shades as the same sphere in OFF does, not as the facets a flat shading shows.
TEST(SmoothSoupGLTest, AnStlSphereLooksAsTheOffSphere)
{
    ASSERT_NE(GlTest::Context(), nullptr);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    std::string strOff, strStl;
    SphereFiles(strOff, strStl);
    auto *pOff = new CMesh, *pStl = new CMesh, *pFlat = new CMesh;
    ASSERT_TRUE(pOff->ReadOFFBuffer(strOff, "sphere.off"));
    ASSERT_TRUE(pStl->ReadSTLBuffer(strStl, STL_ASCII, "sphere.stl"));
    ASSERT_TRUE(pFlat->ReadOFFBuffer(strOff, "sphere.off"));
    pFlat->m_nShading = SHADE_FLAT;
    const std::vector<uint8_t> off = GlTest::DrawTurnedInDefaultView(pOff),
                               stl = GlTest::DrawTurnedInDefaultView(pStl),
                               flat = GlTest::DrawTurnedInDefaultView(pFlat);
    int nLargest = 0;
    EXPECT_LE(Difference(off, stl, nLargest), 64);
    EXPECT_LE(nLargest, 2);
    EXPECT_GT(Difference(off, flat, nLargest), 2000);
    glPopClientAttrib();
    glPopAttrib();
}
