#include <QImage>

#include "GuiTestSupport.h"
#include "export/BitmapExport.h"
#include "scene/Camera.h"
#include "scene/Mesh.h"

namespace
{
// Load, Generate, Texture Map: "-" disabled, "e" enabled, "c" enabled and checked; a disabled
// item that is checked shows as "!".
std::string TextureState(const SGuiApp& gui)
{
    std::string strState;
    for (const int nID : {ID_TEXTURE_LOAD, ID_TEXTURE_CHECKERBOARD, ID_VIEW_TEXTURE_MAP})
    {
        const CCmdUI ui = gui.app->Router().Update(nID);
        strState += !ui.m_bEnabled ? (ui.m_bChecked ? '!' : '-') : ui.m_bChecked ? 'c' : 'e';
    }
    return strState;
}

QByteArray BitmapFile(int32_t nWidth, int nBits)
{
    CDib dib;
    std::vector<uint8_t> bytes;
    if (!dib.Create(nWidth, 2, nBits) || !EncodeBitmapFile(dib, bytes))
        ADD_FAILURE() << "cannot make a bitmap";
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}
} // namespace

// The commands need a mesh with texture coordinates, Texture Map a texture too; a refused bitmap
// keeps the texture there was, a good one replaces it, and texturing stays as it was.
TEST(TextureCommands, TexturesAreLoadedGeneratedAndSwitched)
{
    SGuiApp gui({QString::fromStdString(Example("cube.off"))});
    ASSERT_TRUE(gui.bStarted);
    EXPECT_EQ(TextureState(gui), "---");
    ASSERT_TRUE(gui.Open(Example("textured_box.off")));
    const CMesh& mesh = *static_cast<const CMesh*>(gui.Doc().m_pCurrentObject);
    EXPECT_EQ(TextureState(gui), "ee-");

    gui.Execute(ID_TEXTURE_CHECKERBOARD);
    EXPECT_NE(mesh.m_nTexture, 0u);
    EXPECT_EQ(TextureState(gui), "eee");
    // Generated while texturing was off, the texture shows only once it is switched on.
    const QImage plain = gui.View().grabFramebuffer();
    gui.Execute(ID_VIEW_TEXTURE_MAP);
    EXPECT_EQ(TextureState(gui), "eec");
    EXPECT_NE(gui.View().grabFramebuffer(), plain);

    const std::string strRefused =
        "Unable to load bitmap.\nMake sure your bitmap is a 24-bpp bitmap no larger than 1024 x 1024";
    const uint32_t nChecker = mesh.m_nTexture;
    gui.ui.m_fileAnswers = {WriteScratch("gray.bmp", BitmapFile(4, 8)),
                            WriteScratch("wide.bmp", BitmapFile(1025, 24)),
                            WriteScratch("text.bmp", "not a bitmap"), ScratchPath("absent.bmp")};
    for (int i = 0; i < 4; ++i)
        gui.Execute(ID_TEXTURE_LOAD);
    EXPECT_EQ(gui.ui.m_messages, std::vector<std::string>(4, strRefused));
    EXPECT_EQ(mesh.m_nTexture, nChecker);

    gui.ui.m_fileAnswers = {WriteScratch("odd.bmp", BitmapFile(3, 24))};
    gui.Execute(ID_TEXTURE_LOAD);
    EXPECT_EQ(gui.ui.m_messages.size(), 4u);
    EXPECT_NE(mesh.m_nTexture, nChecker);
    EXPECT_EQ(TextureState(gui), "eec");

    // The camera has no texture: everything disabled, Texture Map unchecked.
    gui.Doc().m_pCurrentObject = gui.Doc().m_pCamera;
    EXPECT_EQ(TextureState(gui), "---");
}
