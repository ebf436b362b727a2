#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class CMesh;

// Smaller versions of a big mesh, drawn in its place while the view moves on a renderer too slow
// for the whole of it. Each level is a mesh of its own with about half the items of the one before
// (faces, or points for a point cloud), made on a thread of its own after the load: the faces are
// clustered by meshoptimizer's sloppy simplifier (far faster than its edge collapses at millions of
// triangles, and on a moving picture as good), the points sampled, every k-th. A level keeps the
// records of the vertices it keeps (normals, texture coordinates, colours as they are) and the
// full mesh's bounds and centre, so that it stands, turns and is lit where the mesh is. Needs no
// GL.
class CMeshReduction
{
public:
    // Starts making the levels of mesh. Nothing may change the mesh's geometry until the work is
    // done or Stop has returned.
    explicit CMeshReduction(const CMesh& mesh);
    ~CMeshReduction();
    CMeshReduction(const CMeshReduction&) = delete;
    CMeshReduction& operator=(const CMeshReduction&) = delete;

    bool IsDone() const;
    // Ends the work early: once it returns nothing reads the mesh any more (a call of the simplifier
    // under way ends on its own, with its result thrown away).
    void Stop();
    // Once done: the levels, largest first; empty when there were none (memory ran out, stopped).
    std::vector<std::unique_ptr<CMesh>> TakeLevels();

    // What one drawing of the mesh sends, and what a frame's budget counts: its points in the
    // points mode or for a point cloud, else its faces (twice in hidden-line drawing: lines, then
    // filled faces).
    static int64_t DrawnItems(const CMesh& mesh);
    // Whether the mesh is big enough for levels: smaller ones cost a frame little.
    static bool IsBig(const CMesh& mesh);
    // The levels, made on the calling thread; bStop, when it turns true, ends the work with none.
    static std::vector<std::unique_ptr<CMesh>> MakeLevels(const CMesh& mesh, const std::atomic<bool>& bStop);

private:
    struct SWork;
    static std::vector<std::unique_ptr<CMesh>> MakeLevels(const CMesh& mesh, const std::atomic<bool>& bStop,
                                                          std::unique_lock<std::mutex>& hold);

    std::shared_ptr<SWork> m_pWork;
    std::thread m_thread;
};
