#include "model/ObjectKeyframes.h"

#include <algorithm>
#include <memory>
#include <new>
#include <sstream>
#include <vector>

#include "formats/kff/KeyframeFile.h"
#include "model/OrientationKeyframe.h"
#include "model/PositionKeyframe.h"
#include "model/SceneObject.h"
#include "platform/SafeFileWriter.h"

namespace
{
// Inserting in time order makes each insertion start next to its place (the list's cursor sits
// on the key inserted before), so a large file loads in linear time whatever its record order.
// The stable sort keeps equal times in file order: the later record still replaces the earlier.
// The cursor ends on the file's last record, as it would after inserting in file order.
template <typename TKey, typename TAdd>
void InsertKeys(std::vector<std::unique_ptr<TKey>>& keys, TKey*& pCursor, TAdd add)
{
    if (keys.empty())
        return;
    TKey* pLastRead = keys.back().get();
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& a, const auto& b) { return a->m_nTime < b->m_nTime; });
    for (auto& pKey : keys)
        add(pKey.release());
    pCursor = pLastRead;
}

// Quaternions are stored vector part first, scalar part last.
CQuaternion Quaternion(const double* p)
{
    return CQuaternion(p[3], p[0], p[1], p[2]);
}

void Store(const CQuaternion& q, double* p)
{
    p[0] = q.v.x;
    p[1] = q.v.y;
    p[2] = q.v.z;
    p[3] = q.w;
}

bool AddRecords(const SKeyframeRecords& records, CSceneObject& object)
{
    std::vector<std::unique_ptr<CPositionKeyframe>> posKeys;
    std::vector<std::unique_ptr<COrientationKeyframe>> oriKeys;
    try
    {
        for (const SKeyframeRecords::SPosition& record : records.positions)
        {
            auto pKey = std::make_unique<CPositionKeyframe>();
            pKey->m_nTime = record.nTime;
            pKey->m_vPosition = CVector3(record.pdPosition);
            pKey->m_vDirection = CVector3(record.pdDirection);
            posKeys.push_back(std::move(pKey));
        }
        for (const SKeyframeRecords::SOrientation& record : records.orientations)
        {
            auto pKey = std::make_unique<COrientationKeyframe>();
            pKey->m_nTime = record.nTime;
            pKey->m_qOrientation = Quaternion(record.pdOrientation);
            pKey->m_qRotation = Quaternion(record.pdRotation);
            oriKeys.push_back(std::move(pKey));
        }
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    // The whole file is valid: only now does the object change.
    InsertKeys(posKeys, object.m_pCurPosKey, [&](CPositionKeyframe* p) { object.AddPositionKey(p); });
    InsertKeys(oriKeys, object.m_pCurOriKey, [&](COrientationKeyframe* p) { object.AddOrientationKey(p); });
    return true;
}
} // namespace

bool WriteKeyframeStream(std::ostream& out, const CSceneObject& object)
{
    SKeyframeRecords records;
    for (const CPositionKeyframe* pKey = object.m_pPosKeys; pKey != nullptr; pKey = pKey->m_pNext)
    {
        SKeyframeRecords::SPosition& record = records.positions.emplace_back();
        record.nTime = pKey->m_nTime;
        pKey->m_vPosition.ToArray(record.pdPosition);
        pKey->m_vDirection.ToArray(record.pdDirection);
    }
    for (const COrientationKeyframe* pKey = object.m_pOriKeys; pKey != nullptr; pKey = pKey->m_pNext)
    {
        SKeyframeRecords::SOrientation& record = records.orientations.emplace_back();
        record.nTime = pKey->m_nTime;
        Store(pKey->m_qOrientation, record.pdOrientation);
        Store(pKey->m_qRotation, record.pdRotation);
    }
    return WriteKeyframeRecords(out, records);
}

bool WriteKeyframeFile(const std::string& strPath, const CSceneObject& object)
{
    // Gathered first, so that the file receives one large write and a value that is not finite
    // refuses the whole file before anything is created.
    std::ostringstream text;
    if (!WriteKeyframeStream(text, object))
        return false;
    CSafeFileWriter file(strPath);
    if (!file.IsOpen())
        return false;
    const std::string contents = text.str();
    file.Stream().write(contents.data(), static_cast<std::streamsize>(contents.size()));
    return file.Commit();
}

bool ReadKeyframeFile(const std::string& strPath, CSceneObject& object)
{
    SKeyframeRecords records;
    return ReadKeyframeRecords(strPath, records) && AddRecords(records, object);
}

bool ReadKeyframeBuffer(std::string_view buffer, CSceneObject& object)
{
    SKeyframeRecords records;
    return ReadKeyframeRecordsBuffer(buffer, records) && AddRecords(records, object);
}
