#include "drawing/CoverageAlpha.h"

#include <GL/gl.h>

#include <initializer_list>

void WriteCoverageAlpha()
{
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    for (GLenum nCap : {GL_LIGHTING, GL_TEXTURE_2D, GL_CULL_FACE, GL_BLEND, GL_ALPHA_TEST, GL_STENCIL_TEST,
                        GL_FOG, GL_SCISSOR_TEST, GL_POLYGON_OFFSET_FILL, GL_COLOR_MATERIAL, GL_DITHER})
        glDisable(nCap);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    // A rectangle over the whole viewport, every fragment at depth exactly 1.0: it passes the
    // test only where something nearer than the cleared far value was drawn.
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glDepthFunc(GL_GREATER);
    glDepthRange(1.0, 1.0);
    glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
    glRectf(-1.0f, -1.0f, 1.0f, 1.0f);

    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
}
