// Recording the animation: the playback drawn frame by frame in the view's own context, at a size
// of its own, into numbered pictures or a video, under a progress dialog that can cancel it.
#include <QProgressDialog>

#include <algorithm>

#include "export/AnimationOutput.h"
#include "export/Dib.h"
#include "export/PictureFile.h"
#include "gui/dialogs/RecordAnimationDlg.h"
#include "gui/view/TeldViewGLView.h"
#include "gui/view/TimerPause.h"
#include "model/SceneTime.h"
#include "model/TeldViewGLDoc.h"
#include "platform/CommandIds.h"
#include "platform/DataExchange.h"
#include "platform/UiServices.h"

namespace
{
const char* const RECORD_FILTER = "MPEG-4 Videos (*.mp4)|*.mp4|WebM Videos (*.webm)|*.webm|"
                                  "Numbered Pictures (*%04d.png;*%04d.bmp;*%04d.jpg)|*.png;*.bmp;*.jpg|"
                                  "All Files (*.*)|*.*||";
const char* const CAPTURE_FAILED = "The picture of the view could not be captured.";
} // namespace

// Always enabled; the progress dialog is modal while a recording runs.
void CTeldViewGLView::RegisterRecordCommands()
{
    OnCommand(ID_ANIMATION_RECORD, [this] { OnAnimationRecord(); });
}

void CTeldViewGLView::OnAnimationRecord()
{
    CRecordAnimationDlg dialog(this);
    dialog.SetUiServices(&Ui());
    dialog.m_nWidth = std::clamp<int32_t>(m_rcClient.right, 1, MAX_SNAPSHOT_SIDE);
    dialog.m_nHeight = std::clamp<int32_t>(m_rcClient.bottom, 1, MAX_SNAPSHOT_SIDE);
    dialog.m_fTo =
        std::min(SceneTime::ToSeconds(m_pDocument->LastKeyframeTime()), SceneTime::MAX_DIALOG_SECONDS);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const int32_t nFrom = SceneTime::FromSeconds(dialog.m_fFrom), nTo = SceneTime::FromSeconds(dialog.m_fTo);
    const int64_t nFrames = SceneTime::FrameCount(nFrom, nTo, dialog.m_nFps);
    if (nFrames == 0)
    {
        Ui().MessageBox("Cannot record the animation: the range from " +
                            DataExchange::Format(dialog.m_fFrom, FIELD_FLOAT) + " s to " +
                            DataExchange::Format(dialog.m_fTo, FIELD_FLOAT) + " s holds no frame",
                        MB_OK);
        return;
    }
    std::string strPath;
    if (!Ui().RunFileDialog(SFileDialogRequest::Save("mp4", "teld0001", RECORD_FILTER), strPath) ||
        strPath.empty())
        return;
    // The name is judged before anything is drawn.
    if (const std::string strProblem = CheckAnimationOutput(strPath, dialog.m_nWidth, dialog.m_nHeight);
        !strProblem.empty())
    {
        Ui().MessageBox("Cannot record the animation: " + strProblem, MB_OK);
        return;
    }
    std::string strError;
    const std::unique_ptr<CFrameSink> pSink =
        OpenFrameSink(strPath, dialog.m_nWidth, dialog.m_nHeight, dialog.m_nFps, strError);
    if (!pSink)
    {
        Ui().MessageBox(strError, MB_OK);
        return;
    }
    // A sink that did not finish removes what it wrote when it goes.
    RecordFrames(*pSink, nFrom, nFrames, dialog.m_nFps, dialog.m_nWidth, dialog.m_nHeight);
}

bool CTeldViewGLView::RecordFrames(CFrameSink& sink, int32_t nFrom, int64_t nFrames, int nFps, int32_t nWidth,
                                   int32_t nHeight)
{
    const CTimerPause pause(*this);
    const int32_t nSceneTime = m_pDocument->GetSceneTime();
    // The dialog's range keeps the count within an int.
    const int nCount = static_cast<int>(nFrames);
    QProgressDialog progress(QStringLiteral("Recording the animation..."), QStringLiteral("Cancel"), 0,
                             nCount, this);
    progress.setWindowTitle(QStringLiteral("Record Animation"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    CDib dib;
    std::string strFailure;
    for (int nFrame = 0; nFrame < nCount && strFailure.empty(); ++nFrame)
    {
        progress.setLabelText(QStringLiteral("Frame %1 of %2").arg(nFrame + 1).arg(nCount));
        // A modal progress dialog runs the events here: the view draws, Cancel is taken.
        progress.setValue(nFrame);
        if (progress.wasCanceled())
            break;
        m_pDocument->EvaluateScene(SceneTime::FrameTime(nFrom, nFrame, nFps));
        RefreshCameraView();
        std::string strReason;
        if (!CaptureAtSize(nWidth, nHeight, dib, strReason))
            strFailure = strReason.empty()
                             ? CAPTURE_FAILED
                             : "Error writing file.\n" + sink.FileOfFrame(nFrame) + ": " + strReason;
        else if (!sink.WriteFrame(dib))
            strFailure = sink.GetError();
    }
    const bool bDone = strFailure.empty() && !progress.wasCanceled() && sink.Finish();
    if (strFailure.empty() && !progress.wasCanceled() && !bDone)
        strFailure = sink.GetError();
    progress.setValue(nCount);
    m_pDocument->EvaluateScene(nSceneTime);
    RefreshCameraView();
    if (!strFailure.empty())
        Ui().MessageBox(strFailure, MB_OK);
    return bDone;
}
