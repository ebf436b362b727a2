#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

class CMesh;
class COffscreenContext;

// What the GL tests share: one offscreen context for the whole process, the view's baseline
// state, and pixel probes in the coordinates of the drawn square.
namespace GlTest
{
constexpr int SIZE = 64;
constexpr double EXTENT = 1.25;

// The process's context, created on first use and current afterwards; null (with the reason
// reported as a test failure) when EGL gives none.
COffscreenContext* Context();

// The baseline state the view sets up when it starts: depth test, light 0 with its default
// colours, two-sided lighting with a black ambient, blue front and red back material (ambient
// and diffuse), smooth shading, fill mode, polygon offset (1, 1) but off, back faces selected
// for culling but culling off, unpack alignment 1; then an orthographic view of
// [-EXTENT, EXTENT]^2 looking down the z axis, white current colour, and the frame cleared to
// black.
void SetBaselineState();
void ClearFrame();

struct SPixel
{
    int r = 0, g = 0, b = 0;
    bool IsBlack() const { return r < 16 && g < 16 && b < 16; }
    // One channel clearly above the other two.
    bool IsRed() const { return r > 60 && g < r / 3 && b < r / 3; }
    bool IsGreen() const { return g > 60 && r < g / 3 && b < g / 3; }
    bool IsBlue() const { return b > 60 && r < b / 3 && g < b / 3; }
    bool IsWhite() const { return r > 200 && g > 200 && b > 200; }
    // The fill colour the tests give hidden-line faces: 0x808080.
    bool IsGrey() const { return r > 100 && r < 160 && g > 100 && g < 160 && b > 100 && b < 160; }
};

// The pixel that shows the point (x, y) of the mesh's own coordinates (its list moves its centre
// to the origin).
SPixel PixelAt(const CMesh& mesh, double x, double y);
// Whether any pixel of the 3 x 3 block around that point satisfies the predicate: lines and
// points may land on a neighbour of the exact pixel.
bool AnyNear(const CMesh& mesh, double x, double y, bool (SPixel::*pTest)() const);
// Number of non-black pixels in the whole frame.
int LitPixels();

// A mesh read from OFF text; fails the test when the text is refused.
std::unique_ptr<CMesh> MeshFromOFF(std::string_view text);
// Clears the frame and calls the list once, keeping the modelview matrix as it was.
void Draw(uint32_t nList);
} // namespace GlTest
