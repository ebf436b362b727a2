#pragma once

#include <string>
#include <string_view>

class CMeshBuilder;
class CReadProgress;

// Reading Wavefront OBJ files into a builder: the whole file is one polygon mesh.
//
// Taken: "v x y z [w]" (w dropped), with a colour "r g b" after it (6 or 7 numbers; colours
// that are all whole numbers 0 to 255, some above 1, are bytes and are divided by 255);
// "vt u [v [w]]"; "vn x y z"; "f" with corners "v", "v/vt", "v//vn" or "v/vt/vn", the forms free
// to differ, indices from 1 or, negative, counted back from the last one defined so far, any
// number of corners; lines joined by a trailing '\'; '#' comments. "o", "g", "s", "l", "p" and
// unknown statements are skipped, a line each. A vertex record is made for each distinct (v, vt,
// vn) a face uses, besides one for every position (so that positions no face uses are kept).
// Normals and texture coordinates are kept only where every corner gives them; else normals are
// computed and corners' vt and vn do not split records.
//
// Colours: the vertices' own, else, where faces use materials ("usemtl NAME") whose library
// ("mtllib NAME...", beside the file) gives a diffuse colour ("Kd r g b"), every record takes its
// face's colour; faces without one are white. A library that is missing or broken is no error.
//
// Nothing reaches the builder before the whole text has been read and checked; on any failure
// it is untouched. pstrDetail, when given, says why the text was refused ("line 12: vertex index
// 9 is not in 1 to 8", "not enough memory"); it is left empty by a read that succeeds and by a
// file that cannot be read at all. Text holds no NUL byte: one is refused, and nothing after it
// is read. pProgress, when given, follows the bytes parsed.
bool ReadOBJ(const std::string& strPath, CMeshBuilder& builder, CReadProgress* pProgress = nullptr,
             std::string* pstrDetail = nullptr);
// The same for text in memory (data from a pipe, say), which has no folder: no material library
// is read, and faces have no material colour.
bool ReadOBJBuffer(std::string_view buffer, CMeshBuilder& builder, std::string* pstrDetail = nullptr);
