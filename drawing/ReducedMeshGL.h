#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class CMesh;

// The levels a CMeshReduction made for a mesh, drawn in its place while the view moves. Each
// level's display list is compiled when it is first drawn, and again whenever the mesh's display
// settings (render mode, shading, lighting, culling, texture, fill colour) have changed since, so
// that it always looks like the mesh as it is drawn now. Its lists belong to the drawing context's
// share group, which must be current when it is deleted.
class CReducedMeshGL
{
public:
    explicit CReducedMeshGL(std::vector<std::unique_ptr<CMesh>> levels);
    ~CReducedMeshGL();
    CReducedMeshGL(const CReducedMeshGL&) = delete;
    CReducedMeshGL& operator=(const CReducedMeshGL&) = delete;

    bool IsEmpty() const { return m_levels.empty(); }
    // Draws the largest level that sends at most dShare of what the full mesh sends (the smallest
    // level when none does) with the mesh's present settings and nTexture, its texture (which
    // stays the mesh's); returns what it sent (see CMeshReduction::DrawnItems). bCompiled is set
    // when the level's list had to be compiled first.
    int64_t Draw(const CMesh& full, uint32_t nTexture, double dShare, bool& bCompiled);
    // The level meshes, largest first.
    const CMesh& Level(size_t nLevel) const { return *m_levels[nLevel].pMesh; }
    size_t LevelCount() const { return m_levels.size(); }

private:
    struct SSettings
    {
        int32_t nRenderMode = -1;
        int32_t nShading = -1;
        bool bLighting = false;
        bool bCulling = false;
        bool bTextureOn = false;
        uint32_t nTexture = 0;
        float fFill[3] = {0.0f, 0.0f, 0.0f};
        bool operator==(const SSettings&) const = default;
    };
    static SSettings SettingsOf(const CMesh& mesh, uint32_t nTexture);

    struct SLevel
    {
        std::unique_ptr<CMesh> pMesh;
        SSettings built; // what its list was compiled for; nRenderMode -1 before the first
    };
    std::vector<SLevel> m_levels;
};
