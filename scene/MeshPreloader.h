#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <thread>

class CMesh;

// Reads an OFF file (ReadOFF: parse, bounds, normals) into a mesh of its own on a worker thread,
// so that the read overlaps what the caller does meanwhile: the window's start-up. The worker
// touches nothing but that mesh (no GL, no document). The thread is joined by Take and, at the
// latest, by the destructor, which waits for a read still running.
class CMeshPreloader
{
public:
    // Starts reading strPath at once. Should no thread start, Take gives null and the caller
    // reads the file itself.
    explicit CMeshPreloader(const std::string& strPath);
    ~CMeshPreloader();
    CMeshPreloader(const CMeshPreloader&) = delete;
    CMeshPreloader& operator=(const CMeshPreloader&) = delete;

    const std::string& Path() const { return m_strPath; }
    // Waits for the read; the mesh when ReadOFF succeeded (the caller then owns it), else null.
    // Null on every later call.
    std::unique_ptr<CMesh> Take();
    // When the worker began and ended its read; to be asked only after Take.
    std::chrono::steady_clock::time_point ReadStart() const { return m_tStart; }
    std::chrono::steady_clock::time_point ReadEnd() const { return m_tEnd; }

private:
    void Join();

    std::string m_strPath;
    std::unique_ptr<CMesh> m_pMesh;
    std::chrono::steady_clock::time_point m_tStart;
    std::chrono::steady_clock::time_point m_tEnd;
    std::thread m_thread;
};
