// Scene files: loading meshes with their keyframe files, and every way a load can stop.
#include <gtest/gtest.h>

#include <tuple>

#include "model/Camera.h"
#include "platform/ArchiveException.h"
#include "tests/unit/FileTestSupport.h"

namespace
{
using namespace FileTestSupport;
using Names = std::vector<std::string>;

// A folder of fixtures: two meshes, keyframe files with none, one and two keys, a broken one.
class SceneFileTest : public CScratchTest
{
protected:
    void SetUp() override
    {
        CScratchTest::SetUp();
        const std::string strFaces = "3 0 2 1\n3 0 1 3\n3 0 3 2\n3 1 2 3\n";
        Write("a.off", "OFF\n4 4 6\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n" + strFaces);
        Write("b.off", "OFF\n4 4 6\n0 0 0\n4 0 0\n0 4 0\n0 0 4\n" + strFaces);
        Write("broken.off", "OFF\n4 1 0\n0 0 0\n");
        Write("none.kff", "KFF\n0 0\n");
        Write("one.kff", "KFF\n1 0\nPOS_FRAME\n0\n1 2 3\n0 0 0\n");
        Write("two.kff", "KFF\n2 0\nPOS_FRAME\n0\n0 0 0\n0 0 0\nPOS_FRAME\n100\n10 0 0\n0 0 0\n");
        Write("bad.kff", "kff\n0 0\n");
        m_doc.LoadMeshFile(Path("b.off"), false); // replace mode, one mesh
    }
    // A scene file naming fixtures by their full paths, "SCENE n cam [off kff]...", with assorted
    // white space; loaded, it gives 1, 0, or -1 for the archive exception.
    int Load(const std::string& strCount, const std::string& strCamera, const Names& names)
    {
        std::string strText = "SCENE " + strCount + "\t" + Path(strCamera) + "\r\n";
        for (size_t i = 0; i < names.size(); ++i)
            strText += Path(names[i]) + (i % 2 == 0 ? " " : "\n");
        return LoadFile(Write("test.scn", strText));
    }
    int LoadFile(const std::string& strPath)
    {
        try
        {
            return m_doc.ReadSceneFile(strPath, &m_strProblem) ? 1 : 0;
        }
        catch (const CArchiveException& e)
        {
            EXPECT_EQ(e.m_cause, CArchiveException::badSchema);
            return -1;
        }
    }
    Names ObjectNames() const
    {
        Names names;
        for (const CSceneObject* p : ObjectList(m_doc))
            names.push_back(p->m_strName);
        return names;
    }
    std::string m_strProblem; // of the last load
};

TEST_F(SceneFileTest, LoadsMeshesWithTheirKeyframes)
{
    // SCENE 0: the camera alone, with its keyframes; text after the last entry is not read.
    ASSERT_EQ(Load("0", "one.kff", {"a.off", "none.kff"}), 1);
    EXPECT_EQ(ObjectNames(), (Names{"Camera"}));
    EXPECT_EQ(m_doc.m_pCurrentObject, m_doc.m_pCamera);
    EXPECT_EQ(m_doc.m_pCamera->CountPositionKeys(), 1);

    ASSERT_EQ(Load("2", "two.kff", {"a.off", "one.kff", "b.off", "two.kff"}), 1);
    EXPECT_TRUE(m_doc.m_bScene);
    EXPECT_EQ(ObjectNames(), (Names{"Camera", "a.off", "b.off"}));
    const CSceneObject* pFirst = m_doc.m_pCamera->m_pNext;
    const CSceneObject* pSecond = pFirst->m_pNext;
    EXPECT_TRUE(pSecond->m_pPrev == pFirst && m_doc.m_pCurrentObject == pSecond);
    EXPECT_EQ(m_doc.m_pCamera->CountPositionKeys(), 2);
    EXPECT_EQ(pFirst->CountPositionKeys(), 1);
    EXPECT_EQ(pFirst->m_pPosKeys->m_vPosition.y, 2.0);
    EXPECT_EQ(pSecond->CountPositionKeys(), 2);
    // Every object is posed, also after the camera that is still in progress.
    EXPECT_TRUE(m_doc.EvaluateScene(50));
    EXPECT_EQ(std::tuple(m_doc.m_nSceneTime, m_doc.m_pCamera->m_vPosition.x, pFirst->m_vPosition.x,
                         pSecond->m_vPosition.x),
              std::tuple(50, 5.0, 1.0, 5.0));
    EXPECT_FALSE(m_doc.EvaluateScene(100));
}

TEST_F(SceneFileTest, RelativeNamesFromTheWorkingDirectoryElseBesideTheSceneFile)
{
    fs::create_directory(m_dir / "sub");
    Write("sub/rel.scn", "SCENE 1 none.kff b.off one.kff");
    const std::string strBeside = Write("beside.scn", "SCENE 1 none.kff b.off one.kff");
    const fs::path oldDir = fs::current_path();
    fs::current_path(m_dir);
    const int nFromWorkingDir = LoadFile("sub/rel.scn");
    fs::current_path(m_dir / "sub"); // b.off is neither here nor beside rel.scn, but beside beside.scn
    const int nFromSceneDir = LoadFile("rel.scn");
    const int nBeside = LoadFile(strBeside);
    Write("sub/b.off", ReadFile(m_dir / "a.off")); // the working directory's file comes first
    const int nWorkingFirst = LoadFile(strBeside);
    fs::current_path(oldDir);
    EXPECT_EQ(std::tuple(nFromWorkingDir, nFromSceneDir, nBeside, nWorkingFirst), std::tuple(1, -1, 1, 1));
    EXPECT_EQ(m_doc.m_pCurrentObject->m_vBoundsMax.x, 1.0);
}

TEST_F(SceneFileTest, RefusedFilesLeaveTheDocumentUnchanged)
{
    const std::string strNone = Path("none.kff");
    // Appended, not " " + string: GCC 12 at -O3 warns falsely (-Wrestrict) on that.
    const std::string strTwo = std::string(" ").append(Path("a.off")).append(" ").append(Path("one.kff"));
    const std::string cases[] = {
        "",
        "scene 1 " + strNone + strTwo,              // lower-case keyword
        "SCENES 1 " + strNone + strTwo,             // keyword not a whole token
        "SCENE one " + strNone + strTwo,            // count not a number
        "SCENE",                                    // count missing
        "SCENE 0",                                  // camera keyframes missing
        "SCENE 2 " + strNone + strTwo,              // fewer entries than announced
        "SCENE 1 " + strNone + " " + Path("a.off"), // entry without keyframe file
        "SCENE 2147483647 " + strNone + strTwo,
        "SCENE -5 " + strNone + strTwo, // a count below 0
    };
    for (const std::string& strText : cases)
    {
        EXPECT_EQ(LoadFile(Write("refused.scn", strText)), 0) << strText;
        EXPECT_EQ(m_strProblem, "Unable to read refused.scn: unexpected file format.");
        EXPECT_FALSE(m_doc.m_bScene);
        EXPECT_EQ(ObjectNames(), (Names{"Camera", "b.off"}));
        EXPECT_EQ(m_doc.m_pCurrentObject, m_doc.m_pCamera->m_pNext);
    }
    EXPECT_EQ(LoadFile(Path("absent.scn")), 0);
    EXPECT_EQ(m_strProblem.find("Unable to open absent.scn: "), 0u);
    EXPECT_EQ(ObjectNames(), (Names{"Camera", "b.off"}));
}

TEST_F(SceneFileTest, FailuresAfterTheSceneWasCleared)
{
    // Bad camera keyframes are ignored; a bad OFF file throws and a bad object keyframe file gives
    // false, both keeping the meshes loaded so far, the last one current, and blaming the file.
    const struct
    {
        const char *pszCamera, *pszMesh, *pszKeys;
        int nResult;
        Names names;
        int32_t nCameraKeys, nCurrentKeys;
        const char* pszBlamed = "";
    } cases[] = {
        {"absent.kff", "b.off", "one.kff", 1, {"Camera", "a.off", "b.off", "a.off"}, 0, 0},
        {"bad.kff", "b.off", "one.kff", 1, {"Camera", "a.off", "b.off", "a.off"}, 0, 0},
        {"one.kff", "absent.off", "one.kff", -1, {"Camera", "a.off"}, 1, 1, "absent.off"},
        {"one.kff", "broken.off", "one.kff", -1, {"Camera", "a.off"}, 1, 1, "broken.off"},
        {"one.kff", "b.off", "absent.kff", 0, {"Camera", "a.off", "b.off"}, 1, 0, "absent.kff"},
        {"one.kff", "b.off", "bad.kff", 0, {"Camera", "a.off", "b.off"}, 1, 0, "bad.kff"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.pszCamera) + " " + c.pszMesh + " " + c.pszKeys);
        m_doc.LoadMeshFile(Path("b.off"), false);
        m_doc.m_bScene = false;
        EXPECT_EQ(Load("3", c.pszCamera, {"a.off", "one.kff", c.pszMesh, c.pszKeys, "a.off", "none.kff"}),
                  c.nResult);
        EXPECT_TRUE(m_doc.m_bScene);
        EXPECT_EQ(ObjectNames(), c.names);
        EXPECT_EQ(m_doc.m_pCamera->CountPositionKeys(), c.nCameraKeys);
        EXPECT_TRUE(m_doc.m_pCurrentObject->m_pNext == nullptr && m_doc.m_pCurrentObject != m_doc.m_pCamera);
        EXPECT_EQ(m_doc.m_pCurrentObject->CountPositionKeys(), c.nCurrentKeys);
        // "Unable to open NAME: ..." or "Unable to read NAME: ...".
        EXPECT_EQ(m_strProblem.size() > 15 ? m_strProblem.substr(15, m_strProblem.find(':') - 15) : "",
                  c.pszBlamed);
    }
}

// A scene that names one file many times stops before the machine runs out of memory.
TEST_F(SceneFileTest, MeshesStopAtTheMemoryBudget)
{
    std::vector<std::string> entries;
    for (int i = 0; i < 100; ++i)
        entries.insert(entries.end(), {"a.off", "none.kff"});
    m_doc.m_nSceneMemoryBudget = 1000;
    EXPECT_EQ(Load("100", "none.kff", entries), -1);
    EXPECT_LT(ObjectNames().size(), 20u);
    EXPECT_EQ(m_strProblem, "Unable to read a.off: unexpected file format.\na.off: not enough memory");
    m_doc.m_nSceneMemoryBudget = 0;
    EXPECT_EQ(Load("100", "none.kff", entries), 1);
    EXPECT_EQ(ObjectNames().size(), 101u);
}
} // namespace
