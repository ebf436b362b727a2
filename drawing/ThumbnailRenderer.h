#pragma once

#include <cstdint>
#include <vector>

#include "formats/TriangleSink.h"

class CMesh;

// Draws one model into a square picture of nSize x nSize pixels in the current context, as the
// window would show it (the new view's materials and light, two-sided lighting, vertex colours),
// looking down the z axis as the default view does, but centred on the model and fitted to it.
//
// Triangles arrive one at a time, so that a model need never be held whole. A triangle that
// spans half a pixel or more goes to OpenGL as it is; a smaller one can cover at most one pixel
// centre and is kept only as that pixel, nearest first, when it covers it: the pixels OpenGL
// would have drawn for it, without sending millions of invisible triangles through the
// rasteriser. The kept pixels are drawn at the end as lit points. A point cloud's points are
// kept the same way.
class CThumbnailRenderer : public CTriangleSink
{
public:
    explicit CThumbnailRenderer(int nSize);
    CThumbnailRenderer(const CThumbnailRenderer&) = delete;
    CThumbnailRenderer& operator=(const CThumbnailRenderer&) = delete;
    ~CThumbnailRenderer() override = default;

    // Sets the baseline state and the camera for the model's bounding box: it looks down -z at
    // the box's centre from 2.5 times its largest extent. The frustum is the square that just
    // holds the projection of the box, or of the points given to Fit, a pixel to spare on each
    // side, centred on it. Clears the frame. bColors: the triangles come with vertex colours,
    // which then replace the materials' ambient and diffuse colours, as in the window. bSample:
    // the triangles are a sample, and a small one is kept as the pixel that holds its centre of
    // gravity, whether it covers that pixel's centre or not, to stand for its unread neighbours.
    void Begin(const double pdMin[3], const double pdMax[3], bool bColors, bool bSample) override;
    void Fit(const float* pPositions, size_t nPoints) override;
    // One triangle: nine coordinates, and per vertex a normal (null: the face's own normal) and
    // a red, green, blue colour from 0 to 1 (read only when Begin was told so).
    void AddTriangle(const float* pPositions, const float* pNormals, const float* pColors);
    // A streamed triangle, with its face's normal.
    void Triangle(const float* pPositions, const float* pColors) override
    {
        AddTriangle(pPositions, nullptr, pColors);
    }
    // One point, as the pixel that holds it, facing the camera, in its colour (read only when
    // Begin was told so).
    void AddPoint(const float* pPosition, const float* pColor);
    // Every face of a loaded mesh, as its display list draws them shaded: each polygon split as
    // the GLU tessellator splits it, with the mesh's vertex normals and colours.
    void AddMesh(const CMesh& mesh);
    // Draws what is still pending and waits for OpenGL to finish.
    void Finish();

    // How many triangles went to OpenGL and how many pixels were kept for smaller ones.
    int64_t GetDrawnTriangles() const { return m_nDrawnTriangles; }
    int64_t GetKeptPixels() const;

private:
    struct SPixel
    {
        float fDepth; // normalised device z; 2 (beyond the far plane) while empty
        float pfPosition[3];
        float pfNormal[3];
        float pfColor[3];
        bool bBack;
    };

    // Widens the frame to hold the point; ApplyFrame then loads the frustum.
    void FitPoint(double x, double y, double z);
    void ApplyFrame();
    // Keeps a model point at window position cx, cy (a pixel centre) and normalised depth dDepth
    // as that pixel's, when nothing nearer holds it; dModelZ is its model z.
    void KeepPixel(double cx, double cy, double dDepth, double dModelZ, const float* pfNormal,
                   const float* pfColor, bool bBack);
    // Sends the pending triangles to OpenGL.
    void Flush();
    // Draws the pending vertices (with their normals and colours) as nMode primitives and empties
    // the lists.
    void DrawPending(unsigned int nMode);
    void DrawPixels(bool bBack);
    // Window x, y and normalised device z of a model point.
    void Project(const float* p, double pdWindow[3]) const;

    int m_nSize;
    bool m_bColors = false;
    bool m_bSample = false;
    double m_dNear = 1.0, m_dFar = 2.0;
    double m_pdEye[3] = {};
    // The frame, as tangents of the view angle: x and y of the points seen, over their distance.
    double m_dLeft = 0.0, m_dRight = 0.0, m_dBottom = 0.0, m_dTop = 0.0;
    // Points given to Fit replace the box's corners.
    bool m_bFitPoints = false;
    bool m_bFramed = false;
    double m_pdProjection[16] = {};
    // The triangles waiting for OpenGL, three vertices each; at the end, the kept pixels' points.
    std::vector<float> m_positions;
    std::vector<float> m_normals;
    std::vector<float> m_colors;
    std::vector<SPixel> m_pixels;
    int64_t m_nDrawnTriangles = 0;
};
