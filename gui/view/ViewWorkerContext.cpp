#include "gui/view/ViewWorkerContext.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>

CViewWorkerContext::CViewWorkerContext(QOpenGLContext& shareWith)
    : m_pSurface(std::make_unique<QOffscreenSurface>()), m_pContext(std::make_unique<QOpenGLContext>())
{
    m_pSurface->setFormat(shareWith.format());
    m_pSurface->create();
    m_pContext->setFormat(shareWith.format());
    m_pContext->setShareContext(&shareWith);
    m_pContext->create();
}

CViewWorkerContext::~CViewWorkerContext()
{
    m_pContext.reset();
    m_pSurface.reset();
}

bool CViewWorkerContext::IsValid() const
{
    return m_pSurface->isValid() && m_pContext->isValid() && m_pContext->shareContext() != nullptr;
}

bool CViewWorkerContext::MakeCurrent()
{
    return m_pContext->makeCurrent(m_pSurface.get());
}

void CViewWorkerContext::DoneCurrent()
{
    m_pContext->doneCurrent();
}
