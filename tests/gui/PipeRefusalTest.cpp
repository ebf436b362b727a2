// No command of the window waits on a file: a FIFO chosen for any command that reads a file, or
// named inside a scene file, gets the command's message and the reason at once.
#include <sys/stat.h>

#include "FifoWatchdog.h"
#include "GuiTestSupport.h"

TEST(PipeRefusal, EveryCommandThatReadsAFileAnswersAtOnce)
{
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    ASSERT_TRUE(gui.Open(Example("textured_box.off")));
    const std::string strFifo = ScratchPath(QStringLiteral("fifo"));
    ASSERT_EQ(mkfifo(strFifo.c_str(), 0600), 0);
    const std::string strKeys = WriteScratch(QStringLiteral("none.kff"), "KFF 0 0\n");
    const std::string strScene =
        WriteScratch(QStringLiteral("s.scn"),
                     QByteArray::fromStdString("SCENE 1 " + strKeys + " " + strFifo + " " + strKeys));
    const std::string strReason = "\nUnable to open fifo: not a regular file.";
    const std::tuple<int, std::string, std::string> commands[] = {
        {ID_TEXTURE_LOAD, strFifo,
         "Unable to load bitmap.\nMake sure your bitmap is a 24-bpp bitmap no larger than 1024 x 1024" +
             strReason},
        {ID_ANIMATION_LOAD_KEYFRAMES, strFifo, "Error reading keyframe file." + strReason},
        {ID_IMPORT_BINARY_STL, strFifo, "Error reading STL file." + strReason},
        {ID_IMPORT_ASCII_STL, strFifo, "Error reading STL file." + strReason},
        {ID_FILE_LOAD_SCENE, strFifo, "Error reading scene file." + strReason},
        {ID_FILE_LOAD_SCENE, strScene, "Error reading scene file." + strReason},
    };
    for (const auto& [nID, strFile, strMessage] : commands)
    {
        gui.ui.m_messages.clear();
        gui.ui.m_fileAnswers = {strFile};
        EXPECT_FALSE(WaitsForFifoWriter(strFifo, [&] { gui.Execute(nID); })) << nID << " waited for a writer";
        EXPECT_EQ(gui.ui.m_messages, std::vector<std::string>{strMessage}) << nID;
    }
}
