#pragma once

#include <ostream>
#include <string>
#include <string_view>

class CSceneObject;

// Keyframe files: "KFF", the position and orientation counts, then the position records and the
// orientation records in list order.

// Writes the object's two keyframe lists. False when the file cannot be created, a write fails
// or a value is not finite (no reader would take it back); a file already at the path is then
// left as it was.
bool WriteKeyframeFile(const std::string& strPath, const CSceneObject& object);
// The same text on a stream; false when the stream reports an error. A record holding a value
// that is not finite is not written and fails the stream.
bool WriteKeyframeStream(std::ostream& out, const CSceneObject& object);

// Adds a keyframe file's keyframes to the object's lists; a key at a time the list already holds
// replaces the old key. All or nothing: false when the file cannot be read or is malformed (not
// "KFF", a count or value that is not a number, a wrong record keyword, fewer records than
// announced), and the object is then unchanged. The file is read as a stream (see CTokenStream)
// and opened as CInputFile opens it, so a pipe is refused at once.
bool ReadKeyframeFile(const std::string& strPath, CSceneObject& object);
bool ReadKeyframeBuffer(std::string_view buffer, CSceneObject& object);
