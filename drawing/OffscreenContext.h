#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CSharedGLContext;

// An OpenGL compatibility-profile context that needs no window and no display server: an EGL
// surfaceless Mesa context drawing into a framebuffer object of a fixed size. Used wherever GL
// must run without a window (tests, batch snapshots, benchmarks).
//
// The header includes neither EGL nor GL so that it can sit next to Qt code (EGL's platform
// header would otherwise bring in X11 macros).
class COffscreenContext
{
public:
    COffscreenContext();
    COffscreenContext(const COffscreenContext&) = delete;
    COffscreenContext& operator=(const COffscreenContext&) = delete;
    // Releases the framebuffer and the context. The process's EGL display stays initialised for
    // the next context.
    virtual ~COffscreenContext();

    // Creates the context and a width x height framebuffer (RGBA8 colour, 24-bit depth), makes
    // it current and binds the framebuffer for drawing and reading, with the viewport covering
    // it. Returns false, with the reason in GetError(), when no EGL display, context or complete
    // framebuffer can be had; nothing is left behind then. A second call on a created context
    // fails.
    bool Create(int nWidth, int nHeight);
    // Makes this context current on the calling thread with its framebuffer bound. False when
    // the context was not created or EGL refuses.
    bool MakeCurrent();
    // Leaves the calling thread without this context current, so that another thread can make it
    // current (a context is current on one thread at a time).
    void Release();
    // A context sharing this one's objects, for compiling display lists on another thread; null
    // when this context was not created or EGL refuses. It must go before this context does.
    std::unique_ptr<CSharedGLContext> CreateSharedContext();
    // Reads the whole framebuffer: width x height pixels of 4 bytes (R, G, B, A), rows
    // bottom-up as OpenGL stores them. Makes the context current first. False when the context
    // was not created.
    bool ReadPixels(std::vector<uint8_t>& rgba);

    bool IsCreated() const { return m_pContext != nullptr; }
    int GetWidth() const { return m_nWidth; }
    int GetHeight() const { return m_nHeight; }
    const std::string& GetError() const { return m_strError; }

private:
    struct SFunctions;

    bool Fail(const std::string& strMessage);
    bool CreateFramebuffer();
    void Destroy();

    void* m_pDisplay = nullptr; // EGLDisplay
    void* m_pContext = nullptr; // EGLContext
    unsigned int m_nFramebuffer = 0;
    unsigned int m_nColorBuffer = 0;
    unsigned int m_nDepthBuffer = 0;
    int m_nWidth = 0;
    int m_nHeight = 0;
    std::string m_strError;
    std::unique_ptr<SFunctions> m_pFunctions;
};
