#include "drawing/MeshGL.h"

#include <GL/gl.h>

#include "drawing/MeshDrawing.h"
#include "model/Mesh.h"

CMeshGL::~CMeshGL()
{
    DeleteDrawing();
    SetPrepared(nullptr);
    SetTexture(0);
}

void CMeshGL::GeometryGone()
{
    // Lists need a context to be deleted, so they wait for the next build or the destructor;
    // what reads the records stops now. A list that ends an array drawing stays, so that a
    // drawing without arrays still ends what its first list began.
    for (CMeshDrawing* pDrawing : {m_pDrawing.get(), m_pPrepared.get()})
        if (pDrawing != nullptr)
        {
            pDrawing->m_triangleRuns.clear();
            pDrawing->m_nLastVertex = -1;
        }
    if (m_pPrepared)
        m_pPrepared->m_nKey = CMeshDrawing::NO_KEY;
}

void CMeshGL::MoveAheadInto(std::unique_ptr<CMeshGraphics>& pTarget)
{
    if (!pTarget)
        pTarget = std::make_unique<CMeshGL>();
    static_cast<CMeshGL&>(*pTarget).SetPrepared(std::move(m_pPrepared));
}

CMeshGL& CMeshGL::Of(CMesh& mesh)
{
    if (!mesh.m_pGraphics)
        mesh.m_pGraphics = std::make_unique<CMeshGL>();
    return static_cast<CMeshGL&>(*mesh.m_pGraphics);
}

const CMeshGL* CMeshGL::Find(const CMesh& mesh)
{
    return static_cast<const CMeshGL*>(mesh.m_pGraphics.get());
}

uint32_t CMeshGL::ListOf(const CMesh& mesh)
{
    const CMeshGL* pGL = Find(mesh);
    return pGL != nullptr ? pGL->m_nDisplayList : 0;
}

uint32_t CMeshGL::TextureOf(const CMesh& mesh)
{
    const CMeshGL* pGL = Find(mesh);
    return pGL != nullptr ? pGL->m_nTexture : 0;
}

void CMeshGL::SetPrepared(std::unique_ptr<CMeshDrawing> pPrepared)
{
    if (m_pPrepared)
        m_pPrepared->DeleteLists();
    m_pPrepared = std::move(pPrepared);
}

void CMeshGL::DeleteDrawing()
{
    if (m_nDisplayList != 0)
    {
        glDeleteLists(m_nDisplayList, 1);
        m_nDisplayList = 0;
    }
    if (m_pDrawing)
    {
        m_pDrawing->DeleteLists();
        m_pDrawing.reset();
    }
}

void CMeshGL::SetTexture(uint32_t nTexture)
{
    if (m_nTexture != 0 && m_nTexture != nTexture)
        glDeleteTextures(1, &m_nTexture);
    m_nTexture = nTexture;
}
