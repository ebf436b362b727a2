#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include <algorithm>
#include <cstdlib>
#include <tuple>
#include <utility>

#include "GuiTestSupport.h"

namespace
{
QByteArray ReadAll(const std::string& strPath)
{
    QFile file(QString::fromStdString(strPath));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QImage Load(const std::string& strPath)
{
    return QImage(QString::fromStdString(strPath)).convertToFormat(QImage::Format_RGB32);
}

// The largest difference of one channel between two pictures of one size (256 for two sizes).
int LargestDifference(const QImage& first, const QImage& second)
{
    const QImage a = first.convertToFormat(QImage::Format_RGB32),
                 b = second.convertToFormat(QImage::Format_RGB32);
    if (a.isNull() || a.size() != b.size())
        return 256;
    int nLargest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
        {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            nLargest = std::max({nLargest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                 std::abs(qBlue(p) - qBlue(q))});
        }
    return nLargest;
}
} // namespace

// Each command draws a fresh frame and reads the view's own pixels: the files, the clipboard and
// a snapshot drawn without a display show the same upright picture of the client area.
TEST(Capture, FilesClipboardAndSnapshotShowTheSamePicture)
{
    // A right triangle with its right angle at the bottom left: a turn or a mirror shows.
    const std::string strMesh =
        WriteScratch(QStringLiteral("corner.off"), "OFF\n3 1 0\n-1 -1 0\n1 -1 0\n-1 1 0\n3 0 1 2\n");
    SGuiApp gui({QString::fromStdString(strMesh)});
    ASSERT_TRUE(gui.bStarted);
    // Partly off the screen: the view's own framebuffer still holds the whole picture.
    gui.Frame().move(-gui.Frame().width() / 2, -40);
    for (const auto& [nID, pszExt] :
         {std::pair(ID_EXPORT_BITMAP, "bmp"), std::pair(ID_EXPORT_METAFILE, "emf"),
          std::pair(ID_EXPORT_JPEG, "jpg"), std::pair(ID_EXPORT_PNG, "png")})
    {
        gui.ui.m_fileAnswers.push_back(ScratchPath(QStringLiteral("view.") + pszExt));
        gui.Execute(nID);
        EXPECT_FALSE(gui.ui.m_fileRequests.back().bOpen) << pszExt;
    }
    gui.Execute(ID_EDIT_COPY);
    EXPECT_TRUE(gui.ui.m_messages.empty());

    const CTeldViewGLView& view = gui.View();
    const int w = view.m_rcClient.right, h = view.m_rcClient.bottom;
    const QImage picture = Load(ScratchPath(QStringLiteral("view.bmp")));
    ASSERT_EQ(picture.size(), QSize(w, h));
    EXPECT_GT(qBlue(picture.pixel(w * 2 / 5, h * 3 / 5)), 40);
    EXPECT_EQ(picture.pixel(w * 3 / 5, h * 2 / 5), qRgb(0, 0, 0));
    EXPECT_EQ(LargestDifference(const_cast<CTeldViewGLView&>(view).grabFramebuffer(), picture), 0);
    EXPECT_EQ(Load(ScratchPath(QStringLiteral("view.jpg"))).size(), picture.size());
    EXPECT_EQ(LargestDifference(Load(ScratchPath(QStringLiteral("view.png"))), picture), 0);

    // The metafile holds the bitmap file's DIB; the clipboard holds the metafile and the image.
    const QByteArray bmp = ReadAll(ScratchPath(QStringLiteral("view.bmp"))),
                     emf = ReadAll(ScratchPath(QStringLiteral("view.emf")));
    EXPECT_EQ(emf.mid(108 + 80, bmp.size() - 14), bmp.mid(14));
    const QMimeData* pData = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(pData, nullptr);
    EXPECT_EQ(pData->data(QStringLiteral("image/emf")), emf);
    EXPECT_EQ(pData->data(QStringLiteral("image/x-emf")), emf);
    ASSERT_TRUE(pData->hasImage());
    EXPECT_EQ(LargestDifference(qvariant_cast<QImage>(pData->imageData()), picture), 0);

    const std::string strSnapshot = ScratchPath(QStringLiteral("snapshot.bmp"));
    const std::string strCommand = "env -u DISPLAY '" TELDVIEW_EXE "' --snapshot '" + strSnapshot +
                                   "' --size " + std::to_string(w) + "x" + std::to_string(h) + " '" +
                                   strMesh + "'";
    ASSERT_EQ(std::system(strCommand.c_str()), 0);
    EXPECT_LE(LargestDifference(Load(strSnapshot), picture), 2);
}

// A failed write is reported and keeps what was there; cancel does nothing; a view with nothing
// to show leaves the clipboard alone.
TEST(Capture, FailuresAreReportedAndKeepWhatWasThere)
{
    SGuiApp gui({QString::fromStdString(Example("cube.off"))});
    ASSERT_TRUE(gui.bStarted);
    gui.Execute(ID_EXPORT_BITMAP);
    EXPECT_TRUE(gui.ui.m_messages.empty());

    // {command, file, caption, text, type}: the file named by its whole path
    const std::string strMissing = ScratchPath(QStringLiteral("missing/"));
    const std::tuple<int, const char*, std::string, std::string, unsigned> rows[] = {
        {ID_EXPORT_BITMAP, "out.bmp", "",
         "Error writing file.\n" + strMissing + "out.bmp: No such file or directory", MB_OK},
        {ID_EXPORT_JPEG, "out.jpg", "Error writing file in JPEG library",
         strMissing + "out.jpg: No such file or directory", MB_OK | MB_ICONERROR}};
    for (const auto& [nID, pszName, strCaption, strText, nType] : rows)
    {
        gui.ui.m_messages.clear(), gui.ui.m_captions.clear(), gui.ui.m_messageTypes.clear();
        gui.ui.m_fileAnswers.push_back(strMissing + pszName);
        gui.Execute(nID);
        EXPECT_EQ(gui.ui.m_messages, std::vector<std::string>{strText});
        EXPECT_EQ(gui.ui.m_captions, std::vector<std::string>{strCaption});
        EXPECT_EQ(gui.ui.m_messageTypes, std::vector<unsigned>{nType});
    }

    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
    gui.ui.m_messages.clear();
    gui.View().resize(gui.View().width(), 0);
    gui.Execute(ID_EDIT_COPY);
    EXPECT_EQ(gui.ui.m_messages, std::vector<std::string>{"The picture of the view could not be captured."});
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
}
