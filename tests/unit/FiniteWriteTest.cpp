// Every writer refuses a number that is not finite, instead of writing a file that no reader
// takes back; the file that was there stays as it was.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <sstream>

#include "animation/KeyframeFile.h"
#include "tests/unit/FileTestSupport.h"

namespace
{
using namespace FileTestSupport;
using FiniteWriteTest = CScratchTest;

TEST_F(FiniteWriteTest, EveryWriterRefusesANumberThatIsNotFinite)
{
    const double dInf = std::numeric_limits<double>::infinity();
    CMesh* pMesh = AddMesh(m_doc, {CVector3(0, 0, 0), CVector3(1, 0, 0), CVector3(0, 1, 0)}, {{0, 1, 2}});
    m_doc.m_bScene = true;
    CSceneObject keyed;
    keyed.AddPositionKey(PosKey(0, CVector3(1, 2, 3)));
    keyed.AddOrientationKey(OriKey(5, CQuaternion(1, 0, 0, 0), CQuaternion(1, 0, 0, 0)));
    const auto save = [&](const std::string& strPath)
    {
        std::ostringstream out;
        return pMesh->WriteOFF(out) ? (Write(strPath, out.str()), true) : false;
    };
    // A position beyond the float range is finite in the mesh, infinite in STL and point clouds.
    struct SCase
    {
        const char* pszFile;
        CVector3 vPosition;
        std::function<bool(const std::string&)> fnWrite;
    };
    const SCase cases[] = {
        {"mesh.off", CVector3(), save},
        {"scene.off", CVector3(dInf, 0, 0), [&](const std::string& s) { return m_doc.ExportSceneOFF(s); }},
        {"binary.stl", CVector3(1e300, 0, 0),
         [&](const std::string& s) { return m_doc.ExportScene(s, EXPORT_BINARY_STL); }},
        {"ascii.stl", CVector3(0, -1e300, 0),
         [&](const std::string& s) { return m_doc.ExportScene(s, EXPORT_ASCII_STL); }},
        {"cloud.pts", CVector3(0, 0, 1e39),
         [&](const std::string& s) { return m_doc.ExportScene(s, EXPORT_POINT_CLOUD); }},
        {"keys.kff", CVector3(), [&](const std::string& s) { return WriteKeyframeFile(s, keyed); }},
    };
    for (const SCase& c : cases)
    {
        const std::string strPath = Path(c.pszFile);
        pMesh->m_vPosition = CVector3();
        pMesh->m_ppVertices[1][0] = 1.0;
        keyed.m_pOriKeys->m_qRotation.v.y = 0.0;
        ASSERT_TRUE(c.fnWrite(strPath)) << c.pszFile << " with finite numbers";
        Write(c.pszFile, "old");
        pMesh->m_vPosition = c.vPosition;
        pMesh->m_ppVertices[1][0] = c.pszFile == std::string("mesh.off") ? -dInf : 1.0;
        keyed.m_pOriKeys->m_qRotation.v.y = c.pszFile == std::string("keys.kff") ? std::nan("") : 0.0;
        EXPECT_FALSE(c.fnWrite(strPath)) << c.pszFile;
        EXPECT_EQ(ReadFile(strPath), "old") << c.pszFile;
    }
    EXPECT_EQ(FilesInDir(), std::size(cases));
}
} // namespace
