#pragma once

// Helpers shared by the STL and point cloud tests: a scratch folder per test, meshes built in
// code, little-endian reads of written files.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "scene/Mesh.h"
#include "scene/TeldViewGLDoc.h"

namespace StlTestSupport
{
namespace fs = std::filesystem;

inline std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline uint32_t UInt32At(const std::string& s, size_t n)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(s.at(n + static_cast<size_t>(i)));
    return v;
}

inline float FloatAt(const std::string& s, size_t n)
{
    return std::bit_cast<float>(UInt32At(s, n));
}

// Links a new mesh behind the others and fills it with the given faces (any sizes), as a reader
// would: normals generated, bounds computed.
inline CMesh* AddMesh(CTeldViewGLDoc& doc, const std::vector<CVector3>& vertices,
                      const std::vector<std::vector<int32_t>>& faces)
{
    CMesh* pMesh = doc.PrepareImportMesh(true);
    int32_t nEdges = 0;
    for (const auto& f : faces)
        nEdges += static_cast<int32_t>(f.size());
    pMesh->Allocate(static_cast<int32_t>(vertices.size()), static_cast<int32_t>(faces.size()), nEdges);
    for (size_t i = 0; i < vertices.size(); ++i)
        pMesh->SetVertex(static_cast<int32_t>(i), vertices[i]);
    for (size_t f = 0; f < faces.size(); ++f)
        pMesh->SetFace(static_cast<int32_t>(f), static_cast<int32_t>(faces[f].size()), faces[f].data());
    pMesh->Transform(CVector3(1, 0, 0), CVector3(0, 1, 0), CVector3(0, 0, 1));
    pMesh->m_bLoaded = true;
    doc.UpdateSceneBounds();
    return pMesh;
}

inline std::vector<CSceneObject*> ObjectList(const CTeldViewGLDoc& doc)
{
    std::vector<CSceneObject*> list;
    for (CSceneObject* p = doc.m_pObjectList; p != nullptr; p = p->m_pNext)
        list.push_back(p);
    return list;
}

inline CMesh& MeshAt(const CTeldViewGLDoc& doc, size_t n)
{
    return *static_cast<CMesh*>(ObjectList(doc).at(n));
}

// A scratch folder of its own for each test and a document that compiles no display lists, so
// that no GL context is needed.
class CSceneFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const ::testing::TestInfo* pInfo = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir =
            fs::path(::testing::TempDir()) / (std::string(pInfo->test_suite_name()) + "_" + pInfo->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_doc.m_bCompileLists = false;
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string Write(const std::string& strName, const std::string& contents)
    {
        const fs::path path = m_dir / strName;
        std::ofstream(path, std::ios::binary) << contents;
        return path.string();
    }
    std::string Path(const std::string& strName) const { return (m_dir / strName).string(); }
    size_t FilesInDir() const
    {
        return static_cast<size_t>(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()));
    }

    fs::path m_dir;
    CTeldViewGLDoc m_doc;
};
} // namespace StlTestSupport
