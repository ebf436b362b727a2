#pragma once

#include <memory>

#include "drawing/SharedGLContext.h"

class QOffscreenSurface;
class QOpenGLContext;

// A context that shares the view's objects, on an offscreen surface of its own, so that a worker
// thread can compile display lists while the view goes on drawing. Made and destroyed on the GUI
// thread; Qt's check that a context is made current only on its own thread must be off
// (Qt::AA_DontCheckOpenGLContextThreadAffinity).
class CViewWorkerContext : public CSharedGLContext
{
public:
    explicit CViewWorkerContext(QOpenGLContext& shareWith);
    ~CViewWorkerContext() override;

    // Whether the context exists and shares the view's objects.
    bool IsValid() const;
    bool MakeCurrent() override;
    void DoneCurrent() override;

private:
    std::unique_ptr<QOffscreenSurface> m_pSurface;
    std::unique_ptr<QOpenGLContext> m_pContext;
};
