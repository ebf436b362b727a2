#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <thread>

#include "bench/GridOff.h"
#include "formats/ByteWindow.h"
#include "formats/LittleEndian.h"
#include "formats/TriangleSink.h"
#include "formats/off/OffStream.h"
#include "formats/stl/StlStream.h"
#include "unit/FileTestSupport.h"

namespace
{
// Everything a reader sends.
class CRecordingSink : public CTriangleSink
{
public:
    void Begin(const double pdMin[3], const double pdMax[3], bool bColors, bool bSample) override
    {
        ++m_nBegins;
        m_box = {pdMin[0], pdMin[1], pdMin[2], pdMax[0], pdMax[1], pdMax[2]};
        std::tie(m_bColors, m_bSample) = std::tuple(bColors, bSample);
    }
    void Fit(const float*, size_t nPoints) override { m_nFitPoints += nPoints; }
    void Triangle(const float* pPositions, const float* pColors) override
    {
        m_positions.insert(m_positions.end(), pPositions, pPositions + 9);
        if (pColors != nullptr)
            m_colors.insert(m_colors.end(), pColors, pColors + 9);
    }

    int m_nBegins = 0;
    std::vector<double> m_box;
    bool m_bColors = false, m_bSample = false;
    size_t m_nFitPoints = 0;
    std::vector<float> m_positions, m_colors;
};

// The triangles of a mesh of triangles, as floats, in face order.
std::vector<float> Triangles(const CMesh& mesh)
{
    std::vector<float> positions;
    for (int32_t f = 0; f < mesh.m_nFaces; ++f)
        for (int k = 0; k < 3; ++k)
            for (int i = 0; i < 3; ++i)
                positions.push_back(static_cast<float>(mesh.m_ppVertices[mesh.m_ppFaces[f][k]][i]));
    return positions;
}

class ModelStreamTest : public FileTestSupport::CScratchTest
{
protected:
    // Streams the file through a window reading it block by block, as a thumbnail does.
    bool Stream(const std::string& strPath, int nFormat, CRecordingSink& sink, int64_t nMaxFacets = 1 << 20)
    {
        const int fd = open(strPath.c_str(), O_RDONLY);
        const uint64_t nSize = std::filesystem::file_size(strPath);
        CByteWindow bytes(fd);
        const bool bOk = nFormat == 0   ? StreamOFF(bytes, sink)
                         : nFormat == 1 ? StreamBinarySTL(bytes, nSize, sink)
                                        : SampleAsciiSTL(bytes, nSize, nMaxFacets, sink);
        close(fd);
        return bOk;
    }
};
} // namespace

// Files of several blocks give exactly the triangles and the box the full readers give: faces cut
// at a block's end, trailing text on face lines, vertex colours.
TEST_F(ModelStreamTest, StreamedFilesGiveWhatTheFullReadersGive)
{
    std::string strGrid = GridOffText(200, 150);
    // A face colour after every face, which the reader skips.
    for (size_t n = strGrid.find("\n3 "); n != std::string::npos; n = strGrid.find("\n3 ", n + 1))
        strGrid.insert(strGrid.find('\n', n + 1), " 0.5 0.5 0.5");
    // Comments as tools write them, some across a block's end: a first line, one after numbers,
    // one longer than a block, and the keyword joined to the vertex count.
    strGrid = "# made by a tool\n" + strGrid.replace(0, 4, "OFF");
    strGrid.insert(strGrid.find('\n', CByteWindow::BLOCK_SIZE - 20), " # a tip 1 2 3");
    strGrid.insert(strGrid.find('\n', CByteWindow::BLOCK_SIZE + 50) + 1,
                   "# " + std::string(1500000, 'c') + "\n");
    ASSERT_GT(strGrid.size(), 2 * CByteWindow::BLOCK_SIZE);
    m_doc.LoadMeshFile(Write("grid.off", strGrid), false);
    const CMesh& grid = FileTestSupport::MeshAt(m_doc, 1);
    CRecordingSink off;
    ASSERT_TRUE(Stream(Path("grid.off"), 0, off));
    EXPECT_EQ(off.m_positions, Triangles(grid));
    std::vector<double> box;
    for (const CVector3& v : {grid.m_vBoundsMin, grid.m_vBoundsMax})
        for (double d : {v.x, v.y, v.z})
            box.push_back(static_cast<float>(d));
    EXPECT_EQ(off.m_box, box);
    EXPECT_EQ(std::tuple(off.m_nBegins, off.m_nFitPoints, off.m_bColors, off.m_bSample),
              std::tuple(1, size_t(201 * 151), false, false));

    // The grid as binary and as ASCII STL; ASCII read whole when the sample may be as large.
    ASSERT_TRUE(m_doc.ExportScene(Path("b.stl"), EXPORT_BINARY_STL));
    ASSERT_TRUE(m_doc.ExportScene(Path("a.stl"), EXPORT_ASCII_STL));
    for (int nFormat : {1, 2})
    {
        CRecordingSink stl;
        ASSERT_TRUE(Stream(Path(nFormat == 1 ? "b.stl" : "a.stl"), nFormat, stl)) << nFormat;
        EXPECT_EQ(stl.m_positions, Triangles(grid)) << nFormat;
        EXPECT_EQ(stl.m_nFitPoints, stl.m_positions.size() / 3);
        EXPECT_EQ(stl.m_bSample, nFormat == 2);
    }

    // Colours, a quad as a fan, a point and a line that draw nothing.
    CRecordingSink colored;
    ASSERT_TRUE(Stream(Write("c.off", "COFF 5 4 0\n0 0 0 1 0 0\n1 0 0 0 1 0\n1 1 0 0 0 1\n0 1 0 1 1 1\n"
                                      "0 0 1 0.5 0.5 0.5\n4 0 1 2 3\n1 4\n2 0 4\n3 0 1 4\n"),
                       0, colored));
    EXPECT_TRUE(colored.m_bColors);
    EXPECT_EQ(colored.m_positions, std::vector<float>({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1,
                                                       0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
    EXPECT_EQ(std::vector<float>(colored.m_colors.begin() + 18, colored.m_colors.end()),
              std::vector<float>({1, 0, 0, 0, 1, 0, 0.5f, 0.5f, 0.5f}));
}

// A sample of an ASCII file takes facets from all of it, each a whole facet of the file.
TEST_F(ModelStreamTest, AsciiSamplesSpreadThroughTheFile)
{
    std::string strText = "solid s\n";
    for (int k = 0; k < 1000; ++k)
    {
        const std::string x = std::to_string(k);
        strText += "facet normal 0 0 1\nouter loop\nvertex " + x + " 0 0\nvertex " + x + " 1 0\nvertex " + x +
                   " 0 1\nendloop\nendfacet\n";
        // A second solid begins halfway.
        if (k == 499)
            strText += "endsolid s\nsolid t\n";
    }
    CRecordingSink sink;
    ASSERT_TRUE(Stream(Write("s.stl", strText + "endsolid t\n"), 2, sink, 10));
    ASSERT_EQ(sink.m_positions.size(), 10u * 9u);
    std::vector<float> xs;
    for (size_t i = 0; i < 10; ++i)
    {
        xs.push_back(sink.m_positions[9 * i]);
        EXPECT_EQ(
            std::vector<float>(sink.m_positions.begin() + 9 * i + 1, sink.m_positions.begin() + 9 * i + 9),
            std::vector<float>({0, 0, xs.back(), 1, 0, xs.back(), 0, 1}));
    }
    // From the first tenth to the last, in order, none twice.
    EXPECT_TRUE(xs.front() < 100 && xs.back() >= 900 && std::is_sorted(xs.begin(), xs.end()) &&
                std::adjacent_find(xs.begin(), xs.end()) == xs.end())
        << testing::PrintToString(xs);
    EXPECT_TRUE(sink.m_bSample);
}

// The stream takes every layout the full reader takes, and reads it the same way.
TEST_F(ModelStreamTest, TheStreamReadsWhatTheFullReaderReads)
{
    const std::string rows[] = {
        "# by a tool\r\nOFF # keyword\r\n\r\n3 1 0\r\n# vertices\r\n0 0 0 # first\r\n1 0 0\r\n0 1 0#x\r\n3 0 "
        "1 2\n",
        "NOFF3 1 0\n0 0 0 0 0 1\n1 0 0 0 0 1\n0 1 0 0 0 1\n3 0 1 2\n",
        "COFF\n3 1 0\n0 0 3 1 1 255 255\n0 1 3 255 255 0 255\n2 1 1 255 1 0 255\n3 1 0 2\n",
        "COFF\n3 1 0\n0 0 0 0.5 0 1 0.5\n1 0 0 0 1 0 1\n0 1 0 1 1 1 1\n3 0 1 2\n",
        "COFF\n3 1 0\n0 0 0 255 0 51 255\n1 0 0\n0 255 0 128\n0 1 0 9 9 9 255\n3 0 1 2\n",
        "COFF\n3 1 0\n0 0 0\n1 0 0\n1 0 0 0 1 0\n0 1\n0 0 0 1\n3 0 1 2\n",
        "STCOFF\n3 1 0\n0 0 0 1 0 0.5 1 0.25 0.75\n1 0 0 0 1 0 0 1 0.5\n0 1 0 1 1 1 1 0 0\n3 0 1 2 1 1 1\n",
    };
    for (const std::string& text : rows)
    {
        SCOPED_TRACE(text);
        CMesh mesh;
        ASSERT_TRUE(mesh.ReadOFFBuffer(text, "d.off"));
        CRecordingSink sink;
        CByteWindow bytes(text);
        ASSERT_TRUE(StreamOFF(bytes, sink));
        EXPECT_EQ(sink.m_positions, Triangles(mesh));
        std::vector<float> colors;
        for (int32_t v = 0; v < mesh.m_nVertices && mesh.m_bHasColors; ++v)
            for (int c = 0; c < 3; ++c)
                colors.push_back(static_cast<float>(mesh.m_ppVertices[mesh.m_ppFaces[0][v]][SLOT_COLOR + c]));
        EXPECT_EQ(sink.m_colors, colors);
    }
}

// Data that goes on without end in one token, as a pipe may deliver it, is refused once the token
// is longer than any the file may hold, after a bounded read; a file of zeros at its first NUL.
TEST_F(ModelStreamTest, EndlessTokensAndZerosEndTheReadEarly)
{
    const auto streamFromPipe = [](const std::string& strHead, char cFill, int nFormat)
    {
        int fds[2];
        EXPECT_EQ(pipe(fds), 0);
        std::atomic<size_t> nWritten{0};
        std::thread writer(
            [&]
            {
                std::string strPiece = strHead + std::string(65536 - strHead.size(), cFill);
                for (int i = 0; i < 1024; ++i, strPiece.assign(65536, cFill))
                {
                    if (write(fds[1], strPiece.data(), strPiece.size()) !=
                        static_cast<ssize_t>(strPiece.size()))
                        break;
                    nWritten += strPiece.size();
                }
                close(fds[1]);
            });
        CRecordingSink sink;
        CByteWindow bytes(fds[0]);
        const bool bRead =
            nFormat == 0 ? StreamOFF(bytes, sink) : SampleAsciiSTL(bytes, uint64_t(1) << 40, 4, sink);
        close(fds[0]);
        writer.join();
        EXPECT_FALSE(bRead);
        return nWritten.load();
    };
    signal(SIGPIPE, SIG_IGN);
    EXPECT_LT(streamFromPipe("OFF\n3 1 0\n", 'x', 0), size_t(8) << 20);
    EXPECT_LT(streamFromPipe("solid s\nfacet normal 0 0 1\nouter loop\nvertex ", '1', 2), size_t(8) << 20);
    EXPECT_LT(streamFromPipe("OFF\n3 1 0\n", '\0', 0), size_t(8) << 20);

    const std::string strSparse = Write("sparse.off", "OFF\n1000000 1000000 0\n" + std::string(300, ' '));
    std::filesystem::resize_file(strSparse, uint64_t(2) << 30);
    CRecordingSink sink;
    EXPECT_FALSE(Stream(strSparse, 0, sink));
}

TEST_F(ModelStreamTest, MalformedFilesFail)
{
    const std::string strFacet =
        "facet normal 0 0 1 outer loop vertex 0 0 0 vertex 1 0 0 vertex 0 1 0 endloop endfacet\n";
    const std::pair<int, std::string> rows[] = {
        {0, "OFF\n3 1 0\n0 0 0\n1 0 0\n"},                    // cut short
        {0, "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 3\n"},    // index out of range
        {0, "OFF\n3 1 0\n0 0 0\n1 0 x\n0 1 0\n3 0 1 2\n"},    // not a number
        {0, "OFF\n3 1 0\n0 0 0\n1 0 1e39\n0 1 0\n3 0 1 2\n"}, // too large for a float
        {0, "OFF\n0 0 0\n"},
        {0, "NCOFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n"}, // prefixes out of order
        {0, "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n0\n"},
        {2, "sold\n" + strFacet},
        {2, "solid\n" + strFacet.substr(0, 60)},
        {2,
         "solid\nfacet normal 0 0 1 outer loop vertex 0 0 nan vertex 1 0 0 vertex 0 1 0 endloop endfacet\n"},
    };
    for (const auto& [nFormat, strText] : rows)
    {
        CRecordingSink sink;
        EXPECT_FALSE(Stream(Write("bad", strText), nFormat, sink)) << strText;
        EXPECT_TRUE(sink.m_positions.empty()) << strText;
    }
    // Binary: a count larger than the file, a count of 0 before whole facets, a NaN.
    std::vector<uint8_t> bytes(84 + 50, 0);
    for (const auto& [nCount, nBits] : {std::pair(2u, 0u), std::pair(0u, 0u), std::pair(1u, 0x7FC00000u)})
    {
        LittleEndian::StoreUInt32(bytes.data() + 80, nCount);
        LittleEndian::StoreUInt32(bytes.data() + 84 + 20, nBits);
        CRecordingSink sink;
        EXPECT_FALSE(Stream(Write("bad.stl", std::string(bytes.begin(), bytes.end())), 1, sink)) << nCount;
    }
}
