// Every writer refuses a number that is not finite, instead of writing a file that no reader
// takes back; the file that was there stays as it was.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <sstream>

#include "formats/off/OffWriter.h"
#include "model/ObjectKeyframes.h"
#include "model/Camera.h"
#include "tests/unit/FileTestSupport.h"

namespace
{
using namespace FileTestSupport;
using FiniteWriteTest = CScratchTest;

TEST_F(FiniteWriteTest, EveryWriterRefusesANumberThatIsNotFinite)
{
    CMesh* pMesh = AddMesh(m_doc, {CVector3(0, 0, 0), CVector3(1, 0, 0), CVector3(0, 1, 0)}, {{0, 1, 2}});
    m_doc.m_bScene = true;
    m_doc.m_pCamera->AddPositionKey(PosKey(0, CVector3(1, 2, 3)));
    double& dKey = m_doc.m_pCamera->m_pPosKeys->m_vDirection.y;
    double& dVertex = pMesh->m_ppVertices[1][0];
    std::ostringstream out;
    // The value each writer meets: a vertex, a placed coordinate (beyond the float range of STL
    // and point clouds, finite in the mesh), a keyframe.
    const std::tuple<const char*, double*, double, std::function<bool(const std::string&)>> cases[] = {
        {"mesh.off", &dVertex, -INFINITY, [&](const std::string&) { return WriteOFF(out, pMesh->View()); }},
        {"scene.off", &pMesh->m_vPosition.x, INFINITY,
         [&](const std::string& s) { return m_doc.ExportSceneOFF(s); }},
        {"binary.stl", &pMesh->m_vPosition.y, 1e300,
         [&](const std::string& s) { return m_doc.ExportScene(s, EXPORT_BINARY_STL); }},
        {"ascii.stl", &pMesh->m_vPosition.z, -1e300,
         [&](const std::string& s) { return m_doc.ExportScene(s, EXPORT_ASCII_STL); }},
        {"cloud.pts", &pMesh->m_vPosition.x, 1e39,
         [&](const std::string& s) { return m_doc.ExportScene(s, EXPORT_POINT_CLOUD); }},
        {"keys.kff", &dKey, NAN,
         [&](const std::string& s) { return WriteKeyframeFile(s, *m_doc.m_pCamera); }},
    };
    for (const auto& [pszFile, pValue, dValue, fnWrite] : cases)
    {
        const double dOld = *pValue;
        ASSERT_TRUE(fnWrite(Path(pszFile))) << pszFile << " with finite numbers";
        *pValue = dValue;
        Write(pszFile, "old");
        EXPECT_FALSE(fnWrite(Path(pszFile))) << pszFile;
        EXPECT_EQ(ReadFile(Path(pszFile)), "old") << pszFile;
        *pValue = dOld;
    }
}
} // namespace
