// Loading a file on the worker thread while the window goes on repainting.
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "platform/FileName.h"
#include "scene/Mesh.h"
#include "scene/MeshPreloader.h"
#include "view/GLContextGuard.h"
#include "view/TeldViewGLView.h"

namespace
{
// A load shorter than this shows no progress: the message would only flicker.
constexpr int PROGRESS_DELAY_MS = 500;
constexpr int PROGRESS_PERIOD_MS = 100;
} // namespace

bool CTeldViewGLView::LoadInBackground(CMeshPreloader& read,
                                       const std::function<bool(std::unique_ptr<CMesh>&)>& fnAdopt)
{
    ++m_nLoading;
    const QString strName = QString::fromStdString(FileNameOfPath(read.Path()));
    QElapsedTimer clock;
    clock.start();
    const auto showProgress = [&]
    {
        if (clock.elapsed() >= PROGRESS_DELAY_MS)
            emit LoadMessage(QStringLiteral("Loading %1... %2%").arg(strName).arg(read.Percent()));
    };
    if (!read.IsDone())
    {
        // The worker ends the wait through a queued call; the event loop sleeps meanwhile, so the
        // worker has the processor to itself whenever the window has nothing to do.
        QEventLoop loop;
        QTimer progress;
        connect(&progress, &QTimer::timeout, &loop, showProgress);
        progress.start(PROGRESS_PERIOD_MS);
        read.NotifyWhenDone([&loop]
                            { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); });
        loop.exec();
        // The application may also end the wait by quitting; from here on nothing calls back.
        read.NotifyWhenDone(nullptr);
    }
    std::unique_ptr<CMesh> pMesh = read.Take();
    emit ReadTaken();
    showProgress();
    bool bAdopted = false;
    {
        CGLContextGuard guard(*this);
        bAdopted = fnAdopt(pMesh);
    }
    --m_nLoading;
    emit LoadMessage(QString());
    return bAdopted;
}
