#pragma once

#include <string>
#include <vector>

class CTeldViewGLDoc;
struct SModelFormat;

// Loads the inputs into the document in order: one file in replace mode, several in scene mode;
// a scene file must come first. Each input is told apart by its content (FindModelFormat); "-"
// stands for the standard input. A regular file is read by path; a pipe is read once, as far as
// its content needs (see ReadPipeInput), then parsed from memory. Prints one line naming the file
// as given, and why when the system, the reader or the scene file says so, to stderr and returns
// false at the first input that fails: "Unable to read PATH: unexpected file format." for content
// no format recognises. *ppFirstFormat (when given) receives the first input's format.
bool LoadBatchInputs(CTeldViewGLDoc& doc, const std::vector<std::string>& files,
                     const SModelFormat** ppFirstFormat = nullptr);
// "Error reading OFF file.": a mesh file of the format that could not be read.
std::string ReadFailureMessage(const SModelFormat& format);

// The input that is the very file strOut names (the same device and inode, whichever links lead
// there), as given, or empty: an output must never replace what was read. The mesh files a loaded
// document holds count too (pDoc, when given), so that the files a scene names are kept as well.
std::string InputAtOutput(const std::string& strOut, const std::vector<std::string>& files,
                          const CTeldViewGLDoc* pDoc = nullptr);
