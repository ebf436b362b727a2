// The triangle shortcut of the display-list build must make the calls the GLU tessellator makes.
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "scene/TessTriangle.h"

namespace
{
// What the tessellator handed to its callbacks: primitive types (+1, never null), vertex data,
// a null for each end.
std::vector<const void*> s_calls;
const void* Begin(GLenum nType)
{
    return reinterpret_cast<const void*>(static_cast<uintptr_t>(nType) + 1);
}

TEST(TessTriangleTest, MatchesTheTessellatorCallForCall)
{
    std::vector<std::array<double, 9>> triangles = {
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
    for (int i = 0; i < 4000; ++i)
        for (double& d : triangles.emplace_back())
            d = i % 2 == 0 ? smallInt(random) : real(random) * std::pow(10.0, smallInt(random) * 40);

    GLUtesselator* pTess = gluNewTess();
    ASSERT_NE(pTess, nullptr);
    const auto begin = [](GLenum nType) { s_calls.push_back(Begin(nType)); };
    const auto vertex = [](void* pData) { s_calls.push_back(pData); };
    const auto end = [] { s_calls.push_back(nullptr); };
    gluTessCallback(pTess, GLU_TESS_BEGIN, reinterpret_cast<_GLUfuncptr>(+begin));
    gluTessCallback(pTess, GLU_TESS_VERTEX, reinterpret_cast<_GLUfuncptr>(+vertex));
    gluTessCallback(pTess, GLU_TESS_END, reinterpret_cast<_GLUfuncptr>(+end));
    int nOrders[3] = {0, 0, 0};
    for (std::array<double, 9>& t : triangles)
    {
        double* p[3] = {&t[0], &t[3], &t[6]};
        s_calls.clear();
        gluTessBeginPolygon(pTess, nullptr);
        gluTessBeginContour(pTess);
        for (double* pVertex : p)
            gluTessVertex(pTess, pVertex, pVertex);
        gluTessEndContour(pTess);
        gluTessEndPolygon(pTess);

        const int nOrder = TessTriangleOrder(p[0], p[1], p[2]);
        ++nOrders[nOrder + 1];
        std::vector<const void*> expected;
        if (nOrder != 0)
            expected = {Begin(GL_TRIANGLES), p[0], nOrder > 0 ? p[1] : p[2], nOrder > 0 ? p[2] : p[1],
                        nullptr};
        EXPECT_EQ(s_calls, expected) << testing::PrintToString(t);
    }
    gluDeleteTess(pTess);
    // Every outcome was met.
    EXPECT_TRUE(nOrders[0] > 0 && nOrders[1] > 50 && nOrders[2] > 50) << nOrders[0] << " " << nOrders[1];
}
} // namespace
