#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "formats/kff/KeyframeRecords.h"

class CTokenStream;

// Keyframe files: "KFF", the position and orientation counts, then the position records
// ("POS_FRAME", the time, six reals) and the orientation records ("ORI_FRAME", the time, eight
// reals) in list order. Reals are written with six significant digits in every locale.

// The records of a file, all or nothing: false when it cannot be read or is malformed (not "KFF",
// a count or value that is not a number, a wrong record keyword, fewer records than announced).
// A count below zero announces no record. The file is read as a stream (see CTokenStream), so
// memory follows the records it holds, and opened as CInputFile opens it, so a pipe is refused at
// once.
bool ReadKeyframeRecords(const std::string& strPath, SKeyframeRecords& records);
bool ReadKeyframeRecordsBuffer(std::string_view buffer, SKeyframeRecords& records);
// One record from the stream: false, with the record unchanged, when the keyword does not match
// or a value is missing or not a number.
bool ReadPositionRecord(CTokenStream& in, SKeyframeRecords::SPosition& record);
bool ReadOrientationRecord(CTokenStream& in, SKeyframeRecords::SOrientation& record);

// The whole file's text; false when the stream reports an error. A record holding a value that is
// not finite is not written and fails the stream (no reader would take it back).
bool WriteKeyframeRecords(std::ostream& out, const SKeyframeRecords& records);
void WritePositionRecord(std::ostream& out, const SKeyframeRecords::SPosition& record);
void WriteOrientationRecord(std::ostream& out, const SKeyframeRecords::SOrientation& record);
