// The keyframe guide overlay: what the document offers Add Keyframe as tangents, drawn at the
// current object.
#include "drawing/KeyframeGuide.h"

#include <GL/gl.h>

#include "model/SceneObject.h"
#include "model/TeldViewGLDoc.h"

namespace
{
// The arc of the rotation's sweep is drawn in this many steps.
constexpr int ARC_STEPS = 20;

void Vertex(const CVector3& v)
{
    glVertex3d(v.x, v.y, v.z);
}
} // namespace

void CKeyframeGuide::Delete()
{
    if (m_nList != 0)
    {
        glDeleteLists(m_nList, 1);
        m_nList = 0;
    }
}

uint32_t CKeyframeGuide::Build(const CTeldViewGLDoc& doc)
{
    Delete();
    const GLuint nList = glGenLists(1);
    if (nList == 0)
        return 0;
    m_nList = nList;
    const CSceneObject& object = *doc.m_pCurrentObject;
    const CVector3 p = object.m_vPosition;
    const CVector3 d = doc.m_vKeyDirection;
    const CQuaternion r = doc.m_qKeyRotation;
    const double dLength = 1.5 * object.m_dHalfExtent;

    glNewList(nList, GL_COMPILE);
    // The colour too: the lines' last colour must not reach the unlit meshes drawn after them,
    // nor lists compiled later.
    glPushAttrib(GL_LIGHTING_BIT | GL_CURRENT_BIT);
    glDisable(GL_LIGHTING);
    CVector3 axis = r.v;
    axis.Normalize();
    glBegin(GL_LINES);
    glColor3d(1.0, 1.0, 1.0);
    Vertex(p + d);
    Vertex(p);
    glColor3d(0.5, 0.5, 0.5);
    Vertex(p);
    Vertex(p - d);
    glColor3d(1.0, 0.0, 0.0);
    Vertex(p);
    Vertex(p + axis * dLength);
    glEnd();

    // From one step past B to B turned by the whole rotation, B being across the axis.
    CVector3 b = r.v.Cross(CVector3(1.0, 1.0, 1.0));
    b.Normalize();
    const CQuaternion identity;
    glBegin(GL_LINE_STRIP);
    for (int i = 1; i <= ARC_STEPS; ++i)
    {
        const double t = 0.05 * i;
        const CQuaternion s = identity.Slerp(r, t);
        CVector3 v = (s * CQuaternion(0.0, b) * s.Conjugate()).v;
        v.Normalize();
        glColor3d(t, 0.0, 0.0);
        Vertex(p + v * dLength);
    }
    glEnd();
    glPopAttrib();
    glEndList();
    return nList;
}
