#pragma once

#include <cstdint>
#include <string>

#include "geometry/Quaternion.h"
#include "geometry/Vector3.h"

class CPositionKeyframe;
class COrientationKeyframe;

enum
{
    OBJECT_PLAIN = 0,
    OBJECT_CAMERA = 1,
    OBJECT_MESH = 2
};

// Anything in the scene list: a pose, a bounding box, two keyframe lists and the list links.
class CSceneObject
{
public:
    CSceneObject() = default;
    CSceneObject(const CSceneObject&) = delete;
    CSceneObject& operator=(const CSceneObject&) = delete;
    // Deletes both keyframe lists; the scene-list neighbours belong to the document.
    virtual ~CSceneObject();
    virtual int32_t GetType() const { return OBJECT_PLAIN; }

    // Model matrix, column-major: the transposed rotation of m_qOrientation, then m_vPosition.
    void GetMatrix(double m[16]) const;

    // Keyframe lists. Insertion takes ownership; a key at an existing time replaces the old key.
    void AddPositionKey(CPositionKeyframe* pKey);
    void AddOrientationKey(COrientationKeyframe* pKey);
    int32_t CountPositionKeys() const;
    int32_t CountOrientationKeys() const;
    // Pose at time t; true while t lies before the last key of a list of two or more keys.
    bool EvaluatePosition(int32_t nTime);
    bool EvaluateOrientation(int32_t nTime);

    std::string m_strName;
    CVector3 m_vPosition;
    CVector3 m_vCenter;
    CQuaternion m_qOrientation;
    CVector3 m_vBoundsMax{0.5, 0.5, 0.5};
    CVector3 m_vBoundsMin{-0.5, -0.5, -0.5};
    double m_dHalfExtent = 0.5;
    CPositionKeyframe* m_pPosKeys = nullptr;
    COrientationKeyframe* m_pOriKeys = nullptr;
    COrientationKeyframe* m_pCurOriKey = nullptr;
    CPositionKeyframe* m_pCurPosKey = nullptr;
    CSceneObject* m_pNext = nullptr;
    CSceneObject* m_pPrev = nullptr;
};
