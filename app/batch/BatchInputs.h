#pragma once

#include <string>
#include <vector>

class CTeldViewGLDoc;

// Loads the inputs into the document in order: one file in replace mode, several in scene mode;
// a scene file must come first. Prints one line naming the file to stderr and returns false at
// the first input that fails.
bool LoadBatchInputs(CTeldViewGLDoc& doc, const std::vector<std::string>& files);
