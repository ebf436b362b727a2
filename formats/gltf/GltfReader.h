#pragma once

#include <string>
#include <string_view>

struct SMeshSet;

// Reading glTF 2.0 files, .gltf text and .glb containers, into one mesh per mesh instance of the
// default scene (the scene the file names, else the first, else every root node). Each mesh holds
// the triangles of its primitives (mode 4 or none; other modes are skipped), with positions and
// normals placed by the node transforms, texture coordinates and colours where the file has them,
// and is named after its node, else its mesh, else "mesh N" (N counting the instances from 1).
// Materials, animations, skins, morph targets and images are not read. strPath is the file's path,
// whose folder holds external buffers; empty for data from a pipe, which may then use only data
// URIs and the container's BIN chunk. Nothing reaches set before the whole file has been read and
// checked; on failure set is untouched and pstrDetail (when given) says why ("accessor 3 runs past
// buffer view 1", "the primitive uses KHR_draco_mesh_compression, which is not read").
bool ReadGLTF(std::string_view data, const std::string& strPath, SMeshSet& set, std::string* pstrDetail);
