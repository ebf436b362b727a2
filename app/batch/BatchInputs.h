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
