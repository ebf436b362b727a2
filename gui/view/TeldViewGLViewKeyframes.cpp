// Keyframe commands: add a keyframe to the current object, move to a time, and write and load
// the current object's keyframes as a keyframe file.
#include "model/ObjectKeyframes.h"
#include "gui/dialogs/AddKeyframeDlg.h"
#include "gui/dialogs/MoveToTimeDlg.h"
#include "gui/view/TeldViewGLView.h"
#include "model/OrientationKeyframe.h"
#include "model/PositionKeyframe.h"
#include "model/SceneObject.h"
#include "model/SceneTime.h"
#include "model/TeldViewGLDoc.h"
#include "platform/CommandIds.h"
#include "platform/UiServices.h"

namespace
{
const char* const KEYFRAME_FILTER = "Keyframe File (*.kff)|*.kff|All Files (*.*)|*.*||";

SFileDialogRequest KeyframeFileRequest(bool bOpen, const std::string& strObjectName)
{
    return bOpen ? SFileDialogRequest::Open("kff", strObjectName, KEYFRAME_FILTER)
                 : SFileDialogRequest::Save("kff", strObjectName, KEYFRAME_FILTER);
}
} // namespace

// Always enabled, during playback and spin as well.
void CTeldViewGLView::RegisterKeyframeCommands()
{
    OnCommand(ID_ANIMATION_ADD_KEYFRAME, [this] { OnAnimationAddKeyframe(); });
    OnCommand(ID_ANIMATION_MOVE_TO_TIME, [this] { OnAnimationMoveToTime(); });
    OnCommand(ID_ANIMATION_WRITE_KEYFRAMES, [this] { OnAnimationWriteKeyframes(); });
    OnCommand(ID_ANIMATION_LOAD_KEYFRAMES, [this] { OnAnimationLoadKeyframes(); });
}

void CTeldViewGLView::OnAnimationAddKeyframe()
{
    CSceneObject& object = *m_pDocument->m_pCurrentObject;
    CAddKeyframeDlg dialog(this);
    dialog.SetUiServices(&Ui());
    const CVector3& direction = m_pDocument->m_vKeyDirection;
    const CQuaternion& rotation = m_pDocument->m_qKeyRotation;
    dialog.m_dDirectionX = direction.x, dialog.m_dDirectionY = direction.y,
    dialog.m_dDirectionZ = direction.z;
    dialog.m_strObjectName = object.m_strName;
    dialog.m_bAddPosition = true;
    dialog.m_dOrientationW = object.m_qOrientation.w;
    dialog.m_dOrientationX = object.m_qOrientation.v.x;
    dialog.m_dOrientationY = object.m_qOrientation.v.y;
    dialog.m_dOrientationZ = object.m_qOrientation.v.z;
    dialog.m_dPositionX = object.m_vPosition.x;
    dialog.m_dPositionY = object.m_vPosition.y;
    dialog.m_dPositionZ = object.m_vPosition.z;
    dialog.m_dRotationW = rotation.w;
    dialog.m_dRotationX = rotation.v.x, dialog.m_dRotationY = rotation.v.y,
    dialog.m_dRotationZ = rotation.v.z;
    dialog.m_bAddOrientation = true;
    dialog.m_fTime = 0.0f;
    if (dialog.exec() != QDialog::Accepted)
        return;

    // The current object cannot change while the dialog is modal; its pose may (playback).
    const int32_t nTime = SceneTime::FromSeconds(dialog.m_fTime);
    if (dialog.m_bAddPosition)
    {
        auto* pKey = new CPositionKeyframe;
        pKey->m_nTime = nTime;
        pKey->m_vPosition = CVector3(dialog.m_dPositionX, dialog.m_dPositionY, dialog.m_dPositionZ);
        pKey->m_vDirection = CVector3(dialog.m_dDirectionX, dialog.m_dDirectionY, dialog.m_dDirectionZ);
        object.AddPositionKey(pKey);
    }
    if (dialog.m_bAddOrientation)
    {
        auto* pKey = new COrientationKeyframe;
        pKey->m_nTime = nTime;
        // Stored as entered, without normalising.
        pKey->m_qOrientation = CQuaternion(dialog.m_dOrientationW, dialog.m_dOrientationX,
                                           dialog.m_dOrientationY, dialog.m_dOrientationZ);
        pKey->m_qRotation =
            CQuaternion(dialog.m_dRotationW, dialog.m_dRotationX, dialog.m_dRotationY, dialog.m_dRotationZ);
        object.AddOrientationKey(pKey);
    }
    HideKeyframeGuide();
    m_pDocument->EvaluateScene(nTime);
    RefreshCameraView();
}

void CTeldViewGLView::OnAnimationMoveToTime()
{
    CMoveToTimeDlg dialog(this);
    dialog.SetUiServices(&Ui());
    dialog.m_fTime = SceneTime::ToSeconds(m_pDocument->GetSceneTime());
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The guide stays; a running playback goes on from the new time.
    m_pDocument->EvaluateScene(SceneTime::FromSeconds(dialog.m_fTime));
    RefreshCameraView();
}

void CTeldViewGLView::OnAnimationWriteKeyframes()
{
    const CSceneObject& object = *m_pDocument->m_pCurrentObject;
    std::string strPath;
    if (!Ui().RunFileDialog(KeyframeFileRequest(false, object.m_strName), strPath) || strPath.empty())
        return;
    if (!WriteKeyframeFile(strPath, object))
        Ui().MessageBox("Error writing keyframe file.", MB_OK);
}

void CTeldViewGLView::OnAnimationLoadKeyframes()
{
    CSceneObject& object = *m_pDocument->m_pCurrentObject;
    std::string strPath;
    if (!Ui().RunFileDialog(KeyframeFileRequest(true, object.m_strName), strPath) || strPath.empty())
        return;
    // The reader takes all of a file or none of it, so a failure changes nothing.
    if (!ReadKeyframeFile(strPath, object))
    {
        Ui().MessageBox(ReadFailureMessage("Error reading keyframe file.", strPath), MB_OK);
        return;
    }
    HideKeyframeGuide();
    m_pDocument->EvaluateScene(0);
    RefreshCameraView();
}
