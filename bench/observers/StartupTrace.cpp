#include "bench/observers/StartupTrace.h"

#include <sys/resource.h>

#include "gui/view/TeldViewGLView.h"
#include "model/Camera.h"
#include "model/MeshPreloader.h"
#include "model/TeldViewGLDoc.h"

void CStartupTrace::Mark(int nStep)
{
    if (Has(nStep))
        return;
    m_t[nStep] = std::chrono::steady_clock::now();
    rusage usage{};
    if (getrusage(RUSAGE_THREAD, &usage) == 0)
        m_nFaults[nStep] = usage.ru_minflt + usage.ru_majflt;
}

void CStartupTrace::ViewMade(CTeldViewGLView& view, const CTeldViewGLDoc& doc)
{
    QObject::connect(&view, &CTeldViewGLView::ReadTaken, &view, [this] { Mark(TRACE_READ_TAKEN); });
    QObject::connect(&view, &CTeldViewGLView::FrameDrawn, &view,
                     [this, &view, &doc]
                     {
                         ++m_nFrames;
                         if (doc.m_pCamera->m_pNext == nullptr)
                             return;
                         if (m_nMeshFrames++ == 0)
                         {
                             Mark(TRACE_DRAWN);
                             m_nFirstFrameMs = view.m_nFrameTime;
                         }
                     });
    QObject::connect(&view, &QOpenGLWidget::frameSwapped, &view,
                     [this]
                     {
                         if (m_nMeshFrames > 0)
                             Mark(TRACE_SWAPPED);
                     });
}

void CStartupTrace::ReadEnded(const CMeshPreloader& read)
{
    m_tReadStart = read.ReadStart();
    m_tReadEnd = read.ReadEnd();
}
