#pragma once

class QOpenGLWidget;
class QOpenGLContext;
class QSurface;

// Makes a view's GL context current for a scope and gives the previous one back afterwards.
// After any repaint of the window another context may be current, so every GL call outside
// initializeGL/paintGL runs under one of these. Before the view has a context (it gets one
// when first shown) IsCurrent() is false and GL calls must be skipped.
class CGLContextGuard
{
public:
    explicit CGLContextGuard(QOpenGLWidget& widget);
    ~CGLContextGuard();
    CGLContextGuard(const CGLContextGuard&) = delete;
    CGLContextGuard& operator=(const CGLContextGuard&) = delete;

    bool IsCurrent() const { return m_bCurrent; }

private:
    QOpenGLWidget& m_widget;
    QOpenGLContext* m_pPrevious = nullptr;
    QSurface* m_pPreviousSurface = nullptr;
    bool m_bCurrent = false;
    bool m_bWasCurrent = false;
};
