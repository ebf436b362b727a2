#include <gtest/gtest.h>

#include <sys/stat.h>

#include <tuple>

#include "FileTestSupport.h"
#include "formats/FileHead.h"
#include "formats/ModelFormats.h"

using namespace FileTestSupport;

using ModelFormatsTest = CScratchTest;

// Each format's content test takes what its own writers write and no other format's output; a
// format that is only written is recognised by none.
TEST_F(ModelFormatsTest, EachContentTestKnowsItsOwnWritersOutput)
{
    AddMesh(m_doc, {CVector3(0, 0, 0), CVector3(1, 0, 0), CVector3(0, 1, 0)}, {{0, 1, 2}});
    int nWriters = 0;
    for (const SModelFormat& format : ModelFormats())
        for (const SModelWriter& writer : format.writers)
        {
            SCOPED_TRACE(std::string(format.pszName) + " " + writer.pszDescription);
            const std::string strPath = Path(std::string("out.") + writer.pszExtension);
            ASSERT_TRUE(m_doc.ExportScene(strPath, writer, true));
            const std::string bytes = ReadFile(strPath);
            const std::string_view head = std::string_view(bytes).substr(0, INPUT_HEAD_SIZE);
            for (const SModelFormat& other : ModelFormats())
                if (other.fnRecognise != nullptr)
                {
                    EXPECT_EQ(other.fnRecognise(head, bytes.size()) > 0, &other == &format) << other.pszName;
                }
            EXPECT_EQ(FindModelFormat(head, bytes.size()), format.fnRecognise != nullptr ? &format : nullptr);
            ++nWriters;
        }
    EXPECT_EQ(nWriters, 6);
    EXPECT_EQ(OpenDialogFilter(),
              "Mesh files (*.off;*.stl;*.ply;*.obj;*.3mf;*.gltf;*.glb)|*.off;*.stl;*.ply;*.obj;"
              "*.3mf;*.gltf;*.glb|OFF File (*.off)|*.off|STL File (*.stl)|*.stl|PLY File "
              "(*.ply)|*.ply|OBJ File (*.obj)|*.obj|3MF File (*.3mf)|*.3mf|glTF File "
              "(*.gltf;*.glb)|*.gltf;*.glb|All Files (*.*)|*.*||");
    EXPECT_EQ(MimeTypeList(), "model/x.off;model/stl;application/x-ply;model/obj;model/3mf;model/gltf+json;");
}

// What a file holds decides how it is read, whatever its name says; content that no format
// recognises is no model file. A FIFO, a folder or a missing file is not judged (and a FIFO not
// read, which would wait for a writer).
TEST_F(ModelFormatsTest, TheContentDecidesNotTheName)
{
    // Binary STL under a header that reads "OFF", with a byte too many for its size to tell.
    std::string binary(84 + 50 + 1, '\0');
    binary.replace(0, 3, "OFF");
    binary[80] = 1;
    const std::string png = std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16) + std::string(300, '\x7f');
    const std::tuple<const char*, std::string, const char*> rows[] = {
        {"a.stl", "OFF\n3 1 0\n", "OFF"},
        {"a.stl", "# made elsewhere\n\n  STCNOFF 3", "OFF"},
        {"a.stl", "OFF1234 5 0\n", "OFF"},
        {"a.off", "SCENE 1\nc.kff\n", "Scene"},
        {"a.off", "solid x\nfacet", "STL"},
        {"a.off", binary, "STL"},
        {"a.stl", "COFFEE", nullptr},
        {"a.scn", "COFFEE", nullptr},
        {"a.off", "", nullptr},
        {"picture.stl", png, nullptr},
        {"a.off", "# a comment that runs on" + std::string(5000, '#'), "OFF"},
    };
    for (const auto& [pszName, bytes, pszFormat] : rows)
    {
        bool bReadable = false;
        const SModelFormat* pFormat = FindModelFormatOfFile(Write(pszName, bytes), bReadable);
        EXPECT_TRUE(bReadable);
        EXPECT_EQ(pFormat, pszFormat != nullptr ? ModelFormatNamed(pszFormat) : nullptr)
            << pszName << " " << bytes;
    }

    ASSERT_EQ(mkfifo(Path("pipe.stl").c_str(), 0600), 0);
    fs::create_directory(Path("folder.stl"));
    for (const char* pszName : {"pipe.stl", "folder.stl", "missing.stl"})
    {
        bool bReadable = true;
        EXPECT_EQ(FindModelFormatOfFile(Path(pszName), bReadable), nullptr);
        EXPECT_FALSE(bReadable) << pszName;
    }
}
