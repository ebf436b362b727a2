#pragma once

#include <string>
#include <vector>

class CTeldViewGLDoc;

// Loads the inputs into the document in order: one file in replace mode, several in scene mode;
// a scene file must come first. Each input is told apart by its content (InputKindOfContent);
// "-" stands for the standard input. A regular file is read by path; anything else (a pipe) is
// read whole once, then parsed from memory. Prints one line naming the file as given, and why
// when the system or the scene file says so, to stderr and returns false at the first input that
// fails. *pnFirstKind (when given) receives the first input's kind.
bool LoadBatchInputs(CTeldViewGLDoc& doc, const std::vector<std::string>& files, int* pnFirstKind = nullptr);

// The input that is the very file strOut names (the same device and inode, whichever links lead
// there), as given, or empty: an output must never replace what was read. The mesh files a loaded
// document holds count too (pDoc, when given), so that the files a scene names are kept as well.
std::string InputAtOutput(const std::string& strOut, const std::vector<std::string>& files,
                          const CTeldViewGLDoc* pDoc = nullptr);
