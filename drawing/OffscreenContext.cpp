#include "drawing/OffscreenContext.h"

// Keep X11's macros out: the surfaceless platform needs no native types.
#define EGL_NO_X11
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstring>

#include "drawing/SharedGLContext.h"

// Framebuffer objects are not part of the GL 1.x entry points libGL exports for linking, so
// they are looked up at run time.
struct COffscreenContext::SFunctions
{
    PFNGLGENFRAMEBUFFERSPROC GenFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC DeleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC BindFramebuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC CheckFramebufferStatus = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC FramebufferRenderbuffer = nullptr;
    PFNGLGENRENDERBUFFERSPROC GenRenderbuffers = nullptr;
    PFNGLDELETERENDERBUFFERSPROC DeleteRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC BindRenderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEPROC RenderbufferStorage = nullptr;

    bool Load()
    {
        return Get(GenFramebuffers, "glGenFramebuffers") && Get(DeleteFramebuffers, "glDeleteFramebuffers") &&
               Get(BindFramebuffer, "glBindFramebuffer") &&
               Get(CheckFramebufferStatus, "glCheckFramebufferStatus") &&
               Get(FramebufferRenderbuffer, "glFramebufferRenderbuffer") &&
               Get(GenRenderbuffers, "glGenRenderbuffers") &&
               Get(DeleteRenderbuffers, "glDeleteRenderbuffers") &&
               Get(BindRenderbuffer, "glBindRenderbuffer") &&
               Get(RenderbufferStorage, "glRenderbufferStorage");
    }

    template <typename T> static bool Get(T& fn, const char* pName)
    {
        fn = reinterpret_cast<T>(eglGetProcAddress(pName));
        return fn != nullptr;
    }
};

namespace
{
// Every context of the process lives on the one surfaceless display. It is initialised once and
// stays so until the process ends: eglTerminate would end the other contexts on it too, and it
// unloads the driver, which the next context would load again (tens of milliseconds) and which
// leaves the driver's own allocations unattributable by leak checkers.
EGLDisplay InitializedDisplay(std::string& strError)
{
    static std::string s_strError;
    static const EGLDisplay s_display = []() -> EGLDisplay
    {
        const char* pClientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
        if (pClientExtensions == nullptr ||
            std::strstr(pClientExtensions, "EGL_MESA_platform_surfaceless") == nullptr)
        {
            s_strError = "EGL offers no surfaceless platform (EGL_MESA_platform_surfaceless).";
            return EGL_NO_DISPLAY;
        }
        auto pGetPlatformDisplay =
            reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (pGetPlatformDisplay == nullptr)
        {
            s_strError = "eglGetPlatformDisplayEXT is not available.";
            return EGL_NO_DISPLAY;
        }
        EGLDisplay display = pGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (display == EGL_NO_DISPLAY)
        {
            s_strError = "No surfaceless EGL display.";
            return EGL_NO_DISPLAY;
        }
        EGLint nMajor = 0;
        EGLint nMinor = 0;
        if (eglInitialize(display, &nMajor, &nMinor) != EGL_TRUE)
        {
            s_strError = "eglInitialize failed on the surfaceless display.";
            return EGL_NO_DISPLAY;
        }
        return display;
    }();
    strError = s_strError;
    return s_display;
}

bool HasExtension(EGLDisplay display, const char* pName)
{
    const char* pExtensions = eglQueryString(display, EGL_EXTENSIONS);
    if (pExtensions == nullptr)
        return false;
    const size_t nLength = std::strlen(pName);
    for (const char* p = std::strstr(pExtensions, pName); p != nullptr; p = std::strstr(p + 1, pName))
        if ((p == pExtensions || p[-1] == ' ') && (p[nLength] == ' ' || p[nLength] == '\0'))
            return true;
    return false;
}

EGLContext CreateCompatibilityContext(EGLDisplay display, std::string& strError,
                                      EGLContext shareContext = EGL_NO_CONTEXT)
{
    EGLConfig config = nullptr; // EGL_NO_CONFIG_KHR
    if (!HasExtension(display, "EGL_KHR_no_config_context"))
    {
        const EGLint pConfigAttribs[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE, EGL_DONT_CARE,
                                         EGL_NONE};
        EGLint nConfigs = 0;
        if (eglChooseConfig(display, pConfigAttribs, &config, 1, &nConfigs) != EGL_TRUE || nConfigs < 1)
        {
            strError = "No EGL configuration renders desktop OpenGL.";
            return EGL_NO_CONTEXT;
        }
    }
    const EGLint pAttribs[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                               EGL_NONE};
    EGLContext context = eglCreateContext(display, config, shareContext, pAttribs);
    if (context == EGL_NO_CONTEXT)
        strError = "eglCreateContext failed for an OpenGL compatibility-profile context.";
    return context;
}

// A context sharing the offscreen context's objects, without a framebuffer of its own: lists are
// compiled there, never drawn.
class CEglSharedContext : public CSharedGLContext
{
public:
    CEglSharedContext(EGLDisplay display, EGLContext context) : m_display(display), m_context(context) {}
    ~CEglSharedContext() override { eglDestroyContext(m_display, m_context); }

    bool MakeCurrent() override
    {
        // The client API is the thread's own setting.
        return eglBindAPI(EGL_OPENGL_API) == EGL_TRUE &&
               eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, m_context) == EGL_TRUE;
    }
    void DoneCurrent() override { eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT); }

private:
    EGLDisplay m_display;
    EGLContext m_context;
};
} // namespace

COffscreenContext::COffscreenContext() = default;

COffscreenContext::~COffscreenContext()
{
    Destroy();
}

bool COffscreenContext::Fail(const std::string& strMessage)
{
    m_strError = strMessage;
    Destroy();
    return false;
}

bool COffscreenContext::Create(int nWidth, int nHeight)
{
    if (m_pContext != nullptr || m_pDisplay != nullptr)
    {
        m_strError = "The offscreen context exists already.";
        return false;
    }
    m_strError.clear();
    if (nWidth < 1 || nHeight < 1)
    {
        m_strError = "The offscreen framebuffer needs a positive width and height.";
        return false;
    }
    EGLDisplay display = InitializedDisplay(m_strError);
    if (display == EGL_NO_DISPLAY)
        return false;
    m_pDisplay = display;
    if (!HasExtension(display, "EGL_KHR_surfaceless_context"))
        return Fail("The EGL display cannot make a context current without a surface.");
    if (eglBindAPI(EGL_OPENGL_API) != EGL_TRUE)
        return Fail("EGL does not offer desktop OpenGL.");
    std::string strError;
    EGLContext context = CreateCompatibilityContext(display, strError);
    if (context == EGL_NO_CONTEXT)
        return Fail(strError);
    m_pContext = context;
    if (eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context) != EGL_TRUE)
        return Fail("eglMakeCurrent failed.");
    m_pFunctions = std::make_unique<SFunctions>();
    if (!m_pFunctions->Load())
        return Fail("The OpenGL framebuffer-object functions are not available.");
    m_nWidth = nWidth;
    m_nHeight = nHeight;
    if (!CreateFramebuffer())
        return false;
    return true;
}

bool COffscreenContext::CreateFramebuffer()
{
    GLint nMaxSize = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &nMaxSize);
    if (m_nWidth > nMaxSize || m_nHeight > nMaxSize)
        return Fail("The offscreen framebuffer is larger than OpenGL allows (" + std::to_string(nMaxSize) +
                    " pixels a side).");
    while (glGetError() != GL_NO_ERROR)
    {
    }
    const SFunctions& gl = *m_pFunctions;
    gl.GenRenderbuffers(1, &m_nColorBuffer);
    gl.BindRenderbuffer(GL_RENDERBUFFER, m_nColorBuffer);
    gl.RenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, m_nWidth, m_nHeight);
    gl.GenRenderbuffers(1, &m_nDepthBuffer);
    gl.BindRenderbuffer(GL_RENDERBUFFER, m_nDepthBuffer);
    gl.RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, m_nWidth, m_nHeight);
    gl.BindRenderbuffer(GL_RENDERBUFFER, 0);
    gl.GenFramebuffers(1, &m_nFramebuffer);
    gl.BindFramebuffer(GL_FRAMEBUFFER, m_nFramebuffer);
    gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_nColorBuffer);
    gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, m_nDepthBuffer);
    if (glGetError() != GL_NO_ERROR)
        return Fail("The offscreen framebuffer could not be allocated.");
    if (gl.CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
        return Fail("The offscreen framebuffer is incomplete.");
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glViewport(0, 0, m_nWidth, m_nHeight);
    return true;
}

std::unique_ptr<CSharedGLContext> COffscreenContext::CreateSharedContext()
{
    if (m_pContext == nullptr)
        return nullptr;
    std::string strError;
    EGLContext context = CreateCompatibilityContext(m_pDisplay, strError, m_pContext);
    if (context == EGL_NO_CONTEXT)
        return nullptr;
    return std::make_unique<CEglSharedContext>(m_pDisplay, context);
}

bool COffscreenContext::MakeCurrent()
{
    if (m_pContext == nullptr)
        return false;
    if (eglGetCurrentContext() != m_pContext &&
        eglMakeCurrent(m_pDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, m_pContext) != EGL_TRUE)
        return false;
    m_pFunctions->BindFramebuffer(GL_FRAMEBUFFER, m_nFramebuffer);
    return true;
}

void COffscreenContext::Release()
{
    if (m_pContext != nullptr && eglGetCurrentContext() == m_pContext)
        eglMakeCurrent(m_pDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

bool COffscreenContext::ReadPixels(std::vector<uint8_t>& rgba)
{
    if (!MakeCurrent())
        return false;
    rgba.resize(static_cast<size_t>(m_nWidth) * static_cast<size_t>(m_nHeight) * 4);
    // Rows of RGBA bytes are 4-aligned whatever the pack state says, but reset it anyway:
    // drawing code may have changed it.
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glFinish();
    glReadPixels(0, 0, m_nWidth, m_nHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return true;
}

void COffscreenContext::Destroy()
{
    if (m_pContext != nullptr)
    {
        // The GL objects must go while their context is current; another context of ours that
        // was current stays current afterwards.
        EGLContext previous = eglGetCurrentContext();
        EGLDisplay previousDisplay = eglGetCurrentDisplay();
        EGLSurface previousDraw = eglGetCurrentSurface(EGL_DRAW);
        EGLSurface previousRead = eglGetCurrentSurface(EGL_READ);
        if (m_pFunctions &&
            eglMakeCurrent(m_pDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, m_pContext) == EGL_TRUE)
        {
            const SFunctions& gl = *m_pFunctions;
            gl.BindFramebuffer(GL_FRAMEBUFFER, 0);
            if (m_nFramebuffer != 0)
                gl.DeleteFramebuffers(1, &m_nFramebuffer);
            if (m_nColorBuffer != 0)
                gl.DeleteRenderbuffers(1, &m_nColorBuffer);
            if (m_nDepthBuffer != 0)
                gl.DeleteRenderbuffers(1, &m_nDepthBuffer);
        }
        eglMakeCurrent(m_pDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (previous != EGL_NO_CONTEXT && previous != m_pContext)
            eglMakeCurrent(previousDisplay, previousDraw, previousRead, previous);
        eglDestroyContext(m_pDisplay, m_pContext);
        m_pContext = nullptr;
    }
    m_pDisplay = nullptr;
    m_nFramebuffer = m_nColorBuffer = m_nDepthBuffer = 0;
    m_nWidth = m_nHeight = 0;
    m_pFunctions.reset();
}
