#include <bit>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "formats/InputFile.h"
#include "formats/off/OffFormat.h"
#include "formats/off/OffWriter.h"
#include "model/Mesh.h"
#include "tests/unit/FileTestSupport.h"

namespace
{
using namespace FileTestSupport;
using OffFileTest = CScratchTest;

// Runs f with the address space capped at the current use plus 512 MiB and returns the number of
// allocations that failed under the cap: a reader that believes a lying header asks for
// gigabytes and shows up here, even though it catches the failure and returns false.
int g_nFailedAllocations = 0;
template <typename F> int FailedAllocationsUnderCap(F f)
{
    rlimit old{};
    getrlimit(RLIMIT_AS, &old);
    size_t nPages = 0;
    std::ifstream("/proc/self/statm") >> nPages;
    rlimit capped = old;
    const rlim_t nCap =
        static_cast<rlim_t>(nPages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (rlim_t(512) << 20);
    if (nPages > 0 && (old.rlim_max == RLIM_INFINITY || nCap < old.rlim_max))
        capped.rlim_cur = nCap;
    setrlimit(RLIMIT_AS, &capped);
    g_nFailedAllocations = 0;
    const std::new_handler oldHandler = std::set_new_handler(
        []
        {
            ++g_nFailedAllocations;
            throw std::bad_alloc();
        });
    f();
    std::set_new_handler(oldHandler);
    setrlimit(RLIMIT_AS, &old);
    return g_nFailedAllocations;
}

std::string Written(const CMesh& mesh)
{
    std::ostringstream out;
    EXPECT_TRUE(WriteOFF(out, mesh.View()));
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

TEST(OffFormat, EveryKeywordRoundTripsInFieldOrder)
{
    const std::pair<const char*, int> rows[] = {{"OFF", 6},      {"NOFF", 6},   {"COFF", 11},
                                                {"STOFF", 8},    {"STNOFF", 8}, {"STCOFF", 11},
                                                {"STCNOFF", 11}, {"CNOFF", 11}};
    auto value = [](int i, size_t j) { return (i * 11 + j) * 0.125 - 1.0; };
    for (const auto& [pszKeyword, nRecordSize] : rows)
    {
        SCOPED_TRACE(pszKeyword);
        // The file gives position, normal, colour, texture coordinate; the record keeps them in
        // slots 0-2, 3-5, 8-10 and 6-7.
        const bool bNormals = std::strstr(pszKeyword, "NOFF"), bColors = std::strchr(pszKeyword, 'C'),
                   bTexCoords = pszKeyword[0] == 'S';
        std::vector<int> slots = {0, 1, 2};
        if (bNormals)
            slots.insert(slots.end(), {3, 4, 5});
        if (bColors)
            slots.insert(slots.end(), {8, 9, 10});
        if (bTexCoords)
            slots.insert(slots.end(), {6, 7});
        std::string text = std::string(pszKeyword) + "\n3 1 3\n";
        for (int i = 0; i < 3; ++i)
            for (size_t j = 0; j < slots.size(); ++j)
                text += PrintfFixed(value(i, j)) + (j + 1 < slots.size() ? " " : "\n");
        text += "3 0 1 2\n";

        CMesh mesh;
        ASSERT_TRUE(mesh.ReadOFFBuffer(text, "k.off"));
        EXPECT_TRUE(mesh.m_bHasNormals == bNormals && mesh.m_bHasColors == bColors &&
                    mesh.m_bHasTexCoords == bTexCoords);
        EXPECT_EQ(mesh.m_nRecordSize, nRecordSize);
        for (int i = 0; i < 3; ++i)
            for (size_t j = 0; j < slots.size(); ++j)
                EXPECT_EQ(mesh.m_ppVertices[i][slots[j]], value(i, j));
        EXPECT_EQ(Written(mesh), text);
    }
}

TEST(OffFormat, ReaderLayoutFreedomsAndWrittenLayout)
{
    // Keyword, counts and coordinates may share lines, a face may span lines, and whatever follows
    // a face's last index on its line is skipped, however long. Signs, exponents and numbers too
    // small for a double read as the C library reads them. The written edge count is the sum of
    // the face sizes, not the file's; numbers get six decimals, as printf gives them.
    CMesh mesh;
    ASSERT_TRUE(mesh.ReadOFFBuffer("OFF +5 3 -5 +1.5 -2e-1 .5 1E+2 1e-400 -1e-400 5. 0 0 1 1 0\r\n"
                                   "0.0000004 1e20 -123456.7890125\n"
                                   "+3 0 1 +2 1.0 0.0 0.0\n3\t1 3 2 " +
                                       std::string(300, 'x') + "\n4\n0 1 3 2 +7 -8 9 not a comment\n",
                                   "x.off"));
    EXPECT_EQ(mesh.m_ppVertices[0][1], -0.2);
    EXPECT_EQ(mesh.m_nLargestFace, 4);
    EXPECT_EQ(Written(mesh), "OFF\n5 3 10\n1.500000 -0.200000 0.500000\n100.000000 0.000000 -0.000000\n"
                             "5.000000 0.000000 0.000000\n1.000000 1.000000 0.000000\n0.000000 " +
                                 PrintfFixed(1e20) + " " + PrintfFixed(-123456.7890125) +
                                 "\n3 0 1 2\n3 1 3 2\n4 0 1 3 2\n");
}

TEST(OffFormat, LayoutsOfOtherToolsAndWhereTheStrictReadingWins)
{
    // {text, {vertex, slot, value} checks}. Whole colours from 0 to 255, some above 1, are bytes
    // with three components as with four; a first vertex line of seven numbers reads as the
    // keyword says.
    const std::pair<std::string, std::vector<std::tuple<int, int, double>>> rows[] = {
        {"# by a tool\r\nOFF # keyword\r\n\r\n3 1 0\r\n# vertices\r\n0 0 0 # first\r\n1 0 0\r\n"
         "0 1 0#glued\r\n3 0 1 2 # a face\r\n# end\r\n",
         {{2, 1, 1.0}}},
        {"NOFF3 1 0\n0 0 0 0 0 1\n1 0 0 0 0 1\n0 1 0 0 0 1\n3 0 1 2\n", {{2, 5, 1.0}}},
        {"COFF\n2 1 0\n0 0 0 255 0 51 255\n1 0 0 0 255 0 128\n2 0 1\n",
         {{0, 8, 1.0}, {0, 10, 0.2}, {1, 9, 1.0}}},
        {"STCOFF\n2 1 0\n0 0 0 1 0 0.5 1 0.25 0.75\n1 0 0 0 1 0 0 1 0.5\n2 0 1\n",
         {{0, 8, 1.0}, {0, 10, 0.5}, {0, 6, 0.25}, {1, 9, 1.0}, {1, 7, 0.5}}},
        {"COFF\n1 1 0\n0 0 0 255 0 128\n1 0\n", {{0, 8, 1.0}, {0, 10, 128 / 255.0}}},
        {"COFF\n2 1 0\n0 0 0 1 0 0 0\n1 0 0 1 0\n2 0 1\n", {{1, 1, 1.0}, {1, 9, 1.0}}},
        // Every vertex line one number longer: RGBA, though the keyword's reading would parse too.
        {"COFF\n3 1 0\n0 0 3 1 1 255 255\n0 1 3 255 255 0 255\n2 1 1 255 1 0 255\n3 1 0 2\n",
         {{0, 2, 3.0}, {0, 8, 1 / 255.0}, {1, 8, 1.0}, {2, 0, 2.0}, {2, 9, 1 / 255.0}}},
        // Lines broken: token by token, alpha only where the keyword's reading fails.
        {"COFF\n2 1 0\n0 0 0 255 0 51 255\n1 0 0\n0 255 0 128\n2 0 1\n", {{0, 10, 0.2}, {1, 9, 1.0}}},
        // The text ends at a NUL byte.
        {"OFF 3 1 0 0 0 0 1 0 0 0 1 0\n3 0 1 2\n" + std::string(3, '\0') + "junk", {{1, 0, 1.0}}},
    };
    for (const auto& [text, values] : rows)
    {
        SCOPED_TRACE(text);
        CMesh mesh;
        std::string strError = "stale";
        ASSERT_TRUE(mesh.ReadOFFBuffer(text, "d.off", nullptr, &strError));
        EXPECT_TRUE(strError.empty() && mesh.m_nFaces == 1);
        for (const auto& [nVertex, nSlot, dValue] : values)
            EXPECT_DOUBLE_EQ(mesh.m_ppVertices[nVertex][nSlot], dValue) << nVertex << " " << nSlot;
    }

    // A refusal says where and why.
    const std::pair<std::string, std::string> refusals[] = {
        {"OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1\n", "line 6: expected a vertex index, but the file ends"},
        {"COFF 1 1 0\n0 0 0\n1 1 x 1\n1 0\n", "line 3: expected a vertex colour"},
        {"OFF\n2 1 0\n0 0 0\n1 1 1\n# face\n2 0 2\n", "line 6: vertex index 2 is not in 0 to 1"},
        {"OFF\n3 1 0\n0 0 0\n1 0" + std::string(1, '\0') + " 0\n0 1 0\n3 0 1 2\n",
         "line 4: a NUL byte, which no OFF text holds"},
        {"OFF\n3 1 0\n0." + std::string(5000, '0') + "1 0 0\n1 0 0\n0 1 0\n3 0 1 2\n",
         "line 3: expected a vertex coordinate"},
    };
    for (const auto& [text, strMessage] : refusals)
    {
        CMesh mesh;
        std::string strError;
        EXPECT_FALSE(mesh.ReadOFFBuffer(text, "r.off", nullptr, &strError));
        EXPECT_EQ(strError, strMessage);
    }
}

TEST(OffFormat, WhatDataSetsWrite)
{
    // Point sets, a wrapper of braces, and binary OFF: big-endian counts, floats and face records,
    // a face's colour count (here 1) with as many floats after it.
    auto be = [](std::string& s, uint32_t n)
    {
        for (int nShift = 24; nShift >= 0; nShift -= 8)
            s += static_cast<char>((n >> nShift) & 0xff);
    };
    std::string strBinary = "# a comment\nOFF BINARY\n";
    for (uint32_t n : {3u, 1u, 0u})
        be(strBinary, n);
    for (float f : {0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 2.5f, 0.0f})
        be(strBinary, std::bit_cast<uint32_t>(f));
    for (uint32_t n : {3u, 0u, 1u, 2u, 1u, std::bit_cast<uint32_t>(0.5f)})
        be(strBinary, n);
    const std::tuple<std::string, int, double> rows[] = {
        {"OFF 2 0 0\n0 0 0\n1 2 3\n", 0, 2.0},
        {"{ OFF 3 1 0 # {a comment}\n0 0 0 1 0 0 0 2.5 0 3 0 1 2 }\n# end }\n", 1, 2.5},
        {strBinary, 1, 2.5},
    };
    for (const auto& [text, nFaces, dY] : rows)
    {
        SCOPED_TRACE(text);
        CMesh mesh;
        std::string strError;
        ASSERT_TRUE(mesh.ReadOFFBuffer(text, "s.off", nullptr, &strError)) << strError;
        EXPECT_EQ(mesh.m_nFaces, nFaces);
        EXPECT_EQ(mesh.m_ppVertices[mesh.m_nVertices - 1][1], dY);
        // A point set is shown as points, in its colour.
        EXPECT_EQ(mesh.m_nRenderMode == RENDER_POINTS, nFaces == 0);
    }
    const std::pair<std::string, std::string> refusals[] = {
        {"{ OFF 3 1 0 0 0 0 1 0 0 0 1 0 3 0 1 2 appearance { } }",
         "line 1: expected one OFF object and nothing else inside the braces"},
        {"{ OFF 3 1 0 0 0 0 1 0 0 0 1 0 3 0 1 2", "line 1: expected the '}' that closes the braces"},
        {"4OFF 3 1 0\n", "line 1: " + std::string(OFF_KEYWORD_EXPECTED)},
        {strBinary.substr(0, strBinary.size() - 1),
         "face 0: the data ends or holds a number that is not finite"},
    };
    for (const auto& [text, strMessage] : refusals)
    {
        SCOPED_TRACE(strMessage);
        CMesh mesh;
        std::string strError;
        EXPECT_FALSE(mesh.ReadOFFBuffer(text, "r.off", nullptr, &strError));
        EXPECT_EQ(strError, strMessage);
    }
}

TEST(OffFormat, NameIsWhatFollowsTheLastSeparatorOfEitherKind)
{
    for (const char* pszPath :
         {"C:\\models\\tri.off", "mixed/dir\\tri.off", "back\\slash/tri.off", "tri.off"})
    {
        CMesh named;
        ASSERT_TRUE(named.ReadOFFBuffer("OFF 3 1 0 0 0 0 1 0 0 0 1 0\n3 0 1 2\n", pszPath));
        EXPECT_EQ(named.m_strName, "tri.off");
        EXPECT_EQ(named.m_strPath, pszPath);
    }
}

TEST_F(OffFileTest, MalformedFilesLeaveTheMeshEmpty)
{
    const std::string strTri = "0 0 0\n1 0 0\n0 1 0\n", strBad = "OFF\n3 1 0\n0 0 0\n",
                      strEnd = "0 1 0\n3 0 1 2\n";
    const std::pair<const char*, std::string> rows[] = {
        {"empty file", ""},
        {"white space only", " \n\t\n"},
        {"lower-case keyword", "off\n3 1 0\n" + strTri + "3 0 1 2\n"},
        {"keyword longer than 127", std::string(200, 'S') + "OFF\n3 1 0\n" + strTri + "3 0 1 2\n"},
        {"counts missing", "OFF\n3 1\n"},
        {"counts 0 0 0", "OFF\n0 0 0\n"},
        {"counts 3 -1 0", "OFF\n3 -1 0\n" + strTri},
        {"negative counts", "OFF\n-3 -1 0\n"},
        {"count not an integer", "OFF\n3.0 1 0\n" + strTri + "3 0 1 2\n"},
        {"edge count not a number", "OFF\n3 1 many\n" + strTri + "3 0 1 2\n"},
        {"vertex count overflows", "OFF\n4294967299 1 0\n" + strTri + "3 0 1 2\n"},
        {"lying vertex count", "OFF 2000000000 1 0\n" + strTri + "3 0 1 2\n"},
        {"lying face count", "OFF 3 2000000000 0\n" + strTri + "3 0 1 2\n"},
        {"lying face size", "OFF 3 1 0\n" + strTri + "2000000000 0 1 2\n"},
        {"not a number", strBad + "1 x 0\n" + strEnd},
        {"infinity", strBad + "inf 0 0\n" + strEnd},
        {"ends in the last vertex", strBad + "1 0 0\n0 1"},
        {"ends in faces", "OFF\n3 2 0\n" + strTri + "3 0 1 2\n"},
        {"ends inside a face", "OFF\n3 1 0\n" + strTri + "3 0 1"},
        {"face size 0", "OFF\n3 1 0\n" + strTri + "0\n"},
        {"face size negative", "OFF\n3 1 0\n" + strTri + "-3 0 1 2\n"},
        {"index -1", "OFF\n3 1 0\n" + strTri + "3 0 -1 2\n"},
        {"index V", "OFF\n3 1 0\n" + strTri + "3 0 1 3\n"},
        {"index overflows", "OFF\n3 1 0\n" + strTri + "3 0 1 4294967296\n"},
        {"index not an integer", "OFF\n3 1 0\n" + strTri + "3 0 1.0 2\n"},
        {"face entries share a line", "OFF\n3 2 0\n" + strTri + "3 0 1 2 3 2 1 0\n"},
    };
    for (const auto& [pszName, text] : rows)
    {
        SCOPED_TRACE(pszName);
        const std::string strPath = Write("bad.off", text);
        CMesh mesh;
        mesh.m_strName = "before";
        mesh.m_strPath = "/before/path";
        bool bRead = true;
        EXPECT_EQ(FailedAllocationsUnderCap([&] { bRead = mesh.ReadOFF(strPath); }), 0)
            << "the header's counts were believed";
        EXPECT_FALSE(bRead);
        EXPECT_FALSE(mesh.m_bLoaded || mesh.m_bHasNormals || mesh.m_bHasColors || mesh.m_bHasTexCoords);
        EXPECT_TRUE(mesh.m_nVertices == 0 && mesh.m_nFaces == 0 && mesh.m_nEdges == 0 &&
                    mesh.m_nRecordSize == 6);
        EXPECT_TRUE(!mesh.m_ppVertices && !mesh.m_ppFaces && !mesh.m_pFaceSizes && !mesh.m_ppFaceNormals);
        EXPECT_EQ(mesh.m_strName + " " + mesh.m_strPath, "before /before/path");
        EXPECT_TRUE(mesh.ReadOFFBuffer("OFF 3 1 0 " + strTri + "3 0 1 2\n", "good.off")) << "still readable";
    }
}

TEST_F(OffFileTest, FilesThatCannotBeReadAndLoadedMeshes)
{
    CMesh mesh;
    EXPECT_FALSE(mesh.ReadOFF((m_dir / "missing.off").string()));
    EXPECT_FALSE(mesh.ReadOFF(m_dir.string())); // a folder
    EXPECT_FALSE(mesh.ReadOFF("/dev/zero"));    // a device that never ends
    EXPECT_FALSE(mesh.m_bLoaded);

    // A pipe that may be read is read to its end, past what one read delivers.
    const std::string strFifo = (m_dir / "pipe.off").string();
    ASSERT_EQ(mkfifo(strFifo.c_str(), 0600), 0);
    const std::string strPiped = "OFF 3 1 0" + std::string(1 << 20, ' ') + "0 0 0 1 0 0 0 1 0\n3 0 1 2\n";
    const CPipeInputPermit permit(strFifo);
    std::thread writer([&] { std::ofstream(strFifo) << strPiped; });
    CMesh piped;
    EXPECT_TRUE(piped.ReadOFF(strFifo));
    writer.join();
    EXPECT_EQ(piped.m_nFaces, 1);

    // A loaded mesh has its bounds, sits at the origin, and refuses a second file.
    mesh.m_vPosition = CVector3(7, 7, 7);
    const std::string strPath = Write("a.off", "OFF\n3 1 0\n-1 0 2\n3 0.5 2\n0 -2 4\n3 0 1 2\n");
    ASSERT_TRUE(mesh.ReadOFF(strPath));
    EXPECT_TRUE(mesh.m_bLoaded && mesh.m_strPath == strPath && mesh.m_strName == "a.off");
    EXPECT_EQ(mesh.m_dHalfExtent, 2.0); // x side 4 beats y side 2.5 and z side 2
    EXPECT_TRUE(mesh.m_vCenter.x == 1.0 && mesh.m_vCenter.y == -0.75 && mesh.m_vCenter.z == 3.0);
    EXPECT_EQ(mesh.m_vPosition.x, 0.0);
    const std::string strQuad = "OFF 4 1 0 0 0 0 1 0 0 0 1 0 1 1 1\n4 0 1 3 2\n";
    EXPECT_FALSE(mesh.ReadOFF(Write("b.off", strQuad)));
    EXPECT_FALSE(mesh.ReadOFFBuffer(strQuad, "b.off"));
    EXPECT_TRUE(mesh.m_nVertices == 3 && mesh.m_strName == "a.off");

    // A file of zeros after its header (4 KB on disk) is judged at its first NUL byte, its text
    // never read whole.
    const std::string strSparse = Write("sparse.off", "OFF\n1000000 1000000 0\n" + std::string(300, ' '));
    std::filesystem::resize_file(strSparse, uint64_t(2) << 30);
    std::string strError;
    CMesh sparse;
    EXPECT_FALSE(sparse.ReadOFF(strSparse, nullptr, &strError));
    EXPECT_EQ(strError, "line 3: a NUL byte, which no OFF text holds");

    // A stream that is not usable is the writers' one failure.
    std::ofstream closed;
    EXPECT_FALSE(WriteOFF(closed, mesh.View()));
    EXPECT_FALSE(WriteOFFFaces(closed, mesh.View(), 0));
}

TEST(OffFormat, SceneWritersUseWorldPositionsAndOffsets)
{
    CMesh mesh;
    ASSERT_TRUE(mesh.ReadOFFBuffer("STCNOFF 2 1 0\n1 2 3 0 0 1 0.25 0.5 0.75 0.125 0.875\n"
                                   "3 2 1 0 1 0 1 1 1 0 1\n2 0 1\n",
                                   "s.off"));
    // A quarter turn about z around the centre (2, 2, 2), which sends x to -y, then moved by
    // (10, 0, 0). Normals and the other fields are written as they are.
    mesh.m_qOrientation = CQuaternion(std::sqrt(0.5), 0, 0, std::sqrt(0.5));
    mesh.m_vPosition = CVector3(10, 0, 0);
    std::ostringstream out, partial, faces;
    WriteOFFVertices(out, mesh.View(), true, true, true);
    EXPECT_EQ(out.str(), "12.000000 3.000000 3.000000 0.000000 0.000000 1.000000 0.250000 0.500000 0.750000 "
                         "0.125000 0.875000\n"
                         "12.000000 1.000000 1.000000 0.000000 1.000000 0.000000 1.000000 1.000000 1.000000 "
                         "0.000000 1.000000\n");
    WriteOFFVertices(partial, mesh.View(), false, true, false);
    EXPECT_EQ(partial.str().substr(0, partial.str().find('\n')),
              "12.000000 3.000000 3.000000 0.250000 0.500000 0.750000");
    EXPECT_TRUE(WriteOFFFaces(faces, mesh.View(), 2147483000));
    EXPECT_EQ(faces.str(), "2 2147483000 2147483001\n");

    // Bounds near the largest double: the centre, and with it every world position, stays finite.
    CMesh far;
    ASSERT_TRUE(far.ReadOFFBuffer("OFF 2 1 0\n1e308 0 0\n1.5e308 0 0\n2 0 1\n", "far.off"));
    std::ostringstream farOut;
    WriteOFFVertices(farOut, far.View(), false, false, false);
    EXPECT_TRUE(farOut.good());
    EXPECT_EQ(far.m_vCenter.x, 1.25e308);
    EXPECT_EQ(ComposeOFFKeyword(true, false, true), "STNOFF");
    EXPECT_EQ(ComposeOFFKeyword(false, true, true), "CNOFF");
}

TEST(OffFormat, NumbersDoNotFollowTheUserLocale)
{
    CMesh mesh, back;
    std::ostringstream out;
    char buf[32];
    {
        const CGermanLocale german;
        ASSERT_TRUE(german.m_bActive)
            << "de_DE.UTF-8 is missing; scripts/install-deps.sh --test generates it";
        std::snprintf(buf, sizeof buf, "%.1f", 1.5); // the locale really uses a decimal comma
        ASSERT_TRUE(mesh.ReadOFFBuffer(
            "OFF\n3 1 0\n0.5 -1.25 1000.125\n2.5e-3 3 4\n1234.5 0 0.0625\n3 0 1 2\n", "de.off"));
        out.imbue(std::locale()); // the German locale; the writer must not care
        WriteOFF(out, mesh.View());
        WriteOFFFaces(out, mesh.View(), 1000);
        ASSERT_TRUE(back.ReadOFFBuffer(out.str(), "out.off"));
    }
    EXPECT_STREQ(buf, "1,5");
    EXPECT_EQ(mesh.m_ppVertices[1][0], 0.0025);
    EXPECT_EQ(out.str(), "OFF\n3 1 3\n0.500000 -1.250000 1000.125000\n0.002500 3.000000 4.000000\n"
                         "1234.500000 0.000000 0.062500\n3 0 1 2\n3 1000 1001 1002\n");
    EXPECT_TRUE(back.m_ppVertices[2][0] == 1234.5 && back.m_ppVertices[0][1] == -1.25);
}
