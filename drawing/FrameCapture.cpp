#include "drawing/FrameCapture.h"

#include <GL/gl.h>

bool CaptureFramebuffer(CDib& dib)
{
    if (dib.IsEmpty() || (dib.GetBitCount() != 24 && dib.GetBitCount() != 32))
        return false;
    // Without a current context every call does nothing and this gives null.
    if (glGetString(GL_VERSION) == nullptr)
        return false;
    // Errors left by earlier calls would be taken for ours. A lost context repeats its error.
    for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i)
    {
    }
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    // The DIB's rows are padded to 4 bytes and follow each other with nothing skipped.
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_PACK_SWAP_BYTES, GL_FALSE);
    glPixelStorei(GL_PACK_LSB_FIRST, GL_FALSE);
    glReadPixels(0, 0, dib.GetWidth(), dib.GetHeight(), dib.GetBitCount() == 24 ? GL_BGR : GL_BGRA,
                 GL_UNSIGNED_BYTE, dib.GetPixels());
    glPopClientAttrib();
    return glGetError() == GL_NO_ERROR;
}
