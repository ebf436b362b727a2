#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <locale>
#include <new>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "formats/OffFormat.h"
#include "scene/Mesh.h"

namespace fs = std::filesystem;

namespace
{
class OffFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("teldview_off_" + std::to_string(getpid()));
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string WriteFile(const std::string& strName, const std::string& strText)
    {
        const fs::path path = m_dir / strName;
        std::ofstream out(path, std::ios::binary);
        out << strText;
        return path.string();
    }

    fs::path m_dir;
};

// Caps the address space at what the process uses now plus some headroom, and counts the
// allocations that fail under the cap. A reader that believes a lying header asks for gigabytes
// and shows up here, even though it catches the failure and returns false.
class CMemoryCap
{
public:
    explicit CMemoryCap(size_t nHeadroom)
    {
        getrlimit(RLIMIT_AS, &m_old);
        size_t nPages = 0;
        if (FILE* pFile = std::fopen("/proc/self/statm", "r"))
        {
            if (std::fscanf(pFile, "%zu", &nPages) != 1)
                nPages = 0;
            std::fclose(pFile);
        }
        rlimit capped = m_old;
        const rlim_t nCap =
            static_cast<rlim_t>(nPages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + nHeadroom;
        if (nPages > 0 && (m_old.rlim_max == RLIM_INFINITY || nCap < m_old.rlim_max))
            capped.rlim_cur = nCap;
        setrlimit(RLIMIT_AS, &capped);
        s_nFailures = 0;
        m_oldHandler = std::set_new_handler(&OnFailure);
    }
    ~CMemoryCap()
    {
        std::set_new_handler(m_oldHandler);
        setrlimit(RLIMIT_AS, &m_old);
    }
    CMemoryCap(const CMemoryCap&) = delete;
    CMemoryCap& operator=(const CMemoryCap&) = delete;
    static int Failures() { return s_nFailures; }

private:
    static void OnFailure()
    {
        ++s_nFailures;
        throw std::bad_alloc();
    }
    static inline int s_nFailures = 0;
    rlimit m_old{};
    std::new_handler m_oldHandler = nullptr;
};

std::string Written(const CMesh& mesh)
{
    std::ostringstream out;
    EXPECT_TRUE(mesh.WriteOFF(out));
    return out.str();
}

// printf's "%f" in the C locale: the reference the writer must match.
std::string PrintfFixed(double d)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%f", d);
    return buf;
}
} // namespace

TEST_F(OffFileTest, EveryKeywordRoundTripsInFieldOrder)
{
    struct
    {
        const char* pszKeyword;
        bool bNormals, bColors, bTexCoords;
        int nRecordSize;
    } const rows[] = {
        {"OFF", false, false, false, 6},   {"NOFF", true, false, false, 6},
        {"COFF", false, true, false, 11},  {"STOFF", false, false, true, 8},
        {"STNOFF", true, false, true, 8},  {"STCOFF", false, true, true, 11},
        {"STCNOFF", true, true, true, 11},
    };
    auto value = [](int i, int j) { return (i * 11 + j) * 0.125 - 1.0; };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.pszKeyword);
        const int nFields = 3 + (row.bNormals ? 3 : 0) + (row.bColors ? 3 : 0) + (row.bTexCoords ? 2 : 0);
        std::string text = std::string(row.pszKeyword) + "\n3 1 3\n";
        for (int i = 0; i < 3; ++i)
        {
            for (int j = 0; j < nFields; ++j)
                text += (j > 0 ? " " : "") + PrintfFixed(value(i, j));
            text += "\n";
        }
        text += "3 0 1 2\n";

        CMesh mesh;
        ASSERT_TRUE(mesh.ReadOFF(WriteFile("k.off", text)));
        EXPECT_EQ(mesh.m_bHasNormals, row.bNormals);
        EXPECT_EQ(mesh.m_bHasColors, row.bColors);
        EXPECT_EQ(mesh.m_bHasTexCoords, row.bTexCoords);
        EXPECT_EQ(mesh.m_nRecordSize, row.nRecordSize);
        // The file gives position, normal, colour, texture coordinate; the record keeps them in
        // slots 0-2, 3-5, 8-10 and 6-7.
        for (int i = 0; i < 3; ++i)
        {
            int j = 0;
            const double* p = mesh.m_ppVertices[i];
            auto expectSlots = [&](int nSlot, int nCount)
            {
                for (int s = 0; s < nCount; ++s)
                    EXPECT_EQ(p[nSlot + s], value(i, j++));
            };
            expectSlots(SLOT_POSITION, 3);
            if (row.bNormals)
                expectSlots(SLOT_NORMAL, 3);
            if (row.bColors)
                expectSlots(SLOT_COLOR, 3);
            if (row.bTexCoords)
                expectSlots(SLOT_TEXCOORD, 2);
        }
        const std::string strOut = Written(mesh);
        EXPECT_EQ(strOut, text);
        CMesh again;
        ASSERT_TRUE(again.ReadOFFBuffer(strOut, "again.off"));
        EXPECT_EQ(Written(again), text);
    }
}

TEST(OffFormat, WrittenLayout)
{
    // The counts line carries the sum of the face sizes, not the file's edge count.
    CMesh cube;
    ASSERT_TRUE(cube.ReadOFFBuffer("OFF\n8 6 12\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n0 0 1\n1 0 1\n1 1 1\n0 1 1\n"
                                   "4 0 3 2 1\n4 4 5 6 7\n4 0 1 5 4\n4 2 3 7 6\n4 1 2 6 5\n4 3 0 4 7\n",
                                   "cube.off"));
    EXPECT_EQ(cube.m_nEdges, 24);
    const std::string strCube = Written(cube);
    EXPECT_EQ(strCube.substr(0, strCube.find('\n', 4) + 1), "OFF\n8 6 24\n");
    EXPECT_NE(strCube.find("\n1.000000 1.000000 0.000000\n"), std::string::npos);
    EXPECT_NE(strCube.find("\n4 3 0 4 7\n"), std::string::npos);

    // Six decimals whatever the size, as printf gives them.
    CMesh mesh;
    ASSERT_TRUE(mesh.ReadOFFBuffer(
        "OFF 3 1 0  0.0000004 2.5 -0.0000004  1e20 -123456.7890125 1  0 0 0  3 0 1 2", "f.off"));
    const std::string strOut = Written(mesh);
    EXPECT_NE(strOut.find("\n0.000000 2.500000 -0.000000\n"), std::string::npos) << strOut;
    const std::string strBig = PrintfFixed(1e20) + " " + PrintfFixed(-123456.7890125) + " 1.000000\n";
    EXPECT_NE(strOut.find(strBig), std::string::npos) << strOut;
    EXPECT_EQ(strOut.substr(strOut.size() - 8), "3 0 1 2\n");
}

TEST(OffFormat, LayoutFreedomsOfTheReader)
{
    // Keyword, counts and coordinates on one line; faces need their own lines, and whatever
    // follows a face's last index is skipped, however long.
    const std::string strLong(300, 'x');
    const std::string text = "OFF 4 3 0 0 0 0 1 0 0 0 1 0 1 1 0\r\n"
                             "3 0 1 2 1.0 0.0 0.0\n"
                             "3\t1 3 2 " +
                             strLong +
                             "\n"
                             "4\n0 1 3 2 +7 -8 9 this is a comment that is not one\n";
    CMesh mesh;
    ASSERT_TRUE(mesh.ReadOFFBuffer(text, "x.off"));
    EXPECT_EQ(mesh.m_nFaces, 3);
    EXPECT_EQ(mesh.m_pFaceSizes[0], 3);
    EXPECT_EQ(mesh.m_pFaceSizes[1], 3);
    EXPECT_EQ(mesh.m_ppFaces[1][1], 3);
    EXPECT_EQ(mesh.m_pFaceSizes[2], 4);
    EXPECT_EQ(mesh.m_ppFaces[2][3], 2);
    EXPECT_EQ(mesh.m_nEdges, 10);
    EXPECT_EQ(mesh.m_nLargestFace, 4);
    EXPECT_EQ(mesh.m_ppVertices[3][0], 1.0);

    // Signs, exponents and numbers too small for a double, as the C library reads them.
    CMesh numbers;
    ASSERT_TRUE(numbers.ReadOFFBuffer(
        "OFF\n+3 +1 -5\n+1.5 -2e-1 .5\n1E+2 1e-400 -1e-400\n5. 0 0\n+3 0 1 +2\n", "n.off"));
    EXPECT_EQ(numbers.m_ppVertices[0][0], 1.5);
    EXPECT_EQ(numbers.m_ppVertices[0][1], -0.2);
    EXPECT_EQ(numbers.m_ppVertices[0][2], 0.5);
    EXPECT_EQ(numbers.m_ppVertices[1][0], 100.0);
    EXPECT_EQ(numbers.m_ppVertices[1][1], 0.0);
    EXPECT_EQ(numbers.m_ppVertices[1][2], 0.0);
    EXPECT_EQ(numbers.m_ppVertices[2][0], 5.0);
}

TEST_F(OffFileTest, DerivedDataAndNames)
{
    CMesh mesh;
    mesh.m_vPosition = CVector3(7, 7, 7);
    const std::string strPath = WriteFile("tri.off", "OFF\n3 1 0\n-1 0 2\n3 0.5 2\n0 -2 4\n3 0 1 2\n");
    ASSERT_TRUE(mesh.ReadOFF(strPath));
    EXPECT_TRUE(mesh.m_bLoaded);
    EXPECT_EQ(mesh.m_strPath, strPath);
    EXPECT_EQ(mesh.m_strName, "tri.off");
    EXPECT_EQ(mesh.m_vBoundsMin.x, -1.0);
    EXPECT_EQ(mesh.m_vBoundsMin.y, -2.0);
    EXPECT_EQ(mesh.m_vBoundsMax.z, 4.0);
    EXPECT_EQ(mesh.m_dHalfExtent, 2.0); // x side 4 beats y side 2.5 and z side 2
    EXPECT_EQ(mesh.m_vCenter.x, 1.0);
    EXPECT_EQ(mesh.m_vCenter.y, -0.75);
    EXPECT_EQ(mesh.m_vCenter.z, 3.0);
    EXPECT_EQ(mesh.m_vPosition.x, 0.0);
    EXPECT_NE(mesh.m_ppFaceNormals[0], nullptr);

    // The name is what follows the last separator of either kind.
    const char* const text = "OFF 3 1 0 0 0 0 1 0 0 0 1 0\n3 0 1 2\n";
    const std::pair<const char*, const char*> names[] = {
        {"C:\\models\\cube.off", "cube.off"}, {"/home/u/models/cube.off", "cube.off"},
        {"mixed/dir\\name.off", "name.off"},  {"back\\slash/last.off", "last.off"},
        {"plain.off", "plain.off"},
    };
    for (const auto& [pszPath, pszName] : names)
    {
        CMesh named;
        ASSERT_TRUE(named.ReadOFFBuffer(text, pszPath));
        EXPECT_EQ(named.m_strName, pszName);
        EXPECT_EQ(named.m_strPath, pszPath);
    }
}

TEST_F(OffFileTest, MalformedFilesLeaveTheMeshEmpty)
{
    const std::string strTri = "0 0 0\n1 0 0\n0 1 0\n";
    struct
    {
        const char* pszName;
        std::string text;
    } const rows[] = {
        {"empty file", ""},
        {"white space only", " \n\t\n"},
        {"lower-case keyword", "off\n3 1 0\n" + strTri + "3 0 1 2\n"},
        {"colours and normals without texture", "CNOFF\n3 1 0\n" + strTri + "3 0 1 2\n"},
        {"keyword longer than 127", std::string(200, 'S') + "OFF\n3 1 0\n" + strTri + "3 0 1 2\n"},
        {"keyword glued to counts", "OFF3 1 0\n" + strTri + "3 0 1 2\n"},
        {"counts missing", "OFF\n3 1\n"},
        {"counts 0 0 0", "OFF\n0 0 0\n"},
        {"counts 4 0 0", "OFF\n4 0 0\n" + strTri + "1 1 1\n"},
        {"no vertices", "OFF\n0 1 0\n3 0 1 2\n"},
        {"negative counts", "OFF\n-3 -1 0\n"},
        {"count not an integer", "OFF\n3.0 1 0\n" + strTri + "3 0 1 2\n"},
        {"edge count not a number", "OFF\n3 1 many\n" + strTri + "3 0 1 2\n"},
        {"vertex count overflows", "OFF\n4294967299 1 0\n" + strTri + "3 0 1 2\n"},
        {"lying vertex count", "OFF 2000000000 1 0\n" + strTri + "3 0 1 2\n"},
        {"lying face count", "OFF 3 2000000000 0\n" + strTri + "3 0 1 2\n"},
        {"lying face size", "OFF 3 1 0\n" + strTri + "2000000000 0 1 2\n"},
        {"not a number", "OFF\n3 1 0\n0 0 0\n1 x 0\n0 1 0\n3 0 1 2\n"},
        {"number with a tail", "OFF\n3 1 0\n0 0 0\n1 0 0.5.1\n0 1 0\n3 0 1 2\n"},
        {"decimal comma", "OFF\n3 1 0\n0 0 0\n1,5 0 0\n0 1 0\n3 0 1 2\n"},
        {"double sign", "OFF\n3 1 0\n0 0 0\n+-1 0 0\n0 1 0\n3 0 1 2\n"},
        {"infinity", "OFF\n3 1 0\n0 0 0\ninf 0 0\n0 1 0\n3 0 1 2\n"},
        {"negative infinity", "OFF\n3 1 0\n0 0 0\n-inf 0 0\n0 1 0\n3 0 1 2\n"},
        {"not a number token", "OFF\n3 1 0\n0 0 0\n0 nan 0\n0 1 0\n3 0 1 2\n"},
        {"too large for a double", "OFF\n3 1 0\n0 0 0\n0 1e400 0\n0 1 0\n3 0 1 2\n"},
        {"hexadecimal", "OFF\n3 1 0\n0 0 0\n0x1p3 0 0\n0 1 0\n3 0 1 2\n"},
        {"ends in vertices", "OFF\n3 1 0\n0 0 0\n1 0 0\n"},
        {"ends in the last vertex", "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1"},
        {"ends before faces", "OFF\n3 1 0\n" + strTri},
        {"ends in faces", "OFF\n3 2 0\n" + strTri + "3 0 1 2\n"},
        {"ends inside a face", "OFF\n3 1 0\n" + strTri + "3 0 1"},
        {"face size 0", "OFF\n3 1 0\n" + strTri + "0\n"},
        {"face size negative", "OFF\n3 1 0\n" + strTri + "-3 0 1 2\n"},
        {"face size overflows", "OFF\n3 1 0\n" + strTri + "99999999999 0 1 2\n"},
        {"index -1", "OFF\n3 1 0\n" + strTri + "3 0 -1 2\n"},
        {"index V", "OFF\n3 1 0\n" + strTri + "3 0 1 3\n"},
        {"index overflows", "OFF\n3 1 0\n" + strTri + "3 0 1 4294967296\n"},
        {"index not an integer", "OFF\n3 1 0\n" + strTri + "3 0 1.0 2\n"},
        {"face entries share a line", "OFF\n3 2 0\n" + strTri + "3 0 1 2 3 2 1 0\n"},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.pszName);
        const std::string strPath = WriteFile("bad.off", row.text);
        CMesh mesh;
        mesh.Reset();
        mesh.m_strName = "before";
        mesh.m_strPath = "/before/path";
        {
            CMemoryCap cap(size_t(512) << 20);
            EXPECT_FALSE(mesh.ReadOFF(strPath));
            EXPECT_EQ(CMemoryCap::Failures(), 0) << "the header's counts were believed";
        }
        EXPECT_FALSE(mesh.m_bLoaded);
        EXPECT_EQ(mesh.m_nVertices, 0);
        EXPECT_EQ(mesh.m_nFaces, 0);
        EXPECT_EQ(mesh.m_nEdges, 0);
        EXPECT_EQ(mesh.m_ppVertices, nullptr);
        EXPECT_EQ(mesh.m_ppFaces, nullptr);
        EXPECT_EQ(mesh.m_pFaceSizes, nullptr);
        EXPECT_EQ(mesh.m_ppFaceNormals, nullptr);
        EXPECT_FALSE(mesh.m_bHasNormals || mesh.m_bHasColors || mesh.m_bHasTexCoords);
        EXPECT_EQ(mesh.m_nRecordSize, 6);
        EXPECT_EQ(mesh.m_strName, "before");
        EXPECT_EQ(mesh.m_strPath, "/before/path");
        // The mesh is still readable.
        EXPECT_TRUE(mesh.ReadOFFBuffer("OFF 3 1 0 " + strTri + "3 0 1 2\n", "good.off"));
    }
}

TEST_F(OffFileTest, FilesThatCannotBeReadAndLoadedMeshes)
{
    CMesh mesh;
    EXPECT_FALSE(mesh.ReadOFF((m_dir / "missing.off").string()));
    EXPECT_FALSE(mesh.ReadOFF(m_dir.string())); // a folder
    EXPECT_FALSE(mesh.ReadOFF("/dev/zero"));    // a device that never ends
    EXPECT_FALSE(mesh.m_bLoaded);

    // A pipe is read to its end.
    const std::string strFifo = (m_dir / "pipe.off").string();
    ASSERT_EQ(mkfifo(strFifo.c_str(), 0600), 0);
    std::thread writer(
        [&]
        {
            std::ofstream out(strFifo, std::ios::binary);
            out << "OFF 3 1 0\n";
            for (int i = 0; i < 20000; ++i) // more than one read delivers
                out << "                                                                \n";
            out << "0 0 0 1 0 0 0 1 0\n3 0 1 2\n";
        });
    CMesh piped;
    EXPECT_TRUE(piped.ReadOFF(strFifo));
    writer.join();
    EXPECT_EQ(piped.m_nFaces, 1);

    // A loaded mesh refuses a second file and keeps the first.
    ASSERT_TRUE(mesh.ReadOFF(WriteFile("a.off", "OFF 3 1 0 0 0 0 1 0 0 0 1 0\n3 0 1 2\n")));
    EXPECT_FALSE(mesh.ReadOFF(WriteFile("b.off", "OFF 4 1 0 0 0 0 1 0 0 0 1 0 1 1 1\n4 0 1 3 2\n")));
    EXPECT_FALSE(mesh.ReadOFFBuffer("OFF 4 1 0 0 0 0 1 0 0 0 1 0 1 1 1\n4 0 1 3 2\n", "b.off"));
    EXPECT_EQ(mesh.m_nVertices, 3);
    EXPECT_EQ(mesh.m_strName, "a.off");

    // A stream that is not usable is the writers' one failure.
    std::ofstream closed;
    EXPECT_FALSE(mesh.WriteOFF(closed));
    EXPECT_FALSE(mesh.WriteOFFFaces(closed, 0));
    mesh.WriteOFFVertices(closed, true, true, true);
    std::ostringstream failed;
    failed.setstate(std::ios::badbit);
    EXPECT_FALSE(mesh.WriteOFF(failed));
    EXPECT_EQ(failed.str(), "");
}

TEST(OffFormat, SceneWritersUseWorldPositionsAndOffsets)
{
    CMesh mesh;
    ASSERT_TRUE(mesh.ReadOFFBuffer("STCNOFF 2 1 0\n"
                                   "1 2 3 0 0 1 0.25 0.5 0.75 0.125 0.875\n"
                                   "3 2 1 0 1 0 1 1 1 0 1\n"
                                   "2 0 1\n",
                                   "s.off"));
    // Half a turn about z around the centre (2, 2, 2), then moved by (10, 0, 0).
    mesh.m_qOrientation = CQuaternion(0, 0, 0, 1);
    mesh.m_vPosition = CVector3(10, 0, 0);
    std::ostringstream out;
    mesh.WriteOFFVertices(out, true, true, true);
    EXPECT_EQ(out.str(), "13.000000 2.000000 3.000000 0.000000 0.000000 1.000000 0.250000 0.500000 0.750000 "
                         "0.125000 0.875000\n"
                         "11.000000 2.000000 1.000000 0.000000 1.000000 0.000000 1.000000 1.000000 1.000000 "
                         "0.000000 1.000000\n");
    std::ostringstream partial;
    mesh.WriteOFFVertices(partial, false, true, false);
    EXPECT_EQ(partial.str().substr(0, partial.str().find('\n')),
              "13.000000 2.000000 3.000000 0.250000 0.500000 0.750000");
    std::ostringstream faces;
    EXPECT_TRUE(mesh.WriteOFFFaces(faces, 2147483000));
    EXPECT_EQ(faces.str(), "2 2147483000 2147483001\n");
    EXPECT_EQ(ComposeOFFKeyword(true, false, true), "STNOFF");
    EXPECT_EQ(ComposeOFFKeyword(false, true, true), "CNOFF");
}

TEST_F(OffFileTest, NumbersDoNotFollowTheUserLocale)
{
    const char* const pszLocale = "de_DE.UTF-8";
    ASSERT_NE(std::setlocale(LC_ALL, pszLocale), nullptr)
        << "the locale " << pszLocale << " is missing; run scripts/install-deps.sh --test to generate it";
    try
    {
        std::locale::global(std::locale(pszLocale));
    }
    catch (const std::runtime_error&)
    {
        std::setlocale(LC_ALL, "C");
        FAIL() << "the C++ locale " << pszLocale << " is missing; run scripts/install-deps.sh --test";
    }
    // The locale really uses a decimal comma.
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", 1.5);
    const std::string strLocalised = buf;

    CMesh mesh;
    const std::string strPath =
        WriteFile("de.off", "OFF\n3 1 0\n0.5 -1.25 1000.125\n2.5e-3 3 4\n1234.5 0 0.0625\n3 0 1 2\n");
    const bool bRead = mesh.ReadOFF(strPath);
    const std::string strOut = (m_dir / "out.off").string();
    {
        // A stream made now carries the German locale; the writer must not care.
        std::ofstream out(strOut);
        mesh.WriteOFF(out);
        mesh.WriteOFFFaces(out, 1000);
    }
    std::ifstream in(strOut);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    CMesh back;
    const bool bReadBack = back.ReadOFF(strOut);

    std::locale::global(std::locale::classic());
    std::setlocale(LC_ALL, "C");

    EXPECT_EQ(strLocalised, "1,5");
    ASSERT_TRUE(bRead);
    EXPECT_EQ(mesh.m_ppVertices[0][2], 1000.125);
    EXPECT_EQ(mesh.m_ppVertices[1][0], 0.0025);
    EXPECT_EQ(text, "OFF\n3 1 3\n"
                    "0.500000 -1.250000 1000.125000\n"
                    "0.002500 3.000000 4.000000\n"
                    "1234.500000 0.000000 0.062500\n"
                    "3 0 1 2\n"
                    "3 1000 1001 1002\n");
    ASSERT_TRUE(bReadBack);
    EXPECT_EQ(back.m_ppVertices[2][0], 1234.5);
    EXPECT_EQ(back.m_ppVertices[0][1], -1.25);
}
