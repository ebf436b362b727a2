#pragma once

// Shared by the STL, point cloud, keyframe and scene file tests: a scratch folder and a document
// without display lists per test, meshes and keys built in code, little-endian reads.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <bit>
#include <clocale>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <locale>
#include <string>
#include <vector>

#include "model/Mesh.h"
#include "model/OrientationKeyframe.h"
#include "model/PositionKeyframe.h"
#include "model/TeldViewGLDoc.h"

namespace FileTestSupport
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

inline CPositionKeyframe* PosKey(int32_t nTime, CVector3 vPosition, CVector3 vDirection = CVector3())
{
    auto* pKey = new CPositionKeyframe;
    pKey->m_nTime = nTime;
    pKey->m_vPosition = vPosition;
    pKey->m_vDirection = vDirection;
    return pKey;
}

inline COrientationKeyframe* OriKey(int32_t nTime, CQuaternion qOrientation, CQuaternion qRotation = {})
{
    auto* pKey = new COrientationKeyframe;
    pKey->m_nTime = nTime;
    pKey->m_qOrientation = qOrientation;
    pKey->m_qRotation = qRotation;
    return pKey;
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

// While alive, the C and C++ global locales use a decimal comma (when de_DE is installed).
class CGermanLocale
{
public:
    CGermanLocale() : m_strOld(std::setlocale(LC_ALL, nullptr))
    {
        m_bActive = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
        if (m_bActive)
            m_oldGlobal = std::locale::global(std::locale("de_DE.UTF-8"));
    }
    ~CGermanLocale()
    {
        if (!m_bActive)
            return;
        std::locale::global(m_oldGlobal);
        std::setlocale(LC_ALL, m_strOld.c_str());
    }
    std::string m_strOld;
    std::locale m_oldGlobal;
    bool m_bActive;
};

// While alive, every write past nBytes of a file fails, as on a full disk, instead of raising
// SIGXFSZ.
class CFileSizeLimit
{
public:
    explicit CFileSizeLimit(rlim_t nBytes) : m_oldHandler(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        const rlimit limit = {nBytes, m_saved.rlim_max};
        m_bActive = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~CFileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    rlimit m_saved = {};
    void (*m_oldHandler)(int);
    bool m_bActive;
};

// A scratch folder of its own for each test.
class CScratchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const ::testing::TestInfo* pInfo = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir =
            fs::path(::testing::TempDir()) / (std::string(pInfo->test_suite_name()) + "_" + pInfo->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string Write(const std::string& strName, const std::string& contents) const
    {
        std::ofstream(m_dir / strName, std::ios::binary) << contents;
        return Path(strName);
    }
    std::string Path(const std::string& strName) const { return (m_dir / strName).string(); }
    size_t FilesInDir() const
    {
        return static_cast<size_t>(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()));
    }

    fs::path m_dir;
    CTeldViewGLDoc m_doc;
};
} // namespace FileTestSupport
