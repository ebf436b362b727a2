// Keyframe files: exact text, round-trips, merging and malformed input.
#include <gtest/gtest.h>

#include <sstream>

#include "model/ObjectKeyframes.h"
#include "tests/unit/FileTestSupport.h"

namespace
{
using namespace FileTestSupport;
using KeyframeFileTest = CScratchTest;

std::string ToText(const CSceneObject& object)
{
    std::ostringstream out;
    EXPECT_TRUE(WriteKeyframeStream(out, object));
    return out.str();
}

TEST_F(KeyframeFileTest, ExactTextAndRoundTrip)
{
    CSceneObject object;
    ASSERT_TRUE(WriteKeyframeFile(Path("empty.kff"), object));
    EXPECT_EQ(ReadFile(Path("empty.kff")), "KFF\n0 0\n");
    EXPECT_TRUE(ReadKeyframeFile(Path("empty.kff"), object));
    EXPECT_EQ(object.CountPositionKeys() + object.CountOrientationKeys(), 0);

    object.AddPositionKey(PosKey(0, CVector3(1.23456789, 2, 3), CVector3(0, 1, 0)));
    object.AddOrientationKey(OriKey(5, CQuaternion(0.5, 0.5, -0.5, 0.5), CQuaternion(0.9, 0.1, 0.2, 0.3)));
    object.AddPositionKey(PosKey(-10, CVector3(0, 0, 3e-5)));
    ASSERT_TRUE(WriteKeyframeFile(Path("keys.kff"), object));
    const std::string strText = "KFF\n2 1\n"
                                "POS_FRAME\n-10\n0 0 3e-05\n0 0 0\n"
                                "POS_FRAME\n0\n1.23457 2 3\n0 1 0\n"
                                "ORI_FRAME\n5\n0.5 -0.5 0.5 0.5\n0.1 0.2 0.3 0.9\n";
    EXPECT_EQ(ReadFile(Path("keys.kff")), strText);
    CSceneObject back;
    ASSERT_TRUE(ReadKeyframeFile(Path("keys.kff"), back));
    EXPECT_EQ(ToText(back), strText);
    EXPECT_EQ(back.m_pPosKeys->m_pNext->m_vPosition.x, 1.23457);
    // Reading the file again into the object that holds the same keys replaces each twin.
    ASSERT_TRUE(ReadKeyframeFile(Path("keys.kff"), back));
    EXPECT_EQ(ToText(back), strText);

    // Failed writes report false and leave no stray file behind.
    EXPECT_FALSE(WriteKeyframeFile(Path("missing/keys.kff"), object));
    fs::create_directory(Path("taken.kff"));
    EXPECT_FALSE(WriteKeyframeFile(Path("taken.kff"), object));
    EXPECT_TRUE(fs::is_directory(Path("taken.kff")));
    EXPECT_EQ(FilesInDir(), 3u);
    EXPECT_FALSE(ReadKeyframeFile(Path("absent.kff"), object));
}

TEST_F(KeyframeFileTest, MergesUnsortedRecordsIntoExistingLists)
{
    CSceneObject object;
    object.AddPositionKey(PosKey(15, CVector3(15, 0, 0)));
    object.AddPositionKey(PosKey(20, CVector3(-1, 0, 0)));
    // The later of two records at one time wins, and a file key replaces the object's.
    ASSERT_TRUE(ReadKeyframeBuffer("KFF 4 0\n"
                                   "POS_FRAME 30 30 0 0 0 0 0\n"
                                   "POS_FRAME 20 20 0 0 0 0 0\n"
                                   "POS_FRAME 10 1 0 0 0 0 0\n"
                                   "POS_FRAME 10 10 0 0 0 0 0\n",
                                   object));
    EXPECT_EQ(ToText(object), "KFF\n4 0\nPOS_FRAME\n10\n10 0 0\n0 0 0\nPOS_FRAME\n15\n15 0 0\n0 0 0\n"
                              "POS_FRAME\n20\n20 0 0\n0 0 0\nPOS_FRAME\n30\n30 0 0\n0 0 0\n");
    for (const CPositionKeyframe* p = object.m_pPosKeys; p->m_pNext != nullptr; p = p->m_pNext)
        EXPECT_EQ(p->m_pNext->m_pPrev, p);
    // As after inserting record by record: the cursor on the file's last record.
    EXPECT_EQ(object.m_pCurPosKey->m_nTime, 10);

    // Counts of zero or less announce nothing.
    EXPECT_TRUE(ReadKeyframeBuffer("KFF -3 0 POS_FRAME 5 0 0 0 0 0 0", object));
    EXPECT_EQ(object.CountPositionKeys(), 4);
}

TEST_F(KeyframeFileTest, MalformedFilesChangeNothing)
{
    const std::string strRecord = "POS_FRAME 7 1 2 3 0 0 0\n";
    const std::string cases[] = {
        "",
        "kff\n0 0\n",
        "KFF\n",
        "KFF\n1\n",
        "KFF\none 0\n" + strRecord,
        "KFF\n1.0 0\n" + strRecord,
        "KFF\n2 0\n" + strRecord,                                           // fewer records than announced
        "KFF\n1 1\n" + strRecord,                                           // orientation record missing
        "KFF\n0 1\n" + strRecord,                                           // record of the other kind
        "KFF\n3 0\n" + strRecord + strRecord + "POS_FRAME 8 1 2 3 0 0 z\n", // bad record after good ones
        "KFF\n1 1\n" + strRecord + "ORI_FRAME 1 0 0 0 1 0 0 0\n",           // bad orientation after positions
        "KFF\n2147483647 2147483647\n" + strRecord,                         // huge counts
        "KFF\n100 0\n" + strRecord + strRecord,                             // count past the data
    };
    for (const std::string& strText : cases)
    {
        CSceneObject object;
        object.AddPositionKey(PosKey(7, CVector3(-1, -1, -1)));
        const std::string strBefore = ToText(object);
        EXPECT_FALSE(ReadKeyframeBuffer(strText, object)) << strText;
        EXPECT_EQ(ToText(object), strBefore) << strText;
    }
}
} // namespace
