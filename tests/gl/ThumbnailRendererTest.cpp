#include <vector>

#include "drawing/CoverageAlpha.h"
#include "drawing/ThumbnailRenderer.h"
#include "gl/GlTestSupport.h"

namespace
{
using GlTest::SIZE;

// The unit square at z = 0 in n x n cells of two triangles each, facing +z (or -z), every
// nStep-th triangle of them.
std::vector<float> Square(int n, bool bFacingUs, int nStep = 1)
{
    std::vector<float> positions;
    int nTriangle = 0;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
        {
            const float x0 = float(i) / n, x1 = float(i + 1) / n, y0 = float(j) / n, y1 = float(j + 1) / n;
            for (const std::vector<float>& t : {std::vector<float>{x0, y0, 0, x1, y0, 0, x1, y1, 0},
                                                std::vector<float>{x0, y0, 0, x1, y1, 0, x0, y1, 0}})
            {
                if (nTriangle++ % nStep != 0)
                    continue;
                positions.insert(positions.end(), t.begin(), t.end());
                if (!bFacingUs)
                    std::swap_ranges(positions.end() - 6, positions.end() - 3, positions.end() - 3);
            }
        }
    return positions;
}

struct SPicture
{
    std::vector<uint8_t> rgba;
    int64_t nDrawn = 0, nKept = 0;
};

SPicture Draw(const std::vector<float>& positions, bool bSample)
{
    SPicture picture;
    COffscreenContext* pContext = GlTest::Context();
    if (pContext == nullptr)
        return picture;
    CThumbnailRenderer renderer(SIZE);
    const double pdMin[3] = {0, 0, 0}, pdMax[3] = {1, 1, 0};
    renderer.Begin(pdMin, pdMax, false, bSample);
    for (size_t i = 0; i < positions.size(); i += 9)
        renderer.AddTriangle(&positions[i], nullptr, nullptr);
    renderer.Finish();
    WriteCoverageAlpha();
    pContext->ReadPixels(picture.rgba);
    picture.nDrawn = renderer.GetDrawnTriangles();
    picture.nKept = renderer.GetKeptPixels();
    return picture;
}
} // namespace

// Triangles smaller than half a pixel, kept as pixels, cover exactly what OpenGL covers for the
// two big ones, lit with the outer material in front and the inner one behind; a sample's
// triangles fill the area they stand for. The square fills the frame but for a pixel each side.
TEST(ThumbnailRendererTest, SmallTrianglesCoverWhatOpenGlCovers)
{
    const SPicture big = Draw(Square(1, true), false);
    ASSERT_EQ(big.rgba.size(), size_t(SIZE * SIZE * 4));
    EXPECT_EQ(std::tuple(big.nDrawn, big.nKept), std::tuple(2, 0));
    for (int y = 0; y < SIZE; ++y)
        for (int x = 0; x < SIZE; ++x)
        {
            const bool bInside = x >= 1 && x < SIZE - 1 && y >= 1 && y < SIZE - 1;
            ASSERT_EQ(big.rgba[4 * static_cast<size_t>(y * SIZE + x) + 3], bInside ? 255 : 0)
                << x << "," << y;
        }
    const int64_t nInside = (SIZE - 2) * (SIZE - 2);
    for (const bool bFacingUs : {true, false})
        for (const auto& [nStep, bSample] : {std::pair(1, false), std::pair(4, true)})
        {
            SCOPED_TRACE(testing::Message() << bFacingUs << " " << nStep);
            const SPicture small = Draw(Square(160, bFacingUs, nStep), bSample);
            EXPECT_EQ(std::tuple(small.nDrawn, small.nKept), std::tuple(0, nInside));
            int nWrong = 0;
            for (size_t i = 0; i < big.rgba.size(); i += 4)
            {
                const uint8_t* p = &small.rgba[i];
                const bool bLit = bFacingUs ? p[2] > p[0] + 60 : p[0] > p[2] + 60;
                nWrong += p[3] != big.rgba[i + 3] || (p[3] == 255 && !bLit);
            }
            EXPECT_EQ(nWrong, 0);
        }
}
