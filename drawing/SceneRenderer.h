#pragma once

#include <cstdint>

class CCamera;
class CTeldViewGLDoc;
class CViewSettings;

// Drawing the document's scene with fixed-function OpenGL, shared by the window's view and by
// snapshots without a window, so that both set the same state, fit the same default view and
// draw the same frame. Every function works on the current context; without one the GL calls
// do nothing.
namespace SceneRenderer
{
// The state the display lists rely on: depth test, lighting with light 0 and two-sided
// lighting, smooth shading, fill mode for both faces, culling off with the back face selected,
// the polygon offset that hidden-line lists enable, unpack alignment 1; the background as clear
// colour, the materials and the light; then the projection for an nWidth x nHeight client area.
// Leaves the modelview matrix selected, holding the identity. Returns the aspect ratio.
float SetBaselineState(const CViewSettings& settings, int32_t nWidth, int32_t nHeight);

// Front faces take the outer material, back faces the inner one.
void ApplyMaterials(const CViewSettings& settings);
// Selects the modelview matrix and loads the identity; sends an eye-fixed light's position,
// then the light's diffuse, ambient and specular colours. The caller loads the camera
// transform again afterwards.
void ApplyLight(const CViewSettings& settings);

// How far the scene reaches along the camera's view direction: every loaded mesh that follows
// the camera in its scene list lies within the sphere about its position that holds its bounding
// box in every orientation. dMin and dMax are the nearest and farthest depths of those spheres
// (spheres wholly behind the eye left out), dSize the largest diameter. False when no sphere is
// left or the numbers are not finite.
struct SSceneDepth
{
    double dMin;
    double dMax;
    double dSize;
};
bool SceneDepth(const CCamera& camera, SSceneDepth& depth);

// The clipping distances a frame is drawn with. The settings' near and far planes stand wherever
// they hold the scene's depth (SceneDepth) and the depth buffer's 24 bits still tell apart 1/4096
// of the scene's size at its far end. Otherwise the planes move to the scene: far back to its far
// end if that lay beyond, near forward to just before its near end, at most 10^4 times nearer
// than far (a camera inside the scene loses what is closer than that).
struct SClipPlanes
{
    double dNear;
    double dFar;
};
SClipPlanes ClipPlanes(const CViewSettings& settings, const CCamera& camera);

// The projection for an nWidth x nHeight client area (a height below 1 counts as 1) with the
// planes of ClipPlanes, perspective or parallel by the settings, then the camera's view
// transform. Returns the aspect ratio.
float SetupView(const CViewSettings& settings, const CCamera& camera, int32_t nWidth, int32_t nHeight);
// The camera's view transform alone: the modelview matrix holds the transposed rotation of the
// camera times the translation by its negated position; a world-fixed light's position is sent
// under it, so that it stays put in the world.
void LoadViewTransform(const CViewSettings& settings, const CCamera& camera);

// The sides a standard view looks from; the front is the default view's.
enum
{
    VIEW_SIDE_FRONT = 0, // from +z, y up
    VIEW_SIDE_BACK,      // from -z, y up
    VIEW_SIDE_LEFT,      // from -x, y up
    VIEW_SIDE_RIGHT,     // from +x, y up
    VIEW_SIDE_TOP,       // from +y, the front below
    VIEW_SIDE_BOTTOM,    // from -y, the front above
    VIEW_SIDE_ISOMETRIC, // from (1, 1, 1): front, right and top alike, y up
    VIEW_SIDE_COUNT
};

// The default view of the scene bounds: the far plane 25 times the largest extent, the camera
// unrotated on the z axis at 2.5 times that extent (at the origin without a mesh). Bounds that
// give no extent (no mesh, an emptied scene) leave a far plane of 800. The parallel projection's
// height is fitted alike: what the perspective shows at the origin. Loads nothing into GL.
void FitDefaultView(CViewSettings& settings, CTeldViewGLDoc& doc);
// The same fit from another side: the camera at the same distance from the origin, looking at it.
void FitStandardView(CViewSettings& settings, CTeldViewGLDoc& doc, int nSide);
// The parallel projection's half height that shows at dDistance what the perspective shows there.
double OrthoHalfHeightAt(const CViewSettings& settings, double dDistance);

// One frame: clears colour and depth, calls every mesh's display list under its own matrix,
// then the keyframe guide list if there is one (not 0), and waits for OpenGL to finish. Relies on
// the modelview matrix holding the camera transform, and leaves it so.
void DrawFrame(const CTeldViewGLDoc& doc, uint32_t nGuideList = 0);
// The same frame while the view moves: with dShare below 1, each big mesh whose levels are ready
// is drawn at the largest of them within dShare of its items (see CMeshGL::DrawReduced), the rest
// in full. Returns what it sent (see CMeshReduction::DrawnItems), whether any mesh was reduced,
// and whether a level's list was compiled on the way (the frame's time then tells no rate).
struct SFrameDrawn
{
    int64_t nItems = 0;
    bool bReduced = false;
    bool bCompiled = false;
};
SFrameDrawn DrawFrameWithin(CTeldViewGLDoc& doc, uint32_t nGuideList, double dShare);
// What a full frame of the document's meshes sends.
int64_t SceneItems(const CTeldViewGLDoc& doc);
} // namespace SceneRenderer
