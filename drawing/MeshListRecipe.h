#pragma once

#include <GL/glu.h>

#include <cstdint>

class CMesh;

// What a display-list build of a mesh sends per vertex and per face, fixed by the mesh's settings
// when the build starts. Lists of runs compiled for one recipe serve every build with the same
// key; the settings that only the enclosing list uses (culling, the texture name, the fill colour,
// the colour current at the build) are not part of it.
struct SListRecipe
{
    int32_t nMode = 0;
    bool bFlat = false;
    bool bLighting = true;
    bool bColors = false;
    bool bTextureOn = false;
    bool bShortcuts = true;

    static SListRecipe Of(const CMesh& mesh);
    uint32_t Key() const;
    // The parts the drawing has: 0, 1, or 2 for hidden-line drawing (its lines, then its filled
    // faces).
    int Parts() const;
    // How many items (vertices for points, faces otherwise) a part runs over.
    int32_t Items(const CMesh& mesh, int nPart) const;
};

// Sends items [nFirst, nEnd) of a part to GL, as the one-list build sends them, into the list being
// compiled on the calling thread's context. Filled faces go through pTess where the tessellator is
// needed; the caller's tessellator is used by one thread only.
void EmitRun(const CMesh& mesh, const SListRecipe& recipe, int nPart, int32_t nFirst, int32_t nEnd,
             GLUtesselator* pTess);

// A tessellator for one thread's runs, with the end callback every build relies on; null when GLU
// gives none.
GLUtesselator* NewRunTessellator();

using TessBeginFn = void (*)(GLenum);
using TessBeginDataFn = void (*)(GLenum, void*);
using TessVertexFn = void (*)(void*);

// The tessellator callbacks of a build: flat shading sends one normal per face with the begin and
// never sends vertex colours; smooth shading sends each vertex's normal.
struct STessCallbacks
{
    TessBeginFn pBegin = nullptr;
    TessBeginDataFn pBeginData = nullptr;
    TessVertexFn pVertex = nullptr;
};
STessCallbacks TessCallbacksFor(bool bFlat, bool bTextureOn, bool bColors);
// Sets both begin slots and the vertex slot (pTess may be null: nothing happens).
void RegisterTessCallbacks(GLUtesselator* pTess, const STessCallbacks& callbacks);
void RegisterTessVertexCallback(GLUtesselator* pTess, TessVertexFn pVertex);
