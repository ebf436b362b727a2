#include "drawing/MeshPreparation.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <exception>
#include <mutex>

#include "drawing/MeshDrawing.h"
#include "drawing/MeshGL.h"
#include "drawing/SharedGLContext.h"
#include "model/Mesh.h"
#include "platform/OnThreads.h"

namespace
{
// Faces a thread classifies at a time: an indexed block is drawn by one call.
constexpr int32_t TRIANGLES_PER_BLOCK = 1 << 16;

// Long enough that Mesa's own cost per list stays small, short enough to share the work out.
constexpr int32_t DEFAULT_RUN_SIZE = 1 << 18;
std::atomic<int32_t> s_nRunSize{DEFAULT_RUN_SIZE};
std::atomic<bool> s_bArrayDrawing{true};

std::mutex s_mutex; // guards what follows
std::vector<CSharedGLContext*> s_contexts;
bool s_bContextsTaken = false;
std::function<void()> s_fnHook;

// One preparation at a time holds the worker contexts; another finds none.
std::vector<CSharedGLContext*> TakeContexts()
{
    const std::lock_guard<std::mutex> lock(s_mutex);
    if (s_bContextsTaken)
        return {};
    s_bContextsTaken = !s_contexts.empty();
    return s_contexts;
}

void ReturnContexts(std::vector<CSharedGLContext*>& contexts)
{
    if (contexts.empty())
        return;
    const std::lock_guard<std::mutex> lock(s_mutex);
    s_bContextsTaken = false;
    contexts.clear();
}

void CallHook()
{
    std::function<void()> fnHook;
    {
        const std::lock_guard<std::mutex> lock(s_mutex);
        fnHook = s_fnHook;
    }
    if (fnHook)
        fnHook();
}

// The items of one run list.
struct SRun
{
    int nPart;
    int32_t nFirst;
    int32_t nEnd;
};
} // namespace

void CMeshPreparation::SetWorkerContexts(std::vector<CSharedGLContext*> contexts)
{
    const std::lock_guard<std::mutex> lock(s_mutex);
    s_contexts = std::move(contexts);
}

void CMeshPreparation::SetRunSize(int32_t nItems)
{
    s_nRunSize = nItems > 0 ? nItems : DEFAULT_RUN_SIZE;
}

void CMeshPreparation::SetArrayDrawing(bool bAllowed)
{
    s_bArrayDrawing = bAllowed;
}

void CMeshPreparation::SetWorkHook(std::function<void()> fnHook)
{
    const std::lock_guard<std::mutex> lock(s_mutex);
    s_fnHook = std::move(fnHook);
}

CMeshPreparation::CMeshPreparation(const CMesh& mesh, const SListRecipe& recipe, bool bSystemMemory)
    : m_mesh(mesh), m_recipe(recipe)
{
    m_pDrawing = std::make_unique<CMeshDrawing>();
    m_pDrawing->m_nKey = recipe.Key();
    m_bArrays = bSystemMemory && s_bArrayDrawing && recipe.bShortcuts && recipe.nMode == RENDER_SHADED &&
                !recipe.bFlat && mesh.m_nFaces > 0;
    // A small mesh compiles its one list quicker than threads and contexts could help.
    bool bBig = false;
    for (int nPart = 0; nPart < recipe.Parts(); ++nPart)
        bBig = bBig || recipe.Items(mesh, nPart) >= 2 * int64_t{s_nRunSize};
    if (recipe.bShortcuts && bBig)
        m_contexts = TakeContexts();
    m_bLists = !m_contexts.empty();
}

CMeshPreparation::CMeshPreparation(CMesh& mesh, bool bSystemMemory)
    : CMeshPreparation(mesh, SListRecipe::Of(mesh), bSystemMemory)
{
    m_pTarget = &mesh;
    if (!m_bArrays && !m_bLists)
    {
        m_done.SetDone();
        return;
    }
    try
    {
        m_thread = std::thread([this] { Run(); });
    }
    catch (const std::exception&)
    {
        Run();
    }
}

CMeshPreparation::~CMeshPreparation()
{
    m_bStop = true;
    Finish();
    ReturnContexts(m_contexts);
}

std::unique_ptr<CMeshDrawing> CMeshPreparation::MakeNow(const CMesh& mesh, const SListRecipe& recipe,
                                                        bool bSystemMemory)
{
    CMeshPreparation work(mesh, recipe, bSystemMemory);
    if (!work.m_bArrays && !work.m_bLists)
        return nullptr;
    work.Run();
    // Lists of a stopped or failed compile go at once: the caller's context shares them.
    if (work.m_pDrawing && work.m_pDrawing->m_nKey == CMeshDrawing::NO_KEY)
    {
        work.m_pDrawing->DeleteLists();
        return nullptr;
    }
    return std::move(work.m_pDrawing);
}

int CMeshPreparation::Percent() const
{
    const int64_t nTotal = std::max<int64_t>(m_nWorkTotal.load(std::memory_order_relaxed), 1);
    return static_cast<int>(
        std::min<int64_t>(m_nWorkDone.load(std::memory_order_relaxed) * 100 / nTotal, 100));
}

void CMeshPreparation::NotifyWhenDone(std::function<void()> fnDone)
{
    m_done.NotifyWhenDone(std::move(fnDone));
}

void CMeshPreparation::Finish()
{
    if (m_thread.joinable())
        m_thread.join();
    if (m_pTarget != nullptr && m_pDrawing)
        CMeshGL::Of(*m_pTarget).SetPrepared(std::move(m_pDrawing));
    m_pDrawing.reset();
}

void CMeshPreparation::Run()
{
    bool bMade = false;
    try
    {
        // A soup that is not one after all is tried by its indices.
        const bool bRuns = m_bArrays && CMeshGL::DrawsSoupRuns(m_mesh);
        bMade = m_bArrays && (FindRuns(!bRuns) || (bRuns && !m_bStop && FindRuns(true)));
        if (!bMade && m_bLists && !m_bStop)
            bMade = CompileRunLists();
    }
    catch (const std::exception&)
    {
        // Memory ran out: nothing is prepared, and the build makes its own list.
        bMade = false;
    }
    // Lists that were made stay with the result, unmatchable, for a context to delete them.
    if (!bMade)
    {
        const bool bHasLists = !m_pDrawing->m_runLists[0].empty() || !m_pDrawing->m_runLists[1].empty();
        if (bHasLists)
            m_pDrawing->m_nKey = CMeshDrawing::NO_KEY;
        else
            m_pDrawing.reset();
    }
    ReturnContexts(m_contexts);
    m_done.SetDone();
}

bool CMeshPreparation::FindRuns(bool bIndexed)
{
    const int32_t nFaces = m_mesh.m_nFaces;
    const int32_t nBlocks = (nFaces + TRIANGLES_PER_BLOCK - 1) / TRIANGLES_PER_BLOCK;
    std::vector<std::vector<STriangleRun>> blockRuns(bIndexed ? 0 : static_cast<size_t>(nBlocks));
    std::vector<SIndexedBlock> indexedBlocks(bIndexed ? static_cast<size_t>(nBlocks) : 0);
    std::vector<int32_t> blockLast(static_cast<size_t>(nBlocks), -1);
    std::atomic<int32_t> nNext{0};
    std::atomic<bool> bFailed{false};
    m_nWorkDone = 0;
    m_nWorkTotal = nBlocks;
    OnThreads(WorkerThreadCount(),
              [&]
              {
                  try
                  {
                      for (int32_t b = nNext++; b < nBlocks && !bFailed && !m_bStop; b = nNext++)
                      {
                          const int32_t nFirst = b * TRIANGLES_PER_BLOCK;
                          const int32_t nEnd = std::min(nFaces, nFirst + TRIANGLES_PER_BLOCK);
                          const size_t nBlock = static_cast<size_t>(b);
                          if (!(bIndexed ? CMeshGL::FindIndexedBlock(m_mesh, nFirst, nEnd,
                                                                     indexedBlocks[nBlock], blockLast[nBlock])
                                         : CMeshGL::FindTriangleRuns(m_mesh, nFirst, nEnd, blockRuns[nBlock],
                                                                     blockLast[nBlock])))
                              bFailed = true;
                          ++m_nWorkDone;
                      }
                  }
                  catch (const std::exception&)
                  {
                      bFailed = true;
                  }
              });
    if (bFailed || m_bStop)
        return false;
    std::vector<STriangleRun>& runs = m_pDrawing->m_triangleRuns;
    for (size_t b = 0; b < blockRuns.size(); ++b)
    {
        for (const STriangleRun& run : blockRuns[b])
        {
            if (!run.bReversed && !runs.empty() && !runs.back().bReversed &&
                runs.back().nFirst + runs.back().nCount == run.nFirst)
                runs.back().nCount += run.nCount;
            else
                runs.push_back(run);
        }
    }
    for (int32_t nLast : blockLast)
        if (nLast >= 0)
            m_pDrawing->m_nLastVertex = nLast;
    m_pDrawing->m_indexedBlocks = std::move(indexedBlocks);
    m_pDrawing->m_bArrays = true;
    m_pDrawing->m_bColors = m_recipe.bColors;
    m_pDrawing->m_bTexCoords = m_recipe.bTextureOn;
    return true;
}

bool CMeshPreparation::CompileRunLists()
{
    const int32_t nRunSize = s_nRunSize;
    std::vector<SRun> runs;
    size_t nPartStart[2] = {0, 0};
    for (int nPart = 0; nPart < m_recipe.Parts(); ++nPart)
    {
        nPartStart[nPart] = runs.size();
        const int32_t nItems = m_recipe.Items(m_mesh, nPart);
        for (int32_t nFirst = 0; nFirst < nItems; nFirst += std::min(nRunSize, nItems - nFirst))
            runs.push_back({nPart, nFirst, nFirst + std::min(nRunSize, nItems - nFirst)});
        m_pDrawing->m_runLists[nPart].assign(runs.size() - nPartStart[nPart], 0);
    }
    std::atomic<size_t> nNext{0};
    std::atomic<bool> bFailed{false};
    m_nWorkDone = 0;
    m_nWorkTotal = static_cast<int64_t>(runs.size());
    const auto compile = [&](CSharedGLContext* pContext)
    {
        if (!pContext->MakeCurrent())
        {
            bFailed = true;
            return;
        }
        GLUtesselator* pTess = NewRunTessellator();
        for (size_t i = nNext++; i < runs.size() && !bFailed && !m_bStop; i = nNext++)
        {
            CallHook();
            const SRun& run = runs[i];
            const GLuint nList = glGenLists(1);
            if (nList == 0)
            {
                bFailed = true;
                break;
            }
            glNewList(nList, GL_COMPILE);
            EmitRun(m_mesh, m_recipe, run.nPart, run.nFirst, run.nEnd, pTess);
            glEndList();
            m_pDrawing->m_runLists[run.nPart][i - nPartStart[run.nPart]] = nList;
            ++m_nWorkDone;
        }
        // The lists are whole before another context calls them.
        glFinish();
        if (pTess != nullptr)
            gluDeleteTess(pTess);
        pContext->DoneCurrent();
    };
    // This thread only waits: it may have a context of its own current, which must stay so.
    std::vector<std::thread> threads;
    for (CSharedGLContext* pContext : m_contexts)
    {
        try
        {
            threads.emplace_back(compile, pContext);
        }
        catch (const std::exception&)
        {
            break;
        }
    }
    for (std::thread& thread : threads)
        thread.join();
    const bool bAll = !threads.empty() && !bFailed && !m_bStop;
    for (std::vector<uint32_t>& lists : m_pDrawing->m_runLists)
        lists.erase(std::remove(lists.begin(), lists.end(), 0u), lists.end());
    return bAll;
}
