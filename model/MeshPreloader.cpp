#include "model/MeshPreloader.h"

#include <exception>

#include "formats/ModelFormat.h"
#include "model/Mesh.h"

CMeshPreloader::CMeshPreloader(const std::string& strPath, const SModelFormat& format)
    : m_strPath(strPath), m_pFormat(&format)
{
    Start();
}

CMeshPreloader::CMeshPreloader(const std::string& strPath, int nSTLMode)
    : m_strPath(strPath), m_nSTLMode(nSTLMode)
{
    Start();
}

void CMeshPreloader::Start()
{
    m_tStart = m_tEnd = std::chrono::steady_clock::now();
    try
    {
        // The mesh exists before the thread does; the worker writes it and the two times, and
        // the calling thread reads them only after joining.
        m_pMesh = std::make_unique<CMesh>();
        m_thread = std::thread([this] { Read(); });
    }
    catch (const std::exception&)
    {
        // No thread: read here; no memory: the caller's own read will report the problem.
        if (m_pMesh && !m_thread.joinable())
            Read();
        else
        {
            m_pMesh.reset();
            m_done.SetDone();
        }
    }
}

CMeshPreloader::~CMeshPreloader()
{
    Join();
}

void CMeshPreloader::Read()
{
    m_tStart = std::chrono::steady_clock::now();
    bool bRead = false;
    try
    {
        if (m_pFormat != nullptr && m_pFormat->fnReadSet != nullptr)
        {
            bRead = CMesh::ReadModelSet(*m_pFormat, m_strPath, m_others, &m_progress, &m_strError);
            if (bRead)
            {
                m_pMesh = std::move(m_others.front());
                m_others.erase(m_others.begin());
            }
        }
        else
            bRead = m_pFormat != nullptr ? m_pMesh->ReadModel(*m_pFormat, m_strPath, &m_progress, &m_strError)
                                         : m_pMesh->ReadSTL(m_strPath, m_nSTLMode, &m_progress);
    }
    catch (...)
    {
        // Nothing may leave a thread; a failed read reports itself to the caller as no mesh.
    }
    if (bRead)
        m_progress.Finish();
    else
    {
        m_pMesh.reset();
        m_others.clear();
    }
    m_tEnd = std::chrono::steady_clock::now();
    m_done.SetDone();
}

void CMeshPreloader::NotifyWhenDone(std::function<void()> fnDone)
{
    m_done.NotifyWhenDone(std::move(fnDone));
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

std::vector<std::unique_ptr<CMesh>> CMeshPreloader::TakeOthers()
{
    Join();
    std::vector<std::unique_ptr<CMesh>> others;
    others.swap(m_others);
    return others;
}
