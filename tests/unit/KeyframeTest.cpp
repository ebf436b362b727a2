// Keyframe lists, their evaluation and the keyframe text records.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>
#include <sstream>
#include <tuple>

#include "formats/TokenStream.h"
#include "formats/kff/KeyframeFile.h"
#include "model/ObjectKeyframes.h"
#include "tests/unit/FileTestSupport.h"

namespace
{
using namespace FileTestSupport;

std::vector<int32_t> PosTimes(const CSceneObject& object)
{
    std::vector<int32_t> times;
    const CPositionKeyframe* pPrev = nullptr;
    for (const CPositionKeyframe* p = object.m_pPosKeys; p != nullptr; pPrev = p, p = p->m_pNext)
    {
        EXPECT_EQ(p->m_pPrev, pPrev) << "broken back link at " << p->m_nTime;
        times.push_back(p->m_nTime);
    }
    return times;
}

double Gap(const CQuaternion& a, const CQuaternion& b)
{
    return std::max(
        {std::fabs(a.w - b.w), std::fabs(a.v.x - b.v.x), std::fabs(a.v.y - b.v.y), std::fabs(a.v.z - b.v.z)});
}

// The record an object of one key writes for it: the file's text without its two header lines.
std::string WriteRecord(CPositionKeyframe* pKey, COrientationKeyframe* pOri = nullptr)
{
    CSceneObject object;
    if (pKey != nullptr)
        object.AddPositionKey(pKey);
    if (pOri != nullptr)
        object.AddOrientationKey(pOri);
    std::ostringstream out;
    WriteKeyframeStream(out, object);
    const std::string strText = out.str();
    return strText.substr(strText.find('\n', strText.find('\n') + 1) + 1);
}
} // namespace

TEST(KeyframeList, InsertionSortsAndReplacesAtEqualTime)
{
    CSceneObject object;
    for (int32_t nTime : {30, 10, 20})
        object.AddPositionKey(PosKey(nTime, CVector3()));
    EXPECT_EQ(PosTimes(object), (std::vector<int32_t>{10, 20, 30}));
    EXPECT_EQ(object.m_pCurPosKey->m_nTime, 20);

    // Replacing the head, a middle key and the tail keeps the count and takes the new values.
    for (int32_t nTime : {10, 20, 30})
        object.AddPositionKey(PosKey(nTime, CVector3(0, nTime, 0)));
    EXPECT_EQ(object.CountPositionKeys(), 3);
    EXPECT_EQ(object.m_pCurPosKey, object.m_pPosKeys->m_pNext->m_pNext);
    for (const CPositionKeyframe* p = object.m_pPosKeys; p != nullptr; p = p->m_pNext)
        EXPECT_EQ(p->m_vPosition.y, p->m_nTime);

    // A key before the head after the cursor has moved to the end; a key already in the list
    // must not destroy itself.
    object.AddPositionKey(PosKey(40, CVector3()));
    object.AddPositionKey(PosKey(-5, CVector3()));
    object.AddPositionKey(object.m_pPosKeys->m_pNext);
    EXPECT_EQ(PosTimes(object), (std::vector<int32_t>{-5, 10, 20, 30, 40}));
    EXPECT_EQ(object.m_pCurPosKey->m_vPosition.y, 10.0);
}

TEST(KeyframeList, PositionEvaluation)
{
    using Keys = std::vector<std::tuple<int32_t, double, double>>; // time, x, x of the direction
    const Keys plain = {{0, 0, 0}, {100, 10, 0}};
    const struct
    {
        Keys keys;
        int32_t nTime;
        double dX, dTolerance;
        bool bInProgress;
    } cases[] = {
        {{}, 10, 7.0, 0, false}, // no keys: the pose stays
        {plain, 50, 5.0, 1e-12, true},
        {plain, 25, 1.5625, 1e-12, true}, // eased in
        {plain, 0, 0.0, 1e-12, true},
        {plain, 100, 10.0, 0, false}, // exact at and after the last key
        {plain, 1000, 10.0, 0, false},
        // Leaves towards position + direction, arrives from position - direction: 0, 3, 7, 10.
        {{{0, 0, 3}, {100, 10, 3}}, 25, 2.40625, 1e-12, true},
        // Before the first key the first curve runs backwards: u = -0.5 gives 10 * (3u^2 - 2u^3).
        {{{50, 0, 0}, {150, 10, 0}}, 0, 10.0, 1e-12, true},
        {{{500, 1, 0}}, -100000, 1.0, 0, false}, // a single key everywhere, never in progress
        {{{INT32_MIN, 0, 0}, {INT32_MAX, 10, 0}}, 0, 5.0, 1e-6, true}, // no overflow
    };
    for (const auto& c : cases)
    {
        CSceneObject object;
        object.m_vPosition = CVector3(7, 0, 0);
        for (const auto& [nTime, dX, dDirection] : c.keys)
            object.AddPositionKey(PosKey(nTime, CVector3(dX, 0, 0), CVector3(dDirection, 0, 0)));
        EXPECT_EQ(object.EvaluatePosition(c.nTime), c.bInProgress) << c.nTime;
        EXPECT_NEAR(object.m_vPosition.x, c.dX, c.dTolerance) << c.nTime;
        EXPECT_EQ(object.m_vPosition.y, 0.0);
    }
}

TEST(KeyframeList, OrientationEvaluation)
{
    const double c45 = 0.7071067811865476;
    CSceneObject object;
    object.AddOrientationKey(OriKey(0, CQuaternion(1, 0, 0, 0)));
    object.AddOrientationKey(OriKey(100, CQuaternion(0, 0, 0, 1)));
    EXPECT_TRUE(object.EvaluateOrientation(50));
    EXPECT_LT(Gap(object.m_qOrientation, CQuaternion(c45, 0, 0, c45)), 1e-9); // 90 degrees about z
    EXPECT_FALSE(object.EvaluateOrientation(100));
    EXPECT_LT(Gap(object.m_qOrientation, CQuaternion(0, 0, 0, 1)), 1e-9);

    // The tangent rotation multiplies on the right of the key's orientation when leaving and its
    // conjugate on the right when arriving; the factors here do not commute, so the order counts.
    const CQuaternion q0(c45, 0, 0, c45), r0(0.9800665778412416, 0.19866933079506122, 0, 0);
    const CQuaternion q3(c45, c45, 0, 0), r3(0.9800665778412416, 0, 0.19866933079506122, 0);
    object.AddOrientationKey(OriKey(0, q0, r0));
    object.AddOrientationKey(OriKey(40, q3, r3));
    EXPECT_TRUE(object.EvaluateOrientation(10));
    EXPECT_LT(Gap(object.m_qOrientation, q0.BezierSlerp(q0 * r0, q3 * r3.Conjugate(), q3, 0.25)), 1e-9);
}

TEST(KeyframeList, CursorMovingBackGivesFreshResult)
{
    CSceneObject walked, fresh;
    for (CSceneObject* p : {&walked, &fresh})
    {
        p->AddPositionKey(PosKey(0, CVector3(0, 0, 0), CVector3(1, 2, 0)));
        p->AddPositionKey(PosKey(50, CVector3(4, 1, 0), CVector3(0, 1, 1)));
        p->AddPositionKey(PosKey(100, CVector3(10, 0, 0)));
        p->AddOrientationKey(OriKey(0, CQuaternion()));
        p->AddOrientationKey(OriKey(50, CQuaternion(0.7071067811865476, 0, 0, 0.7071067811865476)));
        p->AddOrientationKey(OriKey(100, CQuaternion(0, 0, 0, 1)));
    }
    walked.EvaluatePosition(80);
    walked.EvaluateOrientation(80);
    EXPECT_EQ(walked.m_pCurPosKey->m_nTime, 50);
    fresh.m_pCurPosKey = fresh.m_pPosKeys;
    fresh.m_pCurOriKey = fresh.m_pOriKeys;
    for (CSceneObject* p : {&walked, &fresh})
    {
        p->EvaluatePosition(30);
        p->EvaluateOrientation(30);
    }
    EXPECT_EQ(walked.m_pCurPosKey, walked.m_pPosKeys);
    EXPECT_EQ((walked.m_vPosition - fresh.m_vPosition).LengthSquared(), 0.0);
    EXPECT_LT(Gap(walked.m_qOrientation, fresh.m_qOrientation), 1e-9);
}

TEST(KeyframeRecord, ExactTextInEveryLocaleAndRoundTrip)
{
    const CGermanLocale german; // the record streams take the global locale
    if (!german.m_bActive)
        GTEST_SKIP() << "de_DE.UTF-8 is not installed (scripts/install-deps.sh --test adds it)";
    const std::string strPos = WriteRecord(PosKey(1234567, CVector3(1, 2.5, -3)));
    EXPECT_EQ(strPos, "POS_FRAME\n1234567\n1 2.5 -3\n0 0 0\n");
    // Quaternions: vector part first, scalar part last.
    const std::string strOri =
        WriteRecord(nullptr, OriKey(-7, CQuaternion(0.5, 0.1, 0.2, 0.3), CQuaternion(-1, 0, 0, 0)));
    EXPECT_EQ(strOri, "ORI_FRAME\n-7\n0.1 0.2 0.3 0.5\n0 0 0 -1\n");
    // Six significant digits; the largest double stays finite.
    const std::string strRounded = WriteRecord(PosKey(1234567, CVector3(0.1234567, 100000, 1234567.0),
                                                      CVector3(1e-7, -0.0, 1.7976931348623157e308)));
    EXPECT_EQ(strRounded, "POS_FRAME\n1234567\n0.123457 100000 1.23457e+06\n1e-07 -0 1.79769e+308\n");

    // Read back from one text with any white space between the tokens, as written.
    CSceneObject object;
    ASSERT_TRUE(ReadKeyframeBuffer("KFF 1 1  " + strRounded + "\t\r\n" + strOri, object));
    std::ostringstream out;
    WriteKeyframeStream(out, object);
    EXPECT_EQ(out.str(), "KFF\n1 1\n" + strRounded + strOri);
    EXPECT_EQ(object.m_pPosKeys->m_vPosition.x, 0.123457);
}

TEST(KeyframeRecord, MalformedRecordsLeaveTheRecordUnchanged)
{
    const char* const bad[] = {
        "ORI_FRAME 0 1 2 3 4 5 6",   // the other kind, or a value missing
        "pos_frame 0 1 2 3 4 5 6",   // keywords are case-sensitive
        "POS_FRAMEX 0 1 2 3 4 5 6",  // whole token only
        "POS_FRAME 0 1 2 3 4 5",     // a value missing
        "ORI_FRAME 0 0 0 0 1 0 0 0", // a value missing
        "POS_FRAME 2.5 1 2 3 4 5 6", // the time is an integer
        "POS_FRAME 0 1 2,5 3 4 5 6", // no decimal comma
        "POS_FRAME 0 1 nan 3 4 5 6", "POS_FRAME 0 1 2 3 4 5 1e999", "POS_FRAME 99999999999 1 2 3 4 5 6", "",
    };
    for (const char* pszText : bad)
    {
        CTokenStream posIn(pszText), oriIn(pszText);
        SKeyframeRecords::SPosition pos;
        pos.nTime = 42;
        pos.pdPosition[0] = 8;
        SKeyframeRecords::SOrientation ori;
        ori.nTime = 42;
        ori.pdOrientation[1] = 1;
        EXPECT_FALSE(ReadPositionRecord(posIn, pos)) << pszText;
        EXPECT_FALSE(ReadOrientationRecord(oriIn, ori)) << pszText;
        EXPECT_TRUE(pos.nTime == 42 && pos.pdPosition[0] == 8 && ori.nTime == 42 && ori.pdOrientation[1] == 1)
            << pszText;
    }
}
