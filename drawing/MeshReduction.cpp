#include "drawing/MeshReduction.h"

#include <meshoptimizer.h>

#include <algorithm>
#include <exception>
#include <mutex>

#include "formats/MeshParts.h"
#include "model/Mesh.h"
#include "platform/WorkDone.h"

namespace
{
// Below this many faces (or points) a mesh draws fast enough anywhere.
constexpr int64_t MIN_BIG_ITEMS = 1 << 16;
// The first level holds at most this many: what a software renderer draws in about a 30 ms frame
// on a few cores, and a modest cost in memory beside the full mesh.
constexpr int64_t FIRST_LEVEL_MAX = 1 << 19;
// No level below this: it would no longer show the shape.
constexpr int64_t LAST_LEVEL_MIN = 1 << 12;
// Faces are clustered in chunks of this many triangles: the simplifier's copies of them stay small
// beside the mesh (each chunk on a grid of its own, so a bigger mesh may show a faint seam between
// two in its reduced picture), and a stop waits for one chunk at most.
constexpr size_t CHUNK_TRIANGLES = size_t{1} << 21;
// A level that keeps more than this share of the one before is not worth its memory (edge
// collapses stop short where the surface would change too much).
constexpr double MIN_STEP = 0.9;

using CHold = std::unique_lock<std::mutex>;

// One mesh's levels are made at a time: a scene of several big meshes would otherwise hold all
// their copies for the simplifier at once. Never destroyed: a stopped thread may still hold it
// while the program ends.
std::mutex& OneAtATime()
{
    static std::mutex* const s_pMutex = new std::mutex;
    return *s_pMutex;
}

// Runs fn, the simplifier on copies of the mesh's data, with the hold on the mesh let go (see
// SWork), so that a stop need not wait for it; returns what fn returns.
template <typename Fn> size_t Unheld(CHold& hold, Fn fn)
{
    if (hold.mutex() != nullptr)
        hold.unlock();
    const size_t n = fn();
    if (hold.mutex() != nullptr)
        hold.lock();
    return n;
}

// The ids the levels are made of: where vertices share records, a record's number (one id for the
// vertices of one position and normal, so that the simplifier sees the surface joined and copies
// a few times fewer), else the vertex's own.
int32_t IdOf(const CMesh& mesh, int32_t nVertex)
{
    if (!mesh.SharesRecords())
        return nVertex;
    return static_cast<int32_t>((mesh.m_ppVertices[nVertex] - mesh.VertexPool()) / mesh.m_nRecordSize);
}

const double* RecordOf(const CMesh& mesh, int32_t nId)
{
    if (!mesh.SharesRecords())
        return mesh.m_ppVertices[nId];
    return mesh.VertexPool() + static_cast<size_t>(nId) * static_cast<size_t>(mesh.m_nRecordSize);
}

// Vertex ids of the full mesh made dense, for the simplifier: local ids, in the order first met,
// and the full mesh's id of each.
struct SCompact
{
    std::vector<uint32_t> local;
    std::vector<int32_t> vertices;
};

SCompact Compact(const std::vector<int32_t>& ids)
{
    SCompact compact;
    compact.local.resize(ids.size());
    if (ids.empty())
        return compact;
    const auto [itMin, itMax] = std::minmax_element(ids.begin(), ids.end());
    const int32_t nMin = *itMin;
    const size_t nRange = static_cast<size_t>(*itMax - nMin) + 1;
    if (nRange <= 4 * ids.size())
    {
        // Ids close together, as in files written in order (a soup always): a table over them.
        std::vector<int32_t> table(nRange, -1);
        for (size_t i = 0; i < ids.size(); ++i)
        {
            int32_t& nLocal = table[static_cast<size_t>(ids[i] - nMin)];
            if (nLocal < 0)
            {
                nLocal = static_cast<int32_t>(compact.vertices.size());
                compact.vertices.push_back(ids[i]);
            }
            compact.local[i] = static_cast<uint32_t>(nLocal);
        }
        return compact;
    }
    compact.vertices = ids;
    std::sort(compact.vertices.begin(), compact.vertices.end());
    compact.vertices.erase(std::unique(compact.vertices.begin(), compact.vertices.end()),
                           compact.vertices.end());
    for (size_t i = 0; i < ids.size(); ++i)
        compact.local[i] =
            static_cast<uint32_t>(std::lower_bound(compact.vertices.begin(), compact.vertices.end(), ids[i]) -
                                  compact.vertices.begin());
    return compact;
}

// Whether the triangle faces the way its vertices' normals do. Clustering folds a few triangles
// over: those would show their back, lit from behind, as dark specks on the surface. The ones
// beside them still cover the place.
bool FacesAsItsVertices(const CMesh& mesh, const int32_t t[3])
{
    const double* p[3] = {RecordOf(mesh, t[0]), RecordOf(mesh, t[1]), RecordOf(mesh, t[2])};
    const CVector3 a(p[0]), b(p[1]), c(p[2]);
    const CVector3 normal = (b - a).Cross(c - a);
    double dDot = 0.0;
    for (const double* pRecord : p)
        dDot += normal.Dot(CVector3(pRecord + SLOT_NORMAL));
    return dDot > 0.0;
}

// Triangles (three ids each) brought down to about nTarget, appended to result:
// clustered (bSloppy), for the first level from the full mesh, or by edge collapses, which keep the
// surface whole, for each further level from the one before (clustering what was clustered already
// would fold it over and tear it).
void Simplify(const CMesh& mesh, const std::vector<int32_t>& triangles, size_t nTarget, bool bSloppy,
              const std::atomic<bool>& bStop, CHold& hold, std::vector<int32_t>& result)
{
    const SCompact compact = Compact(triangles);
    std::vector<float> positions(compact.vertices.size() * 3);
    for (size_t v = 0; v < compact.vertices.size(); ++v)
    {
        const double* pRecord = RecordOf(mesh, compact.vertices[v]);
        for (size_t k = 0; k < 3; ++k)
            positions[3 * v + k] = static_cast<float>(pRecord[SLOT_POSITION + k]);
    }
    std::vector<uint32_t> kept(compact.local.size());
    // The error bound is left open: the count decides.
    const size_t nTargetIndices = 3 * std::max<size_t>(nTarget, 1);
    const size_t nKept = Unheld(
        hold,
        [&]
        {
            return bSloppy ? meshopt_simplifySloppy(kept.data(), compact.local.data(), compact.local.size(),
                                                    positions.data(), compact.vertices.size(),
                                                    3 * sizeof(float), nTargetIndices, 1.0f, nullptr)
                           : meshopt_simplify(kept.data(), compact.local.data(), compact.local.size(),
                                              positions.data(), compact.vertices.size(), 3 * sizeof(float),
                                              nTargetIndices, 1.0f, 0, nullptr);
        });
    // Stopped meanwhile: the mesh may be gone.
    if (bStop)
        return;
    for (size_t i = 0; i + 2 < nKept; i += 3)
    {
        const int32_t t[3] = {compact.vertices[kept[i]], compact.vertices[kept[i + 1]],
                              compact.vertices[kept[i + 2]]};
        if (!FacesAsItsVertices(mesh, t))
            continue;
        result.insert(result.end(), t, t + 3);
    }
}

// A level of the mesh: the given triangles (three ids each), or with bPoints the
// given vertices alone; null when it cannot be made.
std::unique_ptr<CMesh> LevelMesh(const CMesh& mesh, const std::vector<int32_t>& ids, bool bPoints)
{
    SCompact compact;
    if (bPoints)
        compact.vertices = ids;
    else
        compact = Compact(ids);
    SMeshParts parts;
    parts.bNormals = bPoints ? mesh.m_bHasNormals : true; // the full mesh's, computed or read
    parts.bColors = mesh.m_bHasColors;
    parts.bTexCoords = mesh.m_bHasTexCoords;
    parts.nRecordSize = mesh.m_nRecordSize;
    parts.nVertices = static_cast<int32_t>(compact.vertices.size());
    parts.nFaces = bPoints ? 0 : static_cast<int32_t>(ids.size() / 3);
    parts.nEdges = bPoints ? 0 : static_cast<int64_t>(ids.size());
    const size_t nRecord = static_cast<size_t>(mesh.m_nRecordSize);
    parts.pRecords = std::make_unique<double[]>(compact.vertices.size() * nRecord);
    for (size_t v = 0; v < compact.vertices.size(); ++v)
        std::copy_n(RecordOf(mesh, compact.vertices[v]), nRecord, parts.pRecords.get() + v * nRecord);
    parts.pFaceSizes = std::make_unique<int32_t[]>(static_cast<size_t>(parts.nFaces));
    std::fill_n(parts.pFaceSizes.get(), parts.nFaces, 3);
    if (!bPoints)
        parts.indices.assign(compact.local.begin(), compact.local.end());
    auto pLevel = std::make_unique<CMesh>();
    // Only the geometry is read here: the name and the path may change on the window's thread.
    if (!pLevel->ReadModelParts(parts, "level"))
        return nullptr;
    // It stands where the mesh stands, whichever of its outermost vertices it kept.
    pLevel->m_vBoundsMin = mesh.m_vBoundsMin;
    pLevel->m_vBoundsMax = mesh.m_vBoundsMax;
    pLevel->m_vCenter = mesh.m_vCenter;
    pLevel->m_dHalfExtent = mesh.m_dHalfExtent;
    return pLevel;
}

int64_t TriangleCount(const CMesh& mesh)
{
    int64_t nTriangles = 0;
    for (int32_t f = 0; f < mesh.m_nFaces; ++f)
        nTriangles += std::max(mesh.m_pFaceSizes[f] - 2, 0);
    return nTriangles;
}

void MakeFaceLevels(const CMesh& mesh, const std::atomic<bool>& bStop, CHold& hold,
                    std::vector<std::unique_ptr<CMesh>>& levels)
{
    const int64_t nTriangles = TriangleCount(mesh);
    const double dShare =
        std::min(0.5, static_cast<double>(FIRST_LEVEL_MAX) / static_cast<double>(nTriangles));
    // Polygons as fans, chunk by chunk, each clustered to its share of the first level.
    std::vector<int32_t> kept, chunk;
    chunk.reserve(3 * std::min(CHUNK_TRIANGLES, static_cast<size_t>(nTriangles)));
    const auto flush = [&]
    {
        const size_t nChunk = chunk.size() / 3;
        Simplify(mesh, chunk, static_cast<size_t>(static_cast<double>(nChunk) * dShare + 0.5), true, bStop,
                 hold, kept);
        chunk.clear();
    };
    // The stop first: once it is set the mesh may be gone.
    for (int32_t f = 0; !bStop && f < mesh.m_nFaces; ++f)
    {
        const int32_t* pFace = mesh.m_ppFaces[f];
        for (int32_t k = 1; k + 1 < mesh.m_pFaceSizes[f]; ++k)
            chunk.insert(chunk.end(), {IdOf(mesh, pFace[0]), IdOf(mesh, pFace[k]), IdOf(mesh, pFace[k + 1])});
        if (chunk.size() >= 3 * CHUNK_TRIANGLES)
            flush();
    }
    if (!chunk.empty() && !bStop)
        flush();
    // Each further level from the one before: it is small by then.
    size_t nBefore = static_cast<size_t>(nTriangles);
    while (!bStop && kept.size() / 3 >= static_cast<size_t>(LAST_LEVEL_MIN) &&
           static_cast<double>(kept.size() / 3) <= MIN_STEP * static_cast<double>(nBefore))
    {
        std::unique_ptr<CMesh> pLevel = LevelMesh(mesh, kept, false);
        if (!pLevel)
            break;
        levels.push_back(std::move(pLevel));
        nBefore = kept.size() / 3;
        std::vector<int32_t> next;
        Simplify(mesh, kept, nBefore / 2, false, bStop, hold, next);
        kept = std::move(next);
    }
}

void MakePointLevels(const CMesh& mesh, const std::atomic<bool>& bStop,
                     std::vector<std::unique_ptr<CMesh>>& levels)
{
    const int64_t nPoints = mesh.m_nVertices;
    int64_t nStep = 2;
    while (nPoints / nStep > FIRST_LEVEL_MAX)
        nStep *= 2;
    for (; !bStop && nPoints / nStep >= LAST_LEVEL_MIN; nStep *= 2)
    {
        std::vector<int32_t> ids;
        ids.reserve(static_cast<size_t>(nPoints / nStep + 1));
        for (int64_t i = 0; i < nPoints; i += nStep)
            ids.push_back(static_cast<int32_t>(i));
        std::unique_ptr<CMesh> pLevel = LevelMesh(mesh, ids, true);
        if (!pLevel)
            break;
        levels.push_back(std::move(pLevel));
    }
}
} // namespace

// What the thread and its owner share. The thread holds the mutex whenever it reads the mesh, and
// lets it go only around the simplifier's calls, which read copies alone and cannot be cut short:
// a stop that has held the mutex once knows the thread reads the mesh no more, and leaves it to end
// on its own.
struct CMeshReduction::SWork
{
    std::mutex mutex;
    std::atomic<bool> bStop{false};
    std::vector<std::unique_ptr<CMesh>> levels;
    CWorkDone done;
};

CMeshReduction::CMeshReduction(const CMesh& mesh) : m_pWork(std::make_shared<SWork>())
{
    try
    {
        m_thread = std::thread(
            [pWork = m_pWork, &mesh]
            {
                try
                {
                    const std::lock_guard<std::mutex> one(OneAtATime());
                    CHold hold(pWork->mutex);
                    if (!pWork->bStop)
                        pWork->levels = MakeLevels(mesh, pWork->bStop, hold);
                }
                catch (const std::exception&)
                {
                    // Memory ran out: the full mesh is drawn, as without levels.
                    pWork->levels.clear();
                }
                pWork->done.SetDone();
            });
    }
    catch (const std::exception&)
    {
        m_pWork->done.SetDone();
    }
}

CMeshReduction::~CMeshReduction()
{
    Stop();
}

bool CMeshReduction::IsDone() const
{
    return m_pWork->done.IsDone();
}

void CMeshReduction::Stop()
{
    if (!m_thread.joinable())
        return;
    m_pWork->bStop = true;
    if (IsDone())
    {
        m_thread.join();
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(m_pWork->mutex);
    }
    m_thread.detach();
}

std::vector<std::unique_ptr<CMesh>> CMeshReduction::TakeLevels()
{
    if (!IsDone() || m_pWork->bStop)
        return {};
    if (m_thread.joinable())
        m_thread.join();
    return std::move(m_pWork->levels);
}

int64_t CMeshReduction::DrawnItems(const CMesh& mesh)
{
    if (mesh.IsPointCloud() || mesh.m_nRenderMode == RENDER_POINTS)
        return mesh.m_nVertices;
    return mesh.m_nRenderMode == RENDER_HIDDEN_LINE ? 2 * int64_t{mesh.m_nFaces} : mesh.m_nFaces;
}

bool CMeshReduction::IsBig(const CMesh& mesh)
{
    return (mesh.IsPointCloud() ? mesh.m_nVertices : mesh.m_nFaces) >= MIN_BIG_ITEMS;
}

std::vector<std::unique_ptr<CMesh>> CMeshReduction::MakeLevels(const CMesh& mesh,
                                                               const std::atomic<bool>& bStop)
{
    CHold none;
    return MakeLevels(mesh, bStop, none);
}

std::vector<std::unique_ptr<CMesh>> CMeshReduction::MakeLevels(const CMesh& mesh,
                                                               const std::atomic<bool>& bStop, CHold& hold)
{
    std::vector<std::unique_ptr<CMesh>> levels;
    if (!mesh.m_bLoaded || mesh.m_ppVertices == nullptr || !IsBig(mesh))
        return levels;
    if (mesh.IsPointCloud())
        MakePointLevels(mesh, bStop, levels);
    else
        MakeFaceLevels(mesh, bStop, hold, levels);
    if (bStop)
        levels.clear();
    return levels;
}
