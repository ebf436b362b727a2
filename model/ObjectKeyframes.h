#pragma once

#include <ostream>
#include <string>
#include <string_view>

class CSceneObject;

// An object's keyframes in keyframe files (see formats/kff/KeyframeFile.h).

// Writes the object's two keyframe lists. False when the file cannot be created, a write fails
// or a value is not finite (no reader would take it back); a file already at the path is then
// left as it was.
bool WriteKeyframeFile(const std::string& strPath, const CSceneObject& object);
// The same text on a stream; false when the stream reports an error. A record holding a value
// that is not finite is not written and fails the stream.
bool WriteKeyframeStream(std::ostream& out, const CSceneObject& object);

// Adds a keyframe file's keyframes to the object's lists; a key at a time the list already holds
// replaces the old key. All or nothing: false when the file cannot be read or is malformed, and
// the object is then unchanged.
bool ReadKeyframeFile(const std::string& strPath, CSceneObject& object);
bool ReadKeyframeBuffer(std::string_view buffer, CSceneObject& object);
