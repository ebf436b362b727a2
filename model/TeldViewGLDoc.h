#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "geometry/Quaternion.h"
#include "geometry/Vector3.h"
#include "platform/Document.h"

class CSceneObject;
class CCamera;
class CMesh;
class CSafeFileWriter;
class CSceneGraphics;
struct SMeshView;
struct SModelWriter;

enum
{
    EXPORT_BINARY_STL = 0,
    EXPORT_ASCII_STL = 1,
    EXPORT_POINT_CLOUD = 2
};

// Scene bounds order: min x, max x, min y, max y, min z, max z.
enum
{
    BOUNDS_MIN_X = 0,
    BOUNDS_MAX_X = 1,
    BOUNDS_MIN_Y = 2,
    BOUNDS_MAX_Y = 3,
    BOUNDS_MIN_Z = 4,
    BOUNDS_MAX_Z = 5
};

// The one document: the scene list (camera first, then meshes in load order), the current
// object, replace and scene modes, scene bounds and time. Every operation that adds or deletes
// meshes while a drawing is attached (m_pGraphics) needs the drawing context current; the caller
// guarantees it.
class CTeldViewGLDoc : public CDocument
{
public:
    CTeldViewGLDoc();
    ~CTeldViewGLDoc() override;

    // Loading archives hand their path to LoadMeshFile with m_bScene as the append flag.
    void Serialize(CArchive& ar) override;
    bool OnSaveDocument(const std::string& strPath) override;

    // Reads an OFF file into the scene; throws CArchiveException(badSchema) when it cannot, with
    // the scene left as it was.
    bool LoadMeshFile(const std::string& strPath, bool bAppend);
    // Takes a mesh that ReadOFF filled elsewhere (on a worker thread) into the scene as
    // LoadMeshFile puts the mesh it read there: in replace mode the one mesh behind the camera,
    // when there is one, is Reset and takes over the read geometry (it keeps its display settings
    // and keyframes) and pMesh is deleted; otherwise pMesh itself is linked; then bounds, display
    // list, current. False, with nothing changed and the mesh still the caller's, for a mesh
    // that is not loaded or already linked. On true the document owns it.
    bool AdoptMesh(CMesh* pMesh, bool bAppend);
    // As OnOpenDocument(strPath) for a file read elsewhere: pMesh is what ReadOFF made of it, or
    // null when ReadOFF failed. A mesh is adopted with m_bScene as the append flag, then the
    // document takes the path, the title and the recent-file entry (false as AdoptMesh, with
    // nothing changed). Null gives what a failed open gives: its message (ReadFailedMessage,
    // with strDetail, the reader's reason, as a second line "NAME: line 12: expected a vertex
    // index"), nothing changed, false.
    bool OnOpenDocumentWithMesh(const std::string& strPath, CMesh* pMesh,
                                const std::string& strDetail = std::string());
    // The same for an STL file opened as a document: pMesh, what ReadSTL made of it, is taken in
    // as an import (AdoptImportedMesh), and the path joins the recent files. The document keeps
    // no file of its own, as Save writes OFF. Null as for OnOpenDocumentWithMesh.
    bool OnOpenImportedMesh(const std::string& strPath, CMesh* pMesh);
    // The same for a file of several objects (pFirst and others, what CMesh::ReadModelSet made
    // of it): they become a scene of their own, titled after the file, in place of what was
    // there, or join the scene when the document is one already. Each mesh adopted is the
    // document's (released from others). Null pFirst as for OnOpenDocumentWithMesh.
    bool OnOpenMeshSet(const std::string& strPath, CMesh* pFirst,
                       std::vector<std::unique_ptr<CMesh>>& others);
    // "\nNAME: " and the detail, or nothing without a detail.
    static std::string DetailLine(const std::string& strPath, const std::string& strDetail);
    // The second half of ImportSTL, for a mesh that ReadSTL filled elsewhere: it goes into the
    // scene as ImportSTL puts it there (replace mode reuses the one mesh, scene mode appends),
    // with bounds and display list. In replace mode the document then has no file of its own
    // (SetUntitled, titled with the mesh's name). False as AdoptMesh; on true the document owns
    // it.
    bool AdoptImportedMesh(CMesh* pMesh);
    // File > Reload: each of targets, meshes of the scene, takes the geometry of reads[i], its
    // file read again (loaded and unlinked, as AdoptMesh wants it; see TakeReloadedGeometry):
    // the objects stay with their poses, keyframes, places in the list and display settings;
    // bounds and display lists follow. False, with nothing changed, when a read is not such a
    // mesh or the counts differ. The reads are left empty, still the caller's.
    bool ReloadMeshes(const std::vector<CMesh*>& targets, std::vector<std::unique_ptr<CMesh>>& reads);
    // The list handling of LoadMeshFile without reading: the mesh to fill, now current.
    CMesh* PrepareImportMesh(bool bAppend);
    // Deletes every object behind the camera; the camera becomes current.
    void ClearScene();
    void UpdateSceneBounds();
    int32_t GetSceneTime() const { return m_nSceneTime; }
    // The whole scene as one OFF file. False when the file cannot be created or written; then
    // *pstrProblem (when given) says why, naming the path as given ("PATH: REASON").
    bool ExportSceneOFF(const std::string& strPath, std::string* pstrProblem = nullptr);
    // Scene files (see formats/scn/SceneFile.h): false on a file that cannot be read; an object's
    // OFF file that cannot be read throws like LoadMeshFile. Names are resolved as
    // ReadSceneBuffer says, with the scene file's folder. On either failure *pstrProblem (when
    // given) says which file could not be read and why.
    bool ReadSceneFile(const std::string& strPath, std::string* pstrProblem = nullptr);
    // Loads a scene file's text as ReadSceneFile loads a file. A relative name is taken from the
    // working directory; when no such file exists there and strFolder is given (the scene file's
    // folder), from strFolder, so that a scene opened from elsewhere still finds the files beside
    // it. A text that is not a complete scene file gives false and leaves the document
    // unchanged. Otherwise the document enters scene mode, loses every mesh and loads the listed
    // ones: a camera keyframe file that cannot be read is ignored; an OFF file that cannot be
    // read throws CArchiveException from LoadMeshFile; an object keyframe file that cannot be
    // read gives false; a mesh that would take the scene's meshes past m_nSceneMemoryBudget
    // throws as an OFF file that cannot be read, "not enough memory". Either failure keeps the
    // meshes loaded so far, the last one current, and puts why that file could not be read
    // (naming it) into *pstrProblem when given.
    bool ReadSceneBuffer(std::string_view buffer, const std::string& strFolder = std::string(),
                         std::string* pstrProblem = nullptr);
    // False as ExportSceneOFF; also when STL meets a face that is not a triangle, which
    // *pstrProblem then names with its object. nMode: EXPORT_BINARY_STL and the others.
    bool ExportScene(const std::string& strPath, int nMode, std::string* pstrProblem = nullptr);
    // The same through a writer of the format table; bOneMesh: the one mesh as it is (see
    // SSceneWrite).
    bool ExportScene(const std::string& strPath, const SModelWriter& writer, bool bOneMesh,
                     std::string* pstrProblem = nullptr);
    // STL import; false (scene untouched) when the file cannot be read or is malformed. nMode is
    // STL_BINARY, STL_ASCII, or STL_BY_CONTENT (see ImportSTLFile).
    bool ImportSTL(const std::string& strPath, int nMode);
    // Poses every object at time t; true while any list is still in progress.
    bool EvaluateScene(int32_t nTime);
    // The time of the latest keyframe of any object, the camera's included; 0 without keyframes.
    int32_t LastKeyframeTime() const;

    // Lets go of what draws every mesh of the scene (the drawing context must be current), so
    // that nothing is left to delete once the context is gone.
    void ReleaseGraphics();

    CSceneObject* m_pObjectList = nullptr;
    CSceneObject* m_pCurrentObject = nullptr;
    CCamera* m_pCamera = nullptr;
    bool m_bScene = false;
    bool m_bHasMesh = false;
    // What Add Keyframe offers as tangents, shown by the keyframe guide.
    CVector3 m_vKeyDirection{0.0, 1.0, 0.0};
    CQuaternion m_qKeyRotation{-1.0, 0.0, 0.0, 0.0};
    int32_t m_nSceneTime = 0;
    double m_dSceneBounds[6];
    // What draws the meshes, told of each that enters the scene; null where nothing is drawn
    // (batch information and conversion), so that loads compile no display lists.
    CSceneGraphics* m_pGraphics = nullptr;
    // The memory a scene file's meshes may take, in bytes; 0: half of what the machine has
    // available when the load starts.
    uint64_t m_nSceneMemoryBudget = 0;
    // The fill colour (0x00BBGGRR) of hidden-line faces that every mesh gets as it enters the
    // scene: the view's background, which the background command keeps here, so that a mesh
    // loaded later does not fill its faces black on a coloured background.
    uint32_t m_crMeshFill = 0;

private:
    void ResetSceneBounds();
    void WidenSceneBounds(const CSceneObject& object);
    // Puts the mesh behind the last object (append) or behind the camera, and makes it current.
    void LinkMesh(CMesh* pMesh, bool bAppend);
    // LoadMeshFile after a successful read.
    void LinkLoadedMesh(CMesh* pMesh, bool bAppend);
    static bool IsUnlinkedLoadedMesh(const CMesh* pMesh);
    // Where a mesh read elsewhere goes (see AdoptMesh): the reused mesh, or pRead. Not linked.
    CMesh* TakeIntoScene(CMesh* pRead, bool bAppend);
    // The meshes of the scene, as the writers see them.
    std::vector<SMeshView> MeshViews() const;
    // False, with why the file could not be written ("PATH: REASON") in *pstrProblem when given.
    static bool WriteFailed(const CSafeFileWriter& file, const std::string& strPath,
                            std::string* pstrProblem);

    // The end of the scene list, so that appending does not walk it: a scene file of many
    // entries would otherwise load in quadratic time. Every operation that links or unlinks an
    // object keeps it.
    CSceneObject* m_pLastObject = nullptr;
};
