// Loading a file on worker threads while the window goes on repainting: the read, then what the
// display list needs, each waited for in the event loop.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QOpenGLContext>
#include <QTimer>

#include <algorithm>
#include <thread>

#include "drawing/MeshPreparation.h"
#include "gui/view/GLContextGuard.h"
#include "gui/view/TeldViewGLView.h"
#include "gui/view/ViewWorkerContext.h"
#include "model/Camera.h"
#include "model/Mesh.h"
#include "model/MeshPreloader.h"
#include "model/TeldViewGLDoc.h"
#include "platform/FileName.h"

namespace
{
// A load shorter than this shows no progress: the message would only flicker.
constexpr int PROGRESS_DELAY_MS = 500;
constexpr int PROGRESS_PERIOD_MS = 100;
// Compiling uses every core but the one the window needs, and at least one.
constexpr unsigned MAX_WORKER_CONTEXTS = 4;
} // namespace

void CTeldViewGLView::CreateWorkerContexts()
{
    ReleaseWorkerContexts();
    QOpenGLContext* pOwn = context();
    if (pOwn == nullptr || !pOwn->isValid())
        return;
    // The workers make their contexts current on their own threads.
    QCoreApplication::setAttribute(Qt::AA_DontCheckOpenGLContextThreadAffinity);
    const unsigned nWanted = std::clamp(std::thread::hardware_concurrency(), 1u, MAX_WORKER_CONTEXTS);
    std::vector<CSharedGLContext*> contexts;
    while (m_workerContexts.size() < nWanted)
    {
        auto pContext = std::make_unique<CViewWorkerContext>(*pOwn);
        // Without sharing the lists would be lost on the view: the builds then compile alone.
        if (!pContext->IsValid())
            break;
        contexts.push_back(pContext.get());
        m_workerContexts.push_back(std::move(pContext));
    }
    CMeshPreparation::SetWorkerContexts(std::move(contexts));
}

void CTeldViewGLView::ReleaseWorkerContexts()
{
    if (m_workerContexts.empty())
        return;
    CMeshPreparation::SetWorkerContexts({});
    m_workerContexts.clear();
}

void CTeldViewGLView::WaitWithProgress(const std::function<bool()>& isDone,
                                       const std::function<void(std::function<void()>)>& notify,
                                       const std::function<int()>& percent, const QString& strFormat,
                                       const QString& strName, const QElapsedTimer& clock)
{
    const auto showProgress = [&]
    {
        if (clock.elapsed() >= PROGRESS_DELAY_MS)
            emit LoadMessage(strFormat.arg(strName).arg(percent()));
    };
    if (!isDone())
    {
        // The worker ends the wait through a queued call; the event loop sleeps meanwhile, so the
        // workers have the processor to themselves whenever the window has nothing to do.
        QEventLoop loop;
        QTimer progress;
        connect(&progress, &QTimer::timeout, &loop, showProgress);
        progress.start(PROGRESS_PERIOD_MS);
        notify([&loop] { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); });
        loop.exec();
        // The application may also end the wait by quitting; from here on nothing calls back.
        notify(nullptr);
    }
    showProgress();
}

bool CTeldViewGLView::LoadInBackground(CMeshPreloader& read, const FnAdoptLoaded& fnAdopt,
                                       const FnSettingsOf& fnSettingsOf)
{
    ++m_nLoading;
    const QString strName = QString::fromStdString(FileNameOfPath(read.Path()));
    QElapsedTimer clock;
    clock.start();
    WaitWithProgress([&] { return read.IsDone(); },
                     [&](std::function<void()> fn) { read.NotifyWhenDone(fn); },
                     [&] { return read.Percent(); }, QStringLiteral("Loading %1... %2%"), strName, clock);
    std::unique_ptr<CMesh> pMesh = read.Take();
    std::vector<std::unique_ptr<CMesh>> others = read.TakeOthers();
    emit ReadTaken();
    if (pMesh)
    {
        bool bSystemMemory = false;
        {
            CGLContextGuard guard(*this);
            bSystemMemory = guard.IsCurrent() && RendersInSystemMemory();
        }
        // The mesh is prepared for the settings it will have in the scene: replace mode's mesh
        // keeps its render mode (but a point cloud is shown as points, and the points of the
        // cloud before were not the user's choice), the rest of its settings start anew as a new
        // mesh's do.
        const CSceneObject* pReused = m_pDocument->m_bScene ? nullptr : m_pDocument->m_pCamera->m_pNext;
        if (fnSettingsOf)
        {
            for (size_t i = 0; i <= others.size(); ++i)
                if (const CMesh* pKept = fnSettingsOf(i); pKept != nullptr && (i == 0 || others[i - 1]))
                    (i == 0 ? *pMesh : *others[i - 1]).KeepDisplaySettingsOf(*pKept);
        }
        else if (pReused != nullptr && pReused->GetType() == OBJECT_MESH && pMesh->m_nFaces > 0 &&
                 !static_cast<const CMesh*>(pReused)->IsPointCloud())
            pMesh->m_nRenderMode = static_cast<const CMesh*>(pReused)->m_nRenderMode;
        // The further objects of a file of several join the scene as new meshes: each is
        // prepared in the same way, one after the other.
        for (size_t i = 0; m_bGLReady && i <= others.size(); ++i)
        {
            CMesh* pPrepared = i == 0 ? pMesh.get() : others[i - 1].get();
            if (pPrepared == nullptr)
                continue;
            CMeshPreparation preparation(*pPrepared, bSystemMemory);
            WaitWithProgress([&] { return preparation.IsDone(); },
                             [&](std::function<void()> fn) { preparation.NotifyWhenDone(fn); },
                             [&] { return preparation.Percent(); }, QStringLiteral("Preparing %1... %2%"),
                             strName, clock);
            preparation.Finish();
        }
    }
    bool bAdopted = false;
    {
        CGLContextGuard guard(*this);
        bAdopted = fnAdopt(pMesh, others);
        // Meshes left over delete what was prepared for them while the context is current.
        pMesh.reset();
        others.clear();
    }
    --m_nLoading;
    emit LoadMessage(QString());
    return bAdopted;
}
