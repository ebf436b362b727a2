#pragma once

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "drawing/ListCompiler.h"
#include "drawing/OffscreenContext.h"
#include "drawing/SceneRenderer.h"
#include "drawing/ViewSettings.h"
#include "model/Camera.h"
#include "model/Mesh.h"
#include "model/TeldViewGLDoc.h"

namespace GlTest
{
constexpr int SIZE = 64;

// The process's context, made current; null (reported as a test failure) when EGL gives none.
inline COffscreenContext* Context()
{
    // Shared by every test until the process ends: creating one costs ~0.1 s.
    static COffscreenContext context;
    static const bool bCreated = context.Create(SIZE, SIZE);
    if (!bCreated)
    {
        ADD_FAILURE() << "no offscreen GL context: " << context.GetError();
        return nullptr;
    }
    context.MakeCurrent();
    return &context;
}

// The mesh (taken over), turned so that three sides of a box face the viewer, alone in the
// default view as --snapshot draws it: its SIZE x SIZE RGB pixels.
inline std::vector<uint8_t> DrawTurnedInDefaultView(CMesh* pMesh)
{
    CListCompiler compiler;
    CTeldViewGLDoc doc;
    doc.m_pGraphics = &compiler;
    pMesh->m_qOrientation = CQuaternion(0.88, 0.28, 0.36, 0.12);
    EXPECT_TRUE(doc.AdoptMesh(pMesh, false));
    CViewSettings settings;
    SceneRenderer::SetBaselineState(settings, SIZE, SIZE);
    SceneRenderer::FitDefaultView(settings, doc);
    SceneRenderer::SetupView(settings, *doc.m_pCamera, SIZE, SIZE);
    SceneRenderer::DrawFrame(doc);
    std::vector<uint8_t> rgb(SIZE * SIZE * 3);
    glReadPixels(0, 0, SIZE, SIZE, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}
} // namespace GlTest
