// Keyframe files: exact text, round-trips, merging and malformed input.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "animation/KeyframeFile.h"
#include "animation/OrientationKeyframe.h"
#include "animation/PositionKeyframe.h"
#include "formats/TokenReader.h"
#include "scene/SceneObject.h"

namespace fs = std::filesystem;

namespace
{
class CTempFolder
{
public:
    CTempFolder()
    {
        std::string strTemplate = (fs::temp_directory_path() / "kfftest.XXXXXX").string();
        m_path = mkdtemp(strTemplate.data());
    }
    ~CTempFolder() { fs::remove_all(m_path); }
    std::string operator/(const std::string& strName) const { return (m_path / strName).string(); }

private:
    fs::path m_path;
};

void AddPos(CSceneObject& object, int32_t nTime, CVector3 vPosition, CVector3 vDirection = CVector3())
{
    auto* pKey = new CPositionKeyframe;
    pKey->m_nTime = nTime;
    pKey->m_vPosition = vPosition;
    pKey->m_vDirection = vDirection;
    object.AddPositionKey(pKey);
}

void AddOri(CSceneObject& object, int32_t nTime, CQuaternion qOrientation,
            CQuaternion qRotation = CQuaternion())
{
    auto* pKey = new COrientationKeyframe;
    pKey->m_nTime = nTime;
    pKey->m_qOrientation = qOrientation;
    pKey->m_qRotation = qRotation;
    object.AddOrientationKey(pKey);
}

std::string ToText(const CSceneObject& object)
{
    std::ostringstream out;
    EXPECT_TRUE(WriteKeyframeStream(out, object));
    return out.str();
}

std::string FileText(const std::string& strPath)
{
    std::string contents;
    EXPECT_TRUE(ReadWholeFile(strPath, contents));
    return contents;
}

std::vector<int32_t> PosTimes(const CSceneObject& object)
{
    std::vector<int32_t> times;
    for (const CPositionKeyframe* p = object.m_pPosKeys; p != nullptr; p = p->m_pNext)
        times.push_back(p->m_nTime);
    return times;
}
} // namespace

TEST(KeyframeFile, WritesExactText)
{
    CTempFolder folder;
    CSceneObject empty;
    ASSERT_TRUE(WriteKeyframeFile(folder / "empty.kff", empty));
    EXPECT_EQ(FileText(folder / "empty.kff"), "KFF\n0 0\n");
    CSceneObject stillEmpty;
    EXPECT_TRUE(ReadKeyframeFile(folder / "empty.kff", stillEmpty));
    EXPECT_EQ(stillEmpty.CountPositionKeys() + stillEmpty.CountOrientationKeys(), 0);

    CSceneObject object;
    AddPos(object, 0, CVector3(1, 2, 3));
    EXPECT_EQ(ToText(object), "KFF\n1 0\nPOS_FRAME\n0\n1 2 3\n0 0 0\n");
    AddOri(object, 5, CQuaternion(0.5, 0.5, -0.5, 0.5));
    AddPos(object, -10, CVector3(0, 0, 0.5));
    EXPECT_EQ(ToText(object), "KFF\n2 1\n"
                              "POS_FRAME\n-10\n0 0 0.5\n0 0 0\n"
                              "POS_FRAME\n0\n1 2 3\n0 0 0\n"
                              "ORI_FRAME\n5\n0.5 -0.5 0.5 0.5\n0 0 0 1\n");
}

TEST(KeyframeFile, RoundTripRoundsAndReplacesEqualTimes)
{
    CTempFolder folder;
    CSceneObject object;
    AddPos(object, 0, CVector3(1.23456789, 0, 0), CVector3(0, 1, 0));
    AddPos(object, 100, CVector3(10, -2, 3e-5));
    AddOri(object, 0, CQuaternion(), CQuaternion(0.9, 0.1, 0.2, 0.3));
    AddOri(object, 250, CQuaternion(0, 0, 0, 1));
    ASSERT_TRUE(WriteKeyframeFile(folder / "keys.kff", object));

    CSceneObject back;
    ASSERT_TRUE(ReadKeyframeFile(folder / "keys.kff", back));
    EXPECT_EQ(back.CountPositionKeys(), 2);
    EXPECT_EQ(back.CountOrientationKeys(), 2);
    EXPECT_EQ(back.m_pPosKeys->m_vPosition.x, 1.23457);
    EXPECT_EQ(back.m_pPosKeys->m_vDirection.y, 1.0);
    EXPECT_EQ(back.m_pPosKeys->m_pNext->m_vPosition.z, 3e-5);
    EXPECT_EQ(back.m_pOriKeys->m_qRotation.w, 0.9);
    EXPECT_EQ(back.m_pOriKeys->m_qRotation.v.z, 0.3);
    EXPECT_EQ(back.m_pOriKeys->m_pNext->m_nTime, 250);
    EXPECT_EQ(back.m_pOriKeys->m_pNext->m_qOrientation.v.z, 1.0);
    EXPECT_EQ(ToText(back), FileText(folder / "keys.kff"));

    // Reading the file again into the object that holds the same keys replaces each twin.
    ASSERT_TRUE(ReadKeyframeFile(folder / "keys.kff", back));
    EXPECT_EQ(back.CountPositionKeys(), 2);
    EXPECT_EQ(back.CountOrientationKeys(), 2);

    // Failed writes report false and leave no stray file behind.
    EXPECT_FALSE(WriteKeyframeFile(folder / "missing/keys.kff", object));
    fs::create_directory(folder / "taken.kff");
    EXPECT_FALSE(WriteKeyframeFile(folder / "taken.kff", object));
    EXPECT_TRUE(fs::is_directory(folder / "taken.kff"));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder / ""), fs::directory_iterator()), 2);
}

TEST(KeyframeFile, MergesUnsortedRecordsIntoExistingLists)
{
    CSceneObject object;
    AddPos(object, 15, CVector3(15, 0, 0));
    AddPos(object, 20, CVector3(-1, 0, 0));
    const char* pszFile = "KFF 4 0\n"
                          "POS_FRAME 30 30 0 0 0 0 0\n"
                          "POS_FRAME 20 20 0 0 0 0 0\n"
                          "POS_FRAME 10 1 0 0 0 0 0\n"
                          "POS_FRAME 10 10 0 0 0 0 0\n";
    ASSERT_TRUE(ReadKeyframeBuffer(pszFile, object));
    EXPECT_EQ(PosTimes(object), (std::vector<int32_t>{10, 15, 20, 30}));
    // The later of two records at one time wins, and a file key replaces the object's.
    for (const CPositionKeyframe* p = object.m_pPosKeys; p != nullptr; p = p->m_pNext)
    {
        EXPECT_EQ(p->m_vPosition.x, p->m_nTime);
        if (p->m_pNext != nullptr)
        {
            EXPECT_EQ(p->m_pNext->m_pPrev, p);
        }
    }
    // As after inserting record by record: the cursor on the file's last record.
    EXPECT_EQ(object.m_pCurPosKey->m_nTime, 10);

    // Counts of zero or less announce nothing.
    EXPECT_TRUE(ReadKeyframeBuffer("KFF -3 0 POS_FRAME 5 0 0 0 0 0 0", object));
    EXPECT_EQ(object.CountPositionKeys(), 4);
}

TEST(KeyframeFile, MalformedFilesChangeNothing)
{
    const std::string strRecord = "POS_FRAME 7 1 2 3 0 0 0\n";
    struct
    {
        const char* pszName;
        std::string strText;
    } const cases[] = {
        {"empty file", ""},
        {"lower-case keyword", "kff\n0 0\n"},
        {"keyword only", "KFF\n"},
        {"one count", "KFF\n1\n"},
        {"count not a number", "KFF\none 0\n" + strRecord},
        {"count with fraction", "KFF\n1.0 0\n" + strRecord},
        {"fewer records than announced", "KFF\n2 0\n" + strRecord},
        {"orientation record missing", "KFF\n1 1\n" + strRecord},
        {"record of the other kind", "KFF\n0 1\n" + strRecord},
        {"truncated record", "KFF\n1 0\nPOS_FRAME 7 1 2 3 0 0\n"},
        {"value not a number", "KFF\n1 0\nPOS_FRAME 7 1 x 3 0 0 0\n"},
        {"bad record after good ones", "KFF\n3 0\n" + strRecord + strRecord + "POS_FRAME 8 1 2 3 0 0 z\n"},
        {"bad orientation after good positions", "KFF\n1 1\n" + strRecord + "ORI_FRAME 1 0 0 0 1 0 0 0\n"},
        {"huge counts", "KFF\n2147483647 2147483647\n" + strRecord},
        {"count past the data", "KFF\n100 0\n" + strRecord + strRecord},
    };
    for (const auto& c : cases)
    {
        CSceneObject object;
        AddPos(object, 7, CVector3(-1, -1, -1));
        EXPECT_FALSE(ReadKeyframeBuffer(c.strText, object)) << c.pszName;
        EXPECT_EQ(object.CountPositionKeys(), 1) << c.pszName;
        EXPECT_EQ(object.CountOrientationKeys(), 0) << c.pszName;
        EXPECT_EQ(object.m_pPosKeys->m_vPosition.x, -1.0) << c.pszName;
    }

    CTempFolder folder;
    CSceneObject object;
    EXPECT_FALSE(ReadKeyframeFile(folder / "absent.kff", object));
}
