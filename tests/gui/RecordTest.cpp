#include <QDir>
#include <QFile>
#include <QImage>
#include <QProgressDialog>
#include <QTimer>

#include <algorithm>
#include <cstring>

#include "GuiTestSupport.h"
#include "ModalDialog.h"

namespace
{
using namespace ModalDialog;

// Fills the Record Animation dialog (width, height, fps, from, to) and presses OK; the presets
// it found go to *pPreset.
CModalAnswer RecordAnswer(const std::vector<QString>& values, QString* pPreset = nullptr)
{
    return CModalAnswer(
        [values, pPreset](QDialog& dialog)
        {
            int nID = 1066;
            for (const QString& strValue : values)
            {
                if (pPreset != nullptr)
                    *pPreset += Text(dialog, nID) + " ";
                SetText(dialog, nID++, strValue);
            }
            Press(dialog, IDOK);
        });
}
} // namespace

// Each frame is what Write Image at Size draws at its time; the scene's time comes back after.
TEST(Record, FramesAreThePicturesAtTheirTimes)
{
    SGuiApp gui({QString::fromStdString(Example("scene.scn"))});
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLView& view = gui.View();
    gui.Doc().EvaluateScene(150);
    QString strPreset;
    {
        const CModalAnswer answer = RecordAnswer({"64", "48", "10", "1", "1.3"}, &strPreset);
        gui.ui.m_fileAnswers.push_back(ScratchPath(QStringLiteral("f%04d.bmp")));
        gui.Execute(ID_ANIMATION_RECORD);
    }
    EXPECT_TRUE(gui.ui.m_messages.empty());
    EXPECT_EQ(strPreset, QString("%1 %2 25 0 4 ").arg(view.m_rcClient.right).arg(view.m_rcClient.bottom));
    EXPECT_EQ(gui.Doc().GetSceneTime(), 150);
    for (const char* pszName : {"f0000.bmp", "f0001.bmp", "f0002.bmp", "f0003.bmp"})
        EXPECT_EQ(QImage(QString::fromStdString(ScratchPath(QString::fromUtf8(pszName)))).size(),
                  QSize(64, 48));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(ScratchPath(QStringLiteral("f0004.bmp")))));

    gui.Doc().EvaluateScene(130);
    view.RefreshCameraView();
    {
        const CModalAnswer answer(
            [](QDialog& dialog)
            {
                SetText(dialog, 1064, "64"), SetText(dialog, 1065, "48");
                Press(dialog, IDOK);
            });
        gui.ui.m_fileAnswers.push_back(ScratchPath(QStringLiteral("at.bmp")));
        gui.Execute(ID_EXPORT_IMAGE_AT_SIZE);
    }
    const QImage frame(QString::fromStdString(ScratchPath(QStringLiteral("f0003.bmp"))));
    EXPECT_EQ(frame, QImage(QString::fromStdString(ScratchPath(QStringLiteral("at.bmp")))));
}

// A cancelled video and a name no output takes leave nothing in the folder.
TEST(Record, CancelAndRefusalsWriteNothing)
{
    SGuiApp gui({QString::fromStdString(Example("scene.scn"))});
    ASSERT_TRUE(gui.bStarted);
    QTimer canceller;
    QObject::connect(&canceller, &QTimer::timeout,
                     []
                     {
                         auto* pProgress = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
                         if (pProgress != nullptr && pProgress->value() >= 3)
                             pProgress->cancel();
                     });
    canceller.start(5);
    const QDir scratch(QString::fromStdString(ScratchPath(QString())));
    const QStringList before = scratch.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    const std::pair<const char*, const char*> rows[] = {
        {"clip.mp4", ""},
        {"clip.gif", "Cannot record the animation: the output must end in .mp4 or .webm"},
        {"clip%d.emf", "Cannot record the animation: the output must end in .mp4 or .webm"},
        {"odd.webm", "Cannot record the animation: a video needs an even width and height"},
    };
    for (const auto& [pszName, pszMessage] : rows)
    {
        SCOPED_TRACE(pszName);
        gui.ui.m_messages.clear();
        const CModalAnswer answer = RecordAnswer({std::string(pszName) == "odd.webm" ? "63" : "64", "48"});
        gui.ui.m_fileAnswers.push_back(ScratchPath(QString::fromUtf8(pszName)));
        gui.Execute(ID_ANIMATION_RECORD);
        const std::string strMessage = gui.ui.m_messages.empty() ? std::string() : gui.ui.m_messages[0];
        EXPECT_EQ(strMessage.substr(0, std::max<size_t>(std::strlen(pszMessage), 1)), pszMessage);
        EXPECT_EQ(scratch.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
    }
    // A range without frames is refused before the file is asked for.
    gui.ui.m_messages.clear();
    const size_t nRequests = gui.ui.m_fileRequests.size();
    const CModalAnswer answer = RecordAnswer({"64", "48", "25", "3", "2"});
    gui.Execute(ID_ANIMATION_RECORD);
    EXPECT_EQ(gui.ui.m_fileRequests.size(), nRequests);
    EXPECT_EQ(
        gui.ui.m_messages,
        std::vector<std::string>{"Cannot record the animation: the range from 3 s to 2 s holds no frame"});
}
