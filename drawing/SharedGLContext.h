#pragma once

// A GL context that shares its objects (display lists above all) with the context that draws, so
// that lists can be compiled on another thread. The owner of the drawing context makes and
// destroys it on its own thread; a worker makes it current, compiles and releases it, one worker
// at a time.
class CSharedGLContext
{
public:
    CSharedGLContext() = default;
    CSharedGLContext(const CSharedGLContext&) = delete;
    CSharedGLContext& operator=(const CSharedGLContext&) = delete;
    virtual ~CSharedGLContext() = default;

    // On the worker: false when the context cannot be made current there.
    virtual bool MakeCurrent() = 0;
    virtual void DoneCurrent() = 0;
};
