// Scene files: loading meshes with their keyframe files, and every way a load can stop.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "animation/PositionKeyframe.h"
#include "formats/SceneFile.h"
#include "platform/ArchiveException.h"
#include "scene/Camera.h"
#include "scene/Mesh.h"
#include "scene/TeldViewGLDoc.h"

namespace fs = std::filesystem;

namespace
{
const char* const TETRAHEDRON = "OFF\n4 4 6\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n"
                                "3 0 2 1\n3 0 1 3\n3 0 3 2\n3 1 2 3\n";
const char* const BIG_TETRAHEDRON = "OFF\n4 4 6\n0 0 0\n4 0 0\n0 4 0\n0 0 4\n"
                                    "3 0 2 1\n3 0 1 3\n3 0 3 2\n3 1 2 3\n";

// A folder of fixtures: two meshes, keyframe files with none, one and two keys, a broken one.
class SceneFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string strTemplate = (fs::temp_directory_path() / "scenetest.XXXXXX").string();
        m_folder = mkdtemp(strTemplate.data());
        Write("a.off", TETRAHEDRON);
        Write("b.off", BIG_TETRAHEDRON);
        Write("none.kff", "KFF\n0 0\n");
        Write("one.kff", "KFF\n1 0\nPOS_FRAME\n0\n1 2 3\n0 0 0\n");
        Write("two.kff", "KFF\n2 0\nPOS_FRAME\n0\n0 0 0\n0 0 0\nPOS_FRAME\n100\n10 0 0\n0 0 0\n");
        Write("bad.kff", "kff\n0 0\n");
        m_doc.m_bCompileLists = false;
    }
    void TearDown() override { fs::remove_all(m_folder); }

    std::string Path(const std::string& strName) const { return (m_folder / strName).string(); }
    void Write(const std::string& strName, const std::string& strText) const
    {
        std::ofstream(m_folder / strName, std::ios::binary) << strText;
    }
    // A scene file naming fixtures by their full paths: "SCENE n cam [off kff]..."
    std::string Scene(const std::string& strCount, const std::string& strCamera,
                      const std::vector<std::string>& names) const
    {
        std::string strText = "SCENE " + strCount + "\n" + Path(strCamera) + "\n";
        for (size_t i = 0; i < names.size(); ++i)
            strText += Path(names[i]) + (i % 2 == 0 ? " " : "\n");
        Write("test.scn", strText);
        return Path("test.scn");
    }
    std::vector<std::string> ObjectNames() const
    {
        std::vector<std::string> names;
        for (const CSceneObject* p = m_doc.m_pObjectList; p != nullptr; p = p->m_pNext)
            names.push_back(p->m_strName);
        return names;
    }
    // The state a failed load must not disturb: one mesh in replace mode.
    void LoadStartingMesh() { m_doc.LoadMeshFile(Path("b.off"), false); }
    void ExpectStartingState() const
    {
        EXPECT_FALSE(m_doc.m_bScene);
        EXPECT_EQ(ObjectNames(), (std::vector<std::string>{"Camera", "b.off"}));
        EXPECT_EQ(m_doc.m_pCurrentObject, m_doc.m_pCamera->m_pNext);
    }

    fs::path m_folder;
    CTeldViewGLDoc m_doc;
};
} // namespace

TEST_F(SceneFileTest, LoadsMeshesWithTheirKeyframes)
{
    LoadStartingMesh();
    ASSERT_TRUE(m_doc.ReadSceneFile(Scene("2", "two.kff", {"a.off", "one.kff", "b.off", "two.kff"})));
    EXPECT_TRUE(m_doc.m_bScene);
    EXPECT_EQ(ObjectNames(), (std::vector<std::string>{"Camera", "a.off", "b.off"}));
    const CSceneObject* pFirst = m_doc.m_pCamera->m_pNext;
    const CSceneObject* pSecond = pFirst->m_pNext;
    EXPECT_EQ(pSecond->m_pPrev, pFirst);
    EXPECT_EQ(m_doc.m_pCurrentObject, pSecond);
    EXPECT_EQ(m_doc.m_pCamera->CountPositionKeys(), 2);
    EXPECT_EQ(pFirst->CountPositionKeys(), 1);
    EXPECT_EQ(pFirst->m_pPosKeys->m_vPosition.y, 2.0);
    EXPECT_EQ(pSecond->CountPositionKeys(), 2);
    // The old mesh went and the scene bounds enclose exactly the two new ones.
    EXPECT_EQ(m_doc.m_dSceneBounds[BOUNDS_MAX_X], 4.0);
    EXPECT_EQ(m_doc.m_dSceneBounds[BOUNDS_MIN_X], 0.0);
    EXPECT_TRUE(m_doc.EvaluateScene(50));
    EXPECT_EQ(m_doc.m_pCamera->m_vPosition.x, 5.0);
}

TEST_F(SceneFileTest, EdgeCasesOfCountsAndNames)
{
    // SCENE 0: the camera alone, with its keyframes; the previous meshes are gone.
    LoadStartingMesh();
    ASSERT_TRUE(m_doc.ReadSceneFile(Scene("0", "one.kff", {})));
    EXPECT_EQ(ObjectNames(), (std::vector<std::string>{"Camera"}));
    EXPECT_EQ(m_doc.m_pCurrentObject, m_doc.m_pCamera);
    EXPECT_EQ(m_doc.m_pCamera->CountPositionKeys(), 1);
    EXPECT_TRUE(m_doc.m_bScene);

    // A negative count names no entry either; text after the last entry is not read.
    Write("neg.scn", "SCENE -4\n" + Path("none.kff") + "\nwhatever follows");
    EXPECT_TRUE(m_doc.ReadSceneFile(Path("neg.scn")));
    EXPECT_EQ(ObjectNames(), (std::vector<std::string>{"Camera"}));

    // The same OFF file twice makes two meshes.
    ASSERT_TRUE(m_doc.ReadSceneFile(Scene("2", "none.kff", {"a.off", "none.kff", "a.off", "none.kff"})));
    EXPECT_EQ(ObjectNames(), (std::vector<std::string>{"Camera", "a.off", "a.off"}));
    EXPECT_NE(m_doc.m_pCamera->m_pNext, m_doc.m_pCurrentObject);

    // Relative names are taken from the working directory, not from the scene file's folder.
    fs::create_directory(m_folder / "sub");
    Write("sub/rel.scn", "SCENE 1 none.kff b.off one.kff");
    const fs::path oldDir = fs::current_path();
    fs::current_path(m_folder);
    const bool bRelative = m_doc.ReadSceneFile("sub/rel.scn");
    // From the scene file's own folder, b.off is not found.
    fs::current_path(m_folder / "sub");
    bool bThrown = false;
    try
    {
        m_doc.ReadSceneFile("rel.scn");
    }
    catch (const CArchiveException&)
    {
        bThrown = true;
    }
    fs::current_path(oldDir);
    EXPECT_TRUE(bRelative);
    EXPECT_TRUE(bThrown);
}

TEST_F(SceneFileTest, RefusedFilesLeaveTheDocumentUnchanged)
{
    LoadStartingMesh();
    const std::string strTwo = " " + Path("a.off") + " " + Path("one.kff");
    struct
    {
        const char* pszName;
        std::string strText;
    } const cases[] = {
        {"empty", ""},
        {"lower-case keyword", "scene 1 " + Path("none.kff") + strTwo},
        {"keyword not a whole token", "SCENES 1 " + Path("none.kff") + strTwo},
        {"count not a number", "SCENE one " + Path("none.kff") + strTwo},
        {"count missing", "SCENE"},
        {"camera keyframes missing", "SCENE 0"},
        {"fewer entries than announced", "SCENE 2 " + Path("none.kff") + strTwo},
        {"entry without keyframe file", "SCENE 1 " + Path("none.kff") + " " + Path("a.off")},
        {"huge count", "SCENE 2147483647 " + Path("none.kff") + strTwo},
    };
    for (const auto& c : cases)
    {
        Write("refused.scn", c.strText);
        EXPECT_FALSE(m_doc.ReadSceneFile(Path("refused.scn"))) << c.pszName;
        ExpectStartingState();
    }
    EXPECT_FALSE(m_doc.ReadSceneFile(Path("absent.scn")));
    ExpectStartingState();
}

TEST_F(SceneFileTest, FailuresAfterTheSceneWasCleared)
{
    // Missing or invalid camera keyframes: the load goes on, the camera without keys.
    for (const char* pszCamera : {"absent.kff", "bad.kff"})
    {
        ASSERT_TRUE(m_doc.ReadSceneFile(Scene("1", pszCamera, {"a.off", "one.kff"}))) << pszCamera;
        EXPECT_EQ(m_doc.m_pCamera->CountPositionKeys(), 0);
        EXPECT_EQ(ObjectNames(), (std::vector<std::string>{"Camera", "a.off"}));
    }

    // An object's OFF file that cannot be read: the exception passes, earlier meshes stay.
    Write("broken.off", "OFF\n4 1 0\n0 0 0\n");
    for (const char* pszMesh : {"absent.off", "broken.off"})
    {
        LoadStartingMesh();
        m_doc.m_bScene = false;
        try
        {
            m_doc.ReadSceneFile(
                Scene("3", "none.kff", {"a.off", "one.kff", pszMesh, "one.kff", "a.off", "none.kff"}));
            ADD_FAILURE() << pszMesh << " did not throw";
        }
        catch (const CArchiveException& e)
        {
            EXPECT_EQ(e.m_cause, CArchiveException::badSchema);
        }
        EXPECT_TRUE(m_doc.m_bScene);
        EXPECT_EQ(ObjectNames(), (std::vector<std::string>{"Camera", "a.off"})) << pszMesh;
        EXPECT_EQ(m_doc.m_pCurrentObject, m_doc.m_pCamera->m_pNext);
        EXPECT_EQ(m_doc.m_pCurrentObject->m_pNext, nullptr);
    }

    // An object's keyframe file missing or invalid: false, meshes up to this one kept.
    for (const char* pszKeys : {"absent.kff", "bad.kff"})
    {
        LoadStartingMesh();
        m_doc.m_bScene = false;
        EXPECT_FALSE(m_doc.ReadSceneFile(
            Scene("3", "one.kff", {"a.off", "one.kff", "b.off", pszKeys, "a.off", "none.kff"})))
            << pszKeys;
        EXPECT_TRUE(m_doc.m_bScene);
        EXPECT_EQ(ObjectNames(), (std::vector<std::string>{"Camera", "a.off", "b.off"})) << pszKeys;
        EXPECT_EQ(m_doc.m_pCurrentObject->m_strName, "b.off");
        EXPECT_EQ(m_doc.m_pCurrentObject->CountPositionKeys(), 0);
        EXPECT_EQ(m_doc.m_pCamera->CountPositionKeys(), 1);
    }
}

TEST_F(SceneFileTest, BufferEntryPoint)
{
    const std::string strText =
        "SCENE 1\t" + Path("none.kff") + "\r\n" + Path("a.off") + "\t" + Path("two.kff");
    ASSERT_TRUE(ReadSceneBuffer(strText, m_doc));
    EXPECT_EQ(ObjectNames(), (std::vector<std::string>{"Camera", "a.off"}));
    EXPECT_EQ(m_doc.m_pCurrentObject->CountPositionKeys(), 2);
}
