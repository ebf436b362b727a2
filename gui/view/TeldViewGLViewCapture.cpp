// Picture commands: the view's frame written to a metafile, a bitmap, a JPEG or a PNG file, or
// put on the clipboard as a metafile and as an image; or the view's picture drawn offscreen at a
// size of its own and written in the format its file name asks for.
#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QOpenGLContext>
#include <QOpenGLFunctions>

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include "drawing/FrameCapture.h"
#include "drawing/SceneRenderer.h"
#include "export/BitmapExport.h"
#include "export/JpegExport.h"
#include "export/MetafileExport.h"
#include "export/PictureFile.h"
#include "export/PngExport.h"
#include "gui/dialogs/ImageSizeDlg.h"
#include "gui/view/GLContextGuard.h"
#include "gui/view/PictureFramebuffer.h"
#include "gui/view/TeldViewGLView.h"
#include "model/TeldViewGLDoc.h"
#include "platform/CommandIds.h"
#include "platform/UiServices.h"

namespace
{
const char* const INITIAL_NAME = "teld0001";
const char* const METAFILE_FILTER = "Windows Enhanced Metafiles (*.emf)|*.emf|All Files (*.*)|*.*||";
const char* const BITMAP_FILTER = "Windows Bitmaps (*.bmp)|*.bmp|All Files (*.*)|*.*||";
const char* const JPEG_FILTER = "JPEG Image Files (*.jpg)|*.jpg|All Files (*.*)|*.*||";
const char* const PNG_FILTER = "PNG Image Files (*.png)|*.png|All Files (*.*)|*.*||";
const char* const SIZED_FILTER = "PNG Image Files (*.png)|*.png|Windows Bitmaps (*.bmp)|*.bmp|"
                                 "JPEG Image Files (*.jpg;*.jpeg)|*.jpg;*.jpeg|"
                                 "Windows Enhanced Metafiles (*.emf)|*.emf|All Files (*.*)|*.*||";
const char* const UNKNOWN_FORMAT =
    ": unknown picture format; end the name with .png, .bmp, .jpg, .jpeg or .emf";
const char* const CAPTURE_FAILED = "The picture of the view could not be captured.";
// The names under which programs on Linux look for a pasted metafile.
const char* const METAFILE_MIME_TYPES[] = {"image/emf", "image/x-emf"};

// The DIB's bottom-up rows turned upright, in one copy.
QImage UprightImage(const CDib& dib)
{
    const QImage rows(dib.GetPixels(), dib.GetWidth(), dib.GetHeight(),
                      static_cast<qsizetype>(dib.GetStride()), QImage::Format_BGR888);
    return rows.mirrored();
}

// The metafile and the image of the picture, or null when memory runs out.
std::unique_ptr<QMimeData> ClipboardData(const CDib& dib)
{
    try
    {
        auto pData = std::make_unique<QMimeData>();
        QByteArray metafile(static_cast<qsizetype>(MetafileSize(dib)), Qt::Uninitialized);
        StoreMetafile(dib, reinterpret_cast<uint8_t*>(metafile.data()));
        // The byte array is shared between the names, not copied.
        for (const char* pszType : METAFILE_MIME_TYPES)
            pData->setData(QString::fromLatin1(pszType), metafile);
        const QImage image = UprightImage(dib);
        if (image.isNull())
            return nullptr;
        pData->setImageData(image);
        return pData;
    }
    catch (const std::bad_alloc&)
    {
        return nullptr;
    }
}
} // namespace

// Always enabled, during playback and spin as well; the timers go on around them.
void CTeldViewGLView::RegisterCaptureCommands()
{
    OnCommand(ID_EXPORT_METAFILE, [this] { OnExportMetafile(); });
    OnCommand(ID_EXPORT_BITMAP, [this] { OnExportBitmap(); });
    OnCommand(ID_EXPORT_JPEG, [this] { OnExportJpeg(); });
    OnCommand(ID_EXPORT_PNG, [this] { OnExportPng(); });
    OnCommand(ID_EXPORT_IMAGE_AT_SIZE, [this] { OnExportImageAtSize(); });
    OnCommand(ID_EDIT_COPY, [this] { OnEditCopy(); });
}

void CTeldViewGLView::OnExportMetafile()
{
    std::string strPath;
    if (AskPicturePath("emf", METAFILE_FILTER, strPath) && CaptureFrame())
        ReportWriteResult(WriteMetafile(strPath, m_dibCapture));
}

void CTeldViewGLView::OnExportBitmap()
{
    std::string strPath;
    if (AskPicturePath("bmp", BITMAP_FILTER, strPath) && CaptureFrame())
        ReportWriteResult(WriteBitmapFile(strPath, m_dibCapture));
}

void CTeldViewGLView::OnExportJpeg()
{
    std::string strPath;
    if (AskPicturePath("jpg", JPEG_FILTER, strPath) && CaptureFrame())
        ReportWriteResult(WriteJpegFile(strPath, m_dibCapture, JPEG_QUALITY));
}

void CTeldViewGLView::OnExportPng()
{
    std::string strPath;
    if (AskPicturePath("png", PNG_FILTER, strPath) && CaptureFrame())
        ReportWriteResult(WritePngFile(strPath, m_dibCapture));
}

void CTeldViewGLView::OnExportImageAtSize()
{
    CImageSizeDlg dialog(this);
    dialog.SetUiServices(&Ui());
    // The client area, which may have no width, still offers a size the dialog takes.
    dialog.m_nWidth = std::clamp<int32_t>(m_rcClient.right, 1, MAX_SNAPSHOT_SIDE);
    dialog.m_nHeight = std::clamp<int32_t>(m_rcClient.bottom, 1, MAX_SNAPSHOT_SIDE);
    std::string strPath;
    if (dialog.exec() != QDialog::Accepted || !AskPicturePath("png", SIZED_FILTER, strPath))
        return;
    // The name decides the format before anything is drawn.
    const int nKind = SnapshotKind(strPath);
    if (nKind == SNAPSHOT_NONE)
    {
        Ui().MessageBox("Error writing file.\n" + strPath + UNKNOWN_FORMAT, MB_OK);
        return;
    }
    CDib dib;
    std::string strReason;
    if (!CaptureAtSize(dialog.m_nWidth, dialog.m_nHeight, dib, strReason))
    {
        Ui().MessageBox(
            strReason.empty() ? CAPTURE_FAILED : "Error writing file.\n" + strPath + ": " + strReason, MB_OK);
        return;
    }
    ReportWriteResult(WritePictureFile(nKind, strPath, dib));
}

void CTeldViewGLView::OnEditCopy()
{
    // Qt's clipboard is always there to be opened and is replaced in one step, so neither
    // "Cannot open the Clipboard" nor "Cannot empty the Clipboard" has a cause here.
    // What the clipboard held stays there unless a picture replaces it.
    if (!CaptureFrame())
        return;
    std::unique_ptr<QMimeData> pData = ClipboardData(m_dibCapture);
    if (!pData)
    {
        Ui().MessageBox("Unable to set Clipboard data", MB_OK);
        return;
    }
    QClipboard* pClipboard = QGuiApplication::clipboard();
    const QMimeData* pOffered = pData.get();
    pClipboard->setMimeData(pData.release(), QClipboard::Clipboard);
    // The X server may give the clipboard to another program that claimed it at the same
    // moment; ours is then not what the clipboard holds.
    if (pClipboard->mimeData(QClipboard::Clipboard) != pOffered)
        Ui().MessageBox("Unable to set Clipboard data", MB_OK);
}

bool CTeldViewGLView::AskPicturePath(const char* pszExtension, const char* pszFilter, std::string& strPath)
{
    return Ui().RunFileDialog(SFileDialogRequest::Save(pszExtension, INITIAL_NAME, pszFilter), strPath) &&
           !strPath.empty();
}

bool CTeldViewGLView::CaptureFrame()
{
    // The client area as it is: m_rcClient's height is never below 1, the picture's may be 0.
    const qreal dRatio = devicePixelRatioF();
    const auto nWidth = static_cast<int32_t>(std::lround(width() * dRatio));
    const auto nHeight = static_cast<int32_t>(std::lround(height() * dRatio));
    CGLContextGuard guard(*this);
    bool bCaptured = false;
    if (nWidth > 0 && nHeight > 0 && guard.IsCurrent() && m_bGLReady &&
        m_dibCapture.Create(nWidth, nHeight, 24))
    {
        OnDraw();
        // The widget's own framebuffer, not the screen: a covered or partly hidden window still
        // gives its whole picture.
        QOpenGLContext::currentContext()->functions()->glBindFramebuffer(GL_FRAMEBUFFER,
                                                                         defaultFramebufferObject());
        bCaptured = CaptureFramebuffer(m_dibCapture);
    }
    if (!bCaptured)
    {
        Ui().MessageBox(CAPTURE_FAILED, MB_OK);
        m_dibCapture.Clear();
    }
    return bCaptured;
}

void CTeldViewGLView::ReportWriteResult(const CImageWriteResult& result)
{
    if (result.m_bOk || result.m_strText.empty())
        return;
    // The encoder's own failures come under their captions with the error sign.
    const unsigned nType = result.m_strCaption.empty() ? MB_OK : MB_OK | MB_ICONERROR;
    Ui().MessageBox(result.m_strText, nType, result.m_strCaption);
}

bool CTeldViewGLView::CaptureAtSize(int32_t nWidth, int32_t nHeight, CDib& dib, std::string& strReason)
{
    CGLContextGuard guard(*this);
    if (!guard.IsCurrent() || !m_bGLReady)
        return false;
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    bool bCaptured = false;
    {
        CPictureFramebuffer framebuffer;
        if (framebuffer.Create(nWidth, nHeight, strReason))
        {
            if (!dib.Create(nWidth, nHeight, 24))
                strReason = "not enough memory for a picture of " + std::to_string(nWidth) + " x " +
                            std::to_string(nHeight) + " pixels";
            else
            {
                // The frame as the window would draw it at that size: its own aspect, the view's
                // camera, materials, light, background, lists and guide.
                glViewport(0, 0, nWidth, nHeight);
                SceneRenderer::SetupView(*this, *m_pDocument->m_pCamera, nWidth, nHeight);
                SceneRenderer::DrawFrame(*m_pDocument, m_guide.List());
                bCaptured = CaptureFramebuffer(dib);
            }
        }
    }
    // The window's framebuffer is bound again; its viewport and projection come back.
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    SetupView();
    if (!bCaptured)
        dib.Clear();
    return bCaptured;
}
