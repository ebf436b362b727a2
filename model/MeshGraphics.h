#pragma once

#include <memory>

// What a drawing layer keeps for a mesh: its display lists, its texture, what was made ahead of
// its next build. The mesh owns it and lets it go with its drawing (Reset, ReleaseGraphics); the
// model itself draws nothing and knows nothing of what is kept. Whatever the object holds must be
// deleted with the drawing context current, so a mesh that has one is deleted with it current.
class CMeshGraphics
{
public:
    CMeshGraphics() = default;
    CMeshGraphics(const CMeshGraphics&) = delete;
    CMeshGraphics& operator=(const CMeshGraphics&) = delete;
    virtual ~CMeshGraphics() = default;

    // The geometry it was made from is gone: nothing may read the mesh's records any more.
    virtual void GeometryGone() = 0;
    // The geometry it was made for moves to another mesh (CMesh::TakeLoadedGeometry): what was
    // made ahead from it goes along into *pTarget, which it may create.
    virtual void MoveAheadInto(std::unique_ptr<CMeshGraphics>& pTarget) = 0;
};
