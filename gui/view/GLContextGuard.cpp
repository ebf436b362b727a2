#include "gui/view/GLContextGuard.h"

#include <QOpenGLContext>
#include <QOpenGLWidget>

CGLContextGuard::CGLContextGuard(QOpenGLWidget& widget) : m_widget(widget)
{
    QOpenGLContext* pOwn = widget.context();
    if (pOwn == nullptr || !pOwn->isValid())
        return;
    m_pPrevious = QOpenGLContext::currentContext();
    m_bWasCurrent = m_pPrevious == pOwn;
    if (m_bWasCurrent)
    {
        // Inside paintGL or a nested guard: the right context and framebuffer are bound.
        m_bCurrent = true;
        return;
    }
    if (m_pPrevious != nullptr)
        m_pPreviousSurface = m_pPrevious->surface();
    widget.makeCurrent();
    m_bCurrent = QOpenGLContext::currentContext() == pOwn;
}

CGLContextGuard::~CGLContextGuard()
{
    if (!m_bCurrent || m_bWasCurrent)
        return;
    if (m_pPrevious != nullptr && m_pPreviousSurface != nullptr)
        m_pPrevious->makeCurrent(m_pPreviousSurface);
    else
        m_widget.doneCurrent();
}
