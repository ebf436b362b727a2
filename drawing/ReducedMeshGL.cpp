#include "drawing/ReducedMeshGL.h"

#include <algorithm>

#include "drawing/MeshGL.h"
#include "drawing/MeshReduction.h"
#include "model/Mesh.h"

CReducedMeshGL::CReducedMeshGL(std::vector<std::unique_ptr<CMesh>> levels)
{
    for (std::unique_ptr<CMesh>& pLevel : levels)
        if (pLevel)
            m_levels.push_back({std::move(pLevel), {}});
}

CReducedMeshGL::~CReducedMeshGL()
{
    // The texture is the full mesh's: the levels only borrowed its name.
    for (SLevel& level : m_levels)
        if (level.pMesh->m_pGraphics)
            CMeshGL::Of(*level.pMesh).m_nTexture = 0;
}

CReducedMeshGL::SSettings CReducedMeshGL::SettingsOf(const CMesh& mesh, uint32_t nTexture)
{
    SSettings settings;
    settings.nRenderMode = mesh.m_nRenderMode;
    settings.nShading = mesh.m_nShading;
    settings.bLighting = mesh.m_bLighting;
    settings.bCulling = mesh.m_bCulling;
    settings.bTextureOn = mesh.m_bTextureOn;
    settings.nTexture = nTexture;
    std::copy_n(mesh.m_fFillColor, 3, settings.fFill);
    return settings;
}

int64_t CReducedMeshGL::Draw(const CMesh& full, uint32_t nTexture, double dShare, bool& bCompiled)
{
    if (m_levels.empty())
        return 0;
    const double dFull = static_cast<double>(CMeshReduction::DrawnItems(full));
    size_t nChosen = m_levels.size() - 1;
    for (size_t i = 0; i < m_levels.size(); ++i)
    {
        CMesh& level = *m_levels[i].pMesh;
        level.m_nRenderMode = full.m_nRenderMode;
        if (static_cast<double>(CMeshReduction::DrawnItems(level)) <= dShare * dFull)
        {
            nChosen = i;
            break;
        }
    }
    SLevel& chosen = m_levels[nChosen];
    CMesh& level = *chosen.pMesh;
    const SSettings wanted = SettingsOf(full, nTexture);
    if (!(chosen.built == wanted) || CMeshGL::ListOf(level) == 0)
    {
        level.m_nShading = full.m_nShading;
        level.m_bLighting = full.m_bLighting;
        level.m_bCulling = full.m_bCulling;
        level.m_bTextureOn = full.m_bTextureOn && level.m_bHasTexCoords;
        std::copy_n(full.m_fFillColor, 3, level.m_fFillColor);
        // Borrowed, not owned: SetTexture would delete the name it replaces.
        CMeshGL::Of(level).m_nTexture = nTexture;
        CMeshGL::Build(level);
        chosen.built = wanted;
        bCompiled = true;
    }
    CMeshGL::Draw(level);
    return CMeshReduction::DrawnItems(level);
}
