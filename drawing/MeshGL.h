#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "model/MeshGraphics.h"

class CMesh;
class CMeshDrawing;
class CMeshReduction;
class CReducedMeshGL;
class CSampleCull;
struct SListRecipe;
struct STriangleRun;
struct SIndexedBlock;

// A mesh's GL objects: its display list, its texture, what the list calls or relies on, and
// what was made ahead of the next build (see CMeshPreparation). They belong to the share group of
// the drawing context, which must be current when they are deleted. The statics build and draw a
// mesh through it.
class CMeshGL : public CMeshGraphics
{
public:
    ~CMeshGL() override;
    void GeometryGone() override;
    void MoveAheadInto(std::unique_ptr<CMeshGraphics>& pTarget) override;

    // The mesh's GL objects, made empty when it has none yet.
    static CMeshGL& Of(CMesh& mesh);
    // Null when the mesh has none.
    static const CMeshGL* Find(const CMesh& mesh);
    // The names the mesh draws with; 0 when there is none.
    static uint32_t ListOf(const CMesh& mesh);
    static uint32_t TextureOf(const CMesh& mesh);

    // Compiles the display list for the mesh's present settings (replacing the one it had); needs
    // the drawing context current. Returns the list's name, 0 without a context.
    static uint32_t Build(CMesh& mesh);
    // The tessellator callbacks of a build with the mesh's settings, on the shared tessellator.
    static void SetTessCallbacks(const CMesh& mesh);
    // Draws the mesh as the last build made it: calls the display list and, for a mesh drawn from
    // its own vertex records, draws those and calls the list that ends the drawing.
    // Needs the build's context, or one sharing with it, current. Indexed blocks of a big mesh
    // are drawn without the triangles that cover no pixel centre in this frame (see CSampleCull).
    // Returns the share of the mesh's triangles sent: 1 unless some were left out.
    static double Draw(const CMesh& mesh);
    // Appends the runs in which triangles [nFirst, nEnd) of a triangle soup go to GL (see
    // STriangleRun) and sets nLastVertex to the vertex sent last, as the list build would send
    // them. False when the mesh is no soup there: a face that is not [3t, 3t+1, 3t+2].
    static bool FindTriangleRuns(const CMesh& mesh, int32_t nFirst, int32_t nEnd,
                                 std::vector<STriangleRun>& runs, int32_t& nLastVertex);
    // Whether a mesh is drawn by FindTriangleRuns: a soup whose vertices have records of their own,
    // as its first and last faces tell; every other mesh is drawn by FindIndexedBlock.
    static bool DrawsSoupRuns(const CMesh& mesh);
    // The same for any mesh: faces [nFirst, nEnd) as the records of the triangles the list build
    // would send (the fans of the faces the tessellator draws as one fan), and the record sent
    // last. False where a face needs the tessellator's sweep, or where the block's records lie too
    // far apart to be drawn by one call.
    static bool FindIndexedBlock(const CMesh& mesh, int32_t nFirst, int32_t nEnd, SIndexedBlock& block,
                                 int32_t& nLastRecord);

    // What CMeshPreparation made for the next build; the build takes it when the settings are
    // still those it was made for, and deletes it otherwise (a context must then be current).
    void SetPrepared(std::unique_ptr<CMeshDrawing> pPrepared);
    // Deletes the display list and what it calls (the context must be current).
    void DeleteDrawing();
    // Takes a new texture, deleting the one it had (the context must be current).
    void SetTexture(uint32_t nTexture);

    // Level of detail (see CMeshReduction): starts making the levels of a big loaded mesh on a
    // thread, unless they are being made or are there for its present geometry. While they are
    // made its geometry may change only after ForgetReduction (freeing it forgets them itself).
    void StartReduction(const CMesh& mesh);
    // The geometry changes in place (a transform, an inversion): the levels being made stop, those
    // made are not drawn again; StartReduction makes new ones.
    void ForgetReduction();
    // Whether the levels for the present geometry are made (a mesh may have none).
    bool HasReduction() const;
    // Draws the mesh at its largest level within dShare of its items (see CReducedMeshGL::Draw)
    // and returns what it sent; -1, having drawn nothing, when it has no levels (yet): the caller
    // draws the full mesh. bCompiled is set when a level's list was compiled on the way. Needs the
    // context current.
    int64_t DrawReduced(const CMesh& mesh, double dShare, bool& bCompiled);
    // Null until levels are ready and drawn once.
    const CReducedMeshGL* Reduced() const { return m_pReduced.get(); }

    uint32_t m_nDisplayList = 0;
    uint32_t m_nTexture = 0;
    std::unique_ptr<CMeshDrawing> m_pDrawing;     // what m_nDisplayList calls or relies on
    std::unique_ptr<CMeshDrawing> m_pPrepared;    // made ahead for the next build
    std::unique_ptr<CMeshReduction> m_pReduction; // levels being made
    std::unique_ptr<CReducedMeshGL> m_pReduced;   // levels made
    bool m_bReducedStale = false;                 // made from geometry since changed
    // The last frame's test of the indexed blocks; kept for its memory, made again every frame.
    mutable std::unique_ptr<CSampleCull> m_pCull;

private:
    // What the build for the recipe uses besides its own list: what was prepared for it, or what
    // is made now (see CMeshPreparation::MakeNow); null for a list of its own alone.
    std::unique_ptr<CMeshDrawing> DrawingFor(const CMesh& mesh, const SListRecipe& recipe);
};
