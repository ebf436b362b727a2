#include "gui/view/PictureFramebuffer.h"

#include <QOpenGLContext>
#include <QOpenGLFunctions>

#include <algorithm>
#include <cstdio>

namespace
{
std::string Hex(GLenum nValue)
{
    char szText[16];
    std::snprintf(szText, sizeof szText, "0x%04X", nValue);
    return szText;
}

std::string Size(int nWidth, int nHeight)
{
    return std::to_string(nWidth) + " x " + std::to_string(nHeight) + " pixels";
}
} // namespace

CPictureFramebuffer::~CPictureFramebuffer()
{
    Release();
}

bool CPictureFramebuffer::Create(int nWidth, int nHeight, std::string& strReason)
{
    Release();
    QOpenGLContext* pContext = QOpenGLContext::currentContext();
    if (pContext == nullptr)
    {
        strReason = "no drawing context";
        return false;
    }
    QOpenGLFunctions& gl = *pContext->functions();
    GLint nMaxSide = 0;
    GLint maxViewport[2] = {0, 0};
    gl.glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &nMaxSide);
    gl.glGetIntegerv(GL_MAX_VIEWPORT_DIMS, maxViewport);
    const int nMaxWidth = std::min(nMaxSide, maxViewport[0]), nMaxHeight = std::min(nMaxSide, maxViewport[1]);
    if (nWidth < 1 || nHeight < 1 || nWidth > nMaxWidth || nHeight > nMaxHeight)
    {
        strReason = "cannot draw " + Size(nWidth, nHeight) + "; the graphics driver offers at most " +
                    Size(nMaxWidth, nMaxHeight);
        return false;
    }
    // Errors left by earlier calls would be taken for ours.
    for (int i = 0; i < 32 && gl.glGetError() != GL_NO_ERROR; ++i)
    {
    }
    m_pGL = &gl;
    gl.glGetIntegerv(GL_FRAMEBUFFER_BINDING, &m_nPrevious);
    gl.glGenRenderbuffers(1, &m_nColorBuffer);
    gl.glBindRenderbuffer(GL_RENDERBUFFER, m_nColorBuffer);
    gl.glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, nWidth, nHeight);
    gl.glGenRenderbuffers(1, &m_nDepthBuffer);
    gl.glBindRenderbuffer(GL_RENDERBUFFER, m_nDepthBuffer);
    gl.glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, nWidth, nHeight);
    gl.glBindRenderbuffer(GL_RENDERBUFFER, 0);
    // The storage is where the memory runs out: ask before attaching it.
    if (const GLenum nError = gl.glGetError(); nError != GL_NO_ERROR)
    {
        strReason = nError == GL_OUT_OF_MEMORY
                        ? "the graphics driver has not enough memory for " + Size(nWidth, nHeight)
                        : "the graphics driver refused a framebuffer of " + Size(nWidth, nHeight) +
                              " (OpenGL error " + Hex(nError) + ")";
        Release();
        return false;
    }
    gl.glGenFramebuffers(1, &m_nFramebuffer);
    gl.glBindFramebuffer(GL_FRAMEBUFFER, m_nFramebuffer);
    gl.glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_nColorBuffer);
    gl.glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, m_nDepthBuffer);
    if (const GLenum nStatus = gl.glCheckFramebufferStatus(GL_FRAMEBUFFER);
        nStatus != GL_FRAMEBUFFER_COMPLETE)
    {
        strReason = "the graphics driver cannot draw into a framebuffer of " + Size(nWidth, nHeight) +
                    " (status " + Hex(nStatus) + ")";
        Release();
        return false;
    }
    return true;
}

void CPictureFramebuffer::Release()
{
    if (m_pGL == nullptr)
        return;
    m_pGL->glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(m_nPrevious));
    // Names of 0 are ignored.
    m_pGL->glDeleteFramebuffers(1, &m_nFramebuffer);
    m_pGL->glDeleteRenderbuffers(1, &m_nColorBuffer);
    m_pGL->glDeleteRenderbuffers(1, &m_nDepthBuffer);
    m_nFramebuffer = m_nColorBuffer = m_nDepthBuffer = 0;
    m_pGL = nullptr;
}
