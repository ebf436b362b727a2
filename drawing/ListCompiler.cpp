#include "drawing/ListCompiler.h"

#include "drawing/MeshGL.h"

void CListCompiler::MeshEntered(CMesh& mesh)
{
    CMeshGL::Build(mesh);
}
