// The triangle shortcut of the display-list build must make the calls the GLU tessellator makes.
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "scene/TessTriangle.h"

namespace
{
// What the tessellator handed to its callbacks: primitive types, then vertex data, then ends.
std::vector<const void*> s_calls;

void RecordBegin(GLenum nType)
{
    s_calls.push_back(reinterpret_cast<const void*>(static_cast<uintptr_t>(nType) + 1));
}
void RecordVertex(void* pData)
{
    s_calls.push_back(pData);
}
void RecordEnd()
{
    s_calls.push_back(nullptr);
}

TEST(TessTriangleTest, MatchesTheTessellatorCallForCall)
{
    const double NaN = std::numeric_limits<double>::quiet_NaN();
    const double INF = std::numeric_limits<double>::infinity();
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
        {0, 0, 0, INF, 0, 0, 0, 1, 0},
        {0, 0, 0, -INF, 0, 0, 0, 1, 0},
        {NaN, 0, 0, 1, 0, 0, 0, 1, 0},
        {0, 0, 0, 1, NaN, 0, 0, 1, 0},
        {0, 0, 0, 1, 0, 0, 0, 0, NaN},
    };
    std::mt19937 random(7);
    std::uniform_int_distribution<int> smallInt(-2, 2); // many exact degeneracies
    std::uniform_real_distribution<double> real(-1.0, 1.0);
    for (int i = 0; i < 4000; ++i)
    {
        std::array<double, 9> t{};
        for (double& d : t)
            d = i % 2 == 0 ? smallInt(random) : real(random) * std::pow(10.0, smallInt(random) * 40);
        triangles.push_back(t);
    }

    GLUtesselator* pTess = gluNewTess();
    ASSERT_NE(pTess, nullptr);
    gluTessCallback(pTess, GLU_TESS_BEGIN, reinterpret_cast<_GLUfuncptr>(&RecordBegin));
    gluTessCallback(pTess, GLU_TESS_VERTEX, reinterpret_cast<_GLUfuncptr>(&RecordVertex));
    gluTessCallback(pTess, GLU_TESS_END, reinterpret_cast<_GLUfuncptr>(&RecordEnd));
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
        const void* pTriangles = reinterpret_cast<const void*>(static_cast<uintptr_t>(GL_TRIANGLES) + 1);
        std::vector<const void*> expected;
        if (nOrder != 0)
            expected = {pTriangles, p[0], nOrder > 0 ? p[1] : p[2], nOrder > 0 ? p[2] : p[1], nullptr};
        EXPECT_EQ(s_calls, expected) << t[0] << " " << t[1] << " " << t[2] << " / " << t[3] << " " << t[4]
                                     << " " << t[5] << " / " << t[6] << " " << t[7] << " " << t[8];
    }
    gluDeleteTess(pTess);
    // Every outcome was met.
    EXPECT_GT(nOrders[0], 0);
    EXPECT_GT(nOrders[1], 50);
    EXPECT_GT(nOrders[2], 50);
}
} // namespace
