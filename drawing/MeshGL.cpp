#include "drawing/MeshGL.h"

#include <GL/gl.h>

#include "drawing/MeshDrawing.h"
#include "drawing/MeshReduction.h"
#include "drawing/ReducedMeshGL.h"
#include "drawing/SampleCull.h"
#include "model/Mesh.h"

CMeshGL::~CMeshGL()
{
    m_pReduction.reset();
    m_pReduced.reset();
    DeleteDrawing();
    SetPrepared(nullptr);
    SetTexture(0);
}

void CMeshGL::GeometryGone()
{
    // Lists need a context to be deleted, so they wait for the next build or the destructor;
    // what reads the records stops now, the making of levels too. A list that ends an array
    // drawing stays, so that a drawing without arrays still ends what its first list began.
    for (CMeshDrawing* pDrawing : {m_pDrawing.get(), m_pPrepared.get()})
        if (pDrawing != nullptr)
        {
            pDrawing->m_triangleRuns.clear();
            pDrawing->m_indexedBlocks.clear();
            pDrawing->m_nLastVertex = -1;
        }
    if (m_pPrepared)
        m_pPrepared->m_nKey = CMeshDrawing::NO_KEY;
    m_pCull.reset();
    ForgetReduction();
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
    m_pCull.reset();
}

void CMeshGL::SetTexture(uint32_t nTexture)
{
    if (m_nTexture != 0 && m_nTexture != nTexture)
        glDeleteTextures(1, &m_nTexture);
    m_nTexture = nTexture;
}

void CMeshGL::StartReduction(const CMesh& mesh)
{
    if (m_pReduction || (m_pReduced && !m_bReducedStale) || !mesh.m_bLoaded || !CMeshReduction::IsBig(mesh))
        return;
    // Stale levels stay undrawn until the new ones replace them.
    m_pReduction = std::make_unique<CMeshReduction>(mesh);
}

void CMeshGL::ForgetReduction()
{
    m_pReduction.reset();
    m_bReducedStale = true;
}

bool CMeshGL::HasReduction() const
{
    if (m_pReduction)
        return m_pReduction->IsDone();
    return m_pReduced && !m_bReducedStale;
}

int64_t CMeshGL::DrawReduced(const CMesh& mesh, double dShare, bool& bCompiled)
{
    if (m_pReduction && m_pReduction->IsDone())
    {
        m_pReduced = std::make_unique<CReducedMeshGL>(m_pReduction->TakeLevels());
        m_pReduction.reset();
        m_bReducedStale = false;
    }
    if (m_bReducedStale)
        m_pReduced.reset();
    if (!m_pReduced || m_pReduced->IsEmpty())
        return -1;
    return m_pReduced->Draw(mesh, m_nTexture, dShare, bCompiled);
}
