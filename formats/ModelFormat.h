#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/MeshView.h"

class CByteWindow;
class CMeshBuilder;
class CReadProgress;
class CTriangleSink;
struct SMeshSet;

// What a writer is given: the scene's meshes, its box (min x, max x, min y, max y, min z,
// max z), the name of the file written, and whether one mesh is written as it is (its own
// coordinates and fields) rather than as a scene.
struct SSceneWrite
{
    const std::vector<SMeshView>& meshes;
    const double* pdBounds;
    std::string strName;
    bool bOneMesh = false;
};

// One way of writing a format.
struct SModelWriter
{
    const char* pszExtension;   // lower case, without the dot: "stl"
    const char* pszOption;      // the batch option that picks it among the extension's ("ascii"), or null
    const char* pszDescription; // for --help: "binary STL"
    // Why the meshes cannot be written so, or empty; asked before a file is made.
    std::string (*fnCheck)(const std::vector<SMeshView>& meshes);
    // False when the stream fails, and, with strProblem saying why, for what the format cannot
    // hold that only shows while writing (the stream is failed then too).
    bool (*fnWrite)(std::ostream& out, const SSceneWrite& scene, std::string& strProblem);
};

// One kind of model file: how it is told by its content, read, streamed for a thumbnail, written,
// and known to the desktop. See ModelFormats.h for the table and the way a new format joins it.
struct SModelFormat
{
    const char* pszName;       // "OFF": in the Open dialog, "Error reading OFF file."
    const char* pszExtensions; // lower case, without dots, separated by spaces: "off"
    // The desktop's file type, null where the format has none of its own; what the program's
    // MIME package says of it.
    const char* pszMimeType;
    const char* pszMimeComment;
    const char* pszAcronym;
    const char* pszExpandedAcronym;
    const char* pszSubClassOf;                 // "text/plain", or null
    std::span<const char* const> magicStrings; // at offset 0
    const char* pszMagicNote;                  // a comment on them for the package, or null

    // How surely data of nSize bytes (SIZE_UNKNOWN for a pipe) that starts with head (its first
    // INPUT_HEAD_SIZE bytes, or all) is of this format: 0 not at all, 1 by a weak sign (a word on
    // the first line), 2 by its keyword, 3 by a binary layout. Null: the format is only written.
    int (*fnRecognise)(std::string_view head, uint64_t nSize);
    // A scene file, which the document loads itself (first input only); it has no mesh reader.
    bool bScene;
    // A mesh file opened becomes the document's own file, which Save writes back; the others
    // come in as imports (the document keeps no file of its own).
    bool bDocumentFile;

    // The readers: a regular file (or a pipe, read whole) and data in memory, into a builder (see
    // CMeshBuilder). pstrDetail, when given, says where and why a text was refused, empty where
    // the format says no more than that it was.
    bool (*fnRead)(const std::string& strPath, CMeshBuilder& builder, CReadProgress* pProgress,
                   std::string* pstrDetail);
    bool (*fnReadBuffer)(std::string_view buffer, CMeshBuilder& builder, std::string* pstrDetail);
    // A file of several objects (null for a format of one mesh): its bytes into one mesh each,
    // strPath naming the file for what lies beside it (empty for a pipe). Its fnRead and
    // fnReadBuffer give the objects as one mesh, for the thumbnail and the imports.
    bool (*fnReadSet)(std::string_view data, const std::string& strPath, SMeshSet& set,
                      std::string* pstrDetail);
    // Reading a pipe: how many bytes the content needs, judged on what came so far (see
    // STLPipeLength); null: all of it. Text formats end at a NUL byte.
    uint64_t (*fnPipeLength)(std::string_view data, bool bNulSeen);
    bool bTextEndsAtNul;

    // The thumbnail's stream of a big file (see BatchThumbnail), null where there is none: the
    // triangles of bytes (nSize of them, head their start) go to the sink as they are read.
    bool (*fnStream)(CByteWindow& bytes, std::string_view head, uint64_t nSize, CTriangleSink& sink);
    // Whether the stream serves a file of any size, small ones too (null: only big ones).
    bool (*fnStreamsAtAnySize)(std::string_view head, uint64_t nSize);
    // Whether the stream accepts exactly the files the reader accepts; else a file it refuses is
    // read whole after all when it is not too big.
    bool bStreamExact;

    std::span<const SModelWriter> writers;
};
