// Faces sent to GL without the tessellator must make exactly the calls the GLU tessellator makes
// for them: TessFanOrder decides, for every contour it does not leave to the sweep.
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "scene/TessFan.h"

namespace
{
using Polygon = std::vector<double>; // x, y, z of each point

// What the tessellator handed to its callbacks: primitive types (+1, never null), vertex data,
// a null for each end.
std::vector<const void*> s_calls;
const void* Begin(GLenum nType)
{
    return reinterpret_cast<const void*>(static_cast<uintptr_t>(nType) + 1);
}

std::vector<const void*> Tessellate(GLUtesselator* pTess, const std::vector<double*>& points)
{
    s_calls.clear();
    gluTessBeginPolygon(pTess, nullptr);
    gluTessBeginContour(pTess);
    for (double* pPoint : points)
        gluTessVertex(pTess, pPoint, pPoint);
    gluTessEndContour(pTess);
    gluTessEndPolygon(pTess);
    return s_calls;
}

// The calls TessFanOrder's answer stands for.
std::vector<const void*> Promised(const std::vector<double*>& points, int nOrder)
{
    const size_t n = points.size();
    if (nOrder == TESS_FAN_NONE)
        return {};
    std::vector<const void*> calls = {Begin(n > 3 ? GL_TRIANGLE_FAN : GL_TRIANGLES), points[0]};
    for (size_t i = 1; i < n; ++i)
        calls.push_back(points[nOrder > 0 ? i : n - i]);
    calls.push_back(nullptr);
    return calls;
}

// nCount points of an ellipse at sorted random angles, placed on a random plane: convex.
Polygon ConvexPolygon(std::mt19937& random, int nCount, double dScale)
{
    std::uniform_real_distribution<double> real(-1.0, 1.0);
    std::vector<double> angles(static_cast<size_t>(nCount));
    for (double& a : angles)
        a = std::acos(-1.0) * (real(random) + 1.0);
    std::sort(angles.begin(), angles.end());
    const double a = 0.2 + std::abs(real(random)), b = 0.2 + std::abs(real(random));
    double axes[9];
    for (double& d : axes)
        d = real(random);
    Polygon polygon;
    for (double t : angles)
        for (int k = 0; k < 3; ++k)
            polygon.push_back(dScale *
                              (axes[k] + a * std::cos(t) * axes[3 + k] + b * std::sin(t) * axes[6 + k]));
    return polygon;
}

TEST(TessFanTest, MatchesTheTessellatorCallForCall)
{
    std::vector<Polygon> polygons = {
        {0, 0, 0, 1, 0, 0, 0, 1, 0},                            // counter-clockwise
        {0, 0, 0, 0, 1, 0, 1, 0, 0},                            // clockwise
        {0, 0, 0, 1, 1, 1, 2, 2, 2},                            // collinear
        {1, 2, 3, 1, 2, 3, 1, 2, 3},                            // one point
        {0, 0, 0, 1e-160, 0, 0, 0, 1e-160, 0},                  // squared normal underflows
        {0, 0, 0, 1e-200, 0, 0, 0, 1e-200, 0},                  // normal underflows
        {0, 0, 0, 1e100, 0, 0, 0, 1e100, 0},                    // squared normal overflows
        {1e200, 0, 0, 2e200, 0, 1, 3e200, 1, 0},                // clamped to 1e150: degenerate
        {1e200, 0, 0, 1e200, 1, 0, 1e200, 0, 1},                // clamped, still a triangle
        {0, 0, 0, INFINITY, 0, 0, 0, 1, 0},                     //
        {0, 0, 0, -INFINITY, 0, 0, 0, 1, 0},                    //
        {NAN, 0, 0, 1, 0, 0, 0, 1, 0},                          //
        {0, 0, 0, 1, NAN, 0, 0, 1, 0, 0, 0, 1},                 //
        {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0},                   // square
        {0, 0, 0, 0, 1, 0, 1, 1, 0, 1, 0, 0},                   // square, clockwise
        {0, 0, 0, 1, 0, 0, 2, 0, 0, 2, 1, 0, 0, 1, 0},          // a point on an edge
        {0, 0, 0, 1, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0},          // a point twice
        {0, 0, 0, 0, 0, 0, 1, 0, 0, 1, 1, 0},                   // the first point twice
        {0, 0, 0, 2, 0, 0, 2, 1, 0, 1, 1, 0, 1, 2, 0, 0, 2, 0}, // L from the corner that sees it all
        {2, 0, 0, 2, 1, 0, 1, 1, 0, 1, 2, 0, 0, 2, 0, 0, 0, 0}, // L from a corner that does not
        {0, 0, 0, 1, 1, 0, 1, 0, 0, 0, 1, 0},                   // bow tie
        {0, 0, 0, 1e-170, 0, 0, 1e-170, 1e-170, 0, 0, 1e-170, 0},
        {0, 0, 0, 1e200, 0, 0, 1e200, 1e200, 0, 0, 1e200, 0}};
    std::mt19937 random(7);
    std::uniform_int_distribution<int> smallInt(-2, 2); // many exact degeneracies
    std::uniform_real_distribution<double> real(-1.0, 1.0);
    for (int i = 0; i < 4000; ++i)
        for (double& d : polygons.emplace_back(9))
            d = i % 2 == 0 ? smallInt(random) : real(random) * std::pow(10.0, smallInt(random) * 40);
    const size_t nFirstConvex = polygons.size();
    for (int i = 0; i < 2000; ++i)
        polygons.push_back(ConvexPolygon(random, 4 + i % 40 + (i % 50 == 0 ? 57 : 0),
                                         std::pow(10.0, smallInt(random) * 20)));
    const size_t nEndConvex = polygons.size();
    for (int i = 0; i < 1500; ++i)
    {
        Polygon polygon = ConvexPolygon(random, 4 + i % 9, 3.0);
        if (i % 3 == 0) // snapped to a coarse grid: duplicates, collinear points, flat faces
            for (double& d : polygon)
                d = std::round(d);
        else if (i % 3 == 1) // repeated points
            for (size_t k = 3 * static_cast<size_t>(i % 4); k + 3 <= polygon.size(); k += 9)
                polygon.insert(polygon.begin() + static_cast<ptrdiff_t>(k), polygon.begin() + k,
                               polygon.begin() + k + 3);
        else // squeezed towards a line or a point
            for (size_t k = 0; k < polygon.size(); ++k)
                polygon[k] *= k % 3 == 0 ? 1.0 : std::pow(10.0, -5.0 * (i % 70));
        polygons.push_back(polygon);
    }
    for (int i = 0; i < 1000; ++i) // random points in a plane: mostly left to the sweep
    {
        Polygon& polygon = polygons.emplace_back(3 * (4 + i % 4));
        for (size_t k = 0; k < polygon.size(); ++k)
            polygon[k] = k % 3 == 2 ? 0.0 : real(random);
    }

    GLUtesselator* pTess = gluNewTess();
    ASSERT_NE(pTess, nullptr);
    const auto begin = [](GLenum nType) { s_calls.push_back(Begin(nType)); };
    const auto vertex = [](void* pData) { s_calls.push_back(pData); };
    const auto end = [] { s_calls.push_back(nullptr); };
    gluTessCallback(pTess, GLU_TESS_BEGIN, reinterpret_cast<_GLUfuncptr>(+begin));
    gluTessCallback(pTess, GLU_TESS_VERTEX, reinterpret_cast<_GLUfuncptr>(+vertex));
    gluTessCallback(pTess, GLU_TESS_END, reinterpret_cast<_GLUfuncptr>(+end));
    int nOrders[4] = {0, 0, 0, 0};
    int nConvexFans = 0;
    for (size_t p = 0; p < polygons.size(); ++p)
    {
        std::vector<double*> points;
        for (size_t k = 0; k + 3 <= polygons[p].size(); k += 3)
            points.push_back(&polygons[p][k]);
        const int nOrder = TessFanOrder(points.data(), static_cast<int32_t>(points.size()));
        ++nOrders[nOrder + 1];
        nConvexFans += p >= nFirstConvex && p < nEndConvex && nOrder != TESS_FAN_SWEEP;
        // A polygon left to the sweep promises nothing.
        if (nOrder != TESS_FAN_SWEEP)
        {
            EXPECT_EQ(Tessellate(pTess, points), Promised(points, nOrder))
                << p << ": " << testing::PrintToString(polygons[p]);
        }
    }
    gluDeleteTess(pTess);
    // Every outcome was met (a backward fan takes NaN or overflow), and random convex faces of up
    // to 100 points take the fan.
    EXPECT_TRUE(nOrders[0] > 0 && nOrders[1] > 300 && nOrders[2] > 3000 && nOrders[3] > 500)
        << nOrders[0] << " " << nOrders[1] << " " << nOrders[2] << " " << nOrders[3];
    EXPECT_GE(nConvexFans, static_cast<int>(nEndConvex - nFirstConvex) * 99 / 100);

    std::vector<double> big(3 * (TESS_FAN_MAX_POINTS + 1), 0.0);
    std::vector<const double*> bigPoints;
    for (size_t k = 0; k < big.size(); k += 3)
        bigPoints.push_back(&big[k]);
    EXPECT_EQ(TessFanOrder(bigPoints.data(), TESS_FAN_MAX_POINTS + 1), TESS_FAN_SWEEP);
}
} // namespace
