#pragma once

#include <string>

class QOpenGLFunctions;

// A framebuffer object of 8-bit RGBA colour and 24-bit depth, as the window's, in the current
// context: a picture of a size other than the view's is drawn into it with the view's own display
// lists. It must go while that context is still current; it then binds again the framebuffer that
// was bound before Create.
class CPictureFramebuffer
{
public:
    CPictureFramebuffer() = default;
    ~CPictureFramebuffer();
    CPictureFramebuffer(const CPictureFramebuffer&) = delete;
    CPictureFramebuffer& operator=(const CPictureFramebuffer&) = delete;

    // Makes the framebuffer (in place of one made before) and binds it for drawing and reading. False, with
    // the reason in strReason and the old binding kept, when no context is current, a side is beyond what the
    // driver offers (GL_MAX_RENDERBUFFER_SIZE, GL_MAX_VIEWPORT_DIMS; the reason names the
    // limit), the driver runs out of memory for it, or it is incomplete.
    bool Create(int nWidth, int nHeight, std::string& strReason);

private:
    void Release();

    QOpenGLFunctions* m_pGL = nullptr;
    int m_nPrevious = 0;
    unsigned int m_nFramebuffer = 0;
    unsigned int m_nColorBuffer = 0;
    unsigned int m_nDepthBuffer = 0;
};
