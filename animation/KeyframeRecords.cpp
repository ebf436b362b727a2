// Placeholder until keyframe records land.
#include "animation/OrientationKeyframe.h"
#include "animation/PositionKeyframe.h"

void CPositionKeyframe::Write(std::ostream&) const {}
bool CPositionKeyframe::Read(CTokenReader&) { return false; }
void COrientationKeyframe::Write(std::ostream&) const {}
bool COrientationKeyframe::Read(CTokenReader&) { return false; }
