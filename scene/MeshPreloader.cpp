#include "scene/MeshPreloader.h"

#include <exception>

#include "scene/Mesh.h"

CMeshPreloader::CMeshPreloader(const std::string& strPath) : m_strPath(strPath)
{
    m_tStart = m_tEnd = std::chrono::steady_clock::now();
    try
    {
        // The mesh exists before the thread does; the worker writes it and the two times, and
        // the GUI thread reads them only after joining.
        m_pMesh = std::make_unique<CMesh>();
        m_thread = std::thread(
            [this]
            {
                m_tStart = std::chrono::steady_clock::now();
                bool bRead = false;
                try
                {
                    bRead = m_pMesh->ReadOFF(m_strPath);
                }
                catch (...)
                {
                    // Nothing may leave a thread; the caller's own read then reports the file.
                }
                if (!bRead)
                    m_pMesh.reset();
                m_tEnd = std::chrono::steady_clock::now();
            });
    }
    catch (const std::exception&)
    {
        // No thread (or no memory): the caller's own read will report the problem, if any.
        m_pMesh.reset();
    }
}

CMeshPreloader::~CMeshPreloader()
{
    Join();
}

void CMeshPreloader::Join()
{
    if (m_thread.joinable())
        m_thread.join();
}

std::unique_ptr<CMesh> CMeshPreloader::Take()
{
    Join();
    return std::move(m_pMesh);
}
