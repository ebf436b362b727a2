// The fan shortcut of the display-list build must make the calls the GLU tessellator makes.
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "drawing/TessFan.h"

namespace
{
// What the tessellator handed to its callbacks: primitive types (+1, never null), vertex data,
// a null for each end.
std::vector<const void*> s_calls;
const void* Begin(GLenum nType)
{
    return reinterpret_cast<const void*>(static_cast<uintptr_t>(nType) + 1);
}

TEST(TessFanTest, MatchesTheTessellatorCallForCall)
{
    std::vector<std::vector<double>> polygons = {
        {0, 0, 0, 1, 0, 0, 0, 1, 0},             // counter-clockwise
        {0, 0, 0, 0, 1, 0, 1, 0, 0},             // clockwise
        {0, 0, 0, 1, 1, 1, 2, 2, 2},             // collinear
        {1, 2, 3, 1, 2, 3, 1, 2, 3},             // one point
        {0, 0, 0, 1e-160, 0, 0, 0, 1e-160, 0},   // squared normal underflows
        {0, 0, 0, 1e-200, 0, 0, 0, 1e-200, 0},   // normal underflows
        {0, 0, 0, 1e100, 0, 0, 0, 1e100, 0},     // squared normal overflows
        {1e200, 0, 0, 2e200, 0, 1, 3e200, 1, 0}, // clamped to 1e150: degenerate
        {1e200, 0, 0, 1e200, 1, 0, 1e200, 0, 1}, // clamped, still a triangle
        {0, 0, 0, INFINITY, 0, 0, 0, 1, 0},
        {0, 0, 0, -INFINITY, 0, 0, 0, 1, 0},
        {NAN, 0, 0, 1, 0, 0, 0, 1, 0},
        {0, 0, 0, 1, NAN, 0, 0, 1, 0},
        {0, 0, 0, 1, 0, 0, 0, 0, NAN}};
    std::mt19937 random(7);
    std::uniform_int_distribution<int> smallInt(-2, 2); // many exact degeneracies
    std::uniform_real_distribution<double> real(-1.0, 1.0);
    const size_t nFirstConvex = polygons.size() + 8000;
    // Random contours of 3 to 6 points; then convex ones of 4 to 103 points, an ellipse at sorted
    // angles on a random plane, every fourth snapped to a coarse grid.
    for (int i = 0; i < 12000; ++i)
    {
        std::vector<double>& polygon = polygons.emplace_back();
        std::vector<double> angles(static_cast<size_t>(4 + i % 100)), axes(9);
        if (i < 8000)
            for (int k = 0; k < 9 + 3 * (i % 4); ++k)
                polygon.push_back(i % 2 == 0 ? smallInt(random)
                                             : real(random) * std::pow(10.0, smallInt(random) * 40));
        for (double& d : angles)
            d = 3.14159 * real(random);
        std::sort(angles.begin(), angles.end());
        const double dScale = i % 4 == 0 ? 4.0 : std::pow(10.0, smallInt(random) * 20);
        for (double& d : axes)
            d = real(random) * dScale;
        for (size_t k = 0; i >= 8000 && k < 3 * angles.size(); ++k)
        {
            const double d = axes[k % 3] + std::cos(angles[k / 3]) * axes[3 + k % 3] +
                             std::sin(angles[k / 3]) * axes[6 + k % 3];
            polygon.push_back(i % 4 == 0 ? std::round(d) : d);
        }
    }

    GLUtesselator* pTess = gluNewTess();
    ASSERT_NE(pTess, nullptr);
    const auto begin = [](GLenum nType) { s_calls.push_back(Begin(nType)); };
    const auto vertex = [](void* pData) { s_calls.push_back(pData); };
    const auto end = [] { s_calls.push_back(nullptr); };
    gluTessCallback(pTess, GLU_TESS_BEGIN, reinterpret_cast<_GLUfuncptr>(+begin));
    gluTessCallback(pTess, GLU_TESS_VERTEX, reinterpret_cast<_GLUfuncptr>(+vertex));
    gluTessCallback(pTess, GLU_TESS_END, reinterpret_cast<_GLUfuncptr>(+end));
    int nOrders[4] = {0, 0, 0, 0}, nConvex = 0, nConvexFans = 0;
    for (size_t i = 0; i < polygons.size(); ++i)
    {
        std::vector<double*> p;
        for (size_t k = 0; k < polygons[i].size(); k += 3)
            p.push_back(&polygons[i][k]);
        s_calls.clear();
        gluTessBeginPolygon(pTess, nullptr);
        gluTessBeginContour(pTess);
        for (double* pVertex : p)
            gluTessVertex(pTess, pVertex, pVertex);
        gluTessEndContour(pTess);
        gluTessEndPolygon(pTess);

        const int nOrder = TessFanOrder(p.data(), static_cast<int32_t>(p.size()));
        ++nOrders[nOrder + 1];
        if (p.size() == 3)
        {
            EXPECT_EQ(TessTriangleOrder(p[0], p[1], p[2]), nOrder) << testing::PrintToString(polygons[i]);
        }
        const bool bConvex =
            i >= nFirstConvex && (i - nFirstConvex) % 4 != 0 && p.size() <= TESS_FAN_MAX_POINTS;
        nConvex += bConvex;
        nConvexFans += bConvex && nOrder != TESS_FAN_SWEEP;
        // Left to the sweep, a polygon is not drawn without the tessellator: nothing to compare.
        std::vector<const void*> expected;
        if (nOrder == TESS_FAN_SWEEP)
            expected = s_calls;
        else if (nOrder != TESS_FAN_NONE)
        {
            expected = {Begin(p.size() > 3 ? GL_TRIANGLE_FAN : GL_TRIANGLES), p[0]};
            for (size_t k = 1; k < p.size(); ++k)
                expected.push_back(p[nOrder > 0 ? k : p.size() - k]);
            expected.push_back(nullptr);
        }
        EXPECT_EQ(s_calls, expected) << testing::PrintToString(polygons[i]);
    }
    gluDeleteTess(pTess);
    // Every outcome was met (a backward fan takes a NaN or an overflow), and the convex contours
    // of up to 100 points not snapped to the grid take the fan (more points go to the sweep).
    EXPECT_TRUE(nOrders[0] > 0 && nOrders[1] > 50 && nOrders[2] > 3000 && nOrders[3] > 300)
        << nOrders[0] << " " << nOrders[1] << " " << nOrders[2] << " " << nOrders[3];
    EXPECT_GE(nConvexFans, nConvex * 99 / 100) << nConvex;
}
} // namespace
