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
#include "ModalDialog.h"

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

// How many pixels unlike the top-left corner's the middle row and the middle column hold.
QSize ModelExtent(const QImage& image)
{
    QSize extent;
    for (int x = 0; x < image.width(); ++x)
        extent.rwidth() += image.pixel(x, image.height() / 2) != image.pixel(0, 0);
    for (int y = 0; y < image.height(); ++y)
        extent.rheight() += image.pixel(image.width() / 2, y) != image.pixel(0, 0);
    return extent;
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

// A picture at a size of its own is drawn at that size and aspect, the window's own picture
// unchanged; the dialog refuses a side out of range, and an unknown extension writes nothing.
TEST(Capture, ImageAtSizeOfItsOwn)
{
    using namespace ModalDialog;
    SGuiApp gui({QString::fromStdString(Example("cube.off"))});
    ASSERT_TRUE(gui.bStarted);
    CTeldViewGLView& view = gui.View();
    const QImage window = view.grabFramebuffer();
    QString strPreset;
    const auto write = [&](const char* pszName, const QString& strWidth, const QString& strHeight)
    {
        CModalAnswer answer(
            [&](QDialog& dialog)
            {
                strPreset = Text(dialog, 1064) + "x" + Text(dialog, 1065);
                SetText(dialog, 1064, strWidth), SetText(dialog, 1065, strHeight);
                Press(dialog, IDOK);
            });
        gui.ui.m_fileAnswers.push_back(ScratchPath(QString::fromUtf8(pszName)));
        gui.Execute(ID_EXPORT_IMAGE_AT_SIZE);
        return Load(ScratchPath(QString::fromUtf8(pszName)));
    };
    double dFaceShare = 0.0;
    for (const auto& [pszName, w, h] : {std::tuple("wide.png", 320, 200), std::tuple("tall.BMP", 64, 1100)})
    {
        const QImage picture = write(pszName, QString::number(w), QString::number(h));
        ASSERT_EQ(picture.size(), QSize(w, h)) << pszName;
        EXPECT_EQ(picture.pixel(0, 0), qRgb(0, 0, 0));
        EXPECT_GT(qBlue(picture.pixel(w / 2, h / 2)), 40);
        // The cube's front face: square in the wide picture, the same share of either height (the
        // tall one is taller than the screen, so only the framebuffer object can hold it).
        const QSize extent = ModelExtent(picture);
        if (w > h)
            EXPECT_NEAR(extent.width(), extent.height(), 2);
        else
            EXPECT_NEAR(extent.height() / double(h), dFaceShare, 0.02);
        dFaceShare = extent.height() / double(h);
    }
    EXPECT_EQ(strPreset, QString("%1x%2").arg(view.m_rcClient.right).arg(view.m_rcClient.bottom));
    EXPECT_EQ(gui.ui.m_fileRequests.back().strInitialName, "teld0001");
    EXPECT_EQ(gui.ui.m_fileRequests.back().strDefaultExt, "png");
    EXPECT_TRUE(gui.ui.m_messages.empty());
    EXPECT_EQ(LargestDifference(view.grabFramebuffer(), window), 0);

    // A refused side keeps the dialog open with the field selected; no file is asked for.
    const size_t nRequests = gui.ui.m_fileRequests.size();
    CModalAnswer refused(
        [](QDialog& dialog)
        {
            SetText(dialog, 1065, "16385");
            Press(dialog, IDOK);
            EXPECT_EQ(Edit(dialog, 1065)->selectedText(), "16385");
        });
    gui.Execute(ID_EXPORT_IMAGE_AT_SIZE);
    EXPECT_TRUE(refused.LeftOpen());
    EXPECT_EQ(gui.ui.m_messages, std::vector<std::string>{"Please enter an integer between 1 and 16384."});
    EXPECT_EQ(gui.ui.m_fileRequests.size(), nRequests);

    gui.ui.m_messages.clear();
    const std::string strGif = ScratchPath(QStringLiteral("view.gif"));
    EXPECT_TRUE(write("view.gif", "32", "32").isNull());
    EXPECT_EQ(gui.ui.m_messages, std::vector<std::string>{"Error writing file.\n" + strGif +
                                                          ": unknown picture format; end the name with "
                                                          ".png, .bmp, .jpg, .jpeg or .emf"});
    EXPECT_FALSE(QFile::exists(QString::fromStdString(strGif)));
}
