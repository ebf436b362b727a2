#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "drawing/MeshListRecipe.h"
#include "platform/WorkDone.h"

class CMesh;
class CMeshDrawing;
class CSharedGLContext;

// Whether the current context's renderer works in system memory (Mesa's software renderers),
// where drawing a mesh from its own records costs what calling a list of it does.
bool RendersInSystemMemory();

// Makes, on other threads, what the next BuildDisplayList of a mesh needs for the mesh's present
// settings, so that the build only assembles it:
// - for a mesh shaded smoothly on a renderer in system memory, the runs (for a soup) or the
//   indexed blocks in which its triangles are drawn from its records (no GL needed, all threads
//   at once);
// - otherwise, for a big mesh, the lists of runs of its faces (or vertices), compiled in parallel
//   on the worker contexts (see SetWorkerContexts).
// Nothing may change the mesh, or compile lists for it, until the preparation is done; Finish then
// gives the mesh what was made. The destructor stops what still runs (the workers delete the lists
// they made) and waits for it.
class CMeshPreparation
{
public:
    // Starts at once. Nothing to do (a small mesh that is no soup, no worker contexts free) makes a
    // preparation that is done already.
    CMeshPreparation(CMesh& mesh, bool bSystemMemory);
    ~CMeshPreparation();
    CMeshPreparation(const CMeshPreparation&) = delete;
    CMeshPreparation& operator=(const CMeshPreparation&) = delete;

    bool IsDone() const { return m_done.IsDone(); }
    // How far the work has come, 0 to 100.
    int Percent() const;
    // As CMeshPreloader::NotifyWhenDone: fnDone runs once the work has ended, at once when it has
    // ended already, otherwise on a worker as its last act.
    void NotifyWhenDone(std::function<void()> fnDone);
    // Waits for the work, then gives the mesh what was made (nothing when the work was stopped).
    void Finish();

    // What a build makes for itself when nothing was prepared for it, in the same way, waiting for
    // it: null when the build's own list serves alone (a small mesh, no shortcuts, no workers).
    static std::unique_ptr<CMeshDrawing> MakeNow(const CMesh& mesh, const SListRecipe& recipe,
                                                 bool bSystemMemory);

    // The contexts that compile lists on other threads. Set by the owner of the drawing context
    // once it has one; cleared, with no preparation running, before it goes.
    static void SetWorkerContexts(std::vector<CSharedGLContext*> contexts);
    // Items (faces, or vertices for points) in each run list, 0 for the usual number; meshes of
    // fewer than two runs get one list of their own. Tests make the runs small.
    static void SetRunSize(int32_t nItems);
    // Whether meshes may be drawn from their records (the default); off, they get display lists as
    // on a GPU, for benchmarks and tests that need the lists.
    static void SetArrayDrawing(bool bAllowed);
    // Called by each worker context's thread before it compiles a run; tests hold the compile
    // with it. Null: none.
    static void SetWorkHook(std::function<void()> fnHook);

private:
    CMeshPreparation(const CMesh& mesh, const SListRecipe& recipe, bool bSystemMemory);
    void Run();
    // The runs of a soup's records, or with bIndexed the indexed blocks of any mesh.
    bool FindRuns(bool bIndexed);
    bool CompileRunLists();

    const CMesh& m_mesh;
    const SListRecipe m_recipe;
    CMesh* m_pTarget = nullptr; // the mesh Finish gives the result to
    std::unique_ptr<CMeshDrawing> m_pDrawing;
    std::vector<CSharedGLContext*> m_contexts; // the worker contexts this preparation holds
    bool m_bArrays = false;
    bool m_bLists = false;
    std::atomic<int64_t> m_nWorkDone{0};
    std::atomic<int64_t> m_nWorkTotal{1};
    std::atomic<bool> m_bStop{false};
    CWorkDone m_done;
    std::thread m_thread;
};
