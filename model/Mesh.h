#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "formats/MeshBuilder.h"
#include "formats/MeshParts.h"
#include "formats/MeshView.h"
#include "model/MeshGraphics.h"
#include "model/SceneObject.h"
#include "model/SoupWelder.h"

enum
{
    RENDER_POINTS = 0,
    RENDER_WIREFRAME = 1,
    RENDER_SHADED = 2,
    RENDER_HIDDEN_LINE = 4 // there is no mode 3
};

enum
{
    SHADE_FLAT = 0,
    SHADE_GOURAUD = 1
};

// A polygon model: vertex records of 6, 8 or 11 doubles (position, normal, texture coordinate,
// colour), polygonal faces of vertex indices and the per-mesh display settings. What draws it is
// the drawing layer's (m_pGraphics), which the mesh only keeps.
class CPageSink;
class CReadProgress;
struct SModelFormat;

class CMesh : public CSceneObject, private CMeshBuilder
{
public:
    CMesh();
    ~CMesh() override;
    int32_t GetType() const override { return OBJECT_MESH; }

    // Back to the empty, unloaded state (name "Invalid", path "None"); keeps the render mode,
    // culling, record size, position, centre, axes and keyframes.
    void Reset();
    // Frees the old geometry; record contents and face sizes are undefined afterwards, face
    // index entries are null.
    void Allocate(int32_t nVertices, int32_t nFaces, int32_t nEdges);
    void SetVertex(int32_t nIndex, CVector3 vPosition);
    void SetFace(int32_t nFace, int32_t nCount, const int32_t* pIndices);
    // A triangle soup in one step, as Allocate(3n, n, 3n) followed by SetVertex and SetFace for
    // every triangle k (vertices 3k, 3k+1, 3k+2 from pXyz[9k..9k+8], face [3k, 3k+1, 3k+2]) would
    // leave it, without a heap block per face. T is float or double.
    template <typename T> void SetTriangles(const T* pXyz, int32_t nTriangles);
    // After SetTriangles: exactly what Transform with the identity rows computes (positions,
    // bounds, centre, half extent, face normals, largest face, generated vertex normals), in one
    // pass, which the soup's layout allows: every vertex belongs to exactly one face.
    void CompleteTriangleSoup();
    // Face normals, m_nLargestFace and, unless they came from the file, vertex normals.
    void ComputeNormals();
    // Turns the mesh inside out: normals negated, every face's vertex order reversed.
    void Invert();
    // New positions (r0.p, r1.p, r2.p); bounds and all normals are recomputed. A matrix with a
    // negative determinant (a mirror) also reverses every face, so the outside stays outside.
    void Transform(CVector3 r0, CVector3 r1, CVector3 r2);
    void Translate(CVector3 vOffset);
    void UpdateAxes();
    // Vertex in scene coordinates; UpdateAxes must have run since the orientation changed.
    CVector3 GetWorldVertex(int32_t nIndex) const;
    // Packed 0x00BBGGRR colour.
    void SetFillColor(int32_t nColor);

    // OFF files, through the reader of formats/off (see there for pstrError). ReadOFF refuses a
    // loaded mesh and leaves the mesh untouched on any failure; a mesh read is loaded, named after
    // the file, at the origin. pProgress, when given, follows the bytes parsed (for a read on a
    // worker thread).
    bool ReadOFF(const std::string& strPath, CReadProgress* pProgress = nullptr,
                 std::string* pstrError = nullptr);
    bool ReadOFFBuffer(std::string_view buffer, const std::string& strPath,
                       CReadProgress* pProgress = nullptr, std::string* pstrError = nullptr);
    // STL files, through the reader of formats/stl, filled as the import fills the scene's mesh:
    // 3N vertices and N triangles in records of 6 doubles, normals generated, bounds, name and
    // path set, loaded, at the origin. nMode is STL_BINARY, STL_ASCII or STL_BY_CONTENT. ReadSTL
    // refuses a loaded mesh and leaves the mesh untouched on any failure, memory running out
    // included.
    bool ReadSTL(const std::string& strPath, int nMode, CReadProgress* pProgress = nullptr);
    bool ReadSTLBuffer(std::string_view buffer, int nMode, const std::string& strPath);
    // Any format of the table that has a reader, as the two above: pstrDetail as the format's
    // reader says it.
    bool ReadModel(const SModelFormat& format, const std::string& strPath, CReadProgress* pProgress = nullptr,
                   std::string* pstrDetail = nullptr);
    bool ReadModelBuffer(const SModelFormat& format, std::string_view buffer, const std::string& strPath,
                         std::string* pstrDetail = nullptr);
    // Parts a reader made elsewhere, taken as that reader would have given them (parts are left
    // empty); false for a loaded mesh.
    bool ReadModelParts(SMeshParts& parts, const std::string& strPath);
    // A file as the meshes it holds, one per object for a format of several (a scene's worth,
    // each named after its object, or after the file where there is one), one for the others;
    // meshes receives them, loaded. buffer: the file's bytes when it came through a pipe. Failures
    // as ReadModel's, with meshes left empty.
    static bool ReadModelSet(const SModelFormat& format, const std::string& strPath,
                             std::vector<std::unique_ptr<CMesh>>& meshes, CReadProgress* pProgress = nullptr,
                             std::string* pstrDetail = nullptr);
    static bool ReadModelSetBuffer(const SModelFormat& format, std::string_view buffer,
                                   const std::string& strPath, std::vector<std::unique_ptr<CMesh>>& meshes,
                                   std::string* pstrDetail = nullptr);
    // Takes over what a reader left in source: geometry, derived data, flags, record size, name,
    // path, position and the loaded state; source is left empty and unloaded. The display
    // settings, graphics (but what was made ahead from source's geometry), orientation, links and
    // keyframes stay this mesh's own, so a mesh after Reset ends up as if the reader had filled it.
    void TakeLoadedGeometry(CMesh& source);
    // The display settings of kept, the mesh whose file this one is read again from: render mode,
    // lighting, shading, culling, texture mapping and fill colour; but where one of the two is a
    // point cloud and the other not, the render mode and lighting stay as read (points were the
    // cloud's own way of showing), and texture mapping needs texture coordinates.
    void KeepDisplaySettingsOf(const CMesh& kept);
    // Takes the geometry of this mesh's file read again (source, loaded) as a reload does: as
    // TakeLoadedGeometry, but the object stays where it stands, with the display settings that
    // KeepDisplaySettingsOf gives the new geometry.
    void TakeReloadedGeometry(CMesh& source);

    // The mesh as the writers see it, placed where it stands in the scene.
    SMeshView View() const;
    // Vertices and no faces: shown as points (see ShowPointsOfCloud).
    bool IsPointCloud() const { return m_nFaces == 0 && m_nVertices > 0; }

    // Lets what draws the mesh go (the drawing context must be current when there is any).
    void ReleaseGraphics() { m_pGraphics.reset(); }
    // The records in one block, record i at i * m_nRecordSize; null without geometry. Unless they
    // are shared, vertex i's record is record i.
    const double* VertexPool() const { return m_pVertexPool.get(); }
    bool SharesRecords() const { return m_nRecords != m_nVertices; }

    // Recomputes m_vBoundsMin/Max, m_dHalfExtent and m_vCenter from the positions.
    void ComputeBounds();
    // About how much memory the geometry takes: records, faces, normals and their pointers.
    uint64_t GeometryBytes() const;

    int32_t m_nVertices = 0;
    // The records in the pool: as many as the vertices, or fewer where vertices of one position
    // and one normal share a record (a smoothed triangle soup, see CSoupWelder).
    int32_t m_nRecords = 0;
    int32_t m_nFaces = 0;
    int32_t m_nEdges = 0;
    int32_t m_nLargestFace = 0;
    int32_t m_nRecordSize = 6;
    double** m_ppVertices = nullptr;
    bool m_bHasNormals = false;
    // The generated vertex normals are smoothed across the faces that meet at one position, as
    // for a triangle soup (see CSoupWelder): Transform smooths them again.
    bool m_bWeldedNormals = false;
    bool m_bHasColors = false;
    bool m_bHasTexCoords = false;
    bool m_bTextureOn = false;
    bool m_bLighting = true;
    bool m_bCulling = false;
    int32_t m_nShading = SHADE_GOURAUD;
    int32_t m_nRenderMode = RENDER_SHADED;
    float m_fFillColor[3] = {0.0f, 0.0f, 0.0f};
    double** m_ppFaceNormals = nullptr;
    int32_t** m_ppFaces = nullptr;
    int32_t* m_pFaceSizes = nullptr;
    bool m_bLoaded = false;
    std::string m_strPath;
    CVector3 m_vAxisX;
    CVector3 m_vAxisY;
    CVector3 m_vAxisZ;
    // The drawing layer's display lists and texture for this mesh; null until it draws the mesh.
    std::unique_ptr<CMeshGraphics> m_pGraphics;

private:
    void FreeGeometry();
    void FreeFaceNormals();
    void ReverseFaces();
    // The bounding box, and the half extent and centre that follow from it.
    void SetBounds(const CVector3& vMin, const CVector3& vMax);
    // Allocate(3n, n, 3n) with every face k set to [3k, 3k+1, 3k+2]; positions are left to fill.
    void AllocateTriangles(int32_t nTriangles);
    // The same in parts, the second on a thread of its own while a reader fills the records: the
    // records, pointer and face-normal arrays, untouched, and the face arrays apart; then the face
    // and pointer arrays, and the pages of the records and face normals faulted in from the top
    // down as long as they stay a step above nReached (where the reader has come to), so that the
    // reader finds them ready.
    void AllocateTrianglesUnfilled(int32_t nTriangles);
    // The face arrays, in two steps where a sink is to hand them pages: made, each a target of
    // pSink, the array of faces returned; then completed, with that array (made now if null).
    std::unique_ptr<int32_t*[]> ReserveFaceArrays(CPageSink* pSink);
    void AllocateFaceArrays(std::unique_ptr<int32_t*[]> pReserved = nullptr);
    // The face arrays of triangles [nFirst, nEnd); FillTriangleArrays also their vertex pointers.
    void FillFaceArrays(int32_t nFirst, int32_t nEnd);
    void FillTriangleArrays(int32_t nFirst, int32_t nEnd);
    // The face arrays of a soup that is smoothed, reserved before the smoothing ends so that they
    // take the pages it frees instead of fresh ones: completed and filled.
    void AddSoupFaceArrays(std::unique_ptr<int32_t*[]> pFaces);
    // bRecords: the records are faulted in too, not only the face normals. bFill: the face and
    // pointer arrays are filled first (without, they are not there yet).
    void PrepareTriangleArrays(const std::atomic<int32_t>& nReached, bool bRecords, bool bFill);
    // Faults in the records of the triangles from nFrom (where the last call ended) to a step or two
    // past nReached; returns where that ends (the end of the soup where the system cannot).
    int32_t PrefaultRecordsAhead(int32_t nFrom, int32_t nReached);
    // CompleteTriangleSoup for triangles [nFirst, nEnd), widening the box [vMin, vMax]; then, once
    // every triangle is, the largest face and the bounds from that box. bVertexNormals: the
    // records' normals too.
    void CompleteTriangles(int32_t nFirst, int32_t nEnd, CVector3& vMin, CVector3& vMax, bool bVertexNormals);
    void FinishTriangleSoup(const CVector3& vMin, const CVector3& vMax);
    bool OwnsIndexPool(const int32_t* p) const;
    // What a failed read leaves: no geometry, no flags, the record size it found.
    void DiscardRead(int32_t nRecordSize);
    // A mesh of vertices and no faces (a point cloud) is drawn as points, unlit unless its
    // vertices have normals of their own.
    void ShowPointsOfCloud();
    // Runs a reader on this mesh as its builder: refused for a loaded mesh; a read that fails
    // leaves the mesh as it was; one that succeeds leaves it loaded, named after strPath, at the
    // origin.
    template <typename FnRead> bool ReadWith(const std::string& strPath, FnRead&& fnRead);
    // What the readers fill (see CMeshBuilder).
    void AdoptPolygons(SMeshParts& parts) override;
    double* AllocateSoup(int32_t nTriangles) override;
    void PrepareSoup(const std::atomic<int32_t>& nReached, bool bBehind) override;
    void CompleteSoup(int32_t nFirst, int32_t nEnd, CVector3& vMin, CVector3& vMax) override;
    void FinishSoup(const CVector3& vMin, const CVector3& vMax) override;

    // Records, face indices and face normals live in contiguous pools; the pointer arrays point
    // into them. SetFace may give a face an array of its own, outside the index pool.
    std::unique_ptr<double[]> m_pVertexPool;
    std::vector<int32_t> m_indexPool;
    std::unique_ptr<double[]> m_pNormalPool;
    bool m_bFilled = false; // a reader running on the mesh has given it geometry
    // Numbers a soup's positions while a reader fills it; null when there is no soup to smooth, or
    // no memory to smooth it (its normals stay the faces' own then).
    std::unique_ptr<CSoupWelder> m_pWelder;
    bool m_bWeldInline = false; // the reader's own thread numbers the soup, block by block
    // The faces numbered behind the reader; NUMBERING_ENDED once the numbering stops.
    std::atomic<int32_t> m_nNumberedFaces{0};
    static constexpr int32_t NUMBERING_ENDED = INT32_MAX;
    static constexpr int32_t MOST_FACES_BEHIND = 1 << 19;
    bool m_bWeldFailed = false;    // the numbering gave up: no memory, or too few shared positions
    uintptr_t m_nSlotsFaulted = 0; // the reader has faulted in the numbering's slots up to here
    // The generic smoothing of ComputeNormals, for a mesh with m_bWeldedNormals.
    void WeldVertexNormals();
    // Each vertex its own record again, in vertex order, for what changes records one vertex at
    // a time. False, with the mesh as it was, where there is no memory for it.
    bool UnshareRecords();
    // Every vertex belongs to one face, once, and every face has vertices.
    bool SharesNoVertex() const;
};
