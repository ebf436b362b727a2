// Keyframe lists, their evaluation and the keyframe text records.
#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <locale>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "animation/OrientationKeyframe.h"
#include "animation/PositionKeyframe.h"
#include "formats/TokenReader.h"
#include "scene/Camera.h"
#include "scene/SceneObject.h"
#include "scene/TeldViewGLDoc.h"

namespace
{
CPositionKeyframe* PosKey(int32_t nTime, CVector3 vPosition, CVector3 vDirection = CVector3())
{
    auto* pKey = new CPositionKeyframe;
    pKey->m_nTime = nTime;
    pKey->m_vPosition = vPosition;
    pKey->m_vDirection = vDirection;
    return pKey;
}

COrientationKeyframe* OriKey(int32_t nTime, CQuaternion qOrientation, CQuaternion qRotation = CQuaternion())
{
    auto* pKey = new COrientationKeyframe;
    pKey->m_nTime = nTime;
    pKey->m_qOrientation = qOrientation;
    pKey->m_qRotation = qRotation;
    return pKey;
}

std::vector<int32_t> PosTimes(const CSceneObject& object)
{
    std::vector<int32_t> times;
    const CPositionKeyframe* pPrev = nullptr;
    for (const CPositionKeyframe* p = object.m_pPosKeys; p != nullptr; p = p->m_pNext)
    {
        EXPECT_EQ(p->m_pPrev, pPrev) << "broken back link at " << p->m_nTime;
        times.push_back(p->m_nTime);
        pPrev = p;
    }
    return times;
}

void ExpectQuaternion(const CQuaternion& q, double w, double x, double y, double z)
{
    EXPECT_NEAR(q.w, w, 1e-9);
    EXPECT_NEAR(q.v.x, x, 1e-9);
    EXPECT_NEAR(q.v.y, y, 1e-9);
    EXPECT_NEAR(q.v.z, z, 1e-9);
}

std::string WriteRecord(const CKeyframe& key)
{
    std::ostringstream out;
    key.Write(out);
    return out.str();
}
} // namespace

TEST(KeyframeList, InsertionSortsAndReplacesAtEqualTime)
{
    CSceneObject object;
    EXPECT_EQ(object.CountPositionKeys(), 0);
    object.AddPositionKey(PosKey(30, CVector3(3, 0, 0)));
    object.AddPositionKey(PosKey(10, CVector3(1, 0, 0)));
    object.AddPositionKey(PosKey(20, CVector3(2, 0, 0)));
    EXPECT_EQ(PosTimes(object), (std::vector<int32_t>{10, 20, 30}));
    EXPECT_EQ(object.m_pCurPosKey->m_nTime, 20);

    // Replacing the head, a middle key and the tail keeps the count and takes the new values.
    for (int32_t nTime : {10, 20, 30})
    {
        CPositionKeyframe* pNew = PosKey(nTime, CVector3(0, nTime, 0));
        object.AddPositionKey(pNew);
        EXPECT_EQ(object.m_pCurPosKey, pNew);
    }
    EXPECT_EQ(object.CountPositionKeys(), 3);
    EXPECT_EQ(PosTimes(object), (std::vector<int32_t>{10, 20, 30}));
    for (const CPositionKeyframe* p = object.m_pPosKeys; p != nullptr; p = p->m_pNext)
        EXPECT_EQ(p->m_vPosition.y, p->m_nTime);

    // A key before the head after the cursor has moved to the end.
    object.AddPositionKey(PosKey(40, CVector3()));
    object.AddPositionKey(PosKey(-5, CVector3()));
    EXPECT_EQ(PosTimes(object), (std::vector<int32_t>{-5, 10, 20, 30, 40}));
    EXPECT_EQ(object.m_pPosKeys->m_nTime, -5);

    // The orientation list is separate and behaves alike.
    object.AddOrientationKey(OriKey(5, CQuaternion()));
    object.AddOrientationKey(OriKey(5, CQuaternion(0, 0, 0, 1)));
    EXPECT_EQ(object.CountOrientationKeys(), 1);
    EXPECT_EQ(object.m_pOriKeys->m_qOrientation.v.z, 1.0);

    // Inserting a key that is already in the list must not destroy it.
    CPositionKeyframe* pHead = object.m_pPosKeys;
    object.AddPositionKey(pHead);
    EXPECT_EQ(object.m_pPosKeys, pHead);
    EXPECT_EQ(object.CountPositionKeys(), 5);
}

TEST(KeyframeList, PositionEvaluation)
{
    CSceneObject object;
    object.m_vPosition = CVector3(7, 7, 7);
    EXPECT_FALSE(object.EvaluatePosition(10)); // no keys: the pose stays
    EXPECT_EQ(object.m_vPosition.x, 7.0);

    object.AddPositionKey(PosKey(0, CVector3(0, 0, 0)));
    object.AddPositionKey(PosKey(100, CVector3(10, 0, 0)));
    struct
    {
        int32_t nTime;
        double dX;
        bool bInProgress;
    } const cases[] = {{50, 5.0, true},    {25, 1.5625, true},  {99, 9.99702, true},
                       {100, 10.0, false}, {1000, 10.0, false}, {0, 0.0, true}};
    for (const auto& c : cases)
    {
        EXPECT_EQ(object.EvaluatePosition(c.nTime), c.bInProgress) << "t = " << c.nTime;
        EXPECT_NEAR(object.m_vPosition.x, c.dX, 1e-6) << "t = " << c.nTime;
        EXPECT_EQ(object.m_vPosition.y, 0.0);
    }
    // At a key's own time the value is exact.
    object.EvaluatePosition(100);
    EXPECT_EQ(object.m_vPosition.x, 10.0);
}

TEST(KeyframeList, PositionTangentsAndExtrapolation)
{
    // The curve leaves towards position + direction and arrives from position - direction:
    // control points 0, 3, 7, 10 at u = 0.25 give 2.40625.
    CSceneObject object;
    object.AddPositionKey(PosKey(0, CVector3(0, 0, 0), CVector3(3, 0, 0)));
    object.AddPositionKey(PosKey(100, CVector3(10, 0, 0), CVector3(3, 0, 0)));
    EXPECT_TRUE(object.EvaluatePosition(25));
    EXPECT_NEAR(object.m_vPosition.x, 2.40625, 1e-12);

    // Before the first key the first curve runs backwards (u = -0.5): 10 * (3u^2 - 2u^3) = 10.
    CSceneObject early;
    early.AddPositionKey(PosKey(50, CVector3(0, 0, 0)));
    early.AddPositionKey(PosKey(150, CVector3(10, 0, 0)));
    EXPECT_TRUE(early.EvaluatePosition(0));
    EXPECT_NEAR(early.m_vPosition.x, 10.0, 1e-12);
    EXPECT_TRUE(early.EvaluatePosition(25)); // u = -0.25: 10 * (0.1875 + 0.03125)
    EXPECT_NEAR(early.m_vPosition.x, 2.1875, 1e-12);

    // A single key is copied at every time and the animation is never in progress.
    CSceneObject single;
    single.AddPositionKey(PosKey(500, CVector3(1, 2, 3)));
    EXPECT_FALSE(single.EvaluatePosition(-100000));
    EXPECT_EQ(single.m_vPosition.z, 3.0);

    // Extreme times must not overflow the interval arithmetic.
    CSceneObject wide;
    wide.AddPositionKey(PosKey(INT32_MIN, CVector3(0, 0, 0)));
    wide.AddPositionKey(PosKey(INT32_MAX, CVector3(10, 0, 0)));
    EXPECT_TRUE(wide.EvaluatePosition(0));
    EXPECT_NEAR(wide.m_vPosition.x, 5.0, 1e-6);
}

TEST(KeyframeList, CursorMovingBackGivesFreshResult)
{
    auto fill = [](CSceneObject& o)
    {
        o.AddPositionKey(PosKey(0, CVector3(0, 0, 0), CVector3(1, 2, 0)));
        o.AddPositionKey(PosKey(50, CVector3(4, 1, 0), CVector3(0, 1, 1)));
        o.AddPositionKey(PosKey(100, CVector3(10, 0, 0)));
        o.AddOrientationKey(OriKey(0, CQuaternion()));
        o.AddOrientationKey(OriKey(50, CQuaternion(0.7071067811865476, 0, 0, 0.7071067811865476)));
        o.AddOrientationKey(OriKey(100, CQuaternion(0, 0, 0, 1)));
    };
    CSceneObject walked, fresh;
    fill(walked);
    fill(fresh);
    walked.EvaluatePosition(80);
    walked.EvaluateOrientation(80);
    EXPECT_EQ(walked.m_pCurPosKey->m_nTime, 50);
    walked.EvaluatePosition(30);
    walked.EvaluateOrientation(30);
    fresh.m_pCurPosKey = fresh.m_pPosKeys;
    fresh.m_pCurOriKey = fresh.m_pOriKeys;
    fresh.EvaluatePosition(30);
    fresh.EvaluateOrientation(30);
    EXPECT_EQ(walked.m_pCurPosKey, walked.m_pPosKeys);
    EXPECT_EQ(walked.m_vPosition.x, fresh.m_vPosition.x);
    EXPECT_EQ(walked.m_vPosition.y, fresh.m_vPosition.y);
    EXPECT_EQ(walked.m_vPosition.z, fresh.m_vPosition.z);
    ExpectQuaternion(walked.m_qOrientation, fresh.m_qOrientation.w, fresh.m_qOrientation.v.x,
                     fresh.m_qOrientation.v.y, fresh.m_qOrientation.v.z);
}

TEST(KeyframeList, OrientationEvaluation)
{
    const double c45 = 0.7071067811865476;
    CSceneObject object;
    object.AddOrientationKey(OriKey(0, CQuaternion(1, 0, 0, 0)));
    object.AddOrientationKey(OriKey(100, CQuaternion(0, 0, 0, 1)));
    EXPECT_TRUE(object.EvaluateOrientation(50));
    ExpectQuaternion(object.m_qOrientation, c45, 0, 0, c45); // 90 degrees about z
    EXPECT_FALSE(object.EvaluateOrientation(100));
    ExpectQuaternion(object.m_qOrientation, 0, 0, 0, 1);

    // The tangent rotation multiplies on the right of the key's orientation when leaving and its
    // conjugate on the right when arriving; the factors here do not commute, so the order counts.
    const CQuaternion q0(c45, 0, 0, c45);
    const CQuaternion r0(0.9800665778412416, 0.19866933079506122, 0, 0);
    const CQuaternion q3(c45, c45, 0, 0);
    const CQuaternion r3(0.9800665778412416, 0, 0.19866933079506122, 0);
    CSceneObject tangents;
    tangents.AddOrientationKey(OriKey(0, q0, r0));
    tangents.AddOrientationKey(OriKey(40, q3, r3));
    EXPECT_TRUE(tangents.EvaluateOrientation(10));
    const CQuaternion expected = q0.BezierSlerp(q0 * r0, q3 * r3.Conjugate(), q3, 0.25);
    ExpectQuaternion(tangents.m_qOrientation, expected.w, expected.v.x, expected.v.y, expected.v.z);
}

TEST(KeyframeList, SceneEvaluationPosesEveryObject)
{
    CTeldViewGLDoc doc;
    doc.m_bCompileLists = false;
    auto* pObject = new CSceneObject;
    doc.m_pCamera->m_pNext = pObject;
    pObject->m_pPrev = doc.m_pCamera;

    // Single keys only: every object is posed, but nothing is in progress.
    doc.m_pCamera->AddPositionKey(PosKey(0, CVector3(0, 0, 5)));
    pObject->AddOrientationKey(OriKey(0, CQuaternion(0, 1, 0, 0)));
    EXPECT_FALSE(doc.EvaluateScene(30));
    EXPECT_EQ(doc.m_nSceneTime, 30);
    EXPECT_EQ(doc.m_pCamera->m_vPosition.z, 5.0);
    EXPECT_EQ(pObject->m_qOrientation.v.x, 1.0);

    // The camera in progress must not keep the later object from being posed.
    doc.m_pCamera->AddPositionKey(PosKey(100, CVector3(0, 0, 15)));
    pObject->AddPositionKey(PosKey(0, CVector3(0, 0, 0)));
    pObject->AddPositionKey(PosKey(10, CVector3(1, 0, 0)));
    EXPECT_TRUE(doc.EvaluateScene(50));
    EXPECT_EQ(doc.m_pCamera->m_vPosition.z, 10.0);
    EXPECT_EQ(pObject->m_vPosition.x, 1.0);
    EXPECT_FALSE(doc.EvaluateScene(100));
}

TEST(KeyframeRecord, WritesExactText)
{
    std::unique_ptr<CPositionKeyframe> pPos(PosKey(250, CVector3(1, 2.5, -3)));
    EXPECT_EQ(WriteRecord(*pPos), "POS_FRAME\n250\n1 2.5 -3\n0 0 0\n");

    pPos->m_vPosition = CVector3(0.1234567, 1.23456789, 1234567.0);
    pPos->m_vDirection = CVector3(1e-7, -0.0, 100000);
    EXPECT_EQ(WriteRecord(*pPos), "POS_FRAME\n250\n0.123457 1.23457 1.23457e+06\n1e-07 -0 100000\n");

    // Quaternions: vector part first, scalar part last.
    std::unique_ptr<COrientationKeyframe> pOri(
        OriKey(-7, CQuaternion(0.5, 0.1, 0.2, 0.3), CQuaternion(-1, 0, 0, 0)));
    EXPECT_EQ(WriteRecord(*pOri), "ORI_FRAME\n-7\n0.1 0.2 0.3 0.5\n0 0 0 -1\n");
}

TEST(KeyframeRecord, ReadsBackAndRefusesMalformedRecords)
{
    CTokenReader pos("  POS_FRAME 250\r\n1.23456789\t2.5 -3 0 0 1e-3 ORI_FRAME 9 0.1 0.2 0.3 0.5 0 0 0 -1");
    CPositionKeyframe posKey;
    ASSERT_TRUE(posKey.Read(pos));
    EXPECT_EQ(posKey.m_nTime, 250);
    EXPECT_EQ(posKey.m_vPosition.x, 1.23456789);
    EXPECT_EQ(posKey.m_vPosition.z, -3.0);
    EXPECT_EQ(posKey.m_vDirection.z, 0.001);
    COrientationKeyframe oriKey;
    ASSERT_TRUE(oriKey.Read(pos));
    EXPECT_EQ(oriKey.m_nTime, 9);
    ExpectQuaternion(oriKey.m_qOrientation, 0.5, 0.1, 0.2, 0.3);
    ExpectQuaternion(oriKey.m_qRotation, -1, 0, 0, 0);

    const char* const bad[] = {
        "ORI_FRAME 0 1 2 3 4 5 6",   // the other kind
        "pos_frame 0 1 2 3 4 5 6",   // keywords are case-sensitive
        "POS_FRAMEX 0 1 2 3 4 5 6",  // whole token only
        "POS_FRAME 0 1 2 3 4 5",     // a value missing
        "POS_FRAME 2.5 1 2 3 4 5 6", // the time is an integer
        "POS_FRAME 0 1 2,5 3 4 5 6", // no decimal comma
        "POS_FRAME 0 1 nan 3 4 5 6", "POS_FRAME 0 1 2 3 4 5 1e999", "POS_FRAME 99999999999 1 2 3 4 5 6", "",
    };
    for (const char* pszText : bad)
    {
        CTokenReader in(pszText);
        CPositionKeyframe key;
        key.m_nTime = 42;
        key.m_vPosition = CVector3(8, 8, 8);
        EXPECT_FALSE(key.Read(in)) << pszText;
        EXPECT_EQ(key.m_nTime, 42) << pszText;
        EXPECT_EQ(key.m_vPosition.x, 8.0) << pszText;
    }
    CTokenReader shortOri("ORI_FRAME 0 0 0 0 1 0 0 0");
    COrientationKeyframe ori;
    EXPECT_FALSE(ori.Read(shortOri));
    EXPECT_EQ(ori.m_qOrientation.w, 1.0);
}

TEST(KeyframeRecord, RoundTripRoundsToSixDigits)
{
    std::unique_ptr<CPositionKeyframe> pKey(
        PosKey(123456789, CVector3(0.1234567, -1.23456789, 3e-200), CVector3(1.7976931348623157e308, 5, 6)));
    const std::string strText = WriteRecord(*pKey);
    CTokenReader in(strText);
    CPositionKeyframe back;
    ASSERT_TRUE(back.Read(in));
    EXPECT_EQ(back.m_nTime, 123456789);
    EXPECT_EQ(back.m_vPosition.x, 0.123457);
    EXPECT_EQ(back.m_vPosition.y, -1.23457);
    EXPECT_EQ(back.m_vPosition.z, 3e-200);
    EXPECT_EQ(back.m_vDirection.x, 1.79769e308);
}

TEST(KeyframeRecord, LocaleWithDecimalCommaDoesNotChangeRecords)
{
    const std::string strOldLocale = std::setlocale(LC_ALL, nullptr);
    std::locale german;
    try
    {
        german = std::locale("de_DE.UTF-8");
    }
    catch (const std::runtime_error&)
    {
        GTEST_SKIP() << "de_DE.UTF-8 is not installed (scripts/install-deps.sh --test adds it)";
    }
    const std::locale oldGlobal = std::locale::global(german);
    std::setlocale(LC_ALL, "de_DE.UTF-8");

    std::unique_ptr<CPositionKeyframe> pKey(PosKey(1234567, CVector3(1.5, -0.25, 2)));
    std::ostringstream out; // takes the German global locale
    pKey->Write(out);
    const std::string strText = out.str();
    CTokenReader in(strText);
    CPositionKeyframe back;
    const bool bRead = back.Read(in);

    std::locale::global(oldGlobal);
    std::setlocale(LC_ALL, strOldLocale.c_str());
    EXPECT_EQ(strText, "POS_FRAME\n1234567\n1.5 -0.25 2\n0 0 0\n");
    ASSERT_TRUE(bRead);
    EXPECT_EQ(back.m_vPosition.x, 1.5);
}
