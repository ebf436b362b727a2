#pragma once

#include "model/SceneGraphics.h"

// Compiles each mesh's display list as it enters the document's scene (CMeshGL::Build), with the
// drawing context current, as the window and the offscreen pictures need it.
class CListCompiler : public CSceneGraphics
{
public:
    void MeshEntered(CMesh& mesh) override;
};
