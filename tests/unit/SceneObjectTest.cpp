#include <gtest/gtest.h>

#include <cmath>

#include "animation/OrientationKeyframe.h"
#include "animation/PositionKeyframe.h"
#include "scene/Camera.h"
#include "scene/Mesh.h"
#include "scene/SceneObject.h"

namespace
{
int g_nDeleted = 0;

class CCountedPositionKey : public CPositionKeyframe
{
public:
    ~CCountedPositionKey() override { ++g_nDeleted; }
};

class CCountedOrientationKey : public COrientationKeyframe
{
public:
    ~CCountedOrientationKey() override { ++g_nDeleted; }
};
} // namespace

TEST(SceneObject, DefaultsTypesAndMatrix)
{
    CSceneObject object;
    CCamera camera;
    CMesh mesh;
    EXPECT_EQ(object.GetType(), 0);
    EXPECT_EQ(camera.GetType(), 1);
    EXPECT_EQ(mesh.GetType(), 2);
    EXPECT_EQ(camera.m_strName, "Camera");
    EXPECT_EQ(object.m_strName, "");
    EXPECT_EQ(object.m_vBoundsMax.x, 0.5);
    EXPECT_EQ(object.m_vBoundsMin.z, -0.5);
    EXPECT_EQ(object.m_dHalfExtent, 0.5);
    EXPECT_EQ(object.m_pNext, nullptr);

    double m[16];
    object.GetMatrix(m);
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(m[k], k % 5 == 0 ? 1.0 : 0.0) << k;

    // The model matrix holds the transposed rotation: 90 degrees about z sends x to -y.
    const double h = std::sqrt(0.5);
    object.m_qOrientation = CQuaternion(h, 0, 0, h);
    object.m_vPosition = CVector3(1, 2, 3);
    object.GetMatrix(m);
    EXPECT_NEAR(m[0], 0, 1e-15);
    EXPECT_NEAR(m[1], -1, 1e-15);
    EXPECT_NEAR(m[2], 0, 1e-15);
    EXPECT_NEAR(m[4], 1, 1e-15);
    EXPECT_EQ(m[12], 1.0);
    EXPECT_EQ(m[13], 2.0);
    EXPECT_EQ(m[14], 3.0);
    EXPECT_EQ(m[3], 0.0);
    EXPECT_EQ(m[15], 1.0);
}

TEST(SceneObject, DeletesEveryKeyframeOnce)
{
    g_nDeleted = 0;
    {
        CSceneObject object;
        CPositionKeyframe* pLastPos = nullptr;
        for (int i = 0; i < 3; ++i)
        {
            auto* pKey = new CCountedPositionKey;
            (pLastPos == nullptr ? object.m_pPosKeys : pLastPos->m_pNext) = pKey;
            pKey->m_pPrev = pLastPos;
            pLastPos = pKey;
        }
        COrientationKeyframe* pLastOri = nullptr;
        for (int i = 0; i < 2; ++i)
        {
            auto* pKey = new CCountedOrientationKey;
            (pLastOri == nullptr ? object.m_pOriKeys : pLastOri->m_pNext) = pKey;
            pKey->m_pPrev = pLastOri;
            pLastOri = pKey;
        }
    }
    EXPECT_EQ(g_nDeleted, 5);
}
