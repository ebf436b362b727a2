#pragma once

#include <QElapsedTimer>
#include <QOpenGLWidget>
#include <QPoint>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "drawing/KeyframeGuide.h"
#include "drawing/ListCompiler.h"
#include "drawing/ViewSettings.h"
#include "export/Dib.h"
#include "gui/view/MotionDetail.h"
#include "platform/CmdTarget.h"

class CClock;
class CFrameSink;
class CImageWriteResult;
class CMesh;
class CMeshPreloader;
class CMeshTexture;
class CViewWorkerContext;
class CSceneObject;
class CTeldViewGLDoc;
class CUiServices;

enum
{
    DRAG_OBJECT = 0,
    DRAG_GUIDE = 1
};

enum
{
    SPIN_TIMER_ID = 1,
    ANIM_TIMER_ID = 2
};

// What went wrong with the rendering context, in the product's words.
enum
{
    CONTEXT_OK = 0,
    CONTEXT_NO_FORMAT = 1, // "Bad Format Choose": no context could be made at all
    CONTEXT_BAD_FORMAT = 2 // "Bad Pixel Format": a context without the fixed-function pipeline
};

// The one view: owns the GL context (through QOpenGLWidget), keeps the projection and the
// camera transform in the GL matrix stacks, draws the scene as one display-list call per object,
// holds materials and light (its CViewSettings members), times each frame and feeds the status
// panes 101 to 103. Between frames the matrix mode is modelview and the modelview matrix holds
// exactly the camera's view transform.
class CTeldViewGLView : public QOpenGLWidget, public CCmdTarget, public CViewSettings
{
    Q_OBJECT

public:
    // Client rectangle; left and top are 0, right is the width and bottom the height in pixels.
    struct SRect
    {
        int32_t left = 0;
        int32_t top = 0;
        int32_t right = 0;
        int32_t bottom = 0;
    };

    explicit CTeldViewGLView(CTeldViewGLDoc* pDocument, QWidget* pParent = nullptr);
    ~CTeldViewGLView() override;

    CTeldViewGLDoc* GetDocument() const { return m_pDocument; }
    // Messages about the context go through these services.
    void SetUiServices(CUiServices* pUi) { m_pUi = pUi; }
    // The tick count for frame timing and the timers; the view does not own it.
    void SetClock(const CClock* pClock);
    const CClock& Clock() const { return *m_pClock; }

    // True once the context exists and initializeGL has set the baseline state.
    bool IsGLReady() const { return m_bGLReady; }
    // Shows "Bad Format Choose" or "Bad Pixel Format" when the context is missing or unusable;
    // returns what it found. Creation goes on either way; drawing then has no effect.
    int ReportContextProblem();
    // The messages for a context problem (CONTEXT_NO_FORMAT or CONTEXT_BAD_FORMAT).
    static void ShowContextProblem(CUiServices& ui, int nProblem);
    // The classification behind it, for a context format (or none at all).
    static int ClassifyContext(bool bValid, int nMajor, int nMinor, bool bCoreProfile, bool bGLES);

    // The document changed (new document, a file opened): the spin period back to 10 ms, what
    // follows every load (OnSceneLoaded), and a frame drawn before returning.
    void OnUpdate();
    // Viewport and projection for a client area of cx by cy pixels.
    void OnSize(int cx, int cy);
    // One frame: clear, one list per object, the guide list, finish; times the frame. Runs in
    // paintGL, or with the context current. bMayReduce (the window's own frames, not captures):
    // while the view moves on a renderer too slow for the whole scene, big meshes are drawn
    // reduced (see CMotionDetail); m_bFrameReduced and m_nItemsDrawn tell what was drawn.
    void OnDraw(bool bMayReduce = false);
    // Level of detail: the levels of every big mesh are made on threads after each load (and
    // after a transform or inversion), starting once the next frame is drawn, so that they do not
    // slow the first picture down; the motion ends at once with Settle (its timer's work).
    void StartReductions();
    bool AreReductionsDue() const { return m_bReductionsDue; }
    CMotionDetail& Motion() { return m_motion; }
    // Timer messages: SPIN_TIMER_ID or ANIM_TIMER_ID.
    void OnTimer(int nIDEvent);
    // Releases every display list and texture while the context still exists.
    void OnDestroy();

    void SetupView();
    void ResetView();
    void ApplyMaterials();
    void ApplyLight();

    // Navigation. The current object turns by aboutX degrees about the camera's right axis and
    // aboutY about its up axis, or moves along the camera's right, up and backward axes (the
    // camera itself in the opposite sense, so the picture moves as a mesh would). Neither
    // redraws; the caller follows with SetupView and an update.
    void RotateCurrentObject(double dAboutX, double dAboutY);
    void MoveCurrentObject(double dAlongX, double dAlongY, double dAlongZ);
    // The wheel's step: the current object towards the viewer (nClicks > 0) or away, along the
    // camera's view axis, so that its distance from the eye becomes 0.9^nClicks of what it was;
    // for the camera, the distance of the middle of the scene. Nothing when that distance is not
    // ahead of the eye. Does not redraw.
    void ZoomCurrentObject(int nClicks);
    // The keyframe guide: the overlay of the document's keyframe direction and rotation at the
    // current object, and the drag mode that edits them. Hide also runs before the scene changes
    // under it (play, new keyframes, loads).
    void ShowKeyframeGuide();
    void HideKeyframeGuide();
    // The guide's display list; 0 while the guide is hidden.
    uint32_t GuideList() const { return m_guide.List(); }
    void RotateKeyDirection(double dAboutX, double dAboutY);
    void RotateKeyRotation(double dAboutX, double dAboutY);
    // nDelta > 0 (dragging down) lengthens the direction and shrinks the rotation; 0 does nothing.
    void ScaleKeyDirection(int nDelta);
    void ScaleKeyRotation(int nDelta);

    // Spin and playback timers. The start operations return whether the timer runs; the stop
    // operations kill the timer and leave the running flag at their argument, so that a caller
    // can pause around a modal dialog (stop with true) and resume afterwards (start with true,
    // which for the spin keeps its rates). Both stops clear the measured frame rate.
    bool StartSpin(bool bKeepRates);
    bool StopSpin(bool bStillSpinning);
    bool StartPlayback(bool bUnused = false);
    bool StopPlayback(bool bStillPlaying);
    // After the camera may have moved (a new scene time, a transform): the view transform and
    // the projection (whose clipping planes follow the scene) are reloaded and the window updated
    // later. Never draws by itself.
    void RefreshCameraView();

    // Reading new content for Load Scene, the STL imports and the command line, with the view's
    // context current for the display lists. False after the reader's message: "Error reading
    // scene file." with a second line naming the file that could not be read, or "Error reading
    // STL file." (with a second line when the file could not be opened at all). nMode is
    // STL_BINARY, STL_ASCII, or STL_BY_CONTENT (the command line); the STL file is read on a
    // worker thread (pRead, the caller's, when it was started already, else one started here),
    // see LoadInBackground, and the import shows the wait cursor until after its message.
    // Neither touches the view.
    bool ReadScene(const std::string& strPath);
    bool ReadSTL(const std::string& strPath, int nMode, CMeshPreloader* pRead = nullptr);
    // Waits for a read on the worker thread while the window goes on: it repaints, its timers run
    // and input arrives, but IsLoading() holds, which makes the application refuse commands that
    // would change the document. Once the wait has taken half a second LoadMessage says
    // "Loading NAME... 42%". Then, still with the window going, what the mesh's display list will
    // need is made on other threads (see CMeshPreparation; "Preparing NAME... 42%"), for each
    // object of a file of several. Then fnAdopt gets the mesh (null when the read failed) and the
    // file's further objects, with the view's context current; it releases what it keeps.
    // Returns what fnAdopt returns. The caller shows the wait cursor around it. fnSettingsOf, when
    // given, names for each mesh read (0 the first, then the others) the mesh whose display
    // settings it will take (a reload: the object it goes into), or null; what is prepared
    // follows them. Without it replace mode's rule holds (see there).
    using FnAdoptLoaded =
        std::function<bool(std::unique_ptr<CMesh>& pMesh, std::vector<std::unique_ptr<CMesh>>& others)>;
    using FnSettingsOf = std::function<const CMesh*(size_t nIndex)>;
    bool LoadInBackground(CMeshPreloader& read, const FnAdoptLoaded& fnAdopt,
                          const FnSettingsOf& fnSettingsOf = nullptr);
    bool IsLoading() const { return m_nLoading > 0; }
    // What follows every successful load (File > Open, the command line, Load Scene, the
    // imports), in this order: pane 103 names the current object, the materials are applied,
    // the default view fits the new scene (ending a spin), the keyframe guide is hidden, every
    // object is posed at time 0 and the camera view is reloaded; the window is updated later.
    void OnSceneLoaded();
    // After the scene changed without a successful load (Clear Scene, a failed load that may
    // have changed it, such as a scene file that failed half way): pane 103 names the current
    // object and the window is updated later. Nothing else: no refit, no new pose.
    void OnSceneChanged();
    // After meshes took their files' geometry again in place (File > Reload): pane 103, the
    // keyframe guide when it is shown, the projection (the bounds changed) and an update later.
    // The camera and every pose stay as they are.
    void OnSceneReloaded();

    // Window timers: each id has its own precise QTimer delivering to OnTimer (10 ms at least).
    // SetTimer returns the id, or 0 for an id the view does not know.
    unsigned SetTimer(int nIDEvent, int nElapseMs);
    void KillTimer(unsigned nIDEvent);
    bool IsTimerActive(int nIDEvent) const;

    // The far and near planes, background, materials, light and field of view are the
    // CViewSettings members.
    SRect m_rcClient;
    float m_fAspect = 1.0f;
    QPoint m_ptLastMouse;
    bool m_bFrameFast = false;
    bool m_bFrameSlow = false;
    uint32_t m_dwLastTick = 0;
    int32_t m_nFrameTime = 0;
    bool m_bFrameReduced = false;
    int64_t m_nItemsDrawn = 0;
    float m_fFramesPerSecond = 0.0f;
    unsigned m_nSpinTimer = 0;
    bool m_bSpinning = false;
    int m_nSpinPeriod = 10;
    double m_dSpinRateX = 0.0;
    double m_dSpinRateY = 0.0;
    unsigned m_nAnimTimer = 0;
    bool m_bPlaying = false;
    int m_nAnimPeriod = 10;
    bool m_bFrameDrawn = false;
    int32_t m_nFrameCount = 0;
    bool m_bLeftDown = false;
    bool m_bRightDown = false;
    int32_t m_nDragMode = DRAG_OBJECT;
    std::string m_strSelectedName;

signals:
    // After each frame drawn by paintGL (the picture then reaches the screen with the window's
    // next composition; frameSwapped() follows).
    void FrameDrawn();
    // After each timer message the handler acted on.
    void TimerHandled(int nIDEvent);
    // The text for the message pane while a load goes on (see LoadInBackground); empty when it
    // is over.
    void LoadMessage(const QString& strText);
    // A load's read on the worker has ended and the GUI thread goes on with its mesh.
    void ReadTaken();
    // At the end of OnSceneLoaded and OnSceneChanged: the scene's objects may come from other
    // files now.
    void SceneContentChanged();

protected:
    void initializeGL() override;
    // Every resize reaches OnSize, an empty one too (Qt calls resizeGL only for a non-empty one).
    void resizeEvent(QResizeEvent* pEvent) override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void wheelEvent(QWheelEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    void RegisterCommands();
    void RegisterNavigationCommands();
    void RegisterTimerCommands();
    void RegisterKeyframeCommands();
    void RegisterCaptureCommands();
    void RegisterRecordCommands();
    void RegisterSceneCommands();
    void RegisterTextureCommands();
    void RegisterRenderCommands();
    void RegisterToolsCommands();
    void RegisterStandardViewCommands();

    // Mouse and keys; each handled change is followed by SetupView and an update.
    void OnLButtonDown(QPoint point);
    void OnRButtonDown(QPoint point);
    void OnMouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, QPoint point);
    // Wheel turns in eighths of a degree (120 to a click, in parts from smooth wheels and
    // touchpads): each whole click is a ZoomCurrentObject step.
    void OnMouseWheel(int nDelta);
    // True when the key is one of the view's.
    bool OnKeyDown(int nKey, Qt::KeyboardModifiers modifiers);
    void OnViewSetViewParameters();
    void OnViewDefaultView();
    // The default view's fit from a side (SceneRenderer's VIEW_SIDE_...), ending a spin.
    void OnViewSide(int nSide);
    // The parallel projection on or off; on, it starts at the scale the perspective shows the
    // middle of the scene at.
    void OnViewOrthographic();
    void OnUpdateViewOrthographic(CCmdUI& ui);
    // The parallel view's half height times dFactor (below 1 shows the scene larger), kept
    // within bounds; a factor that is not positive and finite changes nothing.
    void ScaleOrthoView(double dFactor);

    void OnViewSpin();
    void OnUpdateViewSpin(CCmdUI& ui);
    void OnAnimationPlay();
    void OnUpdateAnimationPlay(CCmdUI& ui);
    void OnAnimationPause();
    void OnAnimationStop();
    // Pause and Stop: only while playing.
    void OnUpdateAnimationPlaying(CCmdUI& ui);
    void OnAnimationRewind();
    void OnUpdateAnimationRewind(CCmdUI& ui);
    void OnSpinTick();
    void OnPlaybackTick();

    void OnAnimationAddKeyframe();
    void OnAnimationMoveToTime();
    void OnAnimationWriteKeyframes();
    void OnAnimationLoadKeyframes();
    // Asks for the frames' size, the frame rate and the range, then for the file (see
    // AnimationOutput.h); records the playback into it. Nothing is written for a name no output
    // takes, a range without frames or a recording that fails or is cancelled; a message says why
    // (nothing for a cancel).
    void OnAnimationRecord();
    // Draws nFrames frames from nFrom at nFps a second with CaptureAtSize into sink, under a
    // progress dialog whose Cancel stops it; the event loop runs between frames, so the view
    // shows each pose. Playback and spin are held, and the scene time is put back, meanwhile.
    // True when every frame was written and the sink finished.
    bool RecordFrames(CFrameSink& sink, int32_t nFrom, int64_t nFrames, int nFps, int32_t nWidth,
                      int32_t nHeight);

    void OnExportMetafile();
    void OnExportBitmap();
    void OnExportJpeg();
    void OnExportPng();
    // Asks for a width and a height, then for the file, whose extension picks the format; writes
    // the picture drawn offscreen at that size (CaptureAtSize). Nothing is written for an
    // unknown extension or a size that cannot be drawn; a message says why.
    void OnExportImageAtSize();
    void OnEditCopy();
    // The save dialog of a picture command; false when cancelled.
    bool AskPicturePath(const char* pszExtension, const char* pszFilter, std::string& strPath);
    // Draws a fresh frame and reads exactly the client area of the view's own framebuffer into
    // m_dibCapture. False, with m_dibCapture empty and a message shown, for a view of zero
    // width or height, without a context, or when the read fails.
    bool CaptureFrame();
    // Draws the frame the window would show at nWidth x nHeight pixels, in the view's context
    // into a framebuffer object of that size, and reads it into dib (24 bits); then the view's
    // framebuffer, viewport and projection are back. False with dib empty: with the reason in
    // strReason when the size cannot be drawn (beyond the driver's limit, out of memory); with
    // strReason empty without a context or when reading the pixels fails.
    bool CaptureAtSize(int32_t nWidth, int32_t nHeight, CDib& dib, std::string& strReason);
    // A writer's failure in a message box (nothing when it has nothing to say).
    void ReportWriteResult(const CImageWriteResult& result);

    void OnFileMakeScene();
    void OnUpdateFileMakeScene(CCmdUI& ui);
    void OnFileLoadScene();
    void OnFileClearScene();
    // Clear Scene and Write Scene to OFF: only in scene mode.
    void OnUpdateSceneMode(CCmdUI& ui);
    void OnImportSTL(int nMode);
    // The four writers, by command id.
    void OnExportScene(int nID);
    // The command's file dialog; false when cancelled.
    bool AskForSceneFile(int nID, std::string& strPath);
    // A reader's message, with a second line "Unable to open NAME: REASON." when the file could
    // not be opened at all (missing, a folder, a pipe or a device).
    static std::string ReadFailureMessage(const std::string& strMessage, const std::string& strPath);

    void OnViewTextureMap();
    void OnUpdateViewTextureMap(CCmdUI& ui);
    void OnTextureLoad();
    void OnTextureCheckerboard();
    // Load and Generate: a mesh with texture coordinates is current.
    void OnUpdateTextureCommand(CCmdUI& ui);
    // The current object when it is a mesh with texture coordinates, else null.
    CMesh* CurrentTexturableMesh() const;
    // Gives the current mesh the texture; with texturing on, its list is rebuilt and the window
    // updated. False when the texture could not be built (the mesh keeps its old one).
    bool ApplyTexture(CMesh& mesh, const CMeshTexture& texture);
    // The current object when it is a mesh, else null.
    CMesh* CurrentMesh() const;
    // Render settings of the current mesh. A value it already has changes nothing at all; a
    // change rebuilds that mesh's list, then SetupView and an update.
    void SetRenderMode(int32_t nMode);
    void SetShading(int32_t nShading);
    void OnToolsLighting();
    void OnToolsCulling();
    // Enabled, and checked where the setting holds, only while the current object is a mesh.
    void OnUpdateRenderMode(CCmdUI& ui, int32_t nMode);
    void OnUpdateShading(CCmdUI& ui, int32_t nShading);
    void OnUpdateToolsLighting(CCmdUI& ui);
    void OnUpdateToolsCulling(CCmdUI& ui);
    void OnToolsBackgroundColor();
    void OnToolsMaterials();
    // The mesh's display list under the view's context (nothing without one).
    void BuildMeshList(CMesh& mesh);
    // The list, SetupView and an update.
    void RebuildMesh(CMesh& mesh);
    // Before the mesh's geometry changes in place: its levels are made again afterwards.
    void ForgetReduction(CMesh& mesh);
    // What StartReductions asks for, after the frame (nothing when it is done already).
    void MakeReductions();
    // Still again: the full frame, where the last one was reduced.
    void OnMotionSettled();
    // The GL current colour, which unlit meshes without vertex colours are drawn in.
    void SetCurrentColor(const float pfColor[3]);

    // Object selection and information, mesh transform and invert. SelectObject makes the
    // object (not null) current.
    void SelectObject(CSceneObject* pObject);
    void OnViewSelectNext();
    void OnUpdateViewSelectNext(CCmdUI& ui);
    void OnViewSelectPrevious();
    void OnUpdateViewSelectPrevious(CCmdUI& ui);
    void OnViewObjectInfo();
    void OnUpdateViewObjectInfo(CCmdUI& ui);
    void OnToolsTransformMesh();
    void OnToolsInvertMesh();
    // Transform and Invert: only while the current object is a mesh.
    void OnUpdateMeshTool(CCmdUI& ui);

    // The guide list again after a change of the key direction or rotation.
    void RebuildGuideList();
    // The services for messages and dialogs (Qt's own when none were set).
    CUiServices& Ui();
    // Draws a frame and lets it reach the window before returning.
    void DrawNow();
    // Sets the baseline state the display lists rely on.
    void SetBaselineState();
    // The contexts sharing the view's, on which display lists are compiled by other threads, and
    // their end (before the view's own context ends).
    void CreateWorkerContexts();
    void ReleaseWorkerContexts();
    // Runs the event loop until isDone holds (notify arranges for a wake-up then); once the wait
    // has taken half a second LoadMessage shows strFormat with the name and the percentage.
    void WaitWithProgress(const std::function<bool()>& isDone,
                          const std::function<void(std::function<void()>)>& notify,
                          const std::function<int()>& percent, const QString& strFormat,
                          const QString& strName, const QElapsedTimer& clock);

    CTeldViewGLDoc* m_pDocument;
    CListCompiler m_listCompiler;
    CKeyframeGuide m_guide;
    CUiServices* m_pUi = nullptr;
    std::unique_ptr<CUiServices> m_pOwnUi;
    const CClock* m_pClock;
    QTimer m_spinTimer;
    QTimer m_animTimer;
    CMotionDetail m_motion;
    bool m_bReductionsDue = false;
    bool m_bGLReady = false;
    uint64_t m_nFramesPainted = 0;
    int m_nContextProblem = CONTEXT_OK;
    bool m_bContextReported = false;
    int m_nLoading = 0;
    // Wheel turns not yet amounting to a click.
    int m_nWheelDelta = 0;
    std::vector<std::unique_ptr<CViewWorkerContext>> m_workerContexts;
    // Kept between captures so that its memory is touched only once.
    CDib m_dibCapture;
};
