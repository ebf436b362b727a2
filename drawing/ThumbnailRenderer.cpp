#include "drawing/ThumbnailRenderer.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "drawing/SceneRenderer.h"
#include "drawing/ViewSettings.h"

namespace
{
// Triangles sent to OpenGL in one call: enough to make the call's cost vanish, little memory.
constexpr size_t BATCH_TRIANGLES = 1 << 16;
// A triangle whose box is narrower and lower than this, in pixels, lies inside one pixel when it
// holds that pixel's centre.
constexpr double SPLAT_LIMIT = 0.5;
constexpr float EMPTY_DEPTH = 2.0f;

void FaceNormal(const float* p, float* pNormal)
{
    const double u[3] = {p[3] - p[0], p[4] - p[1], p[5] - p[2]};
    const double v[3] = {p[6] - p[0], p[7] - p[1], p[8] - p[2]};
    double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    const double dLength = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    for (int i = 0; i < 3; ++i)
        pNormal[i] = dLength > 0.0 ? static_cast<float>(n[i] / dLength) : 0.0f;
}

// Twice the signed area of the window triangle a, b, c: positive when counter-clockwise, which
// OpenGL takes for a front face.
double SignedArea(const double* a, const double* b, const double* c)
{
    return (b[0] - a[0]) * (c[1] - a[1]) - (c[0] - a[0]) * (b[1] - a[1]);
}
} // namespace

CThumbnailRenderer::CThumbnailRenderer(int nSize) : m_nSize(std::max(nSize, 1)) {}

void CThumbnailRenderer::Begin(const double pdMin[3], const double pdMax[3], bool bColors, bool bSample)
{
    m_bColors = bColors;
    m_bSample = bSample;
    // Bounds that are no box (a model without vertices) count as a point at the origin.
    double pdExtent[3], pdCentre[3] = {0.0, 0.0, 0.0};
    bool bBox = true;
    for (int i = 0; i < 3; ++i)
    {
        pdExtent[i] = pdMax[i] - pdMin[i];
        bBox = bBox && pdExtent[i] >= 0.0 && std::isfinite(pdExtent[i]);
    }
    for (int i = 0; i < 3; ++i)
    {
        pdCentre[i] = bBox ? 0.5 * (pdMin[i] + pdMax[i]) : 0.0;
        pdExtent[i] = bBox ? pdExtent[i] : 0.0;
    }
    double dExtent = std::max({pdExtent[0], pdExtent[1], pdExtent[2]});
    // A single point: any scale shows it.
    if (!(dExtent > 0.0))
        dExtent = 1.0;
    const double dDistance = 2.5 * dExtent;
    std::copy_n(pdCentre, 3, m_pdEye);
    m_pdEye[2] += dDistance;
    // Every vertex is at least twice the extent away; the far plane leaves room behind the box.
    m_dNear = 0.5 * (dDistance - 0.5 * pdExtent[2]);
    m_dFar = dDistance + 0.5 * pdExtent[2] + dExtent;
    m_dLeft = m_dBottom = 0.0;
    m_dRight = m_dTop = 0.0;
    for (int nCorner = 0; nCorner < 8; ++nCorner)
        FitPoint(pdCentre[0] + ((nCorner & 1) - 0.5) * pdExtent[0],
                 pdCentre[1] + ((nCorner >> 1 & 1) - 0.5) * pdExtent[1],
                 pdCentre[2] + ((nCorner >> 2 & 1) - 0.5) * pdExtent[2]);
    m_bFitPoints = false;
    m_bFramed = false;

    const CViewSettings settings;
    SceneRenderer::SetBaselineState(settings, m_nSize, m_nSize);
    glViewport(0, 0, m_nSize, m_nSize);
    if (m_bColors)
    {
        glEnable(GL_COLOR_MATERIAL);
        glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    }
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    m_pixels.assign(static_cast<size_t>(m_nSize) * static_cast<size_t>(m_nSize),
                    SPixel{EMPTY_DEPTH, {}, {}, {}, false});
    m_positions.clear();
    m_normals.clear();
    m_colors.clear();
    m_nDrawnTriangles = 0;
}

void CThumbnailRenderer::FitPoint(double x, double y, double z)
{
    const double dDistance = m_pdEye[2] - z;
    const double tx = (x - m_pdEye[0]) / dDistance, ty = (y - m_pdEye[1]) / dDistance;
    m_dLeft = std::min(m_dLeft, tx);
    m_dRight = std::max(m_dRight, tx);
    m_dBottom = std::min(m_dBottom, ty);
    m_dTop = std::max(m_dTop, ty);
}

void CThumbnailRenderer::Fit(const float* pPositions, size_t nPoints)
{
    if (!m_bFitPoints)
    {
        // The first point alone, then the others around it.
        m_bFitPoints = true;
        if (nPoints > 0)
        {
            const double dDistance = m_pdEye[2] - pPositions[2];
            m_dLeft = m_dRight = (pPositions[0] - m_pdEye[0]) / dDistance;
            m_dBottom = m_dTop = (pPositions[1] - m_pdEye[1]) / dDistance;
        }
    }
    for (size_t i = 0; i < nPoints; ++i, pPositions += 3)
        FitPoint(pPositions[0], pPositions[1], pPositions[2]);
}

void CThumbnailRenderer::ApplyFrame()
{
    if (m_bFramed)
        return;
    m_bFramed = true;
    // A square around the middle of what is seen, a pixel wider on each side; a model seen as a
    // point or a line still gets an area.
    double dSide = std::max(m_dRight - m_dLeft, m_dTop - m_dBottom);
    if (!(dSide > 0.0))
        dSide = 1.0;
    dSide *= static_cast<double>(m_nSize) / std::max(m_nSize - 2, 1);
    const double cx = 0.5 * (m_dLeft + m_dRight), cy = 0.5 * (m_dBottom + m_dTop);
    const double l = (cx - 0.5 * dSide) * m_dNear, r = (cx + 0.5 * dSide) * m_dNear;
    const double b = (cy - 0.5 * dSide) * m_dNear, t = (cy + 0.5 * dSide) * m_dNear;
    const double n = m_dNear, f = m_dFar;
    std::fill(std::begin(m_pdProjection), std::end(m_pdProjection), 0.0);
    m_pdProjection[0] = 2.0 * n / (r - l);
    m_pdProjection[5] = 2.0 * n / (t - b);
    m_pdProjection[8] = (r + l) / (r - l);
    m_pdProjection[9] = (t + b) / (t - b);
    m_pdProjection[10] = -(f + n) / (f - n);
    m_pdProjection[11] = -1.0;
    m_pdProjection[14] = -2.0 * f * n / (f - n);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(m_pdProjection);
    // The camera is not turned: the view transform is the move to the eye.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslated(-m_pdEye[0], -m_pdEye[1], -m_pdEye[2]);
}

void CThumbnailRenderer::Project(const float* p, double pdWindow[3]) const
{
    // The view transform is a translation; the projection a frustum.
    const double* q = m_pdProjection;
    const double ex = p[0] - m_pdEye[0], ey = p[1] - m_pdEye[1], ez = p[2] - m_pdEye[2];
    const double dInverseW = -1.0 / ez;
    const double dHalf = 0.5 * m_nSize;
    pdWindow[0] = ((q[0] * ex + q[8] * ez) * dInverseW + 1.0) * dHalf;
    pdWindow[1] = ((q[5] * ey + q[9] * ez) * dInverseW + 1.0) * dHalf;
    pdWindow[2] = (q[10] * ez + q[14]) * dInverseW;
}

void CThumbnailRenderer::AddTriangle(const float* pPositions, const float* pNormals, const float* pColors)
{
    ApplyFrame();
    // The face's normal is worked out only for a triangle that is drawn: most small ones are not.
    float pfFaceNormals[9];
    const auto normals = [&]
    {
        if (pNormals != nullptr)
            return pNormals;
        FaceNormal(pPositions, pfFaceNormals);
        std::copy_n(pfFaceNormals, 3, pfFaceNormals + 3);
        std::copy_n(pfFaceNormals, 3, pfFaceNormals + 6);
        return static_cast<const float*>(pfFaceNormals);
    };
    double w[3][3];
    for (int k = 0; k < 3; ++k)
        Project(pPositions + 3 * k, w[k]);
    const double dMinX = std::min({w[0][0], w[1][0], w[2][0]}), dMaxX = std::max({w[0][0], w[1][0], w[2][0]});
    const double dMinY = std::min({w[0][1], w[1][1], w[2][1]}), dMaxY = std::max({w[0][1], w[1][1], w[2][1]});
    if (dMaxX - dMinX >= SPLAT_LIMIT || dMaxY - dMinY >= SPLAT_LIMIT)
    {
        m_positions.insert(m_positions.end(), pPositions, pPositions + 9);
        const float* pfNormals = normals();
        m_normals.insert(m_normals.end(), pfNormals, pfNormals + 9);
        if (m_bColors)
            m_colors.insert(m_colors.end(), pColors, pColors + 9);
        if (m_positions.size() >= 9 * BATCH_TRIANGLES)
            Flush();
        return;
    }
    // The one pixel centre the triangle may hold, and whether it holds it (edges included); a
    // sample's triangle takes the pixel of its centre of gravity.
    const double dArea = SignedArea(w[0], w[1], w[2]);
    const double cx =
        std::floor(m_bSample ? (w[0][0] + w[1][0] + w[2][0]) / 3.0 : 0.5 * (dMinX + dMaxX)) + 0.5;
    const double cy =
        std::floor(m_bSample ? (w[0][1] + w[1][1] + w[2][1]) / 3.0 : 0.5 * (dMinY + dMaxY)) + 0.5;
    if (cx < 0.0 || cy < 0.0 || cx >= m_nSize || cy >= m_nSize || dArea == 0.0)
        return;
    const double centre[2] = {cx, cy};
    for (int k = 0; k < 3 && !m_bSample; ++k)
        if (SignedArea(w[k], w[(k + 1) % 3], centre) * dArea < 0.0)
            return;
    const double dDepth = (w[0][2] + w[1][2] + w[2][2]) / 3.0;
    const size_t nPixel = static_cast<size_t>(cy) * static_cast<size_t>(m_nSize) + static_cast<size_t>(cx);
    if (static_cast<float>(dDepth) >= m_pixels[nPixel].fDepth)
        return;
    const float* pfNormals = normals();
    float pfNormal[3], pfColor[3] = {};
    for (int i = 0; i < 3; ++i)
    {
        pfNormal[i] = pfNormals[i] + pfNormals[3 + i] + pfNormals[6 + i];
        if (m_bColors)
            pfColor[i] = (pColors[i] + pColors[3 + i] + pColors[6 + i]) / 3.0f;
    }
    KeepPixel(cx, cy, dDepth, (pPositions[2] + pPositions[5] + pPositions[8]) / 3.0, pfNormal, pfColor,
              dArea < 0.0);
}

void CThumbnailRenderer::AddPoint(const float* pPosition, const float* pColor)
{
    ApplyFrame();
    double w[3];
    Project(pPosition, w);
    const double cx = std::floor(w[0]) + 0.5, cy = std::floor(w[1]) + 0.5;
    if (cx < 0.0 || cy < 0.0 || cx >= m_nSize || cy >= m_nSize)
        return;
    // A point faces the camera, which looks down -z.
    const float pfNormal[3] = {0.0f, 0.0f, 1.0f};
    const float pfNone[3] = {};
    KeepPixel(cx, cy, w[2], pPosition[2], pfNormal, m_bColors ? pColor : pfNone, false);
}

void CThumbnailRenderer::KeepPixel(double cx, double cy, double dDepth, double dModelZ, const float* pfNormal,
                                   const float* pfColor, bool bBack)
{
    const float fDepth = static_cast<float>(dDepth);
    SPixel& pixel =
        m_pixels[static_cast<size_t>(cy) * static_cast<size_t>(m_nSize) + static_cast<size_t>(cx)];
    if (fDepth >= pixel.fDepth || fDepth < -1.0f || fDepth > 1.0f)
        return;
    pixel.fDepth = fDepth;
    pixel.bBack = bBack;
    // The point drawn for the pixel lies on its centre (at the given depth): OpenGL snaps points
    // to a sub-pixel grid, which could move one at a pixel's edge into the next.
    const double* q = m_pdProjection;
    const double ez = dModelZ - m_pdEye[2];
    pixel.pfPosition[0] =
        static_cast<float>(((2.0 * cx / m_nSize - 1.0) * -ez - q[8] * ez) / q[0] + m_pdEye[0]);
    pixel.pfPosition[1] =
        static_cast<float>(((2.0 * cy / m_nSize - 1.0) * -ez - q[9] * ez) / q[5] + m_pdEye[1]);
    pixel.pfPosition[2] = static_cast<float>(ez + m_pdEye[2]);
    std::copy_n(pfNormal, 3, pixel.pfNormal);
    std::copy_n(pfColor, 3, pixel.pfColor);
}

void CThumbnailRenderer::Flush()
{
    m_nDrawnTriangles += static_cast<int64_t>(m_positions.size() / 9);
    DrawPending(GL_TRIANGLES);
}

void CThumbnailRenderer::DrawPending(unsigned int nMode)
{
    if (m_positions.empty())
        return;
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, m_positions.data());
    glNormalPointer(GL_FLOAT, 0, m_normals.data());
    if (m_bColors)
    {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(3, GL_FLOAT, 0, m_colors.data());
    }
    glDrawArrays(nMode, 0, static_cast<GLsizei>(m_positions.size() / 3));
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    m_positions.clear();
    m_normals.clear();
    m_colors.clear();
}

void CThumbnailRenderer::DrawPixels(bool bBack)
{
    for (const SPixel& pixel : m_pixels)
    {
        if (pixel.fDepth == EMPTY_DEPTH || pixel.bBack != bBack)
            continue;
        m_positions.insert(m_positions.end(), pixel.pfPosition, pixel.pfPosition + 3);
        // A point is always lit as a front face: a back face's pixel gets the turned normal the
        // two-sided light model would give it, and the inner material (see Finish).
        const float fSign = bBack ? -1.0f : 1.0f;
        for (int i = 0; i < 3; ++i)
            m_normals.push_back(fSign * pixel.pfNormal[i]);
        if (m_bColors)
            m_colors.insert(m_colors.end(), pixel.pfColor, pixel.pfColor + 3);
    }
    // A pixel's normal is the sum of its triangle's three.
    glEnable(GL_NORMALIZE);
    DrawPending(GL_POINTS);
    glDisable(GL_NORMALIZE);
}

void CThumbnailRenderer::Finish()
{
    ApplyFrame();
    Flush();
    glPointSize(1.0f);
    DrawPixels(false);
    CViewSettings inner;
    std::copy_n(inner.m_fInnerAmbient, 3, inner.m_fOuterAmbient);
    std::copy_n(inner.m_fInnerDiffuse, 3, inner.m_fOuterDiffuse);
    std::copy_n(inner.m_fInnerSpecular, 3, inner.m_fOuterSpecular);
    inner.m_fOuterShininess = inner.m_fInnerShininess;
    SceneRenderer::ApplyMaterials(inner);
    DrawPixels(true);
    SceneRenderer::ApplyMaterials(CViewSettings());
    glFinish();
}

int64_t CThumbnailRenderer::GetKeptPixels() const
{
    return std::count_if(m_pixels.begin(), m_pixels.end(),
                         [](const SPixel& pixel) { return pixel.fDepth != EMPTY_DEPTH; });
}
