#include <gtest/gtest.h>

#include <cmath>

#include "model/Camera.h"
#include "model/Mesh.h"
#include "model/OrientationKeyframe.h"
#include "model/PositionKeyframe.h"
#include "model/SceneObject.h"

namespace
{
int g_nDeleted = 0;

template <typename TKey> class TCounted : public TKey
{
public:
    ~TCounted() override { ++g_nDeleted; }
};
} // namespace

TEST(SceneObject, TypesDifferAndTheMatrixHoldsThePose)
{
    CSceneObject object;
    EXPECT_TRUE(CCamera().GetType() != object.GetType() && CMesh().GetType() != CCamera().GetType());
    // The model matrix holds the transposed rotation: 90 degrees about z sends x to -y.
    object.m_qOrientation = CQuaternion(std::sqrt(0.5), 0, 0, std::sqrt(0.5));
    object.m_vPosition = CVector3(1, 2, 3);
    double m[16];
    object.GetMatrix(m);
    const double expected[16] = {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1};
    for (int k = 0; k < 16; ++k)
        EXPECT_NEAR(m[k], expected[k], 1e-15) << k;
}

TEST(SceneObject, DeletesEveryKeyframeOnce)
{
    g_nDeleted = 0;
    {
        CSceneObject object;
        for (int i = 0; i < 3; ++i)
        {
            auto* pPos = new TCounted<CPositionKeyframe>;
            auto* pOri = new TCounted<COrientationKeyframe>;
            pPos->m_nTime = pOri->m_nTime = i * 10;
            object.AddPositionKey(pPos);
            object.AddOrientationKey(pOri);
        }
        EXPECT_EQ(g_nDeleted, 0);
    }
    EXPECT_EQ(g_nDeleted, 6);
}
