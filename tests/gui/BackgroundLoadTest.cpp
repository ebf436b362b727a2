#include <sys/stat.h>

#include <QTimer>

#include <atomic>
#include <chrono>
#include <fstream>
#include <future>
#include <optional>
#include <thread>

#include "GuiTestSupport.h"
#include "drawing/MeshPreparation.h"
#include "formats/InputFile.h"

namespace
{
// What the test saw from inside the load's wait.
struct SDuringLoad
{
    int nFrames = 0;
    int nCursorDepth = 0;
    std::string strStates;
    QString strMessage;
};
} // namespace

// An import reads its file on the worker thread while the window goes on: frames are drawn,
// commands that would change the document are refused, and once the wait has taken half a second
// the message pane shows the progress. When the read ends all is as after any import: the mesh
// in, "Ready" back, the commands back, the cursor gone. A pipe delivers the file, so the read
// lasts until the test has seen all that (or a minute has passed).
TEST(BackgroundLoad, TheWindowGoesOnWhileAFileLoads)
{
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLView& view = gui.View();
    ASSERT_TRUE(gui.Open(Example("cube.off")));
    const std::string strPipe = ScratchPath(QStringLiteral("slow.stl"));
    ASSERT_EQ(mkfifo(strPipe.c_str(), 0600), 0);
    // Only a permit lets a window command read a pipe.
    std::optional<CPipeInputPermit> permit(std::in_place, strPipe);
    std::promise<void> release;
    std::thread writer(
        [&strPipe, released = release.get_future()]
        {
            std::ofstream out(strPipe);
            out << "solid slow\n" << std::flush;
            released.wait_for(std::chrono::minutes(1));
            out << "facet normal 0 0 1 outer loop vertex 0 0 0 vertex 2 0 0 vertex 0 2 0 endloop endfacet\n";
        });

    SDuringLoad seen;
    QObject::connect(&view, &CTeldViewGLView::FrameDrawn, &view,
                     [&]
                     {
                         if (view.IsLoading())
                             ++seen.nFrames;
                     });
    QTimer step;
    QObject::connect(&step, &QTimer::timeout, &view,
                     [&]
                     {
                         if (!view.IsLoading())
                             return;
                         if (seen.nFrames == 0)
                         {
                             view.update();
                             return;
                         }
                         seen.strStates = gui.States({ID_FILE_OPEN, ID_IMPORT_BINARY_STL, ID_VIEW_SPIN,
                                                      ID_TOOLS_INVERT_MESH, ID_APP_EXIT, ID_VIEW_STATUS_BAR});
                         seen.nCursorDepth = gui.ui.m_nWaitCursorDepth;
                         gui.Frame().OnIdleUpdate();
                         seen.strMessage = gui.Frame().MessageText();
                         if (seen.strMessage != QStringLiteral("Ready"))
                         {
                             step.stop();
                             release.set_value();
                         }
                     });
    step.start(10);
    gui.ui.m_fileAnswers = {strPipe};
    gui.Execute(ID_IMPORT_ASCII_STL);
    if (step.isActive())
        release.set_value();
    writer.join();
    permit.reset();

    EXPECT_GT(seen.nFrames, 0);
    EXPECT_EQ(seen.strStates, "----EC");
    EXPECT_EQ(seen.nCursorDepth, 1);
    // A pipe has no size, so the share read is unknown.
    EXPECT_EQ(seen.strMessage, QStringLiteral("Loading slow.stl... 0%"));
    EXPECT_TRUE(gui.ui.m_messages.empty());
    EXPECT_EQ(gui.PaneText(ID_SELECTED_MESH), "slow.stl");
    EXPECT_EQ(gui.Frame().MessageText(), QStringLiteral("Ready"));
    EXPECT_EQ(gui.States({ID_FILE_OPEN, ID_TOOLS_INVERT_MESH}), "EE");
    EXPECT_EQ(gui.ui.m_nWaitCursorDepth, 0);

    // File > Open names a pipe as a file it cannot open, before any read could wait for a writer.
    EXPECT_FALSE(gui.Open(strPipe));
    EXPECT_EQ(gui.ui.m_messages, std::vector<std::string>{"Unable to open slow.stl: not a regular file."});
    EXPECT_EQ(gui.ui.m_nWaitCursorDepth, 0);
}

// Exit is answered while the display list of a loaded file is compiled on the worker contexts:
// the compile is held at its first run until the window has drawn, offered Exit and closed.
TEST(BackgroundLoad, ExitClosesTheWindowWhileTheListCompiles)
{
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLView& view = gui.View();
    QByteArray off = "OFF\n441 800 0\n";
    for (int j = 0; j <= 20; ++j)
        for (int i = 0; i <= 20; ++i)
            off += QByteArray::number(i) + " " + QByteArray::number(j) + " 0\n";
    for (int j = 0; j < 20; ++j)
        for (int i = 0; i < 20; ++i)
        {
            const QByteArray a = QByteArray::number(j * 21 + i), b = QByteArray::number(j * 21 + i + 1),
                             c = QByteArray::number(j * 21 + i + 22), d = QByteArray::number(j * 21 + i + 21);
            off += "3 " + a + " " + b + " " + c + "\n3 " + a + " " + c + " " + d + "\n";
        }
    const std::string strPath = WriteScratch(QStringLiteral("sheet.off"), off);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> bCompiling{false};
    struct SHold
    {
        SHold(std::atomic<bool>& bFlag, std::shared_future<void> done)
        {
            CMeshPreparation::SetRunSize(100);
            // Drawn from its records the sheet would have no list to compile.
            CMeshPreparation::SetArrayDrawing(false);
            // A window that cannot answer would hold the compile for good: one wait in all.
            CMeshPreparation::SetWorkHook(
                [&bFlag, done]
                {
                    if (!bFlag.exchange(true))
                        done.wait_for(std::chrono::seconds(30));
                });
        }
        ~SHold()
        {
            CMeshPreparation::SetWorkHook(nullptr);
            CMeshPreparation::SetRunSize(0);
            CMeshPreparation::SetArrayDrawing(true);
        }
    } hold(bCompiling, released);

    int nFrames = 0;
    std::string strStates;
    bool bClosedWhileCompiling = false;
    QObject::connect(&view, &CTeldViewGLView::FrameDrawn, &view, [&] { nFrames += bCompiling ? 1 : 0; });
    QTimer step;
    QObject::connect(&step, &QTimer::timeout, &view,
                     [&]
                     {
                         if (!bCompiling)
                             return;
                         if (nFrames == 0)
                         {
                             view.update();
                             return;
                         }
                         strStates = gui.States({ID_APP_EXIT, ID_FILE_OPEN});
                         gui.Execute(ID_APP_EXIT);
                         bClosedWhileCompiling = !gui.Frame().isVisible();
                         step.stop();
                         release.set_value();
                     });
    step.start(10);
    EXPECT_TRUE(gui.Open(strPath));
    if (step.isActive())
        release.set_value();

    EXPECT_GT(nFrames, 0);
    EXPECT_EQ(strStates, "E-");
    EXPECT_TRUE(bClosedWhileCompiling);
    EXPECT_TRUE(gui.ui.m_messages.empty());
}
