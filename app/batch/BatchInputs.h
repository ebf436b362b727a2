#pragma once

#include <string>
#include <vector>

class CTeldViewGLDoc;

// The kind of an input file, by its extension: ".stl" and ".scn" (any case), else OFF.
enum
{
    INPUT_OFF = 0,
    INPUT_STL = 1,
    INPUT_SCENE = 2
};
int InputKind(const std::string& strPath);

// Binary or ASCII, told apart by content: a file of exactly 84 + 50N bytes (N from its count)
// is binary; otherwise a first line containing "solid" (any case) means ASCII. -1 when neither
// holds or the file cannot be read.
int DetectSTLMode(const std::string& strPath);

// Loads the inputs into the document in order: one file in replace mode, several in scene mode;
// a scene file must come first. Prints one line naming the file to stderr and returns false at
// the first input that fails.
bool LoadBatchInputs(CTeldViewGLDoc& doc, const std::vector<std::string>& files);
