// The keyframe guide list: its lines, and the state it leaves for what is drawn after it.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "GlTestSupport.h"
#include "drawing/KeyframeGuide.h"
#include "model/Camera.h"
#include "model/TeldViewGLDoc.h"

TEST(KeyframeGuideGLTest, DrawsItsLinesAndLeavesColourAndLighting)
{
    ASSERT_NE(GlTest::Context(), nullptr);
    CTeldViewGLDoc doc;
    // At the camera (half extent 0.5, so the axis line is 0.75 long), off the pixel borders.
    doc.m_pCamera->m_vPosition = CVector3(-0.51, -0.51, 0.0);
    doc.m_vKeyDirection = CVector3(0.0, 0.8, 0.0);
    doc.m_qKeyRotation = CQuaternion(std::sqrt(0.5), std::sqrt(0.5), 0.0, 0.0); // a quarter about x
    CKeyframeGuide guide;
    const GLuint nList = guide.Build(doc);
    ASSERT_NE(nList, 0u);
    EXPECT_EQ(guide.List(), nList);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_LIGHTING);
    glColor3f(0.0f, 1.0f, 0.0f);
    glCallList(nList);

    GLfloat color[4] = {};
    glGetFloatv(GL_CURRENT_COLOR, color);
    EXPECT_EQ(std::make_tuple(color[0], color[1], color[2]), std::make_tuple(0.0f, 1.0f, 0.0f));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    // An unlit square drawn next takes the colour set before the guide.
    glDisable(GL_LIGHTING);
    glRectf(0.6f, 0.6f, 0.9f, 0.9f);

    // {x, y, red, green, blue}: the white direction ahead, grey behind, the red axis, the square.
    const int rows[][5] = {
        {15, 30, 255, 255, 255}, {15, 5, 128, 128, 128}, {25, 15, 255, 0, 0}, {55, 55, 0, 255, 0}};
    for (const auto& row : rows)
    {
        uint8_t rgba[4] = {};
        glReadPixels(row[0], row[1], 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(rgba[c], row[2 + c], 1) << "pixel " << row[0] << "," << row[1] << " channel " << c;
    }
    guide.Delete();
    EXPECT_FALSE(glIsList(nList));
}
