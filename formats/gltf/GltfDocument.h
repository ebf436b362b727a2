#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "formats/gltf/TinyGltf.h"

// The limits of what a glTF document may hold before it is read at all.
inline constexpr size_t GLTF_MAX_JSON_BYTES = size_t(256) << 20;
// Arrays and objects nested deeper than this are refused: tinygltf copies extras recursively.
inline constexpr int GLTF_MAX_JSON_DEPTH = 64;
// Values in the JSON text: tinygltf keeps a copy of some hundred bytes of each.
inline constexpr size_t GLTF_MAX_JSON_VALUES = 2000000;
// An external buffer file, and all of them together.
inline constexpr uint64_t GLTF_MAX_BUFFER_BYTES = uint64_t(2) << 30;
inline constexpr uint64_t GLTF_MAX_EXTERNAL_BYTES = uint64_t(4) << 30;

// Loads a .gltf text or a .glb container into tinygltf's model. The JSON is checked first for
// what would trip tinygltf itself (its depth, a container whose chunks run past its end, buffer
// views past their buffers, empty buffers, extensions that must not be ignored), and every file
// access goes through our callbacks: a buffer URI may name only a regular file inside the folder
// of strPath, and none at all when strPath is empty (data from a pipe). Images are never loaded.
// The model is only parsed here, not validated: accessors, indices and nodes are the reader's to
// check. On failure strDetail says why ("buffer 0 is larger than its file mesh.bin").
bool LoadGltfDocument(std::string_view data, const std::string& strPath, tinygltf::Model& model,
                      std::string& strDetail);

// Whether data is a binary container (it starts with the "glTF" magic).
bool IsGlbContainer(std::string_view data);
