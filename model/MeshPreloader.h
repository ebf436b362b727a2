#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/ReadProgress.h"
#include "platform/WorkDone.h"

class CMesh;
struct SModelFormat;

// Reads a mesh file into a mesh of its own on a worker thread, so that the read overlaps what the
// caller does meanwhile: the window's start-up, or keeping the window going while a big file
// loads. The worker touches nothing but that mesh and its progress (no GL, no document). The
// thread is joined by Take and, at the latest, by the destructor, which waits for a read still
// running.
class CMeshPreloader
{
public:
    // Starts reading strPath at once, as a file of the format (CMesh::ReadModel), or as an STL file
    // in one of the modes of CMesh::ReadSTL (the STL imports). Should no thread start, the read
    // happens here and now instead.
    CMeshPreloader(const std::string& strPath, const SModelFormat& format);
    CMeshPreloader(const std::string& strPath, int nSTLMode);
    ~CMeshPreloader();
    CMeshPreloader(const CMeshPreloader&) = delete;
    CMeshPreloader& operator=(const CMeshPreloader&) = delete;

    const std::string& Path() const { return m_strPath; }
    // What it reads as: a format, or null for an STL mode.
    const SModelFormat* Format() const { return m_pFormat; }
    bool IsDone() const { return m_done.IsDone(); }
    // How far the read has come through the file, 0 to 100.
    int Percent() const { return m_progress.Percent(); }
    // Has fnDone called once the read has ended: at once, on the calling thread, when it has
    // ended already; otherwise on the worker as its last act, so fnDone must be safe to call from
    // another thread (posting an event is). A later call replaces an earlier one; null cancels,
    // and once that returns fnDone is not running and will not run.
    void NotifyWhenDone(std::function<void()> fnDone);
    // Waits for the read; the mesh when it succeeded (the caller then owns it), else null. Null
    // on every later call.
    std::unique_ptr<CMesh> Take();
    // The file's further objects, after Take, for a format of several (see CMesh::ReadModelSet);
    // empty on every later call.
    std::vector<std::unique_ptr<CMesh>> TakeOthers();
    // Why a read failed as the reader says it ("line 12: expected a vertex index"); to be asked
    // only after Take.
    const std::string& Error() const { return m_strError; }
    // When the worker began and ended its read; to be asked only after Take.
    std::chrono::steady_clock::time_point ReadStart() const { return m_tStart; }
    std::chrono::steady_clock::time_point ReadEnd() const { return m_tEnd; }

private:
    void Start();
    void Read();
    void Join();

    std::string m_strPath;
    const SModelFormat* m_pFormat = nullptr;
    int m_nSTLMode = 0;
    std::unique_ptr<CMesh> m_pMesh;
    std::vector<std::unique_ptr<CMesh>> m_others;
    std::string m_strError;
    CReadProgress m_progress;
    std::chrono::steady_clock::time_point m_tStart;
    std::chrono::steady_clock::time_point m_tEnd;
    CWorkDone m_done;
    std::thread m_thread;
};
