#pragma once

#include <string>
#include <string_view>

class CMeshBuilder;
class CReadProgress;

// Reading STL files (see StlFormat.h) into a builder's triangle soup: three records of 6 doubles
// per facet, the facet normals dropped. nMode is STL_BINARY, STL_ASCII or STL_BY_CONTENT (the
// content decides, and data taken for ASCII that fails is tried as binary, as a binary header may
// start with "solid" too). False on any failure, memory running out included; the builder may
// then hold part of a soup, for the caller to discard. pProgress, when given, follows the bytes
// read; a regular file is read a block at a time, never as a whole, and a pipe is read whole.
bool ReadSTL(const std::string& strPath, int nMode, CMeshBuilder& builder,
             CReadProgress* pProgress = nullptr);
bool ReadSTLBuffer(std::string_view buffer, int nMode, CMeshBuilder& builder);
